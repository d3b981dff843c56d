// Exports of the log writes.
#include "log/held_appends.h"
#include "log/log_flush.h"
#include "log/log_writes.h"
#include "osprey32.h"

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
