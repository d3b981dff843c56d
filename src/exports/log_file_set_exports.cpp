// Exports of the log file set.
#include "log/log_file_set.h"
#include "osprey32.h"

extern "C" {

int32_t OSPAPI OspreyOpen(void* device_context, LogHandle* log, const char* base_path,
                          int32_t viewer_length, int32_t flags) {
  return osp::log::open_log(device_context, log, base_path, viewer_length, flags);
}

int32_t OSPAPI OspreyClose(LogHandle* log, int32_t flags) {
  return osp::log::close_log(log, flags);
}

}  // extern "C"
