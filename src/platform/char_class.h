// Character classes of the code page the log's text is written in.
#pragma once

namespace osp::platform {

// True when byte b is a letter or a digit of code page 932, as the platform
// judges it. Windows asks IsCharAlphaNumericA (which may also count the
// single-byte katakana); elsewhere only the ASCII letters and digits count.
bool is_char_alnum(unsigned char b);

}  // namespace osp::platform
