#include "index/runs.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "frame/bytes.h"
#include "frame/sort.h"
#include "frame/status.h"
#include "platform/env.h"

namespace osp::index {

namespace {

// The most entries a chunk holds (the largest chunk, keys of 0 bytes).
constexpr int32_t kMostEntries = kLargestChunk / kRecnoBytes;
// Keys up to this long are sorted by their bytes; longer ones by comparison.
constexpr int32_t kLongestRadixKey = 8;
// Below this many entries the comparison sort is as quick.
constexpr int32_t kFewestRadixEntries = 256;

// The entry order of the byte sort, two arrays it moves between. Static, as
// the read-ahead windows are: one build runs at a time, and the build's heap
// stays the chunk, the run table and its buffers.
uint16_t g_order[2][kMostEntries];

// Moves the count entries of width bytes at chunk so that position i holds
// the entry that stood at order[i], one cycle of the permutation at a time
// (order is used up).
void permute(uint8_t* chunk, uint16_t* order, int32_t count, int32_t width) {
  uint8_t held[kRecnoBytes + kLongestRadixKey];
  for (int32_t i = 0; i < count; ++i) {
    if (order[i] == i) continue;
    std::memcpy(held, chunk + i * width, static_cast<size_t>(width));
    int32_t j = i;
    for (;;) {
      const int32_t k = order[j];
      order[j] = static_cast<uint16_t>(j);
      if (k == i) {
        std::memcpy(chunk + j * width, held, static_cast<size_t>(width));
        break;
      }
      std::memcpy(chunk + j * width, chunk + k * width, static_cast<size_t>(width));
      j = k;
    }
  }
}

// Sorts the count entries at chunk, which stand in ascending record-number
// order, by key: one stable counting pass per key byte, last byte first, so
// that equal keys keep their record-number order and the result is the
// comparison's (key, then record number). A byte every key shares needs no
// pass.
void sort_by_key_bytes(uint8_t* chunk, int32_t count, int32_t width, int32_t key_length) {
  uint16_t* from = g_order[0];
  uint16_t* to = g_order[1];
  for (int32_t i = 0; i < count; ++i) from[i] = static_cast<uint16_t>(i);
  const uint8_t* keys = chunk + kRecnoBytes;
  for (int32_t b = key_length - 1; b >= 0; --b) {
    int32_t start[256] = {};
    for (int32_t i = 0; i < count; ++i) ++start[keys[i * width + b]];
    if (start[keys[b]] == count) continue;
    int32_t sum = 0;
    for (int32_t& n : start) {
      const int32_t here = n;
      n = sum;
      sum += here;
    }
    for (int32_t i = 0; i < count; ++i) {
      const uint16_t e = from[i];
      to[start[keys[e * width + b]]++] = e;
    }
    std::swap(from, to);
  }
  permute(chunk, from, count, width);
}

// Sorts one chunk's entries into the order of the entry comparison.
void sort_chunk(SortSpace* space, int32_t count) {
  if (space->key_length <= kLongestRadixKey && count >= kFewestRadixEntries &&
      count <= kMostEntries) {
    sort_by_key_bytes(space->chunk, count, space->width, space->key_length);
    return;
  }
  with_entry_compare(space->key_length, [&](auto compare) {
    sort_records_by(space->chunk, count, space->width, compare);
  });
}

}  // namespace

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
    sort_chunk(space, size);
    const int32_t bytes = size * space->width;
    if (file_write(out, space->chunk, bytes) != bytes) return status::kIndexBuildError;
    offset += static_cast<uint32_t>(bytes);
    remaining -= size;
  }
  return status::kOk;
}

namespace {

// One input run being merged: where it continues in the input file, how many
// of its entries are still in the file, and its buffer.
struct RunReader {
  uint32_t position;
  uint32_t left;
  uint8_t* buffer;
  int32_t held = 0;  // entries in the buffer
  int32_t next = 0;  // the buffer's current entry

  bool empty() const { return next == held; }
  const uint8_t* current(int32_t width) const { return buffer + next * width; }
};

class Merger {
 public:
  Merger(SortSpace* space, FileHandle in, FileHandle out)
      : space_(space), in_(in), out_(out), width_(space->width) {
    const int32_t third = space->chunk_size / 3;
    per_third_ = third / width_;
    buffer_a_ = space->chunk;
    buffer_b_ = space->chunk + third;
    output_ = space->chunk + 2 * third;
  }

