// Exports of the index builder.
#include "index/index_builder.h"
#include "osprey32.h"

extern "C" {

int32_t OSPAPI MakeIndex(const char* record_path, const char* expression,
                         const char* index_path) {
  return osp::index::make_index(record_path, expression, index_path);
}

}  // extern "C"
