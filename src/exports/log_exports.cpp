// The exports of the log: area codes, the file set, the cursor, the writes
// (with bulk runs) and the services over an open log, in the order of the
// public header.

#include "record/area_code.h"
#include "log/held_appends.h"
#include "log/log_cursor.h"
#include "log/log_file_set.h"
#include "log/log_services.h"
#include "log/log_writes.h"
#include "osprey32.h"

// Exports of the log.

extern "C" {

int32_t OSPAPI ChosonCheck(const char* code) { return osp::log::area_code_kind(code); }

}  // extern "C"

// Exports of the log file set.

extern "C" {

int32_t OSPAPI OspreyOpen(void* device_context, LogHandle* log, const char* base_path,
                          int32_t viewer_length, int32_t flags) {
  return osp::log::open_log(device_context, log, base_path, viewer_length, flags);
}

int32_t OSPAPI OspreyClose(LogHandle* log, int32_t flags) {
  return osp::log::close_log(log, flags);
}

}  // extern "C"

// Exports of the log cursor.

extern "C" {

int32_t OSPAPI OSP_read(LogHandle* log, int32_t recno, int32_t options) {
  return osp::log::read_contact(log, recno, options);
}
int32_t OSPAPI OSP_skip(LogHandle* log, int32_t count, int32_t mode) {
  return osp::log::skip(log, count, mode);
}
int32_t OSPAPI OSP_seek(LogHandle* log, char* key, int32_t mode) {
  return osp::log::seek(log, key, mode);
}
int32_t OSPAPI OSP_top(LogHandle* log, int32_t mode) { return osp::log::top(log, mode); }
int32_t OSPAPI OSP_btm(LogHandle* log, int32_t mode) { return osp::log::bottom(log, mode); }
int32_t OSPAPI OSP_idxrmv(LogHandle* log, int32_t recno, int32_t mode, const char* key) {
  return osp::log::position_on(log, recno, mode, key);
}
char* OSPAPI Idx_ReadKey(LogHandle* log, int32_t which) { return osp::log::read_key(log, which); }

}  // extern "C"

// Exports of the log writes.

extern "C" {

int32_t OSPAPI OSP_update(LogHandle* log, LogHandle* old_copy, int32_t recno, int32_t flags,
                          int32_t* confirm) {
  return osp::log::update(log, old_copy, recno, flags, confirm);
}
int32_t OSPAPI OSP_append(LogHandle* log, int32_t flags, int32_t* confirm) {
  return osp::log::append(log, flags, confirm);
}
int32_t OSPAPI OSP_flush(LogHandle* log) { return osp::log::flush_log(log); }
void OSPAPI OSP_zap(LogHandle* log) { osp::log::zap(log); }
int32_t OSPAPI DB_append(LogHandle* log) { return osp::log::append_without_index(log); }
int32_t OSPAPI OSP_bulk_begin(LogHandle* log) { return osp::log::begin_bulk(log); }
int32_t OSPAPI OSP_bulk_end(LogHandle* log) { return osp::log::end_bulk(log); }

}  // extern "C"

// Exports of the services over an open log: master copy, duplicates and the
// date of last update.

extern "C" {

int32_t OSPAPI CopyFromMAS(LogHandle* log) { return osp::log::copy_from_master(log); }
int32_t OSPAPI DupIndexRead(IdxHandle* index, const char* key, int32_t* results) {
  return osp::log::duplicates(index, key, results);
}
char* OSPAPI Get_lupdate(const void* header) { return osp::log::last_update_text(header); }

}  // extern "C"
