#include "log/log_write_protocol.h"

#include "dbf/record_file.h"
#include "frame/bytes.h"
#include "frame/file.h"
#include "frame/status.h"
#include "index/index_file.h"
#include "record/contact_record.h"
#include "log/held_appends.h"
#include "log/index_slots.h"
#include "log/log_keys.h"
#include "log/log_guard.h"
#include "record/master_record.h"
#include "log/remark_write.h"
#include "log/remarks_file.h"
#include "log/stale_mark.h"
#include "platform/env.h"

namespace osp::log::protocol {

namespace {

bool writes_through(const LogHandle* log) { return log->write_through != 0; }

// True when a record whose link was old_offset now links to a block at
// another place, which must reach the disk before the record does. A block
// rewritten where it stood (or no block at all) adds no link: syncing it
// ahead of the record would only widen the moment in which the record and
// its block disagree.
bool links_anew(uint32_t old_offset, uint32_t offset) {
  return offset != 0 && offset != old_offset;
}

// Reports a failure with the path field of the file concerned; passes it on.
int32_t reported(int32_t code, const char* path_field) {
  if (code != status::kOk) report_path_status(code, path_field);
  return code;
}

// Writes the record; when that fails, puts the stored bytes back (a short
// write may have changed part of it) and reports.
int32_t write_record(DbfSlot* file, int32_t recno, const uint8_t* data, const uint8_t* stored) {
  const int32_t r = dbf::write(&file->handle, recno, data);
  if (r != status::kOk) dbf::write(&file->handle, recno, stored);
  return reported(r, file->path);
}

// The first step of a write-through sync: the remarks file, before any
// record that may point into it. A failure takes back what undo describes.
int32_t sync_blocks_first(LogHandle* log, const RemarkUndo& undo, bool appended) {
  const int32_t r = sync_remarks_file(log);
  if (r == status::kOk) return r;
  if (appended) {
    undo_remark_append(log, undo);
  } else {
    undo_remark_block(log, undo);
  }
  return reported(r, log->dbr_name);
}

// The step after a contact record was written with write_through: the
// contact file. The indexes over it are not synced: the stale mark, on the
// disk before the first change, has the next open rebuild them should the
// power go before the close syncs them.
int32_t sync_after_record(LogHandle* log) {
  return reported(sync_contact_file(log), log->dbs.path);
}

// The entries of the contact just appended (dbs_image, the last record) in
// slots 0 and 1.
void insert_contact_entries(LogHandle* log) {
  const int32_t recno = log->dbs.handle.record_count;
  const uint8_t* data = log->dbs_image;
  insert_entry(log, 0, data + contact::kCalls.data(),
               contact::kDataSize - contact::kCalls.data(), recno);
  insert_entry(log, 1, data + contact::kCode.data(),
               contact::kDataSize - contact::kCode.data(), recno);
}

}  // namespace

void begin_contact_change(LogHandle* log) { mark_contact_indexes_stale(log); }

void begin_master_change(LogHandle* log) { mark_master_indexes_stale(log); }

int32_t sync_remarks_file(LogHandle* log) {
  if (log->dbr_dirty == 0 || !platform::is_open(log->dbr_file)) return status::kOk;
  const int32_t r = write_back_remarks_header(log);
  if (r != status::kOk) return r;
  return file_sync_data(log->dbr_file) ? status::kOk : status::kDataWriteError;
}

int32_t sync_contact_file(LogHandle* log) {
  if (!platform::is_open(log->dbs.handle.file)) return status::kOk;
  return dbf::sync_data(&log->dbs.handle);
}

int32_t append_contact(LogHandle* log, Indexing indexing) {
  const bool indexed = indexing == Indexing::kWithIndexes;
  const bool through = indexed && writes_through(log);
  begin_contact_change(log);
  int32_t r = status::kOk;
  if (!through && in_bulk(log)) {
    r = hold_contact(log, indexed);
    if (r != status::kOk || !indexed) return r;
    insert_contact_entries(log);
    return status::kOk;
  }
  // An append outside a bulk run lands after whatever is held, in its place.
  if ((r = write_held_appends(log)) != status::kOk) return r;
  uint32_t offset = 0;
  RemarkUndo undo;
  r = append_remark_block(log, &offset, &undo);
  if (r != status::kOk) return reported(r, log->dbr_name);
  if (through && (r = sync_blocks_first(log, undo, true)) != status::kOk) return r;
  contact::set_remark_offset(log->dbs_image, offset);
  r = dbf::append(&log->dbs.handle, log->dbs_image);
  if (r != status::kOk) {
    // The next open must find the two counts in agreement: with
    // write-through the count taken back goes to the disk again at once.
    undo_remark_append(log, undo);
    if (through) sync_remarks_file(log);
    return reported(r, log->dbs.path);
  }
  if (!indexed) return status::kOk;
  insert_contact_entries(log);
  if (!through) return status::kOk;
  write_back_indexes(log, 0, 1);
  return sync_after_record(log);
}

int32_t update_contact(LogHandle* log, int32_t recno, const uint8_t* stored,
                       bool rewrite_remarks) {
  const bool through = writes_through(log);
  begin_contact_change(log);
  const uint32_t old_offset = contact::remark_offset(stored);
  uint32_t offset = old_offset;
  RemarkUndo undo;
  int32_t r = status::kOk;
  if (rewrite_remarks) {
    r = write_remark_block(log, old_offset, &offset, &undo);
    if (r != status::kOk) return reported(r, log->dbr_name);
  }
  const bool linked_anew = links_anew(old_offset, offset);
  if (through && linked_anew && (r = sync_blocks_first(log, undo, false)) != status::kOk) return r;
  contact::set_remark_offset(log->dbs_image, offset);
  r = write_record(&log->dbs, recno, log->dbs_image, stored);
  if (r != status::kOk) {
    undo_remark_block(log, undo);
    return r;
  }
  reindex(log, 0, recno, stored + contact::kCalls.data(),
          log->dbs_image + contact::kCalls.data(), contact::kDataSize - contact::kCalls.data());
  reindex(log, 1, recno, stored + contact::kCode.data(),
          log->dbs_image + contact::kCode.data(), contact::kDataSize - contact::kCode.data());
  if (!through) return status::kOk;
  write_back_indexes(log, 0, 1);
  const int32_t blocks = linked_anew ? status::kOk : reported(sync_remarks_file(log), log->dbr_name);
  const int32_t rest = sync_after_record(log);
  return blocks != status::kOk ? blocks : rest;
}

int32_t relink_contact_remarks(LogHandle* log, int32_t recno, uint32_t old_offset,
                               uint32_t* offset) {
  const bool through = writes_through(log);
  uint32_t at = old_offset;
  RemarkUndo undo;
  int32_t r = write_remark_block(log, old_offset, &at, &undo);
  if (r != status::kOk) return r;
  const bool linked_anew = links_anew(old_offset, at);
  if (through && linked_anew && (r = sync_remarks_file(log)) != status::kOk) {
    undo_remark_block(log, undo);
    return r;
  }
  uint8_t link[4];
  store_u32(link, at);
  r = dbf::write2(&log->dbs.handle, recno, link, contact::kOfs.offset, 4);
  if (r != status::kOk) {
    undo_remark_block(log, undo);
    return r;
  }
  *offset = at;
  if (!through) return status::kOk;
  const int32_t blocks = linked_anew ? status::kOk : sync_remarks_file(log);
  const int32_t record = sync_contact_file(log);
  return blocks != status::kOk ? blocks : record;
}

int32_t clear_remark_links(LogHandle* log) {
  const uint8_t zeros[4] = {0, 0, 0, 0};
  DbfHandle* dbs = &log->dbs.handle;
  // Only the records the file really holds: a count that claims more would
  // otherwise have this write where those records would be.
  const int32_t held = dbf::records_held(dbs);
  for (int32_t recno = 1; recno <= held; ++recno) {
    const int32_t r = dbf::write2(dbs, recno, zeros, contact::kOfs.offset, 4);
    if (r != status::kOk) return status::kDataWriteError;
  }
  return sync_contact_file(log);
}

int32_t append_master(LogHandle* log) {
  begin_master_change(log);
  const int32_t r = dbf::append(&log->mst.handle, log->mst_image);
  if (r != status::kOk) return reported(r, log->mst.path);
  const int32_t recno = log->mst.handle.record_count;
  const uint8_t* data = log->mst_image;
  insert_entry(log, 2, data + master::kCode.data(),
               master::kDataSize - master::kCode.data(), recno);
  // Indexes 3 and 4 order the same entries: they take the new one too, so
  // that a walk through them finds it.
  insert_entry(log, 3, assemble_flg_code_key(log->mst_image),
               master::kFlgCodeKeyLength, recno);
  insert_entry(log, 4, data + master::kFlg.data(),
               master::kDataSize - master::kFlg.data(), recno);
  return status::kOk;
}

int32_t update_master(LogHandle* log, int32_t recno, const uint8_t* stored) {
  begin_master_change(log);
  const int32_t r = write_record(&log->mst, recno, log->mst_image, stored);
  if (r != status::kOk) return r;
  reindex(log, 2, recno, stored + master::kCode.data(),
          log->mst_image + master::kCode.data(), master::kDataSize - master::kCode.data());
  uint8_t old_flg_code[master::kFlgCodeKeyLength];
  master::flg_code_key(stored, old_flg_code);
  const char* new_flg_code = assemble_flg_code_key(log->mst_image);
  reindex(log, 3, recno, old_flg_code, reinterpret_cast<const uint8_t*>(new_flg_code),
          master::kFlgCodeKeyLength);
  return reindex(log, 4, recno, stored + master::kFlg.data(),
                 log->mst_image + master::kFlg.data(), master::kDataSize - master::kFlg.data());
}

int32_t replace_by_rename(const char* temp_path, const char* path) {
  platform::Env* env = platform::env();
  if (!env->rename(temp_path, path)) return status::kCannotOpen;
  return env->sync_folder(path) ? status::kOk : status::kDataWriteError;
}

}  // namespace osp::log::protocol
