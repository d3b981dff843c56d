#include <cstring>

#include "contact/dates_prefixes.h"
#include "frame/sjis.h"
#include "platform/char_class.h"

namespace osp::contact {

int32_t find_at_call(const char* text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  // Which of the first 54 positions hold the second half of a double-byte
  // character: an '@' there is a trail byte, not an at sign.
  bool second_half[kRemarkScanWidth] = {};
  for (int i = 0; i < kRemarkScanWidth;) {
    if (i + 1 < kRemarkScanWidth && sjis_lead_byte(bytes[i]) && sjis_trail_byte(bytes[i + 1])) {
      second_half[i + 1] = true;
      i += 2;
    } else {
      i += 1;
    }
  }
  const int n = static_cast<int>(strnlen(text, kRemarkScanWidth));
  for (int j = n - 1; j >= 0; --j) {
    if (bytes[j] != '@' || second_half[j]) continue;
    int run = 0;
    for (int k = j + 1; k < n && run < 4 && platform::is_char_alnum(bytes[k]); ++k) ++run;
    if (run == 4) return j + 1;
  }
  return -1;
}

}  // namespace osp::contact
