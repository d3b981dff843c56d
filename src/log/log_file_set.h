// Opening and closing a log: the contact file, the master file, the remarks
// file and index slots 0 to 4 of a LogHandle, with the profile file that
// remembers each file's last-write time so that stale indexes are rebuilt.
#pragma once

#include <cstdint>

#include "log/log_paths.h"
#include "osprey32.h"

namespace osp::log {

// Open flags: exactly kQuickOpen opens the contact and remarks files only;
// otherwise kCheckTimes compares file times with the profile file and drops
// stale indexes, kAllocateViewer allocates the viewer buffer.
inline constexpr int32_t kCheckTimes = OSP_OPEN_CHECK_TIMES;
inline constexpr int32_t kQuickOpen = OSP_OPEN_QUICK;
inline constexpr int32_t kAllocateViewer = OSP_OPEN_VIEWER;
// Read-only (with any flags but exactly kQuickOpen): every file is opened for
// reading only and nothing is created, deleted, built or forced. A missing
// contact or remarks file fails the open without a question; a count
// mismatch is left as it is; an index that is missing, cannot be opened or
// (with kCheckTimes) is stale is not rebuilt but left closed, so that only
// the cursor orders through it are refused. Close such a log without
// kCheckTimes, so that a stale index is not recorded as current.
inline constexpr int32_t kReadOnly = OSP_OPEN_READ_ONLY;

// Open results besides the status codes.
inline constexpr int32_t kContactFileRefused = OSP_CONTACT_FILE_REFUSED;
inline constexpr int32_t kRemarksFileRefused = OSP_REMARKS_FILE_REFUSED;
inline constexpr int32_t kMasterFileUnusable = OSP_MASTER_FILE_UNUSABLE;

// Opens the log whose paths derive from base_path (null: the paths stored in
// log, a reopen) into log. Asks before creating a missing contact or remarks
// file; never destroys an existing file (one that is held by another program
// fails the open; one that cannot be used is kept under its name with "~"
// appended before a new one takes its place). Rebuilds missing or stale
// indexes with progress text into device_context. Returns 0; 42, 40, 41 (the
// master, contact or remarks file cannot be used); 5 (quick open: the contact
// or remarks file cannot be opened); 23 (an index could not be built or
// opened); 6 (no memory for the viewer). Every failure has been reported and
// leaves every file of the set closed and no viewer allocated. With
// kReadOnly see above: 40 and 41 then also mean a missing file.
int32_t open_log(void* device_context, LogHandle* log, const char* base_path,
                 int32_t viewer_length, int32_t flags);

// Closes the log: the contact file and the remarks file; unless flags is
// exactly kQuickOpen also the master file and index slots 0 to 4, the viewer
// with kAllocateViewer, and with kCheckTimes stores each file's time in the
// profile file. A header that could not be written back (a record count, the
// remarks file's count, an index root) is reported with its file's path. The
// result carries no status.
int32_t close_log(LogHandle* log, int32_t flags);

}  // namespace osp::log
