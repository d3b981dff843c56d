#include "record/area_code.h"

#include <cstring>

namespace osp::log {

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }
bool blank(char c) { return c == ' '; }

}  // namespace

int32_t area_code_kind(const char* c) {
  if (c == nullptr) return area_kind::kOther;
  // Each test reads a place only when every place before it is a blank or a
  // digit, so evaluation stops at a NUL before reading past it.
  if (blank(c[0]) && blank(c[1]) && blank(c[2]) && blank(c[3])) return area_kind::kBlankOrTwoDigit;
  if (!digit(c[0]) || !digit(c[1])) return area_kind::kOther;
  if (!digit(c[2])) return area_kind::kBlankOrTwoDigit;
  if (c[0] >= '5') return area_kind::kFrom5;
  if (!digit(c[3])) return area_kind::kOther;
  if (blank(c[4]) && blank(c[5])) return area_kind::kFourDigit;
  if (!digit(c[4])) return area_kind::kOther;
  if (blank(c[5])) return area_kind::kFiveDigit;
  if (digit(c[5])) return area_kind::kSixDigit;
  if (c[5] >= 'A' && c[5] <= 'Z') return area_kind::kFiveDigitLetter;
  return area_kind::kOther;
}

bool area_code_parent(const char* code, int32_t kind, char* out) {
  int kept;
  if (kind == area_kind::kSixDigit) {
    kept = 4;
  } else if (kind == area_kind::kFiveDigitLetter) {
    kept = 5;
  } else {
    return false;
  }
  std::memcpy(out, code, static_cast<size_t>(kept));
  std::memset(out + kept, ' ', static_cast<size_t>(kAreaCodeLength - kept));
  return true;
}

}  // namespace osp::log
