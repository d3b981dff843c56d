#include "log/log_rewrites.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "dbf/dbf_format.h"
#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/report.h"
#include "frame/status.h"
#include "index/index_builder.h"
#include "index/index_file.h"
#include "log/index_slots.h"
#include "log/log_guard.h"
#include "log/log_paths.h"
#include "log/log_write_protocol.h"
#include "platform/env.h"

// The sorted copy of a record file and its installation in the file's place.



namespace osp::log {

namespace {

// Records are put in their new order a batch at a time in a block of about
// this size; the batch's records are read in file order, in spans of up to
// kSpanBytes, so that the source is read forward in large reads rather than
// one record at a time in random order.
constexpr int32_t kBatchBytes = 2 * 1024 * 1024;
constexpr int32_t kSpanBytes = 64 * 1024;

// The sorted copy while it is written: removed unless it was completed.
class CopyFile {
 public:
  explicit CopyFile(const char* path) : path_(path) {}
  ~CopyFile() {
    if (file_ != kNoFile) file_close(file_);
    if (!done_) platform::env()->remove(path_);
  }
  CopyFile(const CopyFile&) = delete;
  CopyFile& operator=(const CopyFile&) = delete;

  bool create() {
    file_ = file_create(path_);
    return file_ != kNoFile;
  }
  bool write(const void* bytes, int32_t length) {
    return length == 0 || file_write(file_, bytes, length) == length;
  }
  // Writes the header (again, with its final count) at 0, flushes, closes.
  int32_t finish(const uint8_t* header, int32_t header_size) {
    if (file_seek(file_, 0) != 0 || !write(header, header_size) || !file_flush(file_))
      return status::kDataWriteError;
    const bool closed = file_close(file_);
    file_ = kNoFile;
    if (!closed) return status::kDataWriteError;
    done_ = true;
    return status::kOk;
  }

 private:
  const char* path_;
  FileHandle file_ = kNoFile;
  bool done_ = false;
};

// Where a record of a batch comes from and where it goes.
struct BatchEntry {
  int32_t recno;
  int32_t place;  // in the batch's block
};

// Reads the n records of batch (sorted by record number) from source into
// their places in block, a span of neighbouring records per read.
int32_t read_batch(DbfHandle* source, const BatchEntry* batch, int32_t n, uint8_t* span,
                   uint8_t* block) {
  const int32_t size = source->record_size;
  for (int32_t i = 0; i < n;) {
    const int64_t start = dbf::record_position(source, batch[i].recno);
    if (start < 0) return status::kDataReadError;
    int32_t j = i + 1;
    int64_t end = start + size;
    while (j < n) {
      const int64_t pos = dbf::record_position(source, batch[j].recno);
      if (pos < 0 || pos + size - start > kSpanBytes) break;
      end = pos + size;
      ++j;
    }
    const auto length = static_cast<int32_t>(end - start);
    if (file_read_at(source->file, start, span, length) != length) return status::kDataReadError;
    for (int32_t k = i; k < j; ++k) {
      const int64_t at = dbf::record_position(source, batch[k].recno) - start;
      std::memcpy(block + static_cast<size_t>(batch[k].place) * static_cast<size_t>(size),
                  span + at, static_cast<size_t>(size));
    }
    i = j;
  }
  return status::kOk;
}

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
  if (count < 0 || header_size < dbf::kHeaderMirrorBytes || record_size < 1 ||
      record_size > kSpanBytes)
    return status::kDataReadError;
  const int32_t capacity = std::max<int32_t>(1, kBatchBytes / record_size);
  std::unique_ptr<uint8_t[]> header(new (std::nothrow) uint8_t[static_cast<size_t>(header_size)]);
  std::unique_ptr<uint8_t[]> block(
      new (std::nothrow) uint8_t[static_cast<size_t>(capacity) * static_cast<size_t>(record_size)]);
  std::unique_ptr<uint8_t[]> span(new (std::nothrow) uint8_t[kSpanBytes]);
  std::unique_ptr<BatchEntry[]> batch(new (std::nothrow) BatchEntry[static_cast<size_t>(capacity)]);
  RecordSeen seen;
  if (!header || !block || !span || !batch || !seen.allocate(count)) return status::kNoMemory;
  if (file_read_at(source->file, 0, header.get(), header_size) != header_size)
    return status::kDataReadError;
  DbfHandle dated = *source;
  dbf::stamp_date(&dated);
  std::memcpy(header.get() + dbf::kHdrDate, dated.update_date, dbf::kHdrDateBytes);
  dbf::put_record_count(header.get(), count);

