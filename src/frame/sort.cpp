#include "frame/sort.h"

namespace osp {

void swap_elements(uint8_t* a, uint8_t* b, size_t width) {
  for (size_t i = 0; i < width; ++i) {
    const uint8_t t = a[i];
    a[i] = b[i];
    b[i] = t;
  }
}

namespace {

struct Sorter {
  size_t width;
  CompareFn compare;
  void* context;

  uint8_t* at(uint8_t* base, ptrdiff_t k) const {
    return base + static_cast<size_t>(k) * width;
  }
  int cmp(uint8_t* base, ptrdiff_t a, ptrdiff_t b) const {
    return compare(at(base, a), at(base, b), context);
  }
  void swap(uint8_t* base, ptrdiff_t a, ptrdiff_t b) const {
    swap_elements(at(base, a), at(base, b), width);
  }

  // Sorts n elements at base. Positions are element numbers relative to base;
  // the pivot stays at 0 throughout the partition.
  void run(uint8_t* base, ptrdiff_t n) const {
    for (;;) {
      if (n <= 2) {
        if (n == 2 && cmp(base, 0, 1) > 0) swap(base, 0, 1);
        return;
      }
      ptrdiff_t right = n - 1;
      const ptrdiff_t mid = n / 2;
      if (cmp(base, mid, right) > 0) swap(base, mid, right);
      if (cmp(base, mid, 0) > 0) {
        swap(base, mid, 0);
      } else if (cmp(base, 0, right) > 0) {
        swap(base, 0, right);
      }
      if (n == 3) {
        swap(base, 0, mid);
        return;
      }
      ptrdiff_t left = 1;
      ptrdiff_t equal_end = 1;
      bool reached = false;
      while (right > left && !reached) {
        for (int c = cmp(base, left, 0); c <= 0; c = cmp(base, left, 0)) {
          if (c == 0) {
            swap(base, left, equal_end);
            ++equal_end;
          }
          if (left == right) {
            reached = true;
            break;
          }
          ++left;
        }
        if (reached) break;
        while (left < right) {
          const int c = cmp(base, 0, right);
          if (c < 0) {
            --right;
            continue;
          }
          swap(base, left, right);
          if (c != 0) {
            ++left;
            --right;
          }
          break;
        }
      }
      if (cmp(base, left, 0) <= 0) ++left;
      // Bring the pivot and its equals between the two parts.
      for (ptrdiff_t a = 0, b = left - 1; a < equal_end && b >= equal_end; ++a, --b) {
        swap(base, a, b);
      }
      const ptrdiff_t less = left - equal_end;
      const ptrdiff_t greater = n - left;
      if (less > greater) {
        run(at(base, left), greater);
        n = less;
      } else {
        run(base, less);
        base = at(base, left);
        n = greater;
      }
    }
  }
};

}  // namespace

void sort_records(void* base, int32_t count, int32_t width, CompareFn compare, void* context) {
  if (base == nullptr || width <= 0 || count <= 1) return;
  const Sorter s{static_cast<size_t>(width), compare, context};
  s.run(static_cast<uint8_t*>(base), count);
}

}  // namespace osp
