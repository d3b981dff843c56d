#include "adif/japan_prefixes.h"

namespace osprey_tool {

namespace {

// The call-sign series the ITU allocates to Japan (the table of allocation
// of international call-sign series, Appendix 42 to the Radio Regulations):
// JAA-JSZ, 7JA-7NZ and 8JA-8NZ. Each row is a first character and the range
// of the second.
struct Series {
  char first;
  char second_from;
  char second_to;
};
constexpr Series kJapan[] = {{'J', 'A', 'S'}, {'7', 'J', 'N'}, {'8', 'J', 'N'}};

}  // namespace

bool is_japanese_call(std::string_view call) {
  if (call.size() < 3) return false;
  for (const Series& s : kJapan)
    if (call[0] == s.first && call[1] >= s.second_from && call[1] <= s.second_to) return true;
  return false;
}

}  // namespace osprey_tool
