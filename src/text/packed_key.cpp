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

// A stable sort by key. Each entry becomes one 8-byte item, its key above
// its index, and the items are sorted in three passes of 11, 11 and 10 key
// bits, lowest first (count tables of 2048 stay in the processor's nearest
// cache; a pass in which every key has the same digit is left out); the
// entries are then gathered in that order. work holds 2 * count items and
// count entries.
void radix_sort(uint8_t* entries, uint8_t* work, int32_t count) {
  constexpr int kDigitBits = 11;
  constexpr int32_t kDigits = 1 << kDigitBits;
  constexpr int kPasses = 3;
  auto* from = reinterpret_cast<uint64_t*>(work);
  uint64_t* to = from + count;
  uint8_t* gathered = reinterpret_cast<uint8_t*>(to + count);
  static int32_t start[kPasses][kDigits + 1];
  std::memset(start, 0, sizeof start);
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t key = entry_key(entries + static_cast<int64_t>(i) * kEntrySize);
    from[i] = static_cast<uint64_t>(key) << 32 | static_cast<uint32_t>(i);
    for (int p = 0; p < kPasses; ++p) ++start[p][((key >> (p * kDigitBits)) & (kDigits - 1)) + 1];
  }
  for (int p = 0; p < kPasses; ++p) {
    int32_t* at = start[p];
    bool one_digit = false;
    for (int32_t d = 0; d < kDigits && !one_digit; ++d) one_digit = at[d + 1] == count;
    if (one_digit) continue;
    for (int32_t d = 0; d < kDigits; ++d) at[d + 1] += at[d];
    const int shift = 32 + p * kDigitBits;
    for (int32_t i = 0; i < count; ++i) {
      const uint64_t item = from[i];
      to[at[(item >> shift) & (kDigits - 1)]++] = item;
    }
    std::swap(from, to);
  }
  for (int32_t i = 0; i < count; ++i)
    std::memcpy(gathered + static_cast<int64_t>(i) * kEntrySize,
                entries + static_cast<int64_t>(static_cast<uint32_t>(from[i])) * kEntrySize,
                kEntrySize);
  std::memcpy(entries, gathered, static_cast<size_t>(count) * kEntrySize);
}

}  // namespace

void sort_entries(uint8_t* entries, int32_t count) {
  if (count <= 1 || sorted(entries, count)) return;
  auto* work = static_cast<uint8_t*>(platform::env()->allocate(
      static_cast<size_t>(count) * (2 * sizeof(uint64_t) + kEntrySize)));
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
