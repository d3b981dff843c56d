#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "frame/sort.h"
#include "osprey32.h"

namespace osp {
namespace {

struct Counted {
  int calls = 0;
};

int compare_ints(const void* a, const void* b, void* ctx) {
  ++static_cast<Counted*>(ctx)->calls;
  int x;
  int y;
  std::memcpy(&x, a, sizeof x);
  std::memcpy(&y, b, sizeof y);
  return x < y ? -1 : (x > y ? 1 : 0);
}

std::vector<int> sorted_copy(std::vector<int> v) {
  Counted c;
  sort_records(v.data(), static_cast<int32_t>(v.size()), sizeof(int), compare_ints, &c);
  return v;
}

TEST(SortRecords, SmallCounts) {
  EXPECT_EQ(sorted_copy({}), std::vector<int>{});
  EXPECT_EQ(sorted_copy({5}), std::vector<int>{5});
  Counted c;
  std::vector<int> two{2, 1};
  sort_records(two.data(), 2, sizeof(int), compare_ints, &c);
  EXPECT_EQ(two, (std::vector<int>{1, 2}));
  EXPECT_EQ(c.calls, 1);
  EXPECT_EQ(sorted_copy({3, 1, 2}), (std::vector<int>{1, 2, 3}));
}

TEST(SortRecords, WidthZeroSortsNothing) {
  std::vector<int> v{3, 2, 1};
  Counted c;
  sort_records(v.data(), 3, 0, compare_ints, &c);
  EXPECT_EQ(v, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(c.calls, 0);
}

TEST(SortRecords, AllEqualTakesOnePartitionPass) {
  std::vector<int> v(1000, 7);
  Counted c;
  sort_records(v.data(), 1000, sizeof(int), compare_ints, &c);
  EXPECT_EQ(v, std::vector<int>(1000, 7));
  // Median of three, then about two comparisons per element, no recursion.
  EXPECT_LT(c.calls, 2 * 1000 + 10);
}

TEST(SortRecords, AgreesWithTheStandardSortOnRandomArrays) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 400; ++round) {
    const int n = static_cast<int>(rng() % 300);
    const int range = 1 + static_cast<int>(rng() % 50);  // many duplicates at times
    std::vector<int> v(static_cast<size_t>(n));
    for (int& x : v) x = static_cast<int>(rng() % static_cast<unsigned>(range));
    std::vector<int> expected = v;
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(sorted_copy(v), expected) << "round " << round;
  }
}

TEST(SortRecords, SortedAndReversedInputsStayShallowAndCorrect) {
  std::vector<int> up(20000);
  for (int i = 0; i < 20000; ++i) up[static_cast<size_t>(i)] = i;
  std::vector<int> down(up.rbegin(), up.rend());
  EXPECT_EQ(sorted_copy(up), up);
  EXPECT_EQ(sorted_copy(down), up);
}

TEST(Qsorter, AscendingAndDescendingOverWholeRecords) {
  // Six-byte records differing only in the last byte, and one with 0xB0 first.
  unsigned char recs[4][6] = {{'A', 'A', 'A', 'A', 'A', '3'},
                              {0xB0, 'A', 'A', 'A', 'A', '0'},
                              {'A', 'A', 'A', 'A', 'A', '1'},
                              {'A', 'A', 'A', 'A', 'A', '2'}};
  _Qsorter(recs, 4, 6);
  EXPECT_EQ(recs[0][5], '1');
  EXPECT_EQ(recs[1][5], '2');
  EXPECT_EQ(recs[2][5], '3');
  EXPECT_EQ(recs[3][0], 0xB0);  // unsigned: 0xB0 after 'A'
  _Qsorter(recs, 4, 0x10006);
  EXPECT_EQ(recs[0][0], 0xB0);
  EXPECT_EQ(recs[1][5], '3');
  EXPECT_EQ(recs[2][5], '2');
  EXPECT_EQ(recs[3][5], '1');
}

TEST(Qsorter, ComparesOnlyTheGivenWidth) {
  // Width 2 of 3-byte... the width is the element size, so a 2-byte sort of
  // a 6-byte buffer sorts three 2-byte elements.
  unsigned char buf[6] = {'c', 'c', 'a', 'a', 'b', 'b'};
  _Qsorter(buf, 3, 2);
  EXPECT_EQ(std::memcmp(buf, "aabbcc", 6), 0);
  _Qsorter(buf, 3, 0);  // width 0 sorts nothing
  EXPECT_EQ(std::memcmp(buf, "aabbcc", 6), 0);
}

}  // namespace
}  // namespace osp
