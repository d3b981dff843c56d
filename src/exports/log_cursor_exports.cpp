// Exports of the log cursor.
#include "log/log_cursor.h"
#include "osprey32.h"

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
