// The index file layout: 512-byte pages, page 0 the header, tree pages from 1.
// Shared by the open-index operations and the index builder.
#pragma once

#include <cstdint>

#include "frame/bytes.h"

namespace osp::index {

inline constexpr int kPageSize = 512;

// Header page offsets.
inline constexpr int kHdrRoot = 0;         // u32 root page number
inline constexpr int kHdrNextFree = 4;     // u32 pages in the file, header included
inline constexpr int kHdrUnused = 8;       // u32 zero
inline constexpr int kHdrKeyLength = 12;   // i16
inline constexpr int kHdrMaxKeys = 14;     // i16 508 / entry size
inline constexpr int kHdrKeyType = 16;     // i16 0 = character
inline constexpr int kHdrEntrySize = 18;   // i16
inline constexpr int kHdrUnique = 23;      // u8 0
inline constexpr int kHdrExpression = 24;  // expression text, a blank, a NUL
inline constexpr int kHeaderStateBytes = 24;

// The longest key an index may have.
inline constexpr int kMaxKeyLength = 256;

// Tree page layout: a 4-byte count, then entries of (child u32, recno u32,
// key), then the last child u32 after entry n - 1.
inline constexpr int kPageCount = 0;
inline constexpr int kPageEntries = 4;
inline constexpr int kEntryChild = 0;
inline constexpr int kEntryRecno = 4;
inline constexpr int kEntryKey = 8;
inline constexpr int kPageUsable = 508;  // bytes after the count

// ((key length - 1) with its two low bits cleared) + 12: 8 + the key length
// rounded up to a multiple of 4.
inline constexpr int entry_size_for(int key_length) { return ((key_length - 1) & ~3) + 12; }

// Entries that fit one page.
inline constexpr int max_keys_for(int entry_size) { return kPageUsable / entry_size; }

// Byte offset of entry i within a page.
inline constexpr int entry_offset(int i, int entry_size) { return kPageEntries + i * entry_size; }

// An open index holds one page per tree level in a buffer with room for one
// entry more than a page can hold (an insertion puts n + 1 entries into a page
// before it splits it): the count, max keys + 1 entries of the largest size,
// and the last child slot.
inline constexpr int kLevelBytes = kPageSize + 4 + entry_size_for(kMaxKeyLength);

// The highest page number whose page a 32-bit file position can reach.
inline constexpr uint32_t kMaxPageNumber = 0xFFFFFFFFu / kPageSize;

}  // namespace osp::index
