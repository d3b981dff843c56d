#include "text/packed_key.h"

#include "frame/sort.h"

namespace osp::text {

namespace {

uint32_t digit(uint8_t b) {
  uint8_t d = 1;
  if (b >= 0x41) {
    d = static_cast<uint8_t>(b - 52);
  } else if (b >= 0x30) {
    d = static_cast<uint8_t>(b - 46);
  }
  return d;
}

uint32_t half(const uint8_t* k) { return digit(k[0]) * 1600 + digit(k[1]) * 40 + digit(k[2]); }

}  // namespace

uint32_t packed_key(const uint8_t* key) { return half(key) << 16 | half(key + 3); }

void sort_entries(uint8_t* entries, int32_t count) {
  sort_records_by(entries, count, kEntrySize, [](const uint8_t* a, const uint8_t* b) {
    const uint32_t ka = entry_key(a);
    const uint32_t kb = entry_key(b);
    if (ka != kb) return ka < kb ? -1 : 1;
    const uint32_t pa = entry_position(a);
    const uint32_t pb = entry_position(b);
    return pa < pb ? -1 : pa > pb ? 1 : 0;
  });
}

int32_t lower_bound_entry(const uint8_t* entries, int32_t count, uint32_t key) {
  int32_t low = 0;
  int32_t high = count;
  while (low < high) {
    const int32_t mid = low + (high - low) / 2;
    if (entry_key(entries + static_cast<int64_t>(mid) * kEntrySize) < key) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

}  // namespace osp::text
