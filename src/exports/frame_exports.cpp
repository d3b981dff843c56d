// Exports of the library frame and the in-memory sort.
#include "frame/sort.h"
#include "frame/version.h"
#include "osprey32.h"

extern "C" {

int32_t OSPAPI GetOspdllVersion(void) { return osp::kVersion; }

int32_t OSPAPI _Qsorter(void* base, int32_t count, int32_t spec) {
  return osp::qsorter(base, count, spec);
}

}  // extern "C"
