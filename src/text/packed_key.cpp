#include "text/packed_key.h"

#include <cstring>
#include <utility>

#include "frame/sort.h"
#include "platform/env.h"

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

namespace {

bool sorted(const uint8_t* entries, int32_t count) {
  for (int32_t i = 1; i < count; ++i) {
    if (entry_key(entries + static_cast<int64_t>(i - 1) * kEntrySize) >
        entry_key(entries + static_cast<int64_t>(i) * kEntrySize))
      return false;
  }
  return true;
}

// A stable sort by key: four passes of one key byte each, lowest first,
// between entries and work.
void radix_sort(uint8_t* entries, uint8_t* work, int32_t count) {
  uint8_t* from = entries;
  uint8_t* to = work;
  for (int byte = 0; byte < 4; ++byte) {
    int32_t start[257] = {};
    for (int32_t i = 0; i < count; ++i) ++start[from[static_cast<int64_t>(i) * kEntrySize + 3 + byte] + 1];
    for (int b = 0; b < 256; ++b) start[b + 1] += start[b];
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t* e = from + static_cast<int64_t>(i) * kEntrySize;
      std::memcpy(to + static_cast<int64_t>(start[e[3 + byte]]++) * kEntrySize, e, kEntrySize);
    }
    std::swap(from, to);
  }
  // Four passes end where they began, in entries.
}

}  // namespace

void sort_entries(uint8_t* entries, int32_t count) {
  if (count <= 1 || sorted(entries, count)) return;
  auto* work = static_cast<uint8_t*>(
      platform::env()->allocate(static_cast<size_t>(count) * kEntrySize));
  if (work != nullptr) {
    radix_sort(entries, work, count);
    platform::env()->release(work);
    return;
  }
  // Without room for the passes: the same order by comparison.
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
