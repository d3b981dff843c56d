#include "log/held_appends.h"

#include <cstring>

#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/status.h"
#include "record/contact_record.h"
#include "log/index_slots.h"
#include "log/log_guard.h"
#include "log/log_state.h"
#include "record/remark_block.h"
#include "log/remarks_file.h"
#include "platform/env.h"

namespace osp::log {

namespace {

// Keeps a run's failure for its log, unless one is kept for it already.
void keep_failure(LogState* owner, int32_t code) {
  if (code != status::kOk && owner->failure == status::kOk) owner->failure = code;
}

// Takes a run that could not be written out of its log: both files cut back
// to where the run began, and both counts down. A count comes down (and a
// file is cut) only while the log still has the run's files open and the
// count is the one the run left (a zap, say, may have set it since).
void take_back(LogHandle* log, const HeldRun& run, int32_t code, const char* path_field) {
  DbfHandle* h = &log->dbs.handle;
  if (h->file == run.dbs && h->record_count == run.count_before + run.contacts) {
    h->record_count = run.count_before;
    h->current_recno = run.count_before;
    // The write-back that follows puts the end mark back after the last
    // record the file keeps.
    h->flags |= dbf::kFlagWritten | dbf::kFlagCountChanged;
    if (file_size(run.dbs) > run.record_at) file_truncate(run.dbs, run.record_at);
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

// Writes state's run and forgets it (the buffers stay for the next run).
int32_t write_run(LogState* state) {
  release_writes(state);
  HeldRun& run = state->run;
  if (run.contacts == 0) return status::kOk;
  const HeldRun written = run;
  run.contacts = run.record_bytes = run.block_bytes = 0;
  run.indexed = false;
  LogHandle* log = state->log;
  if (written.block_bytes > 0 &&
      file_write_at(written.dbr, written.block_at, written.blocks, written.block_bytes) !=
          written.block_bytes) {
    take_back(log, written, status::kDataWriteError, log->dbr_name);
    return status::kDataWriteError;
  }
  if (file_write_at(written.dbs, written.record_at, written.records, written.record_bytes) !=
      written.record_bytes) {
    take_back(log, written, status::kDataWriteError, log->dbs.path);
    return status::kDataWriteError;
  }
  return status::kOk;
}

// The file layer's call before anything touches a held file.
void write_behind(void* owner) {
  auto* state = static_cast<LogState*>(owner);
  keep_failure(state, write_run(state));
}

// Writes the runs that other logs hold (the file layer holds one run at a
// time); their failures are kept for them.
void write_other_runs(const LogState* mine) {
  for (LogState* s = first_state(); s != nullptr; s = s->next)
    if (s != mine && s->run.contacts > 0) keep_failure(s, write_run(s));
}

int32_t reported(int32_t code, const char* path_field) {
  report_path_status(code, path_field);
  return code;
}

// True when the contact can join the run as it stands.
bool joins_run(const LogHandle* log, const HeldRun& run, int32_t block_size) {
  const DbfHandle& h = log->dbs.handle;
  return run.dbs == h.file && run.dbr == log->dbr_file &&
         dbf::record_position(&h, h.record_count + 1) == run.record_at + run.record_bytes &&
         run.record_bytes + h.record_size <= kRunBytes && run.block_bytes + block_size <= kRunBytes;
}

// Begins a run for log at the end of its files, as they stand.
int32_t begin_run(LogHandle* log, HeldRun* run) {
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
  run->dbs = h->file;
  run->dbr = log->dbr_file;
  run->record_at = record_at;
  run->record_bytes = 0;
  run->block_at = block_at;
  run->block_bytes = 0;
  run->contacts = 0;
  run->indexed = false;
  run->count_before = h->record_count;
  run->remarks_before = remarks_count(log->dbr_header);
  return status::kOk;
}

// Returns and clears the failure kept for state.
int32_t take_failure(LogState* state, int32_t r) {
  if (r == status::kOk) r = state->failure;
  state->failure = status::kOk;
  return r;
}

}  // namespace

int32_t begin_bulk(LogHandle* log) {
  if (log == nullptr || !platform::is_open(log->dbs.handle.file)) return status::kCannotOpen;
  LogState* state = state_for(log);
  if (state == nullptr) return status::kNoMemory;
  if (state->bulk) return status::kOk;
  HeldRun& run = state->run;
  platform::Env* env = platform::env();
  if (run.records == nullptr) run.records = static_cast<uint8_t*>(env->allocate(kRunBytes));
  if (run.blocks == nullptr) run.blocks = static_cast<uint8_t*>(env->allocate(kRunBytes));
  if (run.records == nullptr || run.blocks == nullptr) return status::kNoMemory;
  state->bulk = true;
  return status::kOk;
}

int32_t end_bulk(LogHandle* log) {
  LogState* state = state_of(log);
  if (state == nullptr) return status::kOk;
  const int32_t r = take_failure(state, write_run(state));
  state->bulk = false;
  return r;
}

bool in_bulk(const LogHandle* log) {
  const LogState* state = state_of(log);
  return state != nullptr && state->bulk;
}

int32_t hold_contact(LogHandle* log, bool indexed) {
  LogState* state = state_of(log);
  if (state == nullptr || !state->bulk) return status::kCannotOpen;
  HeldRun& run = state->run;
  DbfHandle* h = &log->dbs.handle;
  // The record is the contact image and its mark, nothing longer.
  if (h->record_size != contact::kRecordSize)
    return reported(status::kBadDataStructure, log->dbs.path);
  if (h->record_count < 0 || h->record_count == INT32_MAX)
    return reported(status::kDataWriteError, log->dbs.path);
  uint8_t block[kRemarkBlockMax];
  const int32_t s = remark_block_bytes(log, block);
  const bool has_block = s > kRemarkLengthBytes;
  write_other_runs(state);
  if (run.contacts > 0 && !joins_run(log, run, has_block ? s : 0)) {
    const int32_t r = write_run(state);
    if (r != status::kOk) return r;
  }
  if (run.contacts == 0) {
    const int32_t r = begin_run(log, &run);
    if (r != status::kOk) return r;
  }
  // The record's place was checked: by begin_run, or by joins_run against
  // the run's end.
  uint32_t offset = 0;
  if (has_block) {
    if (!platform::is_open(log->dbr_file)) return reported(status::kCannotOpen, log->dbr_name);
    const int64_t at = run.block_at + run.block_bytes;
    if (at + s > kMaxFilePosition + 1) return reported(status::kDataWriteError, log->dbr_name);
    std::memcpy(run.blocks + run.block_bytes, block, static_cast<size_t>(s));
    run.block_bytes += s;
    offset = static_cast<uint32_t>(at);
  }
  contact::set_remark_offset(log->dbs_image, offset);
  uint8_t* record = run.records + run.record_bytes;
  record[0] = dbf::kLiveMark;
  std::memcpy(record + 1, log->dbs_image, static_cast<size_t>(h->record_size - 1));
  run.record_bytes += h->record_size;
  run.contacts += 1;
  run.indexed = run.indexed || indexed;
  h->record_count += 1;
  h->current_recno = h->record_count;
  h->flags = dbf::kFlagWritten | dbf::kFlagCountChanged;
  add_to_remarks_count(log->dbr_header, 1);
  log->dbr_dirty = 1;
  hold_writes(run.dbs, run.dbr, state, write_behind);
  return status::kOk;
}

int32_t write_held_appends(LogHandle* log) {
  LogState* state = state_of(log);
  if (state == nullptr) return status::kOk;
  return take_failure(state, write_run(state));
}

}  // namespace osp::log
