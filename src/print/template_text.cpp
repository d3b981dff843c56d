#include <algorithm>
#include <cstring>

#include "contact/dates_prefixes.h"
#include "print/print_format.h"

namespace osp::print {

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
