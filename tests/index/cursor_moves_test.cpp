// Search and the four cursor moves.
#include <gtest/gtest.h>

#include <algorithm>

#include "index/index_test_util.h"
#include "support/hooks_fixture.h"

namespace osp::test {
namespace {

std::string make(TempDir& dir, const std::vector<IndexEntry>& sorted, IndexLayout l = {}) {
  const std::string path = dir.file("t.ndx");
  write_file(path, packed_index(sorted, l));
  return path;
}

IndexLayout two_byte_keys() {
  IndexLayout l;
  l.key_length = 2;
  return l;
}

TEST(IndexSearch, FindsFirstOfEqualKeysAndRunsOffTheEnd) {
  TempDir dir;
  OpenIndex idx(make(dir, {{"AA", 1}, {"BB", 2}, {"BB", 3}, {"CC", 4}}, two_byte_keys()));
  ASSERT_EQ(idx.status, 0);
  EXPECT_EQ(idx_search(idx.get(), "BB", 0), 2);
  EXPECT_EQ(idx.key(), "BB");
  EXPECT_EQ(idx_next(idx.get()), 3);
  EXPECT_EQ(idx_next(idx.get()), 4);
  EXPECT_EQ(idx.key(), "CC");
  EXPECT_EQ(idx_next(idx.get()), 0);
  // Unpositioned: both moves give nothing until the cursor is placed again.
  EXPECT_EQ(idx_back(idx.get()), 0);
  EXPECT_EQ(idx_next(idx.get()), 0);
  EXPECT_EQ(idx_top(idx.get()), 1);
  EXPECT_EQ(idx_next(idx.get()), 2);
}

TEST(IndexSearch, MissLeavesTheCursorOnTheNextGreaterEntry) {
  TempDir dir;
  const std::string path = make(dir, {{"AA", 1}, {"BB", 2}, {"BB", 3}, {"CC", 4}}, two_byte_keys());
  OpenIndex idx(path);
  EXPECT_EQ(idx_search(idx.get(), "BC", 2), 0);
  EXPECT_EQ(idx_back(idx.get()), 3);
  EXPECT_EQ(idx_search(idx.get(), "BC", 2), 0);
  EXPECT_EQ(idx_next(idx.get()), 0);
  // Beyond every key: back gives the last entry.
  EXPECT_EQ(idx_search(idx.get(), "ZZ", 2), 0);
  EXPECT_EQ(idx_back(idx.get()), 4);
  // Before every key: next skips the first entry, as if it had been returned.
  EXPECT_EQ(idx_search(idx.get(), "A", 1), 1);
  EXPECT_EQ(idx_search(idx.get(), "0", 1), 0);
  EXPECT_EQ(idx_next(idx.get()), 2);
}

TEST(IndexSearch, PrefixLengths) {
  TempDir dir;
  OpenIndex idx(make(dir, {{"AB", 7}, {"BA", 8}, {"BB", 9}}, two_byte_keys()));
  EXPECT_EQ(idx_search(idx.get(), "B", 1), 8);
  // Length 0 or below: the string's own length.
  EXPECT_EQ(idx_search(idx.get(), "BB", 0), 9);
  EXPECT_EQ(idx_search(idx.get(), "B", -3), 8);
  // A length beyond the key length compares the key length only.
  EXPECT_EQ(idx_search(idx.get(), "BAxyz", 5), 8);
  EXPECT_EQ(idx_search(idx.get(), "C", 1), 0);
}

TEST(IndexSearch, EmptyIndexHasNoEntries) {
  TempDir dir;
  const std::string path = dir.file("e.ndx");
  write_file(path, empty_index());
  HookRecorder hooks;
  OpenIndex idx(path);
  ASSERT_EQ(idx.status, 0);
  EXPECT_EQ(idx_top(idx.get()), 0);
  EXPECT_EQ(idx_bottom(idx.get()), 0);
  EXPECT_EQ(idx_search(idx.get(), "K", 1), 0);
  EXPECT_EQ(idx_next(idx.get()), 0);
  EXPECT_EQ(idx_back(idx.get()), 0);
  EXPECT_TRUE(hooks.boxes.empty());
}

// A three-level tree with runs of equal keys that cross leaf boundaries:
// every search, and every step from where it leaves the cursor, agrees with
// the sorted list.
TEST(IndexSearch, AgreesWithTheSortedOrderAcrossLevels) {
  std::vector<IndexEntry> sorted;
  int recno = 1;
  for (int k = 0; k < 60; ++k) {
    char key[8];
    std::snprintf(key, sizeof key, "%c%c0000", 'A' + k / 26, 'A' + k % 26);
    for (int d = 0; d < 1 + (k * 7) % 5; ++d) sorted.push_back({key, recno++});
  }
  IndexLayout l;
  l.leaf_fill = 4;
  l.interior_fill = 3;
  TempDir dir;
  const std::string path = make(dir, sorted, l);
  OpenIndex idx(path);
  ASSERT_EQ(idx.status, 0);
  ASSERT_GE(check_open(idx, path).depth, 3);

  EXPECT_EQ(walk_forward(idx.get()), recnos_of(sorted));
  std::vector<int32_t> reversed = recnos_of(sorted);
  std::reverse(reversed.begin(), reversed.end());
  EXPECT_EQ(walk_backward(idx.get()), reversed);

  auto at = [&](long i) {
    return i >= 0 && i < static_cast<long>(sorted.size()) ? sorted[i].recno : 0;
  };
  // Every key present, and a key between each pair of neighbours.
  for (int k = 0; k < 61; ++k) {
    for (const char* tail : {"0000", "0001"}) {
      std::string key = std::string{char('A' + k / 26), char('A' + k % 26)} + tail;
      const long first = std::lower_bound(sorted.begin(), sorted.end(), key,
                                          [](const IndexEntry& e, const std::string& s) {
                                            return e.key < s;
                                          }) -
                         sorted.begin();
      const bool found = first < static_cast<long>(sorted.size()) && sorted[first].key == key;
      SCOPED_TRACE(key);
      EXPECT_EQ(idx_search(idx.get(), key.c_str(), 6), found ? sorted[first].recno : 0);
      EXPECT_EQ(idx_next(idx.get()), at(first + 1));
      EXPECT_EQ(idx_search(idx.get(), key.c_str(), 6), found ? sorted[first].recno : 0);
      EXPECT_EQ(idx_back(idx.get()), at(first - 1));
    }
  }
}

}  // namespace
}  // namespace osp::test
