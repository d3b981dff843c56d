// The in-memory sort of fixed-width elements: a quicksort with a median-of-
// three pivot and a three-way partition that gathers the pivot's equals. Not
// stable; callers that need a total order put a tie-breaker into compare.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace osp {

// Compares the elements at a and b: negative, 0 or positive for a before,
// equal to or after b.
using CompareFn = int (*)(const void* a, const void* b, void* context);

// Sorts count elements of width bytes at base. A width of 0 sorts nothing.
// compare must not start another sort.
void sort_records(void* base, int32_t count, int32_t width, CompareFn compare,
                  void* context = nullptr);

// Exchanges the width bytes at a and b: eight bytes at a time, then the
// rest byte by byte.
inline void swap_elements(uint8_t* a, uint8_t* b, size_t width) {
  size_t i = 0;
  for (; i + 8 <= width; i += 8) {
    uint64_t x;
    uint64_t y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    std::memcpy(a + i, &y, 8);
    std::memcpy(b + i, &x, 8);
  }
  for (; i < width; ++i) {
    const uint8_t t = a[i];
    a[i] = b[i];
    b[i] = t;
  }
}

// sort_records with a comparison that the compiler can inline: compare(a, b)
// takes two element pointers (const uint8_t*) and returns negative, 0 or
// positive. The same sort, element for element.
template <class Compare>
void sort_records_by(void* base, int32_t count, int32_t width, Compare compare);

namespace sort_detail {

template <class Compare>
struct Sorter {
  size_t width;
  Compare compare;

  uint8_t* at(uint8_t* base, ptrdiff_t k) const {
    return base + static_cast<size_t>(k) * width;
  }
  int cmp(uint8_t* base, ptrdiff_t a, ptrdiff_t b) const {
    return compare(static_cast<const uint8_t*>(at(base, a)),
                   static_cast<const uint8_t*>(at(base, b)));
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

}  // namespace sort_detail

template <class Compare>
void sort_records_by(void* base, int32_t count, int32_t width, Compare compare) {
  if (base == nullptr || width <= 0 || count <= 1) return;
  const sort_detail::Sorter<Compare> s{static_cast<size_t>(width), compare};
  s.run(static_cast<uint8_t*>(base), count);
}

}  // namespace osp

namespace osp {

// The exported sort: count records of (spec & 0xFFFF) bytes compared as
// unsigned bytes over the whole width, ascending when the high 16 bits of spec
// are 0, else descending. Returns 0; the value carries no meaning.
int32_t qsorter(void* base, int32_t count, int32_t spec);

}  // namespace osp
