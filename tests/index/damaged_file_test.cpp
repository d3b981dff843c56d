// Damaged index files: every operation reports a read error and finds
// nothing, without reading outside a page, looping or writing anything.
#include <gtest/gtest.h>

#include "index/index_test_util.h"
#include "support/hooks_fixture.h"

namespace osp::test {
namespace {

constexpr uint32_t kPage = 512;

// 100 entries: leaves 1-4 (31, 31, 31, 7 keys) under root page 5.
std::vector<uint8_t> sample() { return packed_index(numbered_entries(100)); }

void set_child(std::vector<uint8_t>& file, uint32_t page, int entry, uint32_t child) {
  store_u32(file.data() + page * kPage + 4 + entry * 16, child);
}

class DamagedIndex : public ::testing::Test {
 protected:
  // Runs every operation on the damaged file and expects each to give up
  // with a read error. Entries before the damage may still come back.
  void expect_read_errors(const std::vector<uint8_t>& bytes, const char* probe) {
    write_file(path_, bytes);
    OpenIndex idx(path_);
    ASSERT_EQ(idx.status, 0);
    EXPECT_EQ(idx_search(idx.get(), probe, 6), 0);
    size_t walked = 0;
    for (int32_t r = idx_top(idx.get()); r != 0 && walked < 1000; r = idx_next(idx.get())) ++walked;
    for (int32_t r = idx_bottom(idx.get()); r != 0 && walked < 2000; r = idx_back(idx.get()))
      ++walked;
    EXPECT_LT(walked, 200u);
    index::insert(idx.get(), probe, 500);
    if (idx_search(idx.get(), "K00000", 6) == 1) index::remove(idx.get());
    ASSERT_FALSE(hooks_.boxes.empty());
    for (const auto& box : hooks_.boxes)
      EXPECT_EQ(box.text, sjis(" インデックス読み込みエラー（" + path_ + "）"));
  }

  TempDir dir_;
  std::string path_ = dir_.file("d.ndx");
  HookRecorder hooks_;
};

TEST_F(DamagedIndex, CountAboveTheMaximum) {
  auto bytes = sample();
  store_u32(bytes.data() + 2 * kPage, 32);
  expect_read_errors(bytes, "K00040");
}

TEST_F(DamagedIndex, ChildOrRootOutOfRange) {
  auto bytes = sample();
  set_child(bytes, 5, 1, 6);  // the next free page
  expect_read_errors(bytes, "K00040");
  // A root of 0 (what a build that did not finish leaves) or at or beyond
  // the next free page is refused at open, reported as a bad structure.
  for (const uint32_t root : {0u, 6u, 77u}) {
    bytes = sample();
    store_u32(bytes.data(), root);
    write_file(path_, bytes);
    hooks_.boxes.clear();
    OpenIndex idx(path_);
    EXPECT_EQ(idx.status, 3) << "root " << root;
    ASSERT_EQ(hooks_.boxes.size(), 1u);
    EXPECT_EQ(hooks_.boxes[0].text, sjis(" インデックスの構造が違う（" + path_ + "）"));
  }
}

TEST_F(DamagedIndex, PagesMissingFromTheEndOfTheFile) {
  auto bytes = sample();
  bytes.resize(3 * kPage + 100);
  expect_read_errors(bytes, "K00070");
}

TEST_F(DamagedIndex, PagesThatLoopBack) {
  auto bytes = sample();
  set_child(bytes, 5, 1, 5);  // the root is its own child
  expect_read_errors(bytes, "K00040");
  // A longer loop: the root's child leads back to the root through six
  // interior pages.
  bytes = sample();
  for (uint32_t p = 6; p < 12; ++p) {
    bytes.resize((p + 1) * kPage, 0);
    store_u32(bytes.data() + p * kPage, 0);  // no keys, one child
    set_child(bytes, p, 0, p + 1 < 12 ? p + 1 : 5);
  }
  set_child(bytes, 5, 1, 6);
  store_u32(bytes.data() + 4, 12);
  hooks_.boxes.clear();
  expect_read_errors(bytes, "K00040");
}

TEST_F(DamagedIndex, PagesSharedSoOftenThatAWalkWouldNeverEnd) {
  // Twenty interior pages whose every child is the next page, above an empty
  // leaf: a walk that went into every child would take 32^20 steps.
  std::vector<uint8_t> bytes = empty_index();
  const uint32_t leaf = 21;
  bytes.resize((leaf + 1) * kPage, 0);
  for (uint32_t p = 1; p < leaf; ++p) {
    store_u32(bytes.data() + p * kPage, 31);
    for (int i = 0; i <= 31; ++i) set_child(bytes, p, i, p + 1);
  }
  store_u32(bytes.data(), 1);
  store_u32(bytes.data() + 4, leaf + 1);
  write_file(path_, bytes);
  OpenIndex idx(path_);
  EXPECT_EQ(idx_top(idx.get()), 0);
  EXPECT_EQ(idx_bottom(idx.get()), 0);
  ASSERT_FALSE(hooks_.boxes.empty());
  EXPECT_EQ(hooks_.boxes.back().text, sjis(" インデックス読み込みエラー（" + path_ + "）"));
}

TEST_F(DamagedIndex, AWalkThroughSharedPagesEndsWithinThePagesOfTheFile) {
  // Ten interior pages whose every child is the next page, above a leaf of
  // three entries: walked through every child, 32^10 entries would come back.
  std::vector<uint8_t> bytes = packed_index(numbered_entries(3));
  const uint32_t leaf = 1;
  bytes.resize(12 * kPage, 0);
  for (uint32_t p = 2; p < 12; ++p) {
    store_u32(bytes.data() + p * kPage, 31);
    for (int i = 0; i <= 31; ++i) set_child(bytes, p, i, p == 11 ? leaf : p + 1);
  }
  store_u32(bytes.data(), 2);
  store_u32(bytes.data() + 4, 12);
  write_file(path_, bytes);
  OpenIndex idx(path_);
  size_t forward = 0;
  for (int32_t r = idx_top(idx.get()); r != 0 && forward < 1000; r = idx_next(idx.get())) ++forward;
  size_t backward = 0;
  for (int32_t r = idx_bottom(idx.get()); r != 0 && backward < 1000; r = idx_back(idx.get()))
    ++backward;
  EXPECT_LE(forward, 31u * 11u);
  EXPECT_LE(backward, 31u * 11u);
  ASSERT_FALSE(hooks_.boxes.empty());
  EXPECT_EQ(hooks_.boxes.back().text, sjis(" インデックス読み込みエラー（" + path_ + "）"));
}

TEST_F(DamagedIndex, NothingIsWrittenWhenAnEditCannotFindItsPlace) {
  auto bytes = sample();
  set_child(bytes, 5, 1, 5);
  write_file(path_, bytes);
  {
    OpenIndex idx(path_);
    index::insert(idx.get(), "K00040", 900);
    index::insert(idx.get(), "K00095", 901);  // the path to its leaf is whole
    EXPECT_EQ(idx_close(idx.get()), 1);
  }
  const std::vector<uint8_t> after = read_file(path_);
  // Only the last leaf took the second key.
  for (uint32_t p = 0; p < 6; ++p) {
    const bool same = std::equal(after.begin() + p * kPage, after.begin() + (p + 1) * kPage,
                                 bytes.begin() + p * kPage);
    EXPECT_EQ(same, p != 4) << p;
  }
}

}  // namespace
}  // namespace osp::test
