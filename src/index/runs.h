// Index building, phase 1: the records are read in memory-sized chunks, each
// chunk's sort entries are sorted in memory and appended to a work file as a
// sorted run. Also the memory chunk and run table that the later phases share.
//
// A sort entry is a record number (unsigned 32-bit, little-endian) followed by
// the record's key. Entries order by key (unsigned bytes), then by record
// number, so equal keys come out in record-number order.
#pragma once

#include <cstdint>
#include <cstring>

#include "dbf/field_descriptors.h"
#include "frame/bytes.h"
#include "frame/file.h"
#include "index/key_expression.h"

namespace osp::index {

inline constexpr int32_t kRecnoBytes = 4;
inline constexpr int32_t kLargestChunk = 49152;
inline constexpr int32_t kSmallestChunk = 3072;

// One row of the run table: the run's entry count and its byte offset in the
// work file that holds it.
struct Run {
  uint32_t count;
  uint32_t offset;
};

// The working memory of a build: one chunk and the run table.
struct SortSpace {
  int32_t key_length = 0;
  int32_t width = 0;  // key_length + 4
  int32_t chunk_size = 0;
  int32_t entries_per_chunk = 0;
  uint8_t* chunk = nullptr;
  Run* runs = nullptr;
  int32_t run_count = 0;
};

// The N (at most 8) bytes at p as a big-endian number, left-aligned: numbers
// compare as the bytes do.
template <int N>
inline uint64_t key_word(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 0; i < N; ++i) v = (v << 8) | p[i];
  return N == 0 ? 0 : v << (8 * (8 - N));
}

inline int compare_recnos(const uint8_t* x, const uint8_t* y) {
  const uint32_t rx = load_u32(x);
  const uint32_t ry = load_u32(y);
  return rx < ry ? -1 : (rx > ry ? 1 : 0);
}

// Compares sort entries: negative, 0 or positive, keys first (unsigned bytes),
// then record numbers. ShortKey serves keys of exactly N bytes (N at most 8),
// LongKey keys of any length, eight bytes at a time.
//
// before(x, y) says whether x sorts at or before y, without branches where
// the key allows it (the merge asks it for every entry).
template <int N>
struct ShortKey {
  int operator()(const uint8_t* x, const uint8_t* y) const {
    const uint64_t u = key_word<N>(x + kRecnoBytes);
    const uint64_t v = key_word<N>(y + kRecnoBytes);
    if (u != v) return u < v ? -1 : 1;
    return compare_recnos(x, y);
  }
  bool before(const uint8_t* x, const uint8_t* y) const {
    const uint64_t u = key_word<N>(x + kRecnoBytes);
    const uint64_t v = key_word<N>(y + kRecnoBytes);
    const uint32_t rx = load_u32(x);
    const uint32_t ry = load_u32(y);
    if constexpr (N <= 4) {
      // The key fills the high half of the word: key and record number compare as one.
      return (u | rx) <= (v | ry);
    } else {
      return (u < v) | ((u == v) & (rx <= ry));
    }
  }
};

struct LongKey {
  int32_t key_length;
  int operator()(const uint8_t* x, const uint8_t* y) const {
    const uint8_t* a = x + kRecnoBytes;
    const uint8_t* b = y + kRecnoBytes;
    int32_t n = key_length;
    for (; n >= 8; n -= 8, a += 8, b += 8) {
      const uint64_t u = key_word<8>(a);
      const uint64_t v = key_word<8>(b);
      if (u != v) return u < v ? -1 : 1;
    }
    for (; n > 0; --n, ++a, ++b) {
      if (*a != *b) return *a < *b ? -1 : 1;
    }
    return compare_recnos(x, y);
  }
  bool before(const uint8_t* x, const uint8_t* y) const { return (*this)(x, y) <= 0; }
};

// Calls f with the comparison for keys of key_length bytes.
template <class F>
decltype(auto) with_entry_compare(int32_t key_length, F&& f) {
  switch (key_length) {
    case 0: return f(ShortKey<0>{});
    case 1: return f(ShortKey<1>{});
    case 2: return f(ShortKey<2>{});
    case 3: return f(ShortKey<3>{});
    case 4: return f(ShortKey<4>{});
    case 5: return f(ShortKey<5>{});
    case 6: return f(ShortKey<6>{});
    case 7: return f(ShortKey<7>{});
    case 8: return f(ShortKey<8>{});
    default: return f(LongKey{key_length});
  }
}

// Copies one sort entry of width bytes.
inline void copy_entry(uint8_t* to, const uint8_t* from, int32_t width) {
  if (width >= 8 && width <= 16) {
    // Two overlapping words cover every width from 8 to 16.
    uint64_t head;
    uint64_t tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + width - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + width - 8, &tail, 8);
  } else {
    std::memcpy(to, from, static_cast<std::size_t>(width));
  }
}

// Sets space up for record_count entries with keys of key_length bytes: a
// zeroed run table of (record_count - 1) / entries per chunk + 1 rows and a
// chunk of 49152 bytes, halved while it cannot be had, down to 3072.
// Returns 0, or 6 (space then holds nothing). record_count is 0 or more.
int32_t allocate_sort_space(SortSpace* space, int32_t key_length, int32_t record_count);

// Frees what space holds.
void release_sort_space(SortSpace* space);

// The record file being read: its open handle, its layout and a block buffer
// of block_records whole records.
struct RecordSource {
  FileHandle file = kNoFile;
  const dbf::RecordLayout* layout = nullptr;
  uint8_t* block = nullptr;
  int32_t block_records = 0;
};

// Reads every record of source from the first, gives them record numbers 1,
// 2, ..., and writes one sorted run per chunk's worth to out from its current
// position, filling space's run table. Returns 0; 21 when a record is read
// short; 23 when a run is written short.
int32_t write_sorted_runs(const RecordSource& source, const KeyExpression& expression,
                          SortSpace* space, FileHandle out);

// Index building, phase 2: the sorted runs are merged pairwise, back and forth
// between the two work files, until one run remains.

// Merges the runs of space's run table, which lie in files[0], until one is
// left. Each pass reads one file and rewrites the other from its start: runs
// 2i and 2i+1 become run i (ties go to the earlier run), and an odd last run
// is copied unchanged. The chunk is cut into three equal parts: two input
// buffers and the output buffer. On 0, *sorted is the index (0 or 1) of the
// file holding the single run, and the run table has one row. Returns 0, or
// 23 when a work file is read or written short (or cannot be positioned).
int32_t merge_runs(SortSpace* space, const FileHandle files[2], int* sorted);

}  // namespace osp::index
