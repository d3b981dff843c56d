// The sorted copy of a record file and its installation in the file's place.
#include "print/sort_rewrite.h"

#include <cstring>
#include <memory>
#include <new>

#include "dbf/record_file.h"
#include "frame/bytes.h"
#include "frame/file.h"
#include "frame/status.h"
#include "index/index_builder.h"
#include "index/index_file.h"
#include "log/log_file_set.h"
#include "log/log_paths.h"
#include "log/log_write_protocol.h"
#include "platform/env.h"

namespace osp::print {

namespace {

// Records are gathered into blocks of about this size before each write.
constexpr int32_t kCopyBlockBytes = 256 * 1024;
// The header fields of a record file that the copy sets anew.
constexpr int kHeaderDateOffset = 1;
constexpr int kHeaderCountOffset = 4;

// The sorted copy while it is written: the file and the block not yet
// written. Removes the file unless it was completed.
class CopyWriter {
 public:
  CopyWriter(const char* path, int32_t block_bytes) : path_(path), capacity_(block_bytes) {}
  ~CopyWriter() {
    if (file_ != kNoFile) file_close(file_);
    if (!done_) platform::env()->remove(path_);
  }
  CopyWriter(const CopyWriter&) = delete;
  CopyWriter& operator=(const CopyWriter&) = delete;

  int32_t create() {
    block_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(capacity_)]);
    if (!block_) return status::kNoMemory;
    file_ = file_create(path_);
    return file_ == kNoFile ? status::kCannotOpen : status::kOk;
  }
  // A place for length bytes in the block (length at most the capacity).
  uint8_t* reserve(int32_t length, int32_t* failed) {
    if (used_ + length > capacity_) *failed = write_block();
    uint8_t* at = block_.get() + used_;
    used_ += length;
    return at;
  }
  int32_t write_block() {
    const int32_t n = used_;
    used_ = 0;
    if (n > 0 && file_write(file_, block_.get(), n) != n) return status::kDataWriteError;
    return status::kOk;
  }
  // Writes the rest, then the header (again, with its final count) at 0,
  // flushes and closes.
  int32_t finish(const uint8_t* header, int32_t header_size) {
    if (write_block() != status::kOk) return status::kDataWriteError;
    if (file_seek(file_, 0) != 0 || file_write(file_, header, header_size) != header_size ||
        !file_flush(file_)) {
      return status::kDataWriteError;
    }
    const bool closed = file_close(file_);
    file_ = kNoFile;
    if (!closed) return status::kDataWriteError;
    done_ = true;
    return status::kOk;
  }

 private:
  const char* path_;
  int32_t capacity_;
  std::unique_ptr<uint8_t[]> block_;
  int32_t used_ = 0;
  FileHandle file_ = kNoFile;
  bool done_ = false;
};

// One bit per record: whether the order named it already.
class RecordSeen {
 public:
  bool allocate(int32_t count) {
    bits_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(count) / 8 + 1]());
    return bits_ != nullptr;
  }
  // False when recno was seen before.
  bool mark(int32_t recno) {
    const auto i = static_cast<size_t>(recno);
    const auto bit = static_cast<uint8_t>(1u << (i % 8));
    if ((bits_[i / 8] & bit) != 0) return false;
    bits_[i / 8] = static_cast<uint8_t>(bits_[i / 8] | bit);
    return true;
  }

 private:
  std::unique_ptr<uint8_t[]> bits_;
};

// Closes an index slot whose file is about to be removed: a root that could
// not be written back no longer matters.
void drop_slot(IdxHandle* slot) {
  if (slot->file <= 0) return;
  slot->header_dirty = 0;
  index::close(slot);
}

}  // namespace

int32_t reopen_record_file(DbfSlot* file) {
  // A second try, so that one failed call does not leave the log without
  // its file.
  const int32_t r = dbf::open(file->path, &file->handle);
  return r == status::kOk ? r : dbf::open(file->path, &file->handle);
}

