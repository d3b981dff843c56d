#include "index/merge_runs.h"

#include <algorithm>
#include <cstring>

#include "frame/status.h"

namespace osp::index {

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