  CopyFile copy(work_path);
  if (!copy.create()) return status::kCannotOpen;
  // The header's place first; its bytes are written again at the end.
  if (!copy.write(header.get(), header_size)) return status::kDataWriteError;
  int32_t written = 0;
  int32_t recno = index::top(order);
  while (recno != 0) {
    int32_t n = 0;
    for (; n < capacity && recno != 0; ++n, recno = index::next(order)) {
      if (recno < 1 || recno > count || !seen.mark(recno)) return status::kIndexRebuildNeeded;
      batch[n] = {recno, n};
    }
    std::sort(batch.get(), batch.get() + n,
              [](const BatchEntry& a, const BatchEntry& b) { return a.recno < b.recno; });
    const int32_t r = read_batch(source, batch.get(), n, span.get(), block.get());
    if (r != status::kOk) return r;
    if (!copy.write(block.get(), n * record_size)) return status::kDataWriteError;
    written += n;
  }
  // An empty order replaces nothing: it is more likely lost than true.
  if (written == 0 || written != count) return status::kIndexRebuildNeeded;
  if (!copy.write(&dbf::kEndOfFileMark, 1)) return status::kDataWriteError;
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
  bool dropped[log::kLogSlotCount] = {};
  for (int i = first_slot; i <= last_slot; ++i) dropped[i] = remove_index(&log->index_slot[i]);
  env->sync_folder(file->path);
  dbf::close(&file->handle);

  int32_t result = log::protocol::replace_by_rename(work_path, file->path);
  if (result == status::kDataWriteError) result = status::kOk;  // in place, folder not synced
  if (result != status::kOk) env->remove(work_path);

  // The file in place (the new one, or the old one after a failed rename)
  // is held again at once, and the indexes are built over it.
  const bool reopened = reopen_record_file(file) == status::kOk;
  if (!reopened && result == status::kOk) result = status::kCannotOpen;
  for (int i = first_slot; i <= last_slot; ++i) {
    IdxHandle* slot = &log->index_slot[i];
    if (!dropped[i] || !reopened) {
      // Its file is gone; the next open builds it.
      if (result == status::kOk) result = status::kIndexBuildError;
      continue;
    }
    // The new index reaches the disk before a close can record it as
    // current; one that does not is dropped, for the next open to build.
    if (build_slot(log, i) == status::kOk && file_flush(slot->file)) continue;
    remove_index(slot);
    if (result == status::kOk) result = status::kIndexBuildError;
  }
  return result;
}

}  // namespace osp::log

// The contact file rewritten in date and time order.


namespace osp::log {

namespace {

// The key of the temporary index: year byte, month, day, hour, minute byte.
constexpr char kDateTimeExpression[] = "DATE+TIME";

// Builds the date-and-time index at index_path over the contact file, held
// open (its header written back first, so that the build reads the count the
// log has), then opens it; after a failure no index is open.
int32_t build_date_time_order(DbfSlot* contacts, const char* index_path, IdxHandle* order) {
  int32_t r = dbf::write_back_header(&contacts->handle);
  if (r == status::kOk) r = index::build(&contacts->handle, kDateTimeExpression, index_path);
  if (r == status::kOk) r = index::open(index_path, order);
  return r;
}

}  // namespace

int32_t date_time_sort(LogHandle* log) {
  if (log::require_open(log, log::need::kContacts | log::need::kContactIndexes) != status::kOk)
    return status::kWorkFileError;
  char copy_path[log::kPathSize];
  char index_path[log::kPathSize];
  if (!sort_work_path(log->dbs.path, kSortedCopyName, copy_path) ||
      !sort_work_path(log->dbs.path, kSortIndexName, index_path)) {
    report_status(status::kWorkFileError, kSortedCopyName);
    return status::kWorkFileError;
  }
  IdxHandle order{};
  order.file = OSP_NO_FILE;
  std::memcpy(order.path, index_path, sizeof order.path);
  int32_t r = build_date_time_order(&log->dbs, index_path, &order);
  if (r == status::kOk) r = write_sorted_copy(&log->dbs.handle, &order, copy_path);
  remove_index(&order);
  if (r == status::kOk) r = install_sorted_copy(log, &log->dbs, 0, 1, copy_path);
  if (r == status::kOk) return status::kOk;
  platform::env()->remove(copy_path);
  report_status(status::kWorkFileError, copy_path);
  return status::kWorkFileError;
}

}  // namespace osp::log

// The master file rewritten in the order of its index on CODE.

namespace osp::log {

namespace {

// The index slot that orders the master file by CODE, and the last slot over
// the master file.
constexpr int kMasterCodeSlot = 2;
constexpr int kLastMasterSlot = 4;
constexpr int32_t kMasterSortFailed = 1;

}  // namespace

int32_t master_sort(LogHandle* log) {
  if (log == nullptr || log->mst.handle.file <= 0) return kMasterSortFailed;
  for (int i = kMasterCodeSlot; i <= kLastMasterSlot; ++i) {
    if (log->index_slot[i].file <= 0) return kMasterSortFailed;
  }
  char copy_path[log::kPathSize];
  if (!sort_work_path(log->mst.path, kSortedCopyName, copy_path)) return kMasterSortFailed;
  int32_t r = write_sorted_copy(&log->mst.handle, &log->index_slot[kMasterCodeSlot], copy_path);
  if (r == status::kOk) r = install_sorted_copy(log, &log->mst, kMasterCodeSlot, kLastMasterSlot,
                                                copy_path);
  if (r == status::kOk) return status::kOk;
  platform::env()->remove(copy_path);
  return kMasterSortFailed;
}

}  // namespace osp::log
