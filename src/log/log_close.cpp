#include <cstdio>

#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/status.h"
#include "index/index_file.h"
#include "log/close_hook.h"
#include "log/log_file_set.h"
#include "log/log_guard.h"
#include "log/log_paths.h"
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

}  // namespace

int32_t close_log(LogHandle* log, int32_t flags) {
  run_close_hooks(log);
  close_record_file(&log->dbs);
  int32_t result = close_remarks_file(log);
  if (result != status::kOk) report_path_status(result, log->dbr_name);
  if (flags == kQuickOpen) return result;

  close_record_file(&log->mst);
  for (int i = 0; i < kLogIndexCount; ++i) result = index::close(&log->index_slot[i]);

  if ((flags & kAllocateViewer) != 0 && log->viewer != nullptr) {
    platform::env()->release(log->viewer);
    log->viewer = nullptr;
    result = 0;
  }

  if ((flags & kCheckTimes) != 0) {
    char profile[kPathSize];
    if (!profile_path(log, true, profile)) return result;
    for (int i = 0; i < kLogIndexCount; ++i) {
      char key[kProfileKeySize];
      profile_index_key(i, true, key);
      store_file_time(log->index_slot[i].path, key, profile, &result);
    }
    store_file_time(log->mst.path, kProfileMasterKey, profile, &result);
    store_file_time(log->dbs.path, kProfileContactKey, profile, &result);
  }
  return result;
}

}  // namespace osp::log
