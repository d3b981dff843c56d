#include "log/index_edits.h"

#include <cstring>

#include "frame/status.h"
#include "index/index_file.h"
#include "log/log_guard.h"
#include "log/log_paths.h"
#include "platform/env.h"

namespace osp::log {

namespace {

int32_t fail(LogHandle* log, int slot, bool report) {
  if (report) report_path_status(status::kIndexRebuildNeeded, log->index_slot[slot].path);
  drop_index(log, slot);
  return status::kIndexRebuildNeeded;
}

}  // namespace

void drop_index(LogHandle* log, int slot) {
  IdxHandle* idx = &log->index_slot[slot];
  if (!platform::is_open(idx->file)) return;
  // Neither its changed pages nor its header need reach a file about to go.
  index::forget_changes(idx);
  if (index::close(idx) == 0) index::close(idx);
  char path[kPathSize + 1];
  const size_t n = strnlen(idx->path, kPathSize);
  std::memcpy(path, idx->path, n);
  path[n] = '\0';
  platform::env()->remove(path);
}

void write_back_indexes(LogHandle* log, int first, int last) {
  for (int slot = first; slot <= last; ++slot) {
    IdxHandle* idx = &log->index_slot[slot];
    if (platform::is_open(idx->file) && index::write_back(idx) != status::kOk)
      drop_index(log, slot);
  }
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
