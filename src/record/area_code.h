// Area codes: the six-character CODE of a contact or a master entry,
// classified by its shape into kinds.
#pragma once

#include <cstdint>

namespace osp::log {

inline constexpr int32_t kAreaCodeLength = 6;

// The kinds of area codes.
namespace area_kind {
inline constexpr int32_t kOther = 0;           // none of the shapes below
inline constexpr int32_t kBlankOrTwoDigit = 1;  // four leading blanks, or two digits
inline constexpr int32_t kFrom5 = 3;            // three digits or more beginning with 5-9
inline constexpr int32_t kFourDigit = 4;
inline constexpr int32_t kFiveDigit = 5;
inline constexpr int32_t kSixDigit = 6;         // has a parent: the first four digits
inline constexpr int32_t kFiveDigitLetter = 7;  // has a parent: the first five digits
}  // namespace area_kind

// The kind of the area code at code, 0 to 7 (kind 2 never occurs). The
// shape tests run in a fixed order and the first that applies decides:
//   places 0-3 blanks -> 1; place 0 or 1 not a digit -> 0; place 2 not a
//   digit -> 1; place 0 '5'-'9' -> 3; place 3 not a digit -> 0; places 4
//   and 5 blanks -> 4; place 4 not a digit -> 0; place 5 blank -> 5,
//   a digit -> 6, a capital 'A'-'Z' -> 7; otherwise 0.
// Reads at most 6 bytes and never a byte after a NUL, so a shorter
// NUL-terminated text is safe (its NUL fits none of the shapes). A null
// code is kind 0.
int32_t area_code_kind(const char* code);

// Writes the parent of a code of kind 6 (its first four characters and two
// blanks) or kind 7 (its first five characters and a blank) into out (6
// bytes) and returns true; returns false and leaves out alone for any other
// kind.
bool area_code_parent(const char* code, int32_t kind, char* out);

}  // namespace osp::log
