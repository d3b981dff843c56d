// Index building, phase 1: the records are read in memory-sized chunks, each
// chunk's sort entries are sorted in memory and appended to a work file as a
// sorted run. Also the memory chunk and run table that the later phases share.
//
// A sort entry is a record number (unsigned 32-bit, little-endian) followed by
// the record's key. Entries order by key (unsigned bytes), then by record
// number, so equal keys come out in record-number order.
#pragma once

#include <cstdint>

#include "dbf/field_descriptors.h"
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

// Compares the sort entries at a and b; context is the SortSpace. Negative, 0
// or positive: keys first, then record numbers.
int compare_sort_entries(const void* a, const void* b, void* context);

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

}  // namespace osp::index
