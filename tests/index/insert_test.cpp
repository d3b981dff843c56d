// Insertion: placement after equal keys, page splits, new roots, and the
// header changes that wait for flush or close.
#include <gtest/gtest.h>

#include "index/index_test_util.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"

namespace osp::test {
namespace {

using index_pages_detail::Page;
using index_pages_detail::put_page;

std::vector<uint8_t> page_bytes(const std::vector<uint8_t>& file, uint32_t page_no) {
  const auto at = file.begin() + page_no * 512;
  return std::vector<uint8_t>(at, at + 512);
}

// The bytes a page with these entries must have: the count, the entries, the
// last child and zeros to the end.
std::vector<uint8_t> expected_page(const IndexLayout& l, const std::vector<IndexEntry>& entries,
                                   const std::vector<uint32_t>& children, uint32_t last_child) {
  Page p;
  for (size_t i = 0; i < entries.size(); ++i) {
    p.children.push_back(children.empty() ? 0 : children[i]);
    p.recnos.push_back(entries[i].recno);
    p.keys.push_back(entries[i].key);
  }
  p.last_child = last_child;
  std::vector<uint8_t> file;
  put_page(file, l, 0, p);
  return file;
}

TEST(IndexInsert, EqualKeysGoAfterTheExistingOnes) {
  TempDir dir;
  const std::string path = dir.file("t.ndx");
  IndexLayout l;
  l.key_length = 2;
  write_file(path, packed_index({{"AA", 1}, {"BB", 2}, {"BB", 3}, {"CC", 4}}, l));
  OpenIndex idx(path);
  index::insert(idx.get(), "BB", 9);
  EXPECT_EQ(walk_forward(idx.get()), (std::vector<int32_t>{1, 2, 3, 9, 4}));
  index::insert(idx.get(), "CC", 10);
  index::insert(idx.get(), "A0", 11);
  EXPECT_EQ(walk_forward(idx.get()), (std::vector<int32_t>{11, 1, 2, 3, 9, 4, 10}));
  EXPECT_TRUE(check_open(idx, path).ok());
}

// A long run of equal keys spread over many pages: a new entry still goes
// behind the last of them, found in one descent rather than a walk through
// the run (a walk would read one page per leaf of the run).
TEST(IndexInsert, ALongRunOfEqualKeysCostsOneDescent) {
  TempDir dir;
  const std::string path = dir.file("t.ndx");
  IndexLayout l;
  l.key_length = 6;
  std::vector<IndexEntry> entries{{"AAAAAA", 1}};
  for (int32_t r = 2; r <= 3001; ++r) entries.push_back({"SAME  ", r});
  entries.push_back({"ZZZZZZ", 3002});
  write_file(path, packed_index(entries, l));
  OpenIndex idx(path);
  FaultEnv env;
  ScopedEnv scoped(&env);
  ASSERT_EQ(index::insert(idx.get(), "SAME  ", 5000), 0);
  EXPECT_LE(env.calls(Op::kRead), 4) << "pages read";
  const auto order = walk_forward(idx.get());
  ASSERT_EQ(order.size(), 3003u);
  EXPECT_EQ(order[3001], 5000);
  EXPECT_EQ(order[3002], 3002);
  EXPECT_TRUE(check_open(idx, path).ok());
}

// A full leaf of 31 six-byte keys splits into 16 and 16: the right half goes
// to the next free page, a new root above both, and the header on disk
// changes only when the index is closed.
TEST(IndexInsert, FullLeafSplitsIntoTwoHalvesUnderANewRoot) {
  TempDir dir;
  const std::string path = dir.file("t.ndx");
  std::vector<IndexEntry> evens;
  for (int i = 0; i < 31; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "K%05d", 2 * i);
    evens.push_back({key, i + 1});
  }
  const IndexLayout l;
  write_file(path, packed_index(evens, l));
  const std::vector<uint8_t> before = read_file(path);
  ASSERT_EQ(load_i16(before.data() + 14), 31);
  ASSERT_EQ(load_i16(before.data() + 18), 16);

