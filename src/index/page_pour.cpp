#include "index/page_pour.h"

#include <cstring>

#include "frame/bytes.h"
#include "frame/status.h"
#include "index/index_format.h"
#include "platform/env.h"

namespace osp::index {

namespace {

class PagePourer {
 public:
  PagePourer(FileHandle sorted, FileHandle index_file, const SortSpace& space, uint32_t count)
      : sorted_(sorted),
        index_(index_file),
        key_length_(space.key_length),
        width_(space.width),
        entry_size_(entry_size_for(space.key_length)),
        max_keys_(max_keys_for(entry_size_)),
        read_buffer_(space.chunk),
        read_capacity_((space.chunk_size / 2) / space.width),
        write_buffer_(space.chunk + space.chunk_size / 2),
        write_capacity_((space.chunk_size / 2) / kPageSize),
        remaining_(count) {}

  ~PagePourer() {
    for (uint8_t* page : pages_) platform::env()->release(page);
  }

  PagePourer(const PagePourer&) = delete;
  PagePourer& operator=(const PagePourer&) = delete;

  int32_t run(PourResult* result) {
    if (file_truncate(index_, 0) != 1) status_ = status::kIndexWriteError;
    position_ = -1;
    uint32_t root = 0;
    int height = 0;
    do {
      if (!build(height, &root)) return status_;
      ++height;
    } while (remaining_ > 0);
    flush_pages();
    result->root = root;
    result->next_page = next_page_;
    return status_;
  }

 private:
  // Builds a page of the given height for the page-number variable *s and
  // leaves the new page's number in it. An interior page's first child is the
  // page *s names (built first when *s is 0). False when the build must end
  // (status_ says why).
  bool build(int height, uint32_t* s) {
    if (height >= kMaxTreeHeight) return fail(status::kIndexBuildError);
    uint8_t* page = page_buffer(height);
    if (page == nullptr) return fail(status::kNoMemory);
    std::memset(page, 0, kPageSize);
    int32_t n = 0;
    if (height == 0) {
      while (n < max_keys_ && remaining_ > 0) {
        const uint8_t* entry = next_entry();
        if (entry == nullptr) return fail(status::kIndexBuildError);
        uint8_t* e = page + entry_offset(n, entry_size_);
        std::memcpy(e + kEntryRecno, entry, kRecnoBytes);
        std::memcpy(e + kEntryKey, entry + kRecnoBytes, static_cast<std::size_t>(key_length_));
        std::memcpy(last_key_, entry + kRecnoBytes, static_cast<std::size_t>(key_length_));
        --remaining_;
        ++n;
      }
    } else {
      if (*s == 0 && !build(height - 1, s)) return false;
      while (n < max_keys_ && remaining_ > 0) {
        uint8_t* e = page + entry_offset(n, entry_size_);
        store_u32(e + kEntryChild, *s);
        std::memcpy(e + kEntryKey, last_key_, static_cast<std::size_t>(key_length_));
        ++n;
        *s = 0;
        if (!build(height - 1, s)) return false;
      }
      store_u32(page + entry_offset(n, entry_size_), *s);
    }
    store_u32(page + kPageCount, static_cast<uint32_t>(n));
    *s = next_page_++;
    write_page(page, *s);
    return true;
  }

  uint8_t* page_buffer(int height) {
    if (pages_[height] == nullptr)
      pages_[height] = static_cast<uint8_t*>(platform::env()->allocate(kPageSize));
    return pages_[height];
  }

  // The next sorted entry, read through the buffer; nullptr on a short read.
  const uint8_t* next_entry() {
    if (buffer_next_ == buffer_held_) {
      const uint32_t capacity = static_cast<uint32_t>(read_capacity_);
      const int32_t n = static_cast<int32_t>(remaining_ < capacity ? remaining_ : capacity);
      const int32_t bytes = n * width_;
      if (file_read(sorted_, read_buffer_, bytes) != bytes) return nullptr;
      buffer_held_ = n;
      buffer_next_ = 0;
    }
    return read_buffer_ + (buffer_next_++) * width_;
  }

  // Queues the finished page for writing at number x 512. Pages are finished
  // in the order of their numbers, so the queue is written out as one
  // stretch of the file whenever it is full, and once more at the end.
  void write_page(const uint8_t* page, uint32_t number) {
    if (queued_ == 0) first_queued_ = number;
    std::memcpy(write_buffer_ + queued_ * kPageSize, page, kPageSize);
    if (++queued_ == write_capacity_) flush_pages();
  }

  // Writes the queued pages; a failure is recorded and the build goes on.
  void flush_pages() {
    if (queued_ == 0) return;
    const int64_t at = static_cast<int64_t>(first_queued_) * kPageSize;
    const int32_t bytes = queued_ * kPageSize;
    queued_ = 0;
    if ((position_ != at && file_seek(index_, at) != at) ||
        file_write(index_, write_buffer_, bytes) != bytes) {
      position_ = -1;
      status_ = status::kIndexWriteError;
      return;
    }
    position_ = at + bytes;
  }

  bool fail(int32_t code) {
    status_ = code;
    return false;
  }

  FileHandle sorted_;
  FileHandle index_;
  int32_t key_length_;
  int32_t width_;
  int32_t entry_size_;
  int32_t max_keys_;
  uint8_t* read_buffer_;
  int32_t read_capacity_;
  uint8_t* write_buffer_;
  int32_t write_capacity_;  // pages
  int32_t queued_ = 0;
  uint32_t first_queued_ = 0;
  int32_t buffer_held_ = 0;
  int32_t buffer_next_ = 0;
  uint32_t remaining_;
  uint32_t next_page_ = 1;
  uint8_t last_key_[kMaxKeyLength] = {};
  uint8_t* pages_[kMaxTreeHeight] = {};
  int32_t status_ = status::kOk;
  int64_t position_ = -1;
};

}  // namespace

int32_t pour_pages(FileHandle sorted, FileHandle index_file, const SortSpace& space,
                   uint32_t count, PourResult* result) {
  if (file_seek(sorted, 0) != 0) return status::kIndexBuildError;
  PagePourer pourer(sorted, index_file, space, count);
  return pourer.run(result);
}

}  // namespace osp::index
