// Small text tests over contact fields that the sorts and print formats share:
// two-digit-year dates across the century, prefix lists, the call sign a card
// goes to when a remark names it after an '@', and decimal text read as the
// log reads numbers typed by the user.
#pragma once

#include <cstdint>

namespace osp::contact {

// The value of two characters read as a two-digit number: the first
// character's digit value (0 when it is not a digit), then, when the second is
// a digit, that value times 10 plus the second digit. "7x" gives 7, "x7" 7,
// "07" 7, two blanks 0.
int32_t two_digit_value(const char* text);

// Orders two dates written yy/mm/dd (8 readable bytes each): -1 when first is
// earlier, 0 when equal, 1 when later. Years below 52 are 20yy, 52 to 99 are
// 19yy. A first date of exactly "00/00/00" (no date) is earlier than every
// date; the second date is not tested for it and counts as the year 2000.
int32_t date_compare(const char* first, const char* second);

// 1 when the prefix of callsign (4 readable bytes) stands in prefixes (a
// NUL-terminated list with any separators): its first three characters, or
// failing that its first two, occur anywhere in the list. 0 when they do not,
// or when the call sign begins with a blank or a control byte.
int32_t is_listed_prefix(const char* prefixes, const char* callsign);

// The width of the remark fields the at-sign search classifies.
inline constexpr int kRemarkScanWidth = 54;

// In a remark text (NUL-terminated, at most 54 characters), the position just
// after the last '@' that is a single-byte character and is followed by at
// least four letters or digits in a row; -1 when there is none. The text's
// first 54 bytes are classified as single- or double-byte, so text must have
// 54 readable bytes (the remark fields of a view do).
int32_t find_at_call(const char* text);

// StrToLong: skips blanks and tabs, takes one optional '+' or '-' (no blank
// may follow it), then decimal digits up to the first other character. The
// value is accumulated in 32 bits and wraps silently on overflow. Text
// without digits, and a null text, give 0.
int32_t decimal_value(const char* text);

}  // namespace osp::contact
