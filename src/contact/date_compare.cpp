#include <cstring>

#include "contact/dates_prefixes.h"

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

}  // namespace osp::contact
