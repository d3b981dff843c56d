#include "log/stale_mark.h"

#include <algorithm>
#include <vector>

#include "log/log_paths.h"
#include "platform/env.h"

namespace osp::log {

namespace {

// The open logs whose profile time of a record file is known to be cleared:
// read as 0, or cleared (and synced) by this process since the log's open.
// The files of a log are held exclusively and only a close stores times, so
// the profile keeps that value until the close; remembering it spares every
// write-through write (whose syncs leave the record file clean) a read of
// the profile file.
struct KnownCleared {
  const LogHandle* log;
  const char* key;
};

std::vector<KnownCleared>& known_cleared() {
  static std::vector<KnownCleared> known;
  return known;
}

bool is_known_cleared(const LogHandle* log, const char* key) {
  const std::vector<KnownCleared>& known = known_cleared();
  return std::any_of(known.begin(), known.end(),
                     [&](const KnownCleared& k) { return k.log == log && k.key == key; });
}

void clear_profile_time(const LogHandle* log, const DbfHandle& file, const char* key) {
  // A record file with changes not yet written back has been marked already
  // (its first change since the write-back did it).
  if (file.flags != 0 || is_known_cleared(log, key)) return;
  char profile[kPathSize];
  if (!profile_path(log, true, profile)) return;
  platform::Env* env = platform::env();
  // The profile write syncs the new profile before renaming it into place and
  // the folder after, so the mark is on the disk before the change it covers.
  if (env->profile_int(kProfileSection, key, 0, profile) != 0 &&
      !env->profile_write_string(kProfileSection, key, "0", profile))
    return;  // not known to be cleared: the next change tries again
  known_cleared().push_back({log, key});
}

}  // namespace

void mark_contact_indexes_stale(LogHandle* log) {
  clear_profile_time(log, log->dbs.handle, kProfileContactKey);
}

void mark_master_indexes_stale(LogHandle* log) {
  clear_profile_time(log, log->mst.handle, kProfileMasterKey);
}

void forget_stale_marks(const LogHandle* log) {
  std::vector<KnownCleared>& known = known_cleared();
  known.erase(std::remove_if(known.begin(), known.end(),
                             [&](const KnownCleared& k) { return k.log == log; }),
              known.end());
}

}  // namespace osp::log
