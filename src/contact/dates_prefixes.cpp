#include "contact/dates_prefixes.h"

#include <cstring>
#include <string_view>

#include "frame/sjis.h"
#include "platform/char_class.h"

namespace osp::contact {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The century byte that makes a date's 9-byte key sort in time order: '0'
// for 1952-1999, '1' for 2000-2051.
char century_byte(const char* date) { return two_digit_value(date) < 52 ? '1' : '0'; }

}  // namespace

int32_t two_digit_value(const char* text) {
  int32_t value = is_digit(text[0]) ? text[0] - '0' : 0;
  if (is_digit(text[1])) value = value * 10 + (text[1] - '0');
  return value;
}

int32_t date_compare(const char* first, const char* second) {
  unsigned char a[9];
  unsigned char b[9];
  a[0] = static_cast<unsigned char>(std::memcmp(first, "00/00/00", 8) == 0 ? ' '
                                                                              : century_byte(first));
  b[0] = static_cast<unsigned char>(century_byte(second));
  std::memcpy(a + 1, first, 8);
  std::memcpy(b + 1, second, 8);
  const int order = std::memcmp(a, b, sizeof a);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

namespace {

// The first width characters of the call sign, ending early at a NUL of a
// short call sign.
std::string_view call_prefix(const char* callsign, size_t width) {
  return std::string_view(callsign, strnlen(callsign, width));
}

}  // namespace

int32_t is_listed_prefix(const char* prefixes, const char* callsign) {
  if (static_cast<unsigned char>(callsign[0]) <= 0x20) return 0;
  const std::string_view list(prefixes);
  if (list.find(call_prefix(callsign, 3)) != std::string_view::npos) return 1;
  if (list.find(call_prefix(callsign, 2)) != std::string_view::npos) return 1;
  return 0;
}

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

int32_t decimal_value(const char* text) {
  if (text == nullptr) return 0;
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') {
    negative = *text == '-';
    ++text;
  }
  uint32_t value = 0;  // unsigned, so that overflow wraps as defined
  for (; *text >= '0' && *text <= '9'; ++text)
    value = value * 10u + static_cast<uint32_t>(*text - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

}  // namespace osp::contact
