#include "text/sjis_search.h"

#include <cstring>

#include "frame/sjis.h"

namespace osp::text {

int32_t find_text(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return -1;
  const size_t n = std::strlen(pattern);
  if (n == 0) return 0;
  const size_t m = std::strlen(text);
  if (m < n || m > static_cast<size_t>(INT32_MAX)) return -1;
  size_t p = 0;
  while (p <= m - n) {
    if (std::memcmp(text + p, pattern, n) == 0) return static_cast<int32_t>(p);
    const bool double_byte = sjis_lead_byte(static_cast<unsigned char>(text[p])) && text[p + 1] != '\0';
    p += double_byte ? 2 : 1;
  }
  return -1;
}

}  // namespace osp::text
