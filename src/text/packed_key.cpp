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

// A stable sort by key: three passes of 11, 11 and 10 key bits, lowest
// first, between entries and work (a count table of 2048 stays in the
// processor's nearest cache). A pass in which every key has the same digit
// is left out; the entries end in entries.
void radix_sort(uint8_t* entries, uint8_t* work, int32_t count) {
  constexpr int kDigitBits = 11;
  constexpr int32_t kDigits = 1 << kDigitBits;
  uint8_t* from = entries;
  uint8_t* to = work;
  for (int shift = 0; shift < 32; shift += kDigitBits) {
    int32_t start[kDigits + 1] = {};
    for (int32_t i = 0; i < count; ++i)
      ++start[((entry_key(from + static_cast<int64_t>(i) * kEntrySize) >> shift) & (kDigits - 1)) + 1];
    bool one_digit = false;
    for (int32_t d = 0; d < kDigits && !one_digit; ++d) one_digit = start[d + 1] == count;
    if (one_digit) continue;
    for (int32_t d = 0; d < kDigits; ++d) start[d + 1] += start[d];
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t* e = from + static_cast<int64_t>(i) * kEntrySize;
      const uint32_t digit = (entry_key(e) >> shift) & (kDigits - 1);
      std::memcpy(to + static_cast<int64_t>(start[digit]++) * kEntrySize, e, kEntrySize);
    }
    std::swap(from, to);
  }
  if (from != entries) std::memcpy(entries, from, static_cast<size_t>(count) * kEntrySize);
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
