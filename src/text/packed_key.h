// The key of a user text file's entries: six key bytes packed into a 32-bit
// number, and the 7-byte entry (record position and packed key) that the
// lists and the ".HDX" index file hold.
#pragma once

#include <cstdint>

#include "frame/bytes.h"

namespace osp::text {

inline constexpr int32_t kKeyLength = 6;
inline constexpr int32_t kEntrySize = 7;          // 3 position bytes, 4 key bytes
inline constexpr uint32_t kPositionLimit = 1u << 24;  // positions must lie below it

// Packs six key bytes: each byte b gives the digit b - 52 (b >= 'A'),
// b - 46 (b >= '0') or 1 (below '0'), taken modulo 256; the key is
// (d0 * 1600 + d1 * 40 + d2) << 16 | (d3 * 1600 + d4 * 40 + d5). Keys of
// blanks, digits and capital letters order like their texts, blank first:
// "ABC123" packs to 0x537F1365, six blanks to 0x06690669.
uint32_t packed_key(const uint8_t* key);

// The fields of the entry at e (kEntrySize bytes, little-endian).
inline uint32_t entry_position(const uint8_t* e) {
  return static_cast<uint32_t>(e[0]) | static_cast<uint32_t>(e[1]) << 8 |
         static_cast<uint32_t>(e[2]) << 16;
}
inline uint32_t entry_key(const uint8_t* e) { return load_u32(e + 3); }
// Stores position (below kPositionLimit) and key into the entry at e.
inline void set_entry(uint8_t* e, uint32_t position, uint32_t key) {
  e[0] = static_cast<uint8_t>(position);
  e[1] = static_cast<uint8_t>(position >> 8);
  e[2] = static_cast<uint8_t>(position >> 16);
  store_u32(e + 3, key);
}

// Sorts count entries at entries by packed key, unsigned and ascending;
// entries with equal keys stay in the order they had (lists are sorted from
// file order, so equal keys stay in file order). A list already in key order
// is left as it is. Uses a work area of 23 bytes an entry from the platform's
// heap; without one, sorts by key and then position.
void sort_entries(uint8_t* entries, int32_t count);

// The index of the first of count entries (sorted by key) whose key is not
// below key, or count when there is none.
int32_t lower_bound_entry(const uint8_t* entries, int32_t count, uint32_t key);

}  // namespace osp::text