  // Merges runs a and b of the input onto the end of the output.
  template <class Compare>
  int32_t merge(const Run& a, const Run& b, Compare compare) {
    RunReader ra{a.offset, a.count, buffer_a_};
    RunReader rb{b.offset, b.count, buffer_b_};
    int32_t out_count = 0;
    for (;;) {
      if (ra.empty() && ra.left > 0 && !refill(&ra)) return status::kIndexBuildError;
      if (rb.empty() && rb.left > 0 && !refill(&rb)) return status::kIndexBuildError;
      if (ra.empty() && rb.empty()) break;
      // As many entries as can be taken before a buffer runs empty or the
      // output fills: the smaller of what each buffer holds and the room left.
      int32_t steps = per_third_ - out_count;
      if (ra.empty() || rb.empty()) {
        RunReader* only = ra.empty() ? &rb : &ra;
        steps = std::min(steps, only->held - only->next);
        std::memcpy(output_ + out_count * width_, only->current(width_),
                    static_cast<std::size_t>(steps) * static_cast<std::size_t>(width_));
        only->next += steps;
        out_count += steps;
      } else {
        steps = std::min({steps, ra.held - ra.next, rb.held - rb.next});
        const uint8_t* pa = ra.current(width_);
        const uint8_t* pb = rb.current(width_);
        uint8_t* out = output_ + out_count * width_;
        for (int32_t k = 0; k < steps; ++k) {
          // Ties go to a, the earlier run.
          const bool take_a = compare.before(pa, pb);
          copy_entry(out, take_a ? pa : pb, width_);
          out += width_;
          pa += take_a ? width_ : 0;
          pb += take_a ? 0 : width_;
        }
        const auto took_a = static_cast<int32_t>((pa - ra.current(width_)) / width_);
        ra.next += took_a;
        rb.next += steps - took_a;
        out_count += steps;
      }
      if (out_count == per_third_) {
        if (!write_output(out_count)) return status::kIndexBuildError;
        out_count = 0;
      }
    }
    return write_output(out_count) ? status::kOk : status::kIndexBuildError;
  }

  // Copies run r of the input unchanged onto the end of the output, through
  // the chunk, at most a chunk's worth of entries at a time.
  int32_t copy(const Run& r) {
    if (file_seek(in_, r.offset) != r.offset) return status::kIndexBuildError;
    uint32_t left = r.count;
    while (left > 0) {
      const auto per_chunk = static_cast<uint32_t>(space_->entries_per_chunk);
      const int32_t n = static_cast<int32_t>(left < per_chunk ? left : per_chunk);
      const int32_t bytes = n * width_;
      if (file_read(in_, space_->chunk, bytes) != bytes ||
          file_write(out_, space_->chunk, bytes) != bytes) {
        return status::kIndexBuildError;
      }
      left -= static_cast<uint32_t>(n);
    }
    return status::kOk;
  }

 private:
  bool refill(RunReader* r) {
    if (file_seek(in_, r->position) != r->position) return false;
    const auto per_third = static_cast<uint32_t>(per_third_);
    const int32_t n = static_cast<int32_t>(r->left < per_third ? r->left : per_third);
    const int32_t bytes = n * width_;
    if (file_read(in_, r->buffer, bytes) != bytes) return false;
    r->position += static_cast<uint32_t>(bytes);
    r->left -= static_cast<uint32_t>(n);
    r->held = n;
    r->next = 0;
    return true;
  }

  bool write_output(int32_t count) {
    const int32_t bytes = count * width_;
    return file_write(out_, output_, bytes) == bytes;
  }

  SortSpace* space_;
  FileHandle in_;
  FileHandle out_;
  int32_t width_;
  int32_t per_third_ = 0;
  uint8_t* buffer_a_ = nullptr;
  uint8_t* buffer_b_ = nullptr;
  uint8_t* output_ = nullptr;
};

}  // namespace

int32_t merge_runs(SortSpace* space, const FileHandle files[2], int* sorted) {
  int in = 0;
  while (space->run_count > 1) {
    const int out = 1 - in;
    if (file_seek(files[out], 0) != 0) return status::kIndexBuildError;
    Merger merger(space, files[in], files[out]);
    const int32_t pairs = space->run_count / 2;
    for (int32_t i = 0; i < pairs; ++i) {
      const Run a = space->runs[2 * i];
      const Run b = space->runs[2 * i + 1];
      const int32_t result = with_entry_compare(
          space->key_length, [&](auto compare) { return merger.merge(a, b, compare); });
      if (result != status::kOk) return result;
      space->runs[i] = Run{a.count + b.count, a.offset};
    }
    if (space->run_count % 2 != 0) {
      const Run last = space->runs[space->run_count - 1];
      const int32_t result = merger.copy(last);
      if (result != status::kOk) return result;
      space->runs[pairs] = last;
    }
    in = out;
    space->run_count = (space->run_count + 1) / 2;
  }
  *sorted = in;
  return status::kOk;
}

}  // namespace osp::index
