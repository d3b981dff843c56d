#include "print/print_format.h"

namespace osp::print {

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

}  // namespace osp::print
