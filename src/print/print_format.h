// The print formats: a caller's template expanded with the current contact of
// a log into one line of Shift-JIS text. Log listings use one-letter escapes
// ("!d", "!N8", "!R0,54"), QSL cards and labels two-letter escapes ("!CP",
// "!DJ", "!R1,05,03"). Every expansion reads only the view's fields (each
// within its fixed width) and the template up to its NUL, and writes only
// within the line it is given.
//
// Implemented in print_format.cpp (what both formats share), data_template.cpp
// (the log listing's escapes) and qsl_template.cpp (the QSL card's escapes).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "osprey32.h"

namespace osp::print {

// The most bytes one template byte can expand to: the widest escape per
// template byte it consumes (the two-byte "!C" gives 20 bytes, "!R1" up to 53).
inline constexpr size_t kBytesPerTemplateByte = 20;

// The room an expansion of a template of template_length bytes needs, its NUL
// included. A caller's line of this size is never cut.
inline constexpr size_t expansion_limit(size_t template_length) {
  return kBytesPerTemplateByte * template_length + 1;
}

// A line being written: out[0 .. capacity - 1], with the position of the next
// byte. field_printed is set when an escape put a contact field into the line.
// Nothing is written at or beyond capacity - 1, which is kept for the NUL.
struct Line {
  char* out;
  size_t capacity;
  size_t position = 0;
  bool field_printed = false;
};

// Writes one byte as it stands (NUL included) when there is room; leaves
// field_printed alone.
void put_byte(Line& line, char c);

// Appends at most length bytes of text (fewer at a NUL), keeping Shift-JIS
// double-byte characters whole: a lead byte followed by a trail byte (within
// the length) is copied as a pair; a lead byte not so followed is written as
// a blank and the next byte is taken on its own; any other byte is copied.
// A pair that does not fit before the NUL's place is not written. Sets
// field_printed.
void append_text(Line& line, const char* text, size_t length);
void append_text(Line& line, const char* text);

// A text converted to full-width characters: at most 10 characters, two bytes
// each, NUL-terminated.
struct FullWidth {
  char text[21];
};

// Converts each byte c of text (up to its NUL, at most 10 bytes) into a
// two-byte full-width character, high byte first: c >= 0x61 -> c + 0x8220
// ('a'-'z' become ａ-ｚ), c >= 0x41 -> c + 0x821F ('A'-'Z'), c >= 0x31 ->
// c + 0x821F ('1'-'9'), '0' -> 0x83D3 (φ), '/' -> 0x815E (／), any other
// byte (a blank, say) -> two blanks.
FullWidth to_full_width(const char* text);

// The call/portable text of the view (at most 10 characters, NUL-terminated,
// into out of 11 bytes). With a portable field that does not begin with two
// blanks: the call sign (cut to 6 characters when its seventh is a blank), '/'
// and the portable field; or, when dx_test is set, the zone letter is not 'J'
// and "$DX" stands in remark 2 or 3, the portable field (cut to 2 characters
// when its third is a blank), '/' and the 7-character call sign. Without a
// portable field: the call sign (cut alike) and four blanks. The result is
// cut to 10 characters.
void call_portable_text(const ContactView& view, bool dx_test, char* out);

// The zone letter of the view's time text (its last character), or NUL when
// the time text is empty.
char zone_letter(const ContactView& view);

// The three-letter name of month m ("Jan" for 1), three blanks for 0 and for
// any number outside 0 to 12: three bytes, not NUL-terminated.
const char* month_name(int32_t m);

// The length of a view field's text: up to its NUL, at most the field's width
// less the terminator's place.
template <size_t N>
size_t field_length(const char (&field)[N]) {
  size_t n = 0;
  while (n < N - 1 && field[n] != '\0') ++n;
  return n;
}

// Appends the field's text (up to its NUL, within its width).
template <size_t N>
void append_field(Line& line, const char (&field)[N]) {
  append_text(line, field, field_length(field));
}

// Appends at most count bytes of the field's text from place start on;
// nothing (but field_printed is set) when the text ends before start.
template <size_t N>
void append_field_part(Line& line, const char (&field)[N], size_t start, size_t count) {
  const size_t n = field_length(field);
  if (start >= n) {
    append_text(line, "", 0);
    return;
  }
  append_text(line, field + start, std::min(count, n - start));
}

// A template read without reading past its NUL: at(i) is the byte at i, or
// NUL at and beyond the end.
class TemplateText {
 public:
  explicit TemplateText(const char* text);
  size_t length() const { return length_; }
  char at(size_t i) const { return i < length_ ? text_[i] : '\0'; }
  // The two-digit value of the bytes at i and i + 1 (a digit or 0, then
  // times 10 plus a second digit when there is one).
  int32_t two_digit_at(size_t i) const;

 private:
  const char* text_;
  size_t length_;
};

// Expands the escape whose '!' is at place bang of the template into line.
// Returns the place after the escape and its parameters, or 0 when the bytes
// after the '!' name no escape of the format.
using EscapeExpander = size_t (*)(const LogHandle& log, const TemplateText& t, size_t bang,
                                  Line& line);

// The walk both formats share: bytes other than '!' are copied as they are
// (without setting field_printed); an escape is expanded by expand; an
// unknown escape puts its '!' into the line and the walk goes on with the
// byte after it. Ends the line with a NUL and returns field_printed.
bool walk_template(const LogHandle& log, const char* template_text, Line& line,
                   EscapeExpander expand);

// Expands template_text with log's view using the one-letter escapes of a
// log listing into line (NUL-terminated). Returns field_printed.
bool expand_data_template(const LogHandle& log, const char* template_text, Line& line);

// Expands template_text with log's view using the two-letter escapes of a
// QSL card into line (NUL-terminated). Returns field_printed.
bool expand_qsl_template(const LogHandle& log, const char* template_text, Line& line);

}  // namespace osp::print
