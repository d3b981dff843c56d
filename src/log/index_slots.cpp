#include "log/index_slots.h"

#include <cstring>

#include "frame/file.h"
#include "frame/status.h"
#include "index/index_builder.h"
#include "index/index_file.h"
#include "log/log_guard.h"
#include "record/contact_record.h"
#include "record/master_record.h"
#include "platform/env.h"

namespace osp::log {

const char* const kIndexExpressions[kLogIndexCount] = {"CALLS", "CODE", "CODE", "FLG+CODE", "FLG+HED+ERIA"};

namespace {

// The key length each slot's expression gives over the log's record layouts.
constexpr int32_t kIndexKeyLengths[kLogIndexCount] = {
    contact::kCalls.width, contact::kCode.width, master::kCode.width, master::kFlgCodeKeyLength,
    master::kFlgHedEria.width};

// An edit failed: reported (unless the failed operation reported already)
// and the slot dropped.
int32_t fail(LogHandle* log, int slot, bool report) {
  if (report) report_path_status(status::kIndexRebuildNeeded, log->index_slot[slot].path);
  drop_index(log, slot);
  return status::kIndexRebuildNeeded;
}

}  // namespace

bool slot_built_for(const LogHandle* log, int slot) {
  return index::built_for(&log->index_slot[slot], kIndexExpressions[slot], kIndexKeyLengths[slot]);
}

int32_t build_slot(LogHandle* log, int slot) {
  IdxHandle* idx = &log->index_slot[slot];
  const DbfHandle* records = slot < 2 ? &log->dbs.handle : &log->mst.handle;
  const int32_t built = index::build(records, kIndexExpressions[slot], idx->path);
  if (built != status::kOk) return built;
  if (index::open(idx->path, idx) != status::kOk) return status::kIndexBuildError;
  return status::kOk;
}

bool remove_index(IdxHandle* idx) {
  idx->header_dirty = 0;
  for (int tries = 0; tries < 3 && platform::is_open(idx->file); ++tries) index::close(idx);
  char path[kPathSize + 1];
  const size_t n = strnlen(idx->path, kPathSize);
  std::memcpy(path, idx->path, n);
  path[n] = '\0';
  platform::env()->remove(path);
  return !platform::is_open(idx->file);
}

void drop_index(LogHandle* log, int slot) {
  IdxHandle* idx = &log->index_slot[slot];
  if (!platform::is_open(idx->file)) return;
  index::forget_changes(idx);
  remove_index(idx);
}

void write_back_indexes(LogHandle* log, int first, int last) {
  for (int slot = first; slot <= last; ++slot) {
    IdxHandle* idx = &log->index_slot[slot];
    if (platform::is_open(idx->file) && index::write_back(idx) != status::kOk)
      drop_index(log, slot);
  }
}

bool sync_index(IdxHandle* idx) {
  if (!platform::is_open(idx->file)) return true;
  if (index::flush(idx) != status::kOk) return false;  // reported
  if (file_flush(idx->file)) return true;
  report_path_status(status::kIndexWriteError, idx->path);
  return false;
}

int32_t close_slot(LogHandle* log, int slot) {
  IdxHandle* idx = &log->index_slot[slot];
  if (index::write_changed_pages(idx) != status::kOk) drop_index(log, slot);
  return index::close(idx);
}

void close_index_slots(LogHandle* log, int last) {
  for (int i = last; i >= 0; --i) index::close(&log->index_slot[i]);
}

int32_t reindex(LogHandle* log, int slot, int32_t recno, const uint8_t* old_key,
                const uint8_t* new_key, int32_t available) {
  IdxHandle* idx = &log->index_slot[slot];
  const int32_t length = index::key_length(idx);
  if (length > available) return fail(log, slot, true);
  const auto n = static_cast<size_t>(length);
  if (std::memcmp(old_key, new_key, n) == 0) return kKeyUnchanged;
  int32_t r = index::search(idx, reinterpret_cast<const char*>(old_key), length);
  // Past the entries with the old key the record's entry cannot stand.
  while (r != recno && r != 0 && std::memcmp(index::current_key(idx), old_key, n) == 0)
    r = index::next(idx);
  if (r != recno || std::memcmp(index::current_key(idx), old_key, n) != 0)
    return fail(log, slot, true);
  if (index::remove(idx) != status::kOk ||
      index::insert(idx, reinterpret_cast<const char*>(new_key), recno) != status::kOk)
    return fail(log, slot, false);
  return kEntryMoved;
}

void insert_entry(LogHandle* log, int slot, const void* key, int32_t available, int32_t recno) {
  IdxHandle* idx = &log->index_slot[slot];
  if (index::key_length(idx) > available) {
    fail(log, slot, true);
    return;
  }
  if (index::insert(idx, static_cast<const char*>(key), recno) != status::kOk)
    fail(log, slot, false);
}

}  // namespace osp::log
