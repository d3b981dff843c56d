// A small reader and writer of profile (INI) files, for platforms without the
// Windows profile calls. Sections and keys are matched without regard to case;
// lines are kept as they are apart from the one value written.
#pragma once

#include <cstdint>
#include <string>

namespace osp::platform {

// The text of [section] key, or false when the file, the section or the key
// is missing.
bool profile_lookup(const std::string& content, const char* section, const char* key,
                    std::string* value);

// The content with [section] key set to value: the key's line replaced, or
// added at the end of its section, or a new section added at the end.
std::string profile_set(const std::string& content, const char* section, const char* key,
                        const char* value);

// The integer at the start of text as the Windows profile call reads it:
// leading blanks, an optional sign, decimal digits; 0 when there are none.
// The value wraps to 32 bits.
int32_t profile_parse_int(const std::string& text);

}  // namespace osp::platform
