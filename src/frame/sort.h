// The in-memory sort of fixed-width elements: a quicksort with a median-of-
// three pivot and a three-way partition that gathers the pivot's equals. Not
// stable; callers that need a total order put a tie-breaker into compare.
#pragma once

#include <cstddef>
#include <cstdint>

namespace osp {

// Compares the elements at a and b: negative, 0 or positive for a before,
// equal to or after b.
using CompareFn = int (*)(const void* a, const void* b, void* context);

// Sorts count elements of width bytes at base. A width of 0 sorts nothing.
// compare must not start another sort.
void sort_records(void* base, int32_t count, int32_t width, CompareFn compare,
                  void* context = nullptr);

// Exchanges the width bytes at a and b.
void swap_elements(uint8_t* a, uint8_t* b, size_t width);

}  // namespace osp

namespace osp {

// The exported sort: count records of (spec & 0xFFFF) bytes compared as
// unsigned bytes over the whole width, ascending when the high 16 bits of spec
// are 0, else descending. Returns 0; the value carries no meaning.
int32_t qsorter(void* base, int32_t count, int32_t spec);

}  // namespace osp
