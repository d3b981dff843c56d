#include "frame/sort.h"

namespace osp {

void sort_records(void* base, int32_t count, int32_t width, CompareFn compare, void* context) {
  sort_records_by(base, count, width, [compare, context](const uint8_t* a, const uint8_t* b) {
    return compare(a, b, context);
  });
}

}  // namespace osp
