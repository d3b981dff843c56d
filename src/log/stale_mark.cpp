#include "log/stale_mark.h"

#include "log/log_paths.h"
#include "log/log_state.h"
#include "platform/env.h"

namespace osp::log {

namespace {

// The log's state remembers, from the first change on, that the profile time
// of a record file is cleared (read as 0, or cleared and synced by this
// process since the log's open): the files of a log are held exclusively and
// only a close stores times, so the profile keeps that value until the close;
// remembering it spares every write-through write (whose syncs leave the
// record file clean) a read of the profile file.
void clear_profile_time(LogHandle* log, const DbfHandle& file, const char* key,
                        bool LogState::*known) {
  // A record file with changes not yet written back has been marked already
  // (its first change since the write-back did it).
  LogState* state = state_for(log);
  if (file.flags != 0 || (state != nullptr && state->*known)) return;
  char profile[kPathSize];
  if (!profile_path(log, true, profile)) return;
  platform::Env* env = platform::env();
  // The profile write syncs the new profile before renaming it into place and
  // the folder after, so the mark is on the disk before the change it covers.
  if (env->profile_int(kProfileSection, key, 0, profile) != 0 &&
      !env->profile_write_string(kProfileSection, key, "0", profile))
    return;  // not known to be cleared: the next change tries again
  if (state != nullptr) state->*known = true;
}

}  // namespace

void mark_contact_indexes_stale(LogHandle* log) {
  clear_profile_time(log, log->dbs.handle, kProfileContactKey, &LogState::contact_marked_stale);
}

void mark_master_indexes_stale(LogHandle* log) {
  clear_profile_time(log, log->mst.handle, kProfileMasterKey, &LogState::master_marked_stale);
}

}  // namespace osp::log