bool sort_work_path(const char* path, const char* name, char* out) {
  return index::work_file_path(path, name, out, static_cast<int>(log::kPathSize));
}

int32_t write_sorted_copy(DbfHandle* source, IdxHandle* order, const char* work_path) {
  const int32_t count = source->record_count;
  const int32_t header_size = source->header_size;
  const int32_t record_size = source->record_size;
  if (count < 0 || header_size < 12 || record_size < 1 || record_size > kCopyBlockBytes)
    return status::kDataReadError;
  std::unique_ptr<uint8_t[]> header(new (std::nothrow) uint8_t[static_cast<size_t>(header_size)]);
  RecordSeen seen;
  if (!header || !seen.allocate(count)) return status::kNoMemory;
  if (file_read_at(source->file, 0, header.get(), header_size) != header_size)
    return status::kDataReadError;
  DbfHandle dated = *source;
  dbf::stamp_date(&dated);
  std::memcpy(header.get() + kHeaderDateOffset, dated.update_date, sizeof dated.update_date);
  store_i32(header.get() + kHeaderCountOffset, count);

  CopyWriter copy(work_path, kCopyBlockBytes);
  int32_t r = copy.create();
  if (r != status::kOk) return r;
  // The header's place first; its bytes are written again at the end.
  std::memcpy(copy.reserve(header_size, &r), header.get(), static_cast<size_t>(header_size));
  int32_t written = 0;
  for (int32_t recno = index::top(order); recno != 0; recno = index::next(order)) {
    if (recno < 1 || recno > count || !seen.mark(recno)) return status::kIndexRebuildNeeded;
    uint8_t* at = copy.reserve(record_size, &r);
    if (r != status::kOk) return r;
    const int64_t pos = dbf::record_position(source, recno);
    if (pos < 0 || file_read_at(source->file, pos, at, record_size) != record_size)
      return status::kDataReadError;
    ++written;
  }
  // An empty order replaces nothing: it is more likely lost than true.
  if (written == 0 || written != count) return status::kIndexRebuildNeeded;
  *copy.reserve(1, &r) = dbf::kEndOfFileMark;
  if (r != status::kOk) return r;
  return copy.finish(header.get(), header_size);
}

int32_t install_sorted_copy(LogHandle* log, DbfSlot* file, int first_slot, int last_slot,
                            const char* work_path) {
  platform::Env* env = platform::env();
  if (file == &log->dbs) {
    log::protocol::begin_contact_change(log);
  } else {
    log::protocol::begin_master_change(log);
  }
  // No index over the file may outlive it: with the files gone, whatever
  // file stands after a crash has its indexes built by the next open.
  for (int i = first_slot; i <= last_slot; ++i) {
    drop_slot(&log->index_slot[i]);
    env->remove(log->index_slot[i].path);
  }
  env->sync_folder(file->path);
  dbf::close(&file->handle);

  int32_t result = log::protocol::replace_by_rename(work_path, file->path);
  if (result == status::kDataWriteError) result = status::kOk;  // in place, folder not synced
  if (result != status::kOk) env->remove(work_path);

  for (int i = first_slot; i <= last_slot; ++i) {
    IdxHandle* slot = &log->index_slot[i];
    // The new index reaches the disk before a close can record it as
    // current; one that does not is dropped, for the next open to build.
    const bool built =
        index::make_index(file->path, log::kIndexExpressions[i], slot->path) == status::kOk &&
        index::open(slot->path, slot) == status::kOk;
    if (built && file_flush(slot->file)) continue;
    drop_slot(slot);
    env->remove(slot->path);
    if (result == status::kOk) result = status::kIndexBuildError;
  }
  if (reopen_record_file(file) != status::kOk && result == status::kOk)
    result = status::kCannotOpen;
  return result;
}

}  // namespace osp::print
