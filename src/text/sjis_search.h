// Finding a substring in code page 932 text.
#pragma once

#include <cstdint>

namespace osp::text {

// JStrStr: the byte offset of the first occurrence of pattern in text that
// begins on a character boundary (never on the second byte of a double-byte
// character), bytes compared exactly; -1 when there is none. An empty
// pattern is found at 0; a null text or pattern is found nowhere.
int32_t find_text(const char* text, const char* pattern);

}  // namespace osp::text
