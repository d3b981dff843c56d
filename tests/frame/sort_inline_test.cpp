#include "frame/sort.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace osp {
namespace {

int compare_first_byte(const void* a, const void* b, void*) {
  return static_cast<const uint8_t*>(a)[0] - static_cast<const uint8_t*>(b)[0];
}

// sort_records and the inlinable sort_records_by are one sort: with a
// comparison that sees only the first byte, elements that compare equal keep
// whatever order the algorithm gives them, and that order must agree too.
TEST(SortRecords, InlinedComparisonSortsElementForElementTheSame) {
  std::mt19937 rng(7);
  for (int32_t width : {1, 7, 8, 9, 10, 17}) {
    for (int32_t count : {0, 1, 2, 3, 4, 50, 4915}) {
      std::vector<uint8_t> a(static_cast<size_t>(width * count));
      for (auto& b : a) b = static_cast<uint8_t>(rng() % 16);
      std::vector<uint8_t> b = a;
      sort_records(a.data(), count, width, compare_first_byte);
      sort_records_by(b.data(), count, width, [](const uint8_t* x, const uint8_t* y) {
        return x[0] - y[0];
      });
      EXPECT_EQ(a, b) << width << " " << count;
      for (int32_t i = 1; i < count; ++i)
        ASSERT_LE(a[static_cast<size_t>((i - 1) * width)], a[static_cast<size_t>(i * width)]);
    }
  }
}

TEST(SortRecords, SwapExchangesEveryByte) {
  for (size_t width : {1u, 8u, 13u, 24u}) {
    std::vector<uint8_t> x(width), y(width);
    for (size_t i = 0; i < width; ++i) {
      x[i] = static_cast<uint8_t>(i);
      y[i] = static_cast<uint8_t>(100 + i);
    }
    const auto x0 = x, y0 = y;
    swap_elements(x.data(), y.data(), width);
    EXPECT_EQ(x, y0);
    EXPECT_EQ(y, x0);
  }
}

}  // namespace
}  // namespace osp
