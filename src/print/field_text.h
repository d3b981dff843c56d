// Pieces of a view's fields put into a line, each read within its field.
#pragma once

#include <algorithm>
#include <cstddef>

#include "print/print_format.h"

namespace osp::print {

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

}  // namespace osp::print
