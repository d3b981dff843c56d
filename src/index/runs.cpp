#include "index/runs.h"

#include <cstring>

#include "frame/bytes.h"
#include "frame/sort.h"
#include "frame/status.h"
#include "platform/env.h"

namespace osp::index {

int32_t allocate_sort_space(SortSpace* space, int32_t key_length, int32_t record_count) {
  *space = SortSpace{};
  space->key_length = key_length;
  space->width = key_length + kRecnoBytes;
  platform::Env* env = platform::env();
  for (int32_t chunk = kLargestChunk; chunk >= kSmallestChunk; chunk /= 2) {
    const int32_t per_chunk = chunk / space->width;
    const int32_t runs = (record_count - 1) / per_chunk + 1;
    auto* table = static_cast<Run*>(env->allocate(sizeof(Run) * static_cast<size_t>(runs)));
    if (table == nullptr) return status::kNoMemory;
    std::memset(table, 0, sizeof(Run) * static_cast<size_t>(runs));
    auto* memory = static_cast<uint8_t*>(env->allocate(static_cast<size_t>(chunk)));
    if (memory != nullptr) {
      space->chunk_size = chunk;
      space->entries_per_chunk = per_chunk;
      space->chunk = memory;
      space->runs = table;
      space->run_count = runs;
      return status::kOk;
    }
    env->release(table);
  }
  return status::kNoMemory;
}

void release_sort_space(SortSpace* space) {
  platform::env()->release(space->chunk);
  platform::env()->release(space->runs);
  space->chunk = nullptr;
  space->runs = nullptr;
  space->run_count = 0;
}

int32_t write_sorted_runs(const RecordSource& source, const KeyExpression& expression,
                          SortSpace* space, FileHandle out) {
  const dbf::RecordLayout& layout = *source.layout;
  const int32_t record_size = layout.record_size;
  if (file_seek(source.file, layout.header_size) != layout.header_size)
    return status::kDataReadError;

  int32_t unread = layout.record_count;  // records not yet read from the file
  int32_t in_block = 0;                  // records in the block
  int32_t next_in_block = 0;
  uint32_t recno = 0;
  uint32_t offset = 0;
  const auto width = static_cast<uint32_t>(space->width);
  int32_t remaining = layout.record_count;  // records not yet placed in a run

  for (int32_t k = 0; k < space->run_count; ++k) {
    const int32_t size = remaining < space->entries_per_chunk ? remaining : space->entries_per_chunk;
    space->runs[k] = Run{static_cast<uint32_t>(size), offset};
    uint8_t* entry = space->chunk;
    for (int32_t j = 0; j < size; ++j, entry += width) {
      if (next_in_block == in_block) {
        const int32_t n = unread < source.block_records ? unread : source.block_records;
        const int32_t bytes = n * record_size;
        if (file_read(source.file, source.block, bytes) != bytes) return status::kDataReadError;
        unread -= n;
        in_block = n;
        next_in_block = 0;
      }
      const uint8_t* record = source.block + next_in_block * record_size;
      ++next_in_block;
      store_u32(entry, ++recno);
      extract_key(expression, record, entry + kRecnoBytes);
    }
    with_entry_compare(space->key_length, [&](auto compare) {
      sort_records_by(space->chunk, size, space->width, compare);
    });
    const int32_t bytes = size * space->width;
    if (file_write(out, space->chunk, bytes) != bytes) return status::kIndexBuildError;
    offset += static_cast<uint32_t>(bytes);
    remaining -= size;
  }
  return status::kOk;
}

}  // namespace osp::index
