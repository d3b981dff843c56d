#include "log/held_appends.h"

#include <cstring>

#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/status.h"
#include "log/contact_record.h"
#include "log/index_edits.h"
#include "log/log_guard.h"
#include "log/remark_block.h"
#include "log/remarks_file.h"
#include "platform/env.h"

namespace osp::log {

namespace {

// Room for about a thousand records and as many blocks; static, so that
// appending never allocates.
constexpr int32_t kRunBytes = 65536;
uint8_t g_records[kRunBytes];
uint8_t g_blocks[kRunBytes];

struct Run {
  LogHandle* log = nullptr;
  FileHandle dbs = kNoFile;
  FileHandle dbr = kNoFile;
  int64_t record_at = 0;  // where the first record goes
  int32_t record_bytes = 0;
  int32_t contacts = 0;
  int64_t block_at = 0;  // the remarks file's end when the run began
  int32_t block_bytes = 0;
  int32_t count_before = 0;    // the contact count when the run began
  int32_t remarks_before = 0;  // the remarks file's count then
  bool indexed = false;  // entries of its contacts are in slots 0 and 1
};

Run g_run;

// A run written behind its log's back that failed, until the log asks.
LogHandle* g_failed_log = nullptr;
int32_t g_failure = status::kOk;

// Keeps a run's failure for its log, unless one is kept for it already.
void keep_failure(LogHandle* owner, int32_t code) {
  if (code == status::kOk || g_failed_log == owner) return;
  g_failed_log = owner;
  g_failure = code;
}

// Takes a run that could not be written out of its log. A count comes down
// only while the log still has the run's files open and the count is the one
// the run left (a zap, say, may have set it since).
void take_back(const Run& run, int32_t code, const char* path_field) {
  LogHandle* log = run.log;
  DbfHandle* h = &log->dbs.handle;
  if (h->file == run.dbs && h->record_count == run.count_before + run.contacts) {
    h->record_count = run.count_before;
    h->flags |= dbf::kFlagWritten | dbf::kFlagCountChanged;
  }
  if (log->dbr_file == run.dbr && static_cast<int64_t>(remarks_count(log->dbr_header)) ==
                                     static_cast<int64_t>(run.remarks_before) + run.contacts) {
    set_remarks_count(log->dbr_header, run.remarks_before);
    log->dbr_dirty = 1;
  }
  if (run.block_bytes > 0 && file_size(run.dbr) > run.block_at) file_truncate(run.dbr, run.block_at);
  if (run.indexed) {
    drop_index(log, 0);
    drop_index(log, 1);
  }
  report_path_status(code, path_field);
}

// Writes the run and forgets it.
int32_t write_run() {
  release_writes();
  const Run run = g_run;
  g_run = Run{};
  if (run.contacts == 0) return status::kOk;
  if (run.block_bytes > 0 &&
      file_write_at(run.dbr, run.block_at, g_blocks, run.block_bytes) != run.block_bytes) {
    take_back(run, status::kDataWriteError, run.log->dbr_name);
    return status::kDataWriteError;
  }
  if (file_write_at(run.dbs, run.record_at, g_records, run.record_bytes) != run.record_bytes) {
    take_back(run, status::kDataWriteError, run.log->dbs.path);
    return status::kDataWriteError;
  }
  return status::kOk;
}

// The file layer's call before anything touches a held file.
void write_behind() {
  LogHandle* const owner = g_run.log;
  keep_failure(owner, write_run());
}

int32_t reported(int32_t code, const char* path_field) {
  report_path_status(code, path_field);
  return code;
}

// True when the contact can join the run as it stands.
bool joins_run(const LogHandle* log, int32_t block_size) {
  const DbfHandle& h = log->dbs.handle;
  return g_run.log == log && g_run.dbs == h.file && g_run.dbr == log->dbr_file &&
         dbf::record_position(&h, h.record_count + 1) == g_run.record_at + g_run.record_bytes &&
         g_run.record_bytes + h.record_size <= kRunBytes &&
         g_run.block_bytes + block_size <= kRunBytes;
}

// Begins a run for log at the end of its files, as they stand.
int32_t begin_run(LogHandle* log) {
  DbfHandle* h = &log->dbs.handle;
  const int64_t record_at = dbf::record_position(h, h->record_count + 1);
  // Only from the file's end: a count that claims records the file lacks
  // never has a record written past them.
  const int64_t size = file_size(h->file);
  if (record_at < 0 || size < 0 || record_at > size)
    return reported(status::kDataWriteError, log->dbs.path);
  int64_t block_at = 0;
  if (platform::is_open(log->dbr_file)) {
    block_at = file_size(log->dbr_file);
    if (block_at < 0) return reported(status::kCannotOpen, log->dbr_name);
  }
  g_run = Run{};
  g_run.log = log;
  g_run.dbs = h->file;
  g_run.dbr = log->dbr_file;
  g_run.record_at = record_at;
  g_run.block_at = block_at;
  g_run.count_before = h->record_count;
  g_run.remarks_before = remarks_count(log->dbr_header);
  return status::kOk;
}

}  // namespace

int32_t hold_contact(LogHandle* log, bool indexed) {
  DbfHandle* h = &log->dbs.handle;
  // The record is the contact image and its mark, nothing longer.
  if (h->record_size != contact::kRecordSize)
    return reported(status::kBadDataStructure, log->dbs.path);
  if (h->record_count < 0 || h->record_count == INT32_MAX)
    return reported(status::kDataWriteError, log->dbs.path);
  uint8_t block[kRemarkBlockMax];
  const int32_t s = remark_block_bytes(log, block);
  const bool has_block = s > kRemarkLengthBytes;
  if (g_run.contacts > 0 && !joins_run(log, has_block ? s : 0)) {
    LogHandle* const owner = g_run.log;
    const int32_t r = write_run();
    if (r != status::kOk && owner == log) return r;
    keep_failure(owner, r);
  }
  if (g_run.contacts == 0) {
    const int32_t r = begin_run(log);
    if (r != status::kOk) return r;
  }
  // The record's place was checked: by begin_run, or by joins_run against
  // the run's end.
  uint32_t offset = 0;
  if (has_block) {
    if (!platform::is_open(log->dbr_file)) return reported(status::kCannotOpen, log->dbr_name);
    const int64_t at = g_run.block_at + g_run.block_bytes;
    if (at + s > kMaxFilePosition + 1) return reported(status::kDataWriteError, log->dbr_name);
    std::memcpy(g_blocks + g_run.block_bytes, block, static_cast<size_t>(s));
    g_run.block_bytes += s;
    offset = static_cast<uint32_t>(at);
  }
  contact::set_remark_offset(log->dbs_image, offset);
  uint8_t* record = g_records + g_run.record_bytes;
  record[0] = dbf::kLiveMark;
  std::memcpy(record + 1, log->dbs_image, static_cast<size_t>(h->record_size - 1));
  g_run.record_bytes += h->record_size;
  g_run.contacts += 1;
  g_run.indexed = g_run.indexed || indexed;
  h->record_count += 1;
  h->current_recno = h->record_count;
  h->flags = dbf::kFlagWritten | dbf::kFlagCountChanged;
  add_to_remarks_count(log->dbr_header, 1);
  log->dbr_dirty = 1;
  hold_writes(g_run.dbs, g_run.dbr, write_behind);
  return status::kOk;
}

int32_t write_held_appends(LogHandle* log) {
  int32_t r = status::kOk;
  if (g_run.contacts > 0 && g_run.log == log) r = write_run();
  if (g_failed_log == log) {
    if (r == status::kOk) r = g_failure;
    g_failed_log = nullptr;
    g_failure = status::kOk;
  }
  return r;
}

}  // namespace osp::log
