#include "frame/sort.h"

#include <cstring>

#include "osprey32.h"

namespace osp {

void sort_records(void* base, int32_t count, int32_t width, CompareFn compare, void* context) {
  sort_records_by(base, count, width, [compare, context](const uint8_t* a, const uint8_t* b) {
    return compare(a, b, context);
  });
}

// The exported fixed-width record sort.

namespace {

// The key width and direction of the sort in progress.
struct QsorterSettings {
  size_t width;
  bool descending;
};

int compare_bytes(const void* a, const void* b, void* context) {
  const auto* s = static_cast<const QsorterSettings*>(context);
  const int c = s->descending ? std::memcmp(b, a, s->width) : std::memcmp(a, b, s->width);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

int32_t qsorter(void* base, int32_t count, int32_t spec) {
  const auto bits = static_cast<uint32_t>(spec);
  QsorterSettings settings{bits & 0xFFFFu, (bits >> 16) != 0};
  if (settings.width == 0) return 0;
  sort_records(base, count, static_cast<int32_t>(settings.width), compare_bytes, &settings);
  return 0;
}

}  // namespace osp
