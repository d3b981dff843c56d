// Removal of the entry under the cursor, and the separators it changes.
#include <gtest/gtest.h>

#include "index/index_test_util.h"

namespace osp::test {
namespace {

// Three levels: nine leaves of three keys (pages 1-9), three interior pages
// of two keys and three children (10-12), a root (13) over them.
//   13: [K00008 -> 10, K00017 -> 11, last 12]
//   10: [K00002 -> 1, K00005 -> 2, last 3]   11: [... last 6]   12: [... last 9]
class IndexRemove : public ::testing::Test {
 protected:
  void SetUp() override {
    IndexLayout l;
    l.leaf_fill = 3;
    l.interior_fill = 2;
    path_ = dir_.file("t.ndx");
    write_file(path_, packed_index(numbered_entries(27), l));
    before_ = read_file(path_);
    idx_ = std::make_unique<OpenIndex>(path_);
    ASSERT_EQ(idx_->state()->root, 13u);
  }

  // Positions the cursor on (key, recno) as the log's writes do: a search
  // for the key, then next until the record number comes back.
  void remove(int n) {
    const IndexEntry e = numbered_entries(1, n)[0];
    int32_t r = idx_search(idx_->get(), e.key.c_str(), 6);
    while (r != 0 && r != e.recno) r = idx_next(idx_->get());
    ASSERT_EQ(r, e.recno);
    index::remove(idx_->get());
    expected_.erase(std::find(expected_.begin(), expected_.end(), e));
  }

  // The key of entry i on page p, as on disk.
  std::string key(uint32_t p, int i) {
    const std::vector<uint8_t> file = file_of(*idx_, path_);
    return std::string(reinterpret_cast<const char*>(file.data()) + p * 512 + 4 + i * 16 + 8, 6);
  }
  uint32_t count(uint32_t p) { return load_u32(file_of(*idx_, path_).data() + p * 512); }
  bool unchanged(uint32_t p) {
    const std::vector<uint8_t> file = file_of(*idx_, path_);
    return std::equal(file.begin() + p * 512, file.begin() + (p + 1) * 512,
                      before_.begin() + p * 512);
  }
  void expect_valid() {
    const IndexCheck check = check_open(*idx_, path_);
    EXPECT_TRUE(check.ok()) << check.error;
    EXPECT_EQ(check.entries, expected_);
    EXPECT_EQ(walk_forward(idx_->get()), recnos_of(expected_));
  }

  TempDir dir_;
  std::string path_;
  std::vector<uint8_t> before_;
  std::unique_ptr<OpenIndex> idx_;
  std::vector<IndexEntry> expected_ = numbered_entries(27);
};

TEST_F(IndexRemove, AMiddleEntryChangesOnlyItsLeaf) {
  remove(4);
  EXPECT_EQ(count(2), 2u);
  for (uint32_t p : {1u, 3u, 10u, 11u, 12u, 13u}) EXPECT_TRUE(unchanged(p)) << p;
  expect_valid();
}

TEST_F(IndexRemove, LastEntryOfALeafChangesItsSeparator) {
  remove(5);
  EXPECT_EQ(key(10, 1), "K00004");
  EXPECT_TRUE(unchanged(13));
  expect_valid();
}

TEST_F(IndexRemove, ChangeOfALastChildGoesUpToTheFirstAncestorThatRecordsIt) {
  remove(8);  // last key of leaf 3, the last child of page 10
  EXPECT_TRUE(unchanged(10));
  EXPECT_EQ(key(13, 0), "K00007");
  remove(26);  // the greatest key of all: recorded nowhere above the leaf
  for (uint32_t p : {12u, 13u}) EXPECT_EQ(count(p), 2u);
  EXPECT_TRUE(unchanged(12));
  expect_valid();
}

TEST_F(IndexRemove, AnEmptiedLeafStaysInTheFileAndItsParentDropsIt) {
  for (int n : {3, 5, 4}) remove(n);
  EXPECT_EQ(count(2), 0u);  // still there, empty
  EXPECT_EQ(count(10), 1u);
  EXPECT_EQ(key(10, 0), "K00002");
  EXPECT_EQ(idx_->state()->next_free, 14u);
  expect_valid();
  // Emptying a last child: entry n - 1's child becomes the last child and its
  // key the page's greatest, which the root learns.
  for (int n : {6, 7, 8}) remove(n);
  EXPECT_EQ(count(10), 0u);
  EXPECT_EQ(key(13, 0), "K00002");
  expect_valid();
  EXPECT_EQ(idx_->h.header_dirty, 0);
}

TEST_F(IndexRemove, EmptyingTheWholeTreeAndFillingItAgain) {
  for (int n = 26; n >= 0; n -= 2) remove(n);
  for (int n = 1; n < 27; n += 2) remove(n);
  EXPECT_EQ(idx_top(idx_->get()), 0);
  EXPECT_EQ(idx_bottom(idx_->get()), 0);
  expect_valid();
  for (const IndexEntry& e : numbered_entries(40)) index::insert(idx_->get(), e.key.c_str(), e.recno);
  expected_ = numbered_entries(40);
  expect_valid();
}

TEST_F(IndexRemove, NothingHappensWithoutAnEntryUnderTheCursor) {
  EXPECT_EQ(idx_search(idx_->get(), "K99999", 6), 0);  // one past the last leaf's end
  index::remove(idx_->get());
  EXPECT_EQ(idx_bottom(idx_->get()), 27);
  EXPECT_EQ(idx_next(idx_->get()), 0);  // ran off the end: unpositioned
  index::remove(idx_->get());
  const IndexEntry e = numbered_entries(1, 4)[0];
  ASSERT_EQ(idx_search(idx_->get(), e.key.c_str(), 6), e.recno);
  index::remove(idx_->get());
  index::remove(idx_->get());  // the cursor is stale after a removal
  expected_.erase(expected_.begin() + 4);
  expect_valid();
}

}  // namespace
}  // namespace osp::test
