// Exports of the services over an open log: master copy, duplicates and the
// date of last update.
#include "log/log_services.h"
#include "osprey32.h"

extern "C" {

int32_t OSPAPI CopyFromMAS(LogHandle* log) { return osp::log::copy_from_master(log); }
int32_t OSPAPI DupIndexRead(IdxHandle* index, const char* key, int32_t* results) {
  return osp::log::duplicates(index, key, results);
}
char* OSPAPI Get_lupdate(const void* header) { return osp::log::last_update_text(header); }

}  // extern "C"
