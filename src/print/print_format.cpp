// The pieces of print_format.h that both formats share: appending text to a
// line, full-width text, the call/portable text, month names and the walk
// over a template.
#include "print/print_format.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "contact/dates_prefixes.h"
#include "frame/sjis.h"

namespace osp::print {

void put_byte(Line& line, char c) {
  if (line.position + 1 < line.capacity) line.out[line.position++] = c;
}

void append_text(Line& line, const char* text, size_t length) {
  line.field_printed = true;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < length && bytes[i] != 0) {
    if (sjis_lead_byte(bytes[i])) {
      if (i + 1 < length && sjis_trail_byte(bytes[i + 1])) {
        if (line.position + 2 >= line.capacity) return;
        line.out[line.position++] = text[i];
        line.out[line.position++] = text[i + 1];
        i += 2;
        continue;
      }
      put_byte(line, ' ');
    } else {
      put_byte(line, text[i]);
    }
    ++i;
  }
}

void append_text(Line& line, const char* text) { append_text(line, text, std::strlen(text)); }

FullWidth to_full_width(const char* text) {
  FullWidth result{};
  size_t at = 0;
  for (size_t i = 0; i < 10 && text[i] != '\0'; ++i) {
    const unsigned c = static_cast<unsigned char>(text[i]);
    unsigned wide;
    if (c >= 0x61) {
      wide = c + 0x8220;
    } else if (c >= 0x41) {
      wide = c + 0x821F;
    } else if (c >= 0x31) {
      wide = c + 0x821F;
    } else if (c == 0x30) {
      wide = 0x83D3;  // the zero as phi, as call signs are written on cards
    } else if (c == 0x2F) {
      wide = 0x815E;
    } else {
      wide = 0x2020;
    }
    result.text[at++] = static_cast<char>(wide >> 8);
    result.text[at++] = static_cast<char>(wide & 0xFF);
  }
  result.text[at] = '\0';
  return result;
}

namespace {

bool holds_dx_mark(const char* remark, size_t length) {
  return std::string_view(remark, length).find("$DX") != std::string_view::npos;
}

// Copies up to count bytes of a field (fewer at its NUL) to out; returns
// the bytes copied.
template <size_t N>
size_t copy_field(const char (&field)[N], size_t count, char* out) {
  const size_t n = std::min(count, field_length(field));
  std::memcpy(out, field, n);
  return n;
}

}  // namespace

char zone_letter(const ContactView& view) {
  const size_t n = field_length(view.time);
  return n == 0 ? '\0' : view.time[n - 1];
}

void call_portable_text(const ContactView& view, bool dx_test, char* out) {
  char text[16] = {};
  size_t n = 0;
  // The call sign loses its seventh place when that is a blank.
  const size_t call_width = view.callsign[6] == ' ' ? 6 : 7;
  if (view.portable[0] == ' ' && view.portable[1] == ' ') {
    n = copy_field(view.callsign, call_width, text);
    std::memcpy(text + n, "    ", 4);
    n += 4;
  } else if (dx_test && zone_letter(view) != 'J' &&
             (holds_dx_mark(view.remark2, field_length(view.remark2)) ||
              holds_dx_mark(view.remark3, field_length(view.remark3)))) {
    // A station abroad: the portable prefix goes first (KH6/QA1ABC).
    n = copy_field(view.portable, view.portable[2] == ' ' ? 2 : 3, text);
    text[n++] = '/';
    n += copy_field(view.callsign, 7, text + n);
  } else {
    n = copy_field(view.callsign, call_width, text);
    text[n++] = '/';
    n += copy_field(view.portable, 3, text + n);
  }
  n = std::min<size_t>(n, 10);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

const char* month_name(int32_t m) {
  static constexpr char kMonths[] = "   JanFebMarAprMayJunJulAugSepOctNovDec";
  // The table has 13 entries; any other month number gets the blank entry
  // rather than bytes beyond the table.
  if (m < 0 || m > 12) return kMonths;
  return kMonths + 3 * m;
}

TemplateText::TemplateText(const char* text) : text_(text), length_(std::strlen(text)) {}

int32_t TemplateText::two_digit_at(size_t i) const {
  const char pair[2] = {at(i), at(i + 1)};
  return contact::two_digit_value(pair);
}

bool walk_template(const LogHandle& log, const char* template_text, Line& line,
                   EscapeExpander expand) {
  const TemplateText t(template_text);
  size_t i = 0;
  while (i < t.length()) {
    if (t.at(i) != '!') {
      put_byte(line, t.at(i++));
      continue;
    }
    const size_t next = expand(log, t, i, line);
    if (next == 0) {
      put_byte(line, '!');
      ++i;
    } else {
      i = std::min(next, t.length());
    }
  }
  line.out[std::min(line.position, line.capacity - 1)] = '\0';
  return line.field_printed;
}

}  // namespace osp::print
