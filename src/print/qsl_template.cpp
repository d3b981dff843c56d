// The QSL-card format: two-letter escapes after '!'.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "contact/dates_prefixes.h"
#include "frame/ui.h"
#include "record/area_code.h"
#include "platform/char_class.h"
#include "print/print_format.h"

namespace osp::print {

namespace {

constexpr uint16_t pair(char a, char b) {
  return static_cast<uint16_t>(static_cast<unsigned char>(a) << 8 | static_cast<unsigned char>(b));
}

// Two places of a field (a date's month, a time's minute), with the leading
// zero dropped when without_zero is set.
template <size_t N>
void append_two_places(Line& line, const char (&field)[N], size_t start, bool without_zero) {
  size_t count = 2;
  if (without_zero && start < field_length(field) && field[start] == '0') {
    ++start;
    count = 1;
  }
  append_field_part(line, field, start, count);
}

// The text of remark 2 or 3 copied into a zero-filled buffer with room to
// spare, so that places beyond the text read as NUL.
struct RemarkCopy {
  char text[64] = {};
  explicit RemarkCopy(const char (&remark)[55]) {
    std::memcpy(text, remark, field_length(remark));
  }
};

// Character k (1 to 7) of the call sign the card goes to, in full width.
// A contact routed by 'M' goes to the call sign after an '@' in remark 2 or
// else remark 3; a character there that is no letter or digit, or that lies
// beyond the remark, is a blank, and small letters become capitals.
FullWidth call_character(const ContactView& v, int k) {
  char c[2] = {v.callsign[k - 1], '\0'};
  if (v.qsl[0] == 'M') {
    const RemarkCopy second(v.remark2);
    const RemarkCopy third(v.remark3);
    const RemarkCopy* remark = &second;
    int32_t p = contact::find_at_call(second.text);
    if (p < 0) {
      remark = &third;
      p = contact::find_at_call(third.text);
    }
    if (p >= 0) {
      const int32_t place = p + k - 1;
      const auto b = static_cast<unsigned char>(remark->text[place]);
      c[0] = place < contact::kRemarkScanWidth && platform::is_char_alnum(b)
                 ? remark->text[place]
                 : ' ';
      if (c[0] >= 'a' && c[0] <= 'z') c[0] = static_cast<char>(c[0] - 'a' + 'A');
    }
  }
  return to_full_width(c);
}

// "!F3" to "!F7": the frequency cut to width characters, a '.' left last
// turned into a blank.
void append_frequency(Line& line, const ContactView& v, size_t width) {
  char text[8];
  const size_t n = std::min(field_length(v.frequency), width);
  std::copy_n(v.frequency, n, text);
  if (n > 0 && text[n - 1] == '.') text[n - 1] = ' ';
  append_text(line, text, n);
}

// "!FR": the frequency in whole megahertz ("14" for 14.195), but "1.9" and
// "3.5" keep their first decimal; cut before the first blank.
void append_frequency_band(Line& line, const ContactView& v) {
  const size_t n = field_length(v.frequency);
  const char* f = v.frequency;
  size_t cut = n;
  if (n >= 2 && (f[0] == '1' || f[0] == '3') && f[1] == '.') {
    cut = std::min<size_t>(n, 3);
  } else {
    cut = static_cast<size_t>(std::find(f, f + n, '.') - f);
  }
  cut = static_cast<size_t>(std::find(f, f + cut, ' ') - f);
  append_text(line, f, cut);
}

// A field without its trailing blanks.
template <size_t N>
void append_trimmed(Line& line, const char (&field)[N]) {
  size_t n = field_length(field);
  while (n > 0 && field[n - 1] == ' ') --n;
  append_text(line, field, n);
}

// "!R1" and "!R2" at i ('!' at i): with ",ss,ll" after the pair, ll places
// of the remark from place ss when 1 <= ll <= 54 and ss <= 53; else the text
// between the remark's first '%' and the next (or the remark's end), one
// blank when there is no '%' before place 53. Returns the position after the
// escape.
template <size_t N>
size_t append_remark_part(Line& line, const TemplateText& t, size_t i, const char (&remark)[N]) {
  if (t.at(i + 3) == ',' && t.at(i + 6) == ',') {
    const int32_t start = t.two_digit_at(i + 4);
    const int32_t length = t.two_digit_at(i + 7);
    if (length >= 1 && length <= 54 && start <= 53) {  // start is never negative
      append_field_part(line, remark, static_cast<size_t>(start), static_cast<size_t>(length));
      return std::min(i + 9, t.length());
    }
  }
  const size_t n = field_length(remark);
  const char* percent = std::find(remark, remark + n, '%');
  const size_t at = static_cast<size_t>(percent - remark);
  if (at >= n || at >= 53) {
    append_text(line, " ");
  } else {
    const char* end = std::find(percent + 1, remark + n, '%');
    append_text(line, percent + 1, static_cast<size_t>(end - percent - 1));
  }
  return i + 3;
}

// Expands the escape whose '!' is at i (an EscapeExpander).
size_t expand_escape(const LogHandle& log, const TemplateText& t, size_t i, Line& line) {
  const ContactView& v = log.view;
  const size_t next = i + 3;
  const char first = t.at(i + 1);
  const char second = first == '\0' ? '\0' : t.at(i + 2);
  char text[32];
  switch (pair(first, second)) {
    case pair('N', 'O'): {
      const DbfHandle& dbs = log.dbs.handle;
      // Without a current contact, the number a new contact would get.
      const int64_t number =
          dbs.current_recno >= 1 ? dbs.current_recno : int64_t{dbs.record_count} + 1;
      append_text(line, std::to_string(number).c_str());
      return next;
    }
    case pair('C', 'P'):
      call_portable_text(v, true, text);
      append_text(line, to_full_width(text).text);
      return next;
    case pair('c', 'p'):
      call_portable_text(v, true, text);
      append_text(line, text);
      return next;
    case pair('P', 'T'): append_field(line, v.portable); return next;
    case pair('C', '1'):
    case pair('C', '2'):
    case pair('C', '3'):
    case pair('C', '4'):
    case pair('C', '5'):
    case pair('C', '6'):
    case pair('C', '7'): append_text(line, call_character(v, second - '0').text); return next;
    case pair('D', 'T'): append_field(line, v.date); return next;
    case pair('D', 'y'): append_field_part(line, v.date, 0, 2); return next;
    case pair('D', 'Y'): {
      char year[2] = {v.date[0], v.date[1]};
      append_text(line, contact::two_digit_value(year) < 52 ? "20" : "19");
      append_field_part(line, v.date, 0, 2);
      return next;
    }
    case pair('D', 'M'): append_two_places(line, v.date, 3, false); return next;
    case pair('D', 'm'): append_two_places(line, v.date, 3, true); return next;
    case pair('D', 'J'): {
      const char month[2] = {v.date[3], v.date[4]};
      append_text(line, month_name(contact::two_digit_value(month)), 3);
      return next;
    }
    case pair('D', 'D'): append_two_places(line, v.date, 6, false); return next;
    case pair('D', 'd'): append_two_places(line, v.date, 6, true); return next;
    case pair('N', 'w'): {
      const OspLocalTime today = local_time();
      char month[4] = {};
      std::memcpy(month, month_name(today.month), 3);
      std::snprintf(text, sizeof text, "%02d/%s/%04d", static_cast<int>(today.day), month,
                    static_cast<int>(today.year));
      append_text(line, text);
      return next;
    }
    case pair('T', 'H'): append_two_places(line, v.time, 0, false); return next;
    case pair('T', 'h'): append_two_places(line, v.time, 0, true); return next;
    case pair('T', 'M'): append_two_places(line, v.time, 3, false); return next;
    case pair('T', 'm'): append_two_places(line, v.time, 3, true); return next;
    case pair('H', 'R'): append_field(line, v.his_report); return next;
    case pair('h', 'R'): append_field_part(line, v.his_report, 0, 1); return next;
    case pair('h', 'S'): append_field_part(line, v.his_report, 1, 1); return next;
    case pair('h', 'T'): append_field_part(line, v.his_report, 2, 1); return next;
    case pair('F', '3'):
    case pair('F', '4'):
    case pair('F', '5'):
    case pair('F', '6'):
    case pair('F', '7'): append_frequency(line, v, static_cast<size_t>(second - '0')); return next;
    case pair('F', 'R'): append_frequency_band(line, v); return next;
    case pair('M', 'D'): append_field(line, v.mode); return next;
    case pair('J', 'C'): append_field(line, v.code); return next;
    case pair('J', 'c'): {
      char code[sizeof v.code] = {};
      const size_t n = field_length(v.code);
      std::copy_n(v.code, n, code);
      // A code of five digits and a letter is printed without the letter.
      if (log::area_code_kind(code) == log::area_kind::kFiveDigitLetter) code[5] = ' ';
      append_text(line, code, n);
      return next;
    }
    case pair('G', 'L'): append_field(line, v.grid); return next;
    case pair('N', 'A'): append_trimmed(line, v.name); return next;
    case pair('Q', 'T'): append_trimmed(line, v.remark1); return next;
    case pair('R', '1'): return append_remark_part(line, t, i, v.remark2);
    case pair('R', '2'): return append_remark_part(line, t, i, v.remark3);
    default:
      return 0;
  }
}

}  // namespace

bool expand_qsl_template(const LogHandle& log, const char* template_text, Line& line) {
  return walk_template(log, template_text, line, &expand_escape);
}

}  // namespace osp::print
