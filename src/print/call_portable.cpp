#include <cstring>
#include <string_view>

#include "print/print_format.h"

namespace osp::print {

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

}  // namespace osp::print
