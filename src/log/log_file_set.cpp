// Opening and closing a log's file set: OspreyOpen and OspreyClose.
#include "log/log_file_set.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/report.h"
#include "frame/status.h"
#include "frame/ui.h"
#include "index/index_file.h"
#include "record/contact_record.h"
#include "log/held_appends.h"
#include "log/index_slots.h"
#include "log/log_guard.h"
#include "log/log_paths.h"
#include "log/log_state.h"
#include "log/log_write_protocol.h"
#include "record/master_record.h"
#include "log/remarks_file.h"
#include "log/stale_mark.h"
#include "platform/env.h"

namespace osp::log {

namespace {

// "%sがオープンできません！  新規作成しますか？": cannot open %s; create a new one?
constexpr char kCreateQuestion[] =
    "\x82\xAA\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81\x49"
    "\x20\x20\x90\x56\x8B\x4B\x8D\xEC\x90\xAC\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48";
// "強引に合わせておきますか？": force them to agree?
constexpr char kForceCountQuestion[] =
    "\x8B\xAD\x88\xF8\x82\xC9\x8D\x87\x82\xED\x82\xB9\x82\xC4\x82\xA8\x82\xAB\x82\xDC\x82\xB7"
    "\x82\xA9\x81\x48";
// ".ＤＢＳと.ＤＢＲが不整合のおそれ": the .DBS and .DBR may not match.
constexpr char kCountMismatchCaption[] =
    "\x2E\x82\x63\x82\x61\x82\x72\x82\xC6\x2E\x82\x63\x82\x61\x82\x71\x82\xAA\x95\x73\x90\xAE"
    "\x8D\x87\x82\xCC\x82\xA8\x82\xBB\x82\xEA";
// "インデックス構築中・・・": building the index... (24 bytes).
constexpr char kBuildingIndex[] =
    "\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4E\x83\x58\x8D\x5C\x92\x7A\x92\x86\x81\x45\x81\x45"
    "\x81\x45";
// "ビュアーバッファ": viewer buffer.
constexpr char kViewerBuffer[] = "\x83\x72\x83\x85\x83\x41\x81\x5B\x83\x6F\x83\x62\x83\x74\x83\x40";

constexpr uint32_t kQuestionStyle = platform::kMbYesNo | platform::kMbIconQuestion;
constexpr uint32_t kMismatchStyle = platform::kMbYesNo | platform::kMbIconHand;

// Asks whether to create the file at path anew; true on Yes. The text is
// composed without a fixed-size buffer, so a path of any length fits.
bool ask_create(const char* path) {
  const std::string text = std::string(path) + kCreateQuestion;
  return message_box(0, text.c_str(), kCaption, kQuestionStyle) == platform::kIdYes;
}

void remove_index_files(LogHandle* log, int first, int last) {
  for (int i = first; i <= last; ++i) platform::env()->remove(log->index_slot[i].path);
}

// Before a new file takes the place of an existing one, the old one is kept
// under its name with "~" appended. True when that can be done (or there is
// no old file); else false with *blocking naming the file in the way: the old
// file when another program holds it (moving it would pull it from under that
// program), or an earlier backup, which is never replaced.
bool may_replace(const char* path, std::string* blocking) {
  if (!platform::env()->exists(path)) return true;
  *blocking = path;
  const FileHandle probe = file_open_existing(path, kGenericRead);
  if (probe == kNoFile) return false;
  file_close(probe);
  char backup[kPathSize];
  if (!backup_path(path, backup)) return false;
  if (platform::env()->exists(backup)) {
    *blocking = backup;
    return false;
  }
  return true;
}

// Moves an old file that may_replace allowed to its backup name.
bool move_aside(const char* path) {
  if (!platform::env()->exists(path)) return true;
  char backup[kPathSize];
  return backup_path(path, backup) && platform::env()->rename(path, backup);
}

// Opening a file failed: true when the file is there but could not be opened
// at all (held by another program, or not accessible), so that a new file
// must not take its place.
bool exists_but_unopenable(const char* path, int32_t open_status) {
  return open_status == status::kCannotOpen && platform::env()->exists(path);
}

uint32_t time_number(FileHandle f) { return platform::env()->file_time_number(f); }

uint32_t profile_time(const char* profile, const char* key) {
  return static_cast<uint32_t>(platform::env()->profile_int(kProfileSection, key, 0, profile));
}

// Reports an overlong path of the set as a file that cannot be opened.
void report_overlong(const char* base, const LogHandle* log, LogFile file) {
  if (base != nullptr) {
    std::string path(derived_path_length(base, file), '\0');
    write_derived_path(base, file, path.data());
    report_status(status::kCannotOpen, path.c_str());
    return;
  }
  const char* field = file == LogFile::kMaster     ? log->mst.path
                      : file == LogFile::kContacts ? log->dbs.path
                      : file == LogFile::kRemarks  ? log->dbr_name
                                                   : log->index_slot[static_cast<int>(file) -
                                                                     static_cast<int>(LogFile::kIndex0)]
                                                         .path;
  report_status(status::kCannotOpen, std::string(field, strnlen(field, kPathSize)).c_str());
}

// Checks the set's paths (derived from base_path, or those stored in log for
// a reopen) before any file is touched. A quick open needs only the contact
// and remarks files. On failure reports the first path that does not fit as
// a file that cannot be opened and returns false.
bool paths_fit(const char* base_path, LogHandle* log, bool quick) {
  LogFile overlong = LogFile::kMaster;
  bool ok;
  if (base_path != nullptr) {
    // Every derived path has the same length; a quick open names the first
    // file it would open.
    ok = derive_log_paths(base_path, log, &overlong);
    if (!ok && quick) overlong = LogFile::kContacts;
  } else if (quick) {
    ok = strnlen(log->dbs.path, kPathSize) < kPathSize;
    overlong = LogFile::kContacts;
    if (ok) {
      ok = strnlen(log->dbr_name, kPathSize) < kPathSize;
      overlong = LogFile::kRemarks;
    }
  } else {
    ok = stored_paths_valid(log, &overlong);
  }
  if (!ok) report_overlong(base_path, log, overlong);
  return ok;
}

// Keeps the old file at path aside and creates a new remarks file or contact
// file there. Returns 0; else reports the failure with the path concerned.
int32_t replace_file(const char* path, int32_t (*create)(const char*)) {
  if (!move_aside(path)) {
    report_status(status::kCannotOpen, path);
    return status::kCannotOpen;
  }
  const int32_t made = create(path);
  if (made != status::kOk) report_status(made, path);
  return made;
}

// True when each of the files can give way to a new one; else reports the
// file in the way.
bool may_replace_all(std::initializer_list<const char*> paths) {
  for (const char* path : paths) {
    std::string blocking;
    if (!may_replace(path, &blocking)) {
      report_status(status::kCannotOpen, blocking.c_str());
      return false;
    }
  }
  return true;
}

// What became of a new remarks file for a contact file whose records may
// link into the old one.
enum class NewRemarks {
  kMade,       // in place, every link dropped
  kNotMade,    // could not be made or put in place (reported)
  kLinksKept,  // a link could not be dropped (reported); nothing replaced
};

// Makes a new, empty remarks file in place of one that cannot be used. The
// new file is made under a temporary name; then every contact's link is
// dropped and the contact file synced; only then is the old file kept aside
// (under "~") and the new one renamed into its place. So no record ever
// links into the new file, not even after a power loss part-way. When the
// file cannot be made, every link is kept and nothing moved; when a link
// cannot be dropped, the new file is deleted and the old one stays.
NewRemarks make_new_remarks_file(LogHandle* log) {
  if (!may_replace_all({log->dbr_name})) return NewRemarks::kNotMade;
  char made_as[kPathSize];
  if (!new_file_path(log->dbr_name, made_as)) {
    report_status(status::kCannotOpen, log->dbr_name);
    return NewRemarks::kNotMade;
  }
  const int32_t made = create_remarks_file(made_as);
  if (made != status::kOk) {
    platform::env()->remove(made_as);
    report_status(made, log->dbr_name);
    return NewRemarks::kNotMade;
  }
  const int32_t cleared = protocol::clear_remark_links(log);
  if (cleared != status::kOk) {
    platform::env()->remove(made_as);
    report_status(cleared, log->dbs.path);
    return NewRemarks::kLinksKept;
  }
  if (!move_aside(log->dbr_name) ||
      protocol::replace_by_rename(made_as, log->dbr_name) == status::kCannotOpen) {
    platform::env()->remove(made_as);
    report_status(status::kCannotOpen, log->dbr_name);
    return NewRemarks::kNotMade;
  }
  return NewRemarks::kMade;
}

// Creates a new, empty contact file with a new remarks file beside it,
// keeping existing ones aside (nothing is moved unless both can be), and
// drops indexes 0 and 1, which were built over the old file. Returns 0; else
// the failure has been reported.
int32_t make_new_contact_file(LogHandle* log) {
  if (!may_replace_all({log->dbr_name, log->dbs.path})) return status::kCannotOpen;
  int32_t made = replace_file(log->dbr_name, create_remarks_file);
  if (made == status::kOk) made = replace_file(log->dbs.path, dbf::create);
  if (made != status::kOk) return made;
  remove_index_files(log, 0, 1);
  return status::kOk;
}

// Opens a record file of the set, for reading only when read_only.
int32_t open_record_file(const char* path, DbfHandle* h, bool read_only) {
  return read_only ? dbf::open_read_only(path, h) : dbf::open(path, h);
}

// Step: the contact file. Returns 0 with dbs open, or the open's result.
int32_t open_contact_file(LogHandle* log, bool quick, bool read_only) {
  int32_t r = open_record_file(log->dbs.path, &log->dbs.handle, read_only);
  if (r == status::kOk) return status::kOk;
  const int32_t refused = quick ? status::kCannotOpen : kContactFileRefused;
  if (exists_but_unopenable(log->dbs.path, r) || read_only) {
    // Another program holds it: a new file would destroy its data. (A
    // read-only open makes nothing.)
    report_status(r, log->dbs.path);
    return refused;
  }
  if (quick) return status::kCannotOpen;
  if (!ask_create(log->dbs.path)) return kContactFileRefused;
  if (make_new_contact_file(log) != status::kOk) return kContactFileRefused;
  // The file just made is ours: should it still not open, asking again would
  // only make and lose another one.
  r = dbf::open(log->dbs.path, &log->dbs.handle);
  if (r != status::kOk) {
    report_status(r, log->dbs.path);
    return kContactFileRefused;
  }
  return status::kOk;
}

// Step: the remarks file. Returns 0 (open, or left closed after a failed
// re-creation the user agreed to) or the failure's result; 41 also when the
// links of the contacts into the old file could not all be dropped (reported
// with the contact file's path; the old file stays, no new one is used).
int32_t open_remarks(LogHandle* log, bool quick, bool read_only) {
  const int32_t r = open_remarks_file(log, read_only);
  if (r == status::kOk) return status::kOk;
  const int32_t refused = quick ? status::kCannotOpen : kRemarksFileRefused;
  if (exists_but_unopenable(log->dbr_name, r) || read_only) {
    // As for the contact file.
    report_status(r, log->dbr_name);
    return refused;
  }
  if (quick) return status::kCannotOpen;
  if (!ask_create(log->dbr_name)) return kRemarksFileRefused;
  switch (make_new_remarks_file(log)) {
    case NewRemarks::kMade:
      break;
    case NewRemarks::kNotMade:
      // The open goes on without remarks.
      log->dbr_file = OSP_NO_FILE;
      return status::kOk;
    case NewRemarks::kLinksKept:
      return kRemarksFileRefused;
  }
  const int32_t reopened = open_remarks_file(log);
  if (reopened != status::kOk) {
    report_status(reopened, log->dbr_name);
    log->dbr_file = OSP_NO_FILE;
    return status::kOk;
  }
  // The new file accounts for every contact, none of which has a block.
  set_remarks_count(log->dbr_header, log->dbs.handle.record_count);
  log->dbr_dirty = 1;
  return status::kOk;
}

// Ends a failed open in the index step: the remarks file and the slots
// opened so far are closed and the failure is reported with the index path.
int32_t fail_index_step(LogHandle* log, int slot, int32_t reported) {
  close_remarks_file(log);
  close_index_slots(log, slot - 1);
  dbf::close(&log->mst.handle);
  dbf::close(&log->dbs.handle);
  report_status(reported, log->index_slot[slot].path);
  return status::kIndexBuildError;
}

// Step: indexes 0 to 4, building each that is missing or stale, at most once
// per slot: an index that does not open right after its build would only be
// built again and again.
int32_t open_indexes(void* device_context, LogHandle* log, bool check_times,
                     const char* profile) {
  for (int i = 0; i < kLogIndexCount; ++i) {
    IdxHandle* slot = &log->index_slot[i];
    if (index::open(slot->path, slot) == status::kOk) {
      // An index built for another key (one index file copied over another)
      // is stale whatever its file time says.
      const bool right_key = slot_built_for(log, i);
      if (right_key && !check_times) continue;
      char key[kProfileKeySize];
      profile_index_key(i, false, key);
      if (right_key && profile_time(profile, key) == time_number(slot->file)) continue;
      // Stale: another program changed the files since the last close, or
      // the file is another index's. The
      // build replaces the file even should it not go away here.
      remove_index(slot);
    }
    draw_file_progress(device_context, 72, kBuildingIndex, 24, slot->path);
    const int32_t built = build_slot(log, i);
    if (built != status::kOk) return fail_index_step(log, i, built);
  }
  return status::kOk;
}

// Step, read-only: indexes 0 to 4 as they are. One that does not open, or
// whose file is stale (stale[i]) or whose time disagrees with the profile,
// is left closed: nothing may be rebuilt.
void open_indexes_read_only(LogHandle* log, bool check_times, const char* profile,
                            const bool stale[kLogIndexCount]) {
  for (int i = 0; i < kLogIndexCount; ++i) {
    IdxHandle* slot = &log->index_slot[i];
    slot->file = OSP_NO_FILE;
    slot->state = nullptr;
    if (stale[i] || index::open_read_only(slot->path, slot) != status::kOk) continue;
    if (!check_times) continue;
    const char key[4] = {'d', 'x', static_cast<char>('0' + i), '\0'};
    if (profile_time(profile, key) != time_number(slot->file)) index::close(slot);
  }
}

// Sizes the viewer from held, the contacts the contact file really holds: a
// header count that claims millions more would otherwise ask for gigabytes.
int32_t allocate_viewer(LogHandle* log, int32_t viewer_length, int32_t held) {
  const int32_t count = held;
  log->viewer_count = (viewer_length > 0 && count >= viewer_length) ? viewer_length : count;
  log->viewer_capacity = viewer_length > 0 ? viewer_length : count;
  if (log->viewer_capacity < 1000) log->viewer_capacity = 1000;
  // A 32-bit size cannot hold every capacity an int32_t can ask for.
  const size_t entries = static_cast<size_t>(log->viewer_capacity) + 2;
  if (entries > SIZE_MAX / sizeof(ContactView)) return status::kNoMemory;
  log->viewer = static_cast<ContactView*>(platform::env()->allocate(entries * sizeof(ContactView)));
  return log->viewer != nullptr ? status::kOk : status::kNoMemory;
}

// The open itself (open_log makes and ends the side state around it).
int32_t open_files(void* device_context, LogHandle* log, const char* base_path,
                   int32_t viewer_length, int32_t flags) {
  const bool quick = flags == kQuickOpen;
  const bool check_times = !quick && (flags & kCheckTimes) != 0;
  const bool read_only = !quick && (flags & kReadOnly) != 0;
  bool stale[kLogIndexCount] = {};  // read-only: indexes found stale, left closed

  // 1. The paths. A set whose paths do not fit is refused before any file is
  // touched, as a first file that cannot be opened.
  if (!paths_fit(base_path, log, quick)) return quick ? status::kCannotOpen : kMasterFileUnusable;
  if (base_path != nullptr) match_existing_extensions(log);
  char profile[kPathSize] = {};
  if (!quick) profile_path(log, false, profile);  // as long as the master path, so it fits
  log->dbs.handle.file = OSP_NO_FILE;
  log->mst.handle.file = OSP_NO_FILE;
  log->dbr_file = OSP_NO_FILE;
  log->dbr_dirty = 0;

  // 2. The master file.
  if (!quick) {
    if (open_record_file(log->mst.path, &log->mst.handle, read_only) != status::kOk) {
      report_status(status::kCannotOpen, log->mst.path);
      return kMasterFileUnusable;
    }
    if (log->mst.handle.record_size != master::kRecordSize) {
      dbf::close(&log->mst.handle);
      report_status(status::kBadDataStructure, log->mst.path);
      return kMasterFileUnusable;
    }
    if (check_times && profile_time(profile, kProfileMasterKey) != time_number(log->mst.handle.file)) {
      if (read_only)
        stale[2] = stale[3] = stale[4] = true;
      else
        remove_index_files(log, 2, 4);
    }
  }

  // 3, 4, 5. The contact file.
  int32_t r = open_contact_file(log, quick, read_only);
  if (r != status::kOk) {
    if (!quick) dbf::close(&log->mst.handle);
    return r;
  }
  if (log->dbs.handle.record_size != contact::kRecordSize) {
    if (!quick) dbf::close(&log->mst.handle);
    dbf::close(&log->dbs.handle);
    report_status(status::kBadDataStructure, log->dbs.path);
    return kContactFileRefused;
  }
  if (check_times && profile_time(profile, kProfileContactKey) != time_number(log->dbs.handle.file)) {
    if (read_only)
      stale[0] = stale[1] = true;
    else
      remove_index_files(log, 0, 1);
  }

  // 6. The remarks file.
  r = open_remarks(log, quick, read_only);
  if (r != status::kOk) {
    if (!quick) dbf::close(&log->mst.handle);
    dbf::close(&log->dbs.handle);
    return r;
  }

  // 7. The remarks file must account for every contact. (Without a remarks
  // file there is nothing to force; a read-only log is left as it is.)
  if (!read_only && platform::is_open(log->dbr_file) &&
      remarks_count(log->dbr_header) != log->dbs.handle.record_count) {
    if (message_box(0, kForceCountQuestion, kCountMismatchCaption, kMismatchStyle) ==
        platform::kIdYes) {
      set_remarks_count(log->dbr_header, log->dbs.handle.record_count);
      log->dbr_dirty = 1;
    }
  }
  if (quick) return status::kOk;

  // 9, 10. The indexes, built over the record files held open.
  const int32_t held = dbf::records_held(&log->dbs.handle);
  if (read_only) {
    open_indexes_read_only(log, check_times, profile, stale);
  } else {
    r = open_indexes(device_context, log, check_times, profile);
    if (r != status::kOk) return r;
  }

  // 11. The viewer.
  if ((flags & kAllocateViewer) != 0) {
    if (allocate_viewer(log, viewer_length, held) != status::kOk) {
      report_status(status::kNoMemory, kViewerBuffer);
      close_index_slots(log, kLogIndexCount - 1);
      close_remarks_file(log);
      dbf::close(&log->mst.handle);
      dbf::close(&log->dbs.handle);
      return status::kNoMemory;
    }
  }
  return status::kOk;
}

}  // namespace

int32_t open_log(void* device_context, LogHandle* log, const char* base_path,
                 int32_t viewer_length, int32_t flags) {
  // The log's side state begins with its open and ends with its close (or
  // here, when the open fails).
  if (attach_state(log) == nullptr) return status::kNoMemory;
  const int32_t r = open_files(device_context, log, base_path, viewer_length, flags);
  if (r != status::kOk) detach_state(log);
  return r;
}

}  // namespace osp::log

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
    result = close_slot(log, i);
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
