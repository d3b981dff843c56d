#include <cstdio>

#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/status.h"
#include "index/index_file.h"
#include "log/held_appends.h"
#include "log/index_edits.h"
#include "log/log_file_set.h"
#include "log/log_guard.h"
#include "log/log_state.h"
#include "log/log_paths.h"
#include "log/log_write_protocol.h"
#include "log/remarks_file.h"
#include "platform/env.h"

namespace osp::log {

namespace {

// Stores the time of the file at path under key; false when the file cannot
// be opened. *written receives the profile write's success.
bool store_file_time(const char* path, const char* key, const char* profile, int32_t* written) {
  const FileHandle f = file_open_existing(path, kGenericRead);
  if (f == kNoFile) return false;
  const uint32_t number = platform::env()->file_time_number(f);
  file_close(f);
  char value[16];
  std::snprintf(value, sizeof value, "%lu", static_cast<unsigned long>(number));
  *written = platform::env()->profile_write_string(kProfileSection, key, value, profile) ? 1 : 0;
  return true;
}

// Closes a record file of the set; a header (its record count) that could
// not be written back, or a close that failed, is reported with its path.
void close_record_file(DbfSlot* file) {
  if (dbf::close(&file->handle) == 0) report_path_status(status::kDataWriteError, file->path);
}

// Syncs an index file whole (its header written back first); true when it
// is on the disk, or not open.
bool sync_index(IdxHandle* index) {
  if (index->file <= 0) return true;
  if (index::flush(index) != status::kOk) return false;  // reported
  if (file_flush(index->file)) return true;
  report_path_status(status::kIndexWriteError, index->path);
  return false;
}

// Syncs a record file (its header written back first); true when it is on
// the disk or not open. A failure is reported with the file's path.
bool sync_record_file(DbfSlot* file) {
  if (!platform::is_open(file->handle.file) || dbf::flush(&file->handle) == status::kOk)
    return true;
  report_path_status(status::kDataWriteError, file->path);
  return false;
}

// Which files reached the disk before their times are stored: a stored time
// tells the next open that the indexes agree with their record file, which
// must not reach the disk ahead of the files themselves (write-through writes
// leave the indexes to the close).
struct Synced {
  bool contact = true;  // the contact file, the remarks file, indexes 0 and 1
  bool master = true;   // the master file, indexes 2 to 4
  bool index[kLogIndexCount] = {};
};

Synced sync_before_times(LogHandle* log) {
  Synced s;
  s.contact = sync_record_file(&log->dbs);
  const int32_t remarks = protocol::sync_remarks_file(log);
  if (remarks != status::kOk) report_path_status(remarks, log->dbr_name);
  s.contact = remarks == status::kOk && s.contact;
  s.master = sync_record_file(&log->mst);
  for (int i = 0; i < kLogIndexCount; ++i) {
    s.index[i] = sync_index(&log->index_slot[i]);
    bool& over = i < 2 ? s.contact : s.master;
    over = over && s.index[i];
  }
  return s;
}

}  // namespace

int32_t close_log(LogHandle* log, int32_t flags) {
  // A bulk run's contacts land before the files are synced and the times
  // stored; a run that fails is taken back and reported (the result carries
  // no status). The log's side state (bulk run, stale marks, a sequential
  // pass) ends here.
  end_bulk(log);
  detach_state(log);
  const bool store_times = flags != kQuickOpen && (flags & kCheckTimes) != 0;
  const Synced synced = store_times ? sync_before_times(log) : Synced{};
  close_record_file(&log->dbs);
  int32_t result = close_remarks_file(log);
  if (result != status::kOk) report_path_status(result, log->dbr_name);
  if (flags == kQuickOpen) {
    // A quick close of a log opened whole leaves the master file and the
    // indexes open, but what their edits changed reaches the files.
    write_back_indexes(log, 0, kLogIndexCount - 1);
    return result;
  }

  close_record_file(&log->mst);
  for (int i = 0; i < kLogIndexCount; ++i) {
    // Changed pages that cannot be written: the file goes, and the next
    // open builds the index anew (as for an edit that fails).
    if (index::write_changed_pages(&log->index_slot[i]) != status::kOk) drop_index(log, i);
    result = index::close(&log->index_slot[i]);
  }

  if ((flags & kAllocateViewer) != 0 && log->viewer != nullptr) {
    platform::env()->release(log->viewer);
    log->viewer = nullptr;
    result = 0;
  }

  if (store_times) {
    char profile[kPathSize];
    if (!profile_path(log, true, profile)) return result;
    for (int i = 0; i < kLogIndexCount; ++i) {
      char key[kProfileKeySize];
      profile_index_key(i, true, key);
      if (synced.index[i]) store_file_time(log->index_slot[i].path, key, profile, &result);
    }
    if (synced.master) store_file_time(log->mst.path, kProfileMasterKey, profile, &result);
    if (synced.contact) store_file_time(log->dbs.path, kProfileContactKey, profile, &result);
  }
  return result;
}

}  // namespace osp::log
