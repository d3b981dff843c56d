// Which call signs are Japanese stations: the log keeps contacts with them
// in Japan Standard Time.
#pragma once

#include <string_view>

namespace osprey_tool {

// True when call (upper case, without a portable designation) begins with a
// call-sign series allocated to Japan: JA to JS, 7J to 7N, 8J to 8N.
bool is_japanese_call(std::string_view call);

}  // namespace osprey_tool
