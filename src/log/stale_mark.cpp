#include "log/stale_mark.h"

#include "log/log_paths.h"
#include "platform/env.h"

namespace osp::log {

namespace {

void clear_profile_time(const LogHandle* log, const DbfHandle& file, const char* key) {
  // A record file with changes not yet written back has been marked already
  // (its first change since the write-back did it).
  if (file.flags != 0) return;
  char profile[kPathSize];
  if (!profile_path(log, true, profile)) return;
  platform::Env* env = platform::env();
  if (env->profile_int(kProfileSection, key, 0, profile) == 0) return;
  env->profile_write_string(kProfileSection, key, "0", profile);
}

}  // namespace

void mark_contact_indexes_stale(LogHandle* log) {
  clear_profile_time(log, log->dbs.handle, kProfileContactKey);
}

void mark_master_indexes_stale(LogHandle* log) {
  clear_profile_time(log, log->mst.handle, kProfileMasterKey);
}

}  // namespace osp::log
