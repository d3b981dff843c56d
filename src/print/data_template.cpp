// The log-listing format: one-letter escapes after '!'.
#include <algorithm>
#include <cstdio>

#include "print/print_format.h"

namespace osp::print {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The width rule of "!N" and "!Q": the two-digit value of the two template
// bytes after the letter at i, a tenth of it when above max (only the first
// digit counts). Moves *next past one parameter byte, or two for a width of
// 10 or more; the byte after the letter is skipped even when it is no digit.
int32_t width_parameter(const TemplateText& t, size_t i, int32_t max, size_t* next) {
  int32_t w = t.two_digit_at(i + 1);
  if (w > max) w /= 10;
  *next = std::min(i + 1 + (w >= 10 ? 2 : 1), t.length());
  return w;
}

// The range rule of "!R" and "!K" (as in "!R0,54"): the start is the two-digit
// value after the letter at i; then the first byte after the letter, the digits
// after it and one separator are passed, and the length is the two-digit value
// there (a tenth of it above 54), passing up to two digits. The end place is
// capped at 54. Moves *next past the parameters.
void range_parameters(const TemplateText& t, size_t i, int32_t* start, int32_t* end,
                      size_t* next) {
  const size_t n = t.length();
  size_t p = i + 1;
  *start = t.two_digit_at(p);
  if (p < n) ++p;
  while (p < n && is_digit(t.at(p))) ++p;
  if (p < n) ++p;
  int32_t length = t.two_digit_at(p);
  for (int k = 0; k < 2 && p < n && is_digit(t.at(p)); ++k) ++p;
  if (length > 54) length /= 10;
  *end = std::min(*start + length, 54);
  *next = p;
}

// Appends the remark's places start to end - 1; nothing when start is not
// before end.
template <size_t N>
void append_range(Line& line, const char (&remark)[N], int32_t start, int32_t end) {
  const int32_t count = std::max(end - start, 0);
  append_field_part(line, remark, static_cast<size_t>(start), static_cast<size_t>(count));
}

// Expands the escape whose '!' is at bang (an EscapeExpander).
size_t expand_escape(const LogHandle& log, const TemplateText& t, size_t bang, Line& line) {
  const size_t i = bang + 1;  // the letter
  const ContactView& v = log.view;
  // An empty view (no call sign) prints nothing for the contact's own marks.
  const bool blank = static_cast<unsigned char>(v.callsign[0]) < 0x20;
  size_t next = i + 1;
  switch (t.at(i)) {
    case 'C': {
      line.field_printed = true;
      if (!blank) {
        char text[11];
        call_portable_text(v, true, text);
        append_text(line, to_full_width(text).text);
      }
      return next;
    }
    case 'c': {
      int32_t width = 0;
      if (is_digit(t.at(next))) width = t.at(next++) - '0';
      line.field_printed = true;
      if (!blank) {
        char text[11];
        call_portable_text(v, width == 0, text);
        if (width > 0) text[width] = '\0';
        append_text(line, text);
      }
      return next;
    }
    case 'd': append_field(line, v.date); return next;
    case 'D': append_field_part(line, v.date, 3, 5); return next;
    case 't': append_field(line, v.time); return next;
    case 'T': {
      char time[sizeof v.time];
      const size_t n = field_length(v.time);
      std::copy_n(v.time, n, time);
      if (n > 0) time[n - 1] = ' ';
      append_text(line, time, n);
      return next;
    }
    case 'u': append_text(line, zone_letter(v) == 'U' ? "UTC" : "JST"); return next;
    case 'h': append_field(line, v.his_report); return next;
    case 'm': append_field(line, v.my_report); return next;
    case 'F': append_field(line, v.frequency); return next;
    case 'f': {
      char frequency[4];
      const size_t n = std::min<size_t>(field_length(v.frequency), 4);
      std::copy_n(v.frequency, n, frequency);
      if (n == 4 && frequency[3] == '.') frequency[3] = ' ';
      append_text(line, frequency, n);
      return next;
    }
    case 'M': append_field(line, v.mode); return next;
    case 'j': append_field(line, v.code); return next;
    case 'J': {
      const size_t before = line.position;
      append_field(line, v.code);
      // A lettered code (its sixth place 'A' or above) is printed without
      // the letter; only a byte this escape wrote is replaced.
      if (line.position > before && static_cast<unsigned char>(v.code[5]) >= 'A')
        line.out[line.position - 1] = ' ';
      return next;
    }
    case 'g': append_field(line, v.grid); return next;
    case 'q':
    case 's':
    case 'r': {
      line.field_printed = true;
      const int mark = t.at(i) == 'q' ? 0 : t.at(i) == 's' ? 1 : 2;
      if (!blank) put_byte(line, v.qsl[mark]);
      return next;
    }
    case 'n': {
      if (!blank) {
        char number[16];
        std::snprintf(number, sizeof number, "%-6ld",
                      static_cast<long>(log.dbs.handle.current_recno));
        append_text(line, number);
      }
      return next;
    }
    case 'N': {
      const int32_t w = width_parameter(t, i, 12, &next);
      append_field_part(line, v.name, 0, static_cast<size_t>(w));
      return next;
    }
    case 'Q': {
      const int32_t w = width_parameter(t, i, 28, &next);
      append_field_part(line, v.remark1, 0, static_cast<size_t>(w));
      return next;
    }
    case 'R':
    case 'K': {
      int32_t start = 0, end = 0;
      range_parameters(t, i, &start, &end, &next);
      if (t.at(i) == 'R') {
        append_range(line, v.remark2, start, end);
      } else {
        append_range(line, v.remark3, start, end);
      }
      return next;
    }
    default:
      return 0;
  }
}

}  // namespace

bool expand_data_template(const LogHandle& log, const char* template_text, Line& line) {
  return walk_template(log, template_text, line, &expand_escape);
}

}  // namespace osp::print
