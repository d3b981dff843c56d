#include "frame/sjis.h"

namespace osp {

size_t sjis_prefix_length(const char* text, size_t length, size_t limit) {
  if (length <= limit) return length;
  size_t i = 0;
  while (i < limit) {
    const size_t step = sjis_lead_byte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

}  // namespace osp
