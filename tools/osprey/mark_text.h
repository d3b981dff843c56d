// A QSL mark typed on the command line: one character that Shift-JIS holds
// in a single byte.
#pragma once

#include <cstdint>
#include <string>

namespace osprey_tool {

// The byte of the mark typed as utf8. False, with a sentence naming option
// in *error, when it is not exactly one single-byte character.
bool mark_byte(const std::string& utf8, const std::string& option, uint8_t* out,
               std::string* error);

}  // namespace osprey_tool