  {
    OpenIndex idx(path);
    index::insert(idx.get(), "K00031", 100);
    EXPECT_EQ(idx->header_dirty, 1);
    const std::vector<uint8_t> during = read_file(path);
    EXPECT_EQ(std::vector<uint8_t>(during.begin(), during.begin() + 8),
              std::vector<uint8_t>(before.begin(), before.begin() + 8));
  }
  const std::vector<uint8_t> after = read_file(path);
  ASSERT_EQ(after.size(), 4u * 512);
  EXPECT_EQ(load_u32(after.data()), 3u);      // root
  EXPECT_EQ(load_u32(after.data() + 4), 4u);  // next free page
  // Bytes 8 to 511 of the header are untouched.
  EXPECT_EQ(std::vector<uint8_t>(after.begin() + 8, after.begin() + 512),
            std::vector<uint8_t>(before.begin() + 8, before.begin() + 512));

  std::vector<IndexEntry> all = evens;
  all.insert(all.begin() + 16, IndexEntry{"K00031", 100});
  const std::vector<IndexEntry> left(all.begin(), all.begin() + 16);
  const std::vector<IndexEntry> right(all.begin() + 16, all.end());
  EXPECT_EQ(page_bytes(after, 1), expected_page(l, left, {}, 0));
  EXPECT_EQ(page_bytes(after, 2), expected_page(l, right, {}, 0));
  EXPECT_EQ(page_bytes(after, 3), expected_page(l, {{"K00030", 0}}, {1}, 2));
}

// Every entry size up to the longest key: the page splits exactly when one
// key more than the maximum arrives, and the halves are (n + 1) / 2 and the
// rest. Long keys leave the least room in the level buffers.
TEST(IndexInsert, SplitPointForEveryKindOfEntrySize) {
  const struct {
    int key_length, entry_size, max_keys;
  } table[] = {{4, 12, 42}, {6, 16, 31}, {9, 20, 25}, {116, 124, 4}, {200, 208, 2}, {256, 264, 1}};
  for (const auto& row : table) {
    SCOPED_TRACE(row.key_length);
    TempDir dir;
    const std::string path = dir.file("t.ndx");
    IndexLayout l;
    l.key_length = row.key_length;
    write_file(path, empty_index(l));
    OpenIndex idx(path);
    ASSERT_EQ(idx.state()->entry_size, row.entry_size);
    ASSERT_EQ(idx.state()->max_keys, row.max_keys);
    const int n = row.max_keys + 1;
    // Descending, so that every key goes in at the front of the leaf.
    for (int i = n; i > 0; --i) {
      std::string key(static_cast<size_t>(row.key_length), 'x');
      key[0] = static_cast<char>('A' + i);
      EXPECT_EQ(idx.state()->root, 1u);
      index::insert(idx.get(), key.c_str(), i);
    }
    EXPECT_EQ(idx.state()->root, 3u);
    EXPECT_EQ(idx.state()->next_free, 4u);
    const std::vector<uint8_t> file = file_of(idx, path);
    EXPECT_EQ(load_u32(file.data() + 512), static_cast<uint32_t>((n + 1) / 2));
    EXPECT_EQ(load_u32(file.data() + 1024), static_cast<uint32_t>(n - (n + 1) / 2));
    const IndexCheck check = check_open(idx, path);
    EXPECT_TRUE(check.ok()) << check.error;
    EXPECT_EQ(check.depth, 2);
    EXPECT_EQ(walk_forward(idx.get()).size(), static_cast<size_t>(n));
    // Keep going until the tree has grown a few levels.
    const int target = row.max_keys <= 4 ? 5 : 3;
    for (int i = 0; (i % 16 != 0 || check_open(idx, path).depth < target) && i < 5000; ++i) {
      std::string key(static_cast<size_t>(row.key_length), 'y');
      std::snprintf(key.data(), key.size(), "%05d", (i * 7919) % 10007);
      key[5] = 'y';
      index::insert(idx.get(), key.c_str(), 1000 + i);
    }
    const IndexCheck deep = check_open(idx, path);
    EXPECT_TRUE(deep.ok()) << deep.error;
    EXPECT_GE(deep.depth, target);
    EXPECT_EQ(recnos_of(deep.entries), walk_forward(idx.get()));
  }
}

TEST(IndexInsert, RootSplitKeepsTheLeftHalfInTheOldRoot) {
  TempDir dir;
  const std::string path = dir.file("t.ndx");
  write_file(path, empty_index());
  OpenIndex idx(path);
  int i = 0;
  auto insert_next = [&] {
    index::insert(idx.get(), numbered_entries(1, i)[0].key.c_str(), i + 1);
    i += 1;
  };
  while (idx.state()->root == 1) insert_next();
  const uint32_t old_root = idx.state()->root;
  while (idx.state()->root == old_root) insert_next();
  const std::vector<uint8_t> file = file_of(idx, path);
  const uint8_t* root = file.data() + idx.state()->root * 512;
  EXPECT_EQ(load_u32(root), 1u);
  EXPECT_EQ(load_u32(root + 4), old_root);  // entry 0's child: the left half
  const IndexCheck check = check_open(idx, path);
  ASSERT_TRUE(check.ok()) << check.error;
  EXPECT_EQ(check.depth, 3);
  EXPECT_EQ(check.entries, numbered_entries(i));
}

TEST(IndexInsert, RefusedWhenNewPagesWouldLieBeyondAFourGigabyteFile) {
  TempDir dir;
  const std::string path = dir.file("t.ndx");
  std::vector<uint8_t> bytes = packed_index(numbered_entries(31));
  store_u32(bytes.data() + 4, index::kMaxPageNumber);  // one page left; a split needs two
  write_file(path, bytes);
  HookRecorder hooks;
  {
    OpenIndex idx(path);
    index::insert(idx.get(), "K99999", 99);
    ASSERT_EQ(hooks.boxes.size(), 1u);
    EXPECT_EQ(hooks.boxes[0].text, sjis(" インデックス書き込みエラー（" + path + "）"));
    EXPECT_EQ(walk_forward(idx.get()), recnos_of(numbered_entries(31)));
  }
  EXPECT_EQ(read_file(path), bytes);
}

// A split's pages are kept until the flush, which writes them in page order;
// one that fails is reported, stays changed and is written by the next flush.
TEST(IndexInsert, AFailedPageWriteIsReportedAndTriedAgainByTheNextFlush) {
  TempDir dir;
  const std::string path = dir.file("t.ndx");
  write_file(path, packed_index(numbered_entries(31)));
  HookRecorder hooks;
  FaultEnv env;
  ScopedEnv scoped(&env);
  OpenIndex idx(path);
  env.fail(Op::kWrite, 1);  // the left half of the split
  index::insert(idx.get(), "K00031", 32);
  EXPECT_EQ(env.calls(Op::kWrite), 0);
  EXPECT_EQ(idx.state()->root, 3u);
  EXPECT_EQ(index::flush(idx.get()), 8);
  EXPECT_EQ(env.calls(Op::kWrite), 3);  // left, right, new root; the header not yet
  ASSERT_EQ(hooks.boxes.size(), 1u);
  EXPECT_EQ(hooks.boxes[0].text, sjis(" インデックス書き込みエラー（" + path + "）"));
  EXPECT_EQ(index::flush(idx.get()), 0);
  const IndexCheck check = check_open(idx, path);
  EXPECT_TRUE(check.ok()) << check.error;
  EXPECT_EQ(walk_forward(idx.get()).size(), 32u);
}

}  // namespace
}  // namespace osp::test
