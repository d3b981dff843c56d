#include <cstring>

#include "frame/sjis.h"
#include "print/print_format.h"

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

}  // namespace osp::print
