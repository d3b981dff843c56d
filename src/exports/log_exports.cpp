// Exports of the log.
#include "log/area_code.h"
#include "osprey32.h"

extern "C" {

int32_t OSPAPI ChosonCheck(const char* code) { return osp::log::area_code_kind(code); }

}  // extern "C"
