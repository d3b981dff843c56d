#include "index/index_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "frame/file.h"
#include "frame/status.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/index_reader.h"
#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace osp::index {
namespace {

using test::IndexEntry;
using test::IndexTree;
using test::read_file;
using test::read_index;
using test::RecordFileBuilder;
using test::TempDir;

constexpr size_t kPage = 512;

std::string key6(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06d", v);
  return buf;
}

// A file of one character field K of the given length; record r gets key(r).
RecordFileBuilder keyed(int count, uint8_t length, const std::function<std::string(int)>& key) {
  RecordFileBuilder b({{"K", length}});
  for (int r = 1; r <= count; ++r) b.add({key(r)});
  return b;
}

// Every (key, record number) of the builder's records for field K, in index
// order.
std::vector<IndexEntry> expected_entries(const RecordFileBuilder& b, int32_t offset,
                                         int32_t length) {
  std::vector<IndexEntry> out;
  for (int r = 1; r <= b.count(); ++r)
    out.push_back({b.record(r).substr(static_cast<size_t>(offset), static_cast<size_t>(length)),
                   static_cast<uint32_t>(r)});
  std::sort(out.begin(), out.end(), [](const IndexEntry& x, const IndexEntry& y) {
    return x.key != y.key ? x.key < y.key : x.recno < y.recno;
  });
  return out;
}

void put32(std::vector<uint8_t>& p, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// The 512 bytes of a tree page holding (child, recno, key) entries and the
// right pointer, with zeros everywhere else.
struct PageEntry {
  uint32_t child;
  uint32_t recno;
  std::string key;
};
std::vector<uint8_t> page_image(const std::vector<PageEntry>& entries, uint32_t right,
                                size_t entry_size) {
  std::vector<uint8_t> p(kPage, 0);
  put32(p, 0, static_cast<uint32_t>(entries.size()));
  size_t at = 4;
  for (const PageEntry& e : entries) {
    put32(p, at, e.child);
    put32(p, at + 4, e.recno);
    std::copy(e.key.begin(), e.key.end(), p.begin() + static_cast<std::ptrdiff_t>(at + 8));
    at += entry_size;
  }
  put32(p, at, right);
  return p;
}

std::vector<uint8_t> page_of(const std::vector<uint8_t>& file, uint32_t number) {
  const auto at = static_cast<std::ptrdiff_t>(number * kPage);
  return std::vector<uint8_t>(file.begin() + at, file.begin() + at + static_cast<std::ptrdiff_t>(kPage));
}

class MakeIndexTest : public ::testing::Test {
 protected:
  int32_t build(const RecordFileBuilder& b, const std::string& expression) {
    b.write(dbf_);
    return MakeIndex(dbf_.c_str(), expression.c_str(), ndx_.c_str());
  }
  bool work_files_gone() const {
    return !test::file_exists(dir_.file("NDXTEMP.$$1")) &&
           !test::file_exists(dir_.file("NDXTEMP.$$2"));
  }

  TempDir dir_;
  std::string dbf_ = dir_.file("log.dbs");
  std::string ndx_ = dir_.file("log.dx0");
};

// Keys that sort in the opposite order of the records, so sorting shows.
std::string descending(int r) { return key6(100000 - r); }

TEST_F(MakeIndexTest, EmptyFileIsOneEmptyLeaf) {
  ASSERT_EQ(build(keyed(0, 6, descending), "K"), 0);
  const std::vector<uint8_t> file = read_file(ndx_);
  ASSERT_EQ(file.size(), 2 * kPage);
  std::vector<uint8_t> header(kPage, 0);
  put32(header, 0, 1);         // root
  put32(header, 4, 2);         // blocks
  header[12] = 6;              // key length
  header[14] = 31;             // keys per page
  header[18] = 16;             // entry size
  header[24] = 'K';            // the expression, a blank, a NUL
  header[25] = ' ';
  EXPECT_EQ(page_of(file, 0), header);
  EXPECT_EQ(page_of(file, 1), std::vector<uint8_t>(kPage, 0));
  EXPECT_TRUE(work_files_gone());
}

TEST_F(MakeIndexTest, FullLeafThenASecondLeafUnderARoot) {
  ASSERT_EQ(build(keyed(31, 6, descending), "K"), 0);
  IndexTree t = read_index(ndx_);
  ASSERT_TRUE(t.ok()) << t.fault_text();
  EXPECT_EQ(t.header.root, 1u);
  EXPECT_EQ(t.header.next_free, 2u);
  EXPECT_EQ(t.pages[0].count, 31u);

  const RecordFileBuilder b = keyed(32, 6, descending);
  ASSERT_EQ(build(b, "K"), 0);
  const std::vector<uint8_t> file = read_file(ndx_);
  ASSERT_EQ(file.size(), 4 * kPage);
  std::vector<PageEntry> first;
  for (int r = 32; r >= 2; --r) first.push_back({0, static_cast<uint32_t>(r), descending(r)});
  EXPECT_EQ(page_of(file, 1), page_image(first, 0, 16));
  EXPECT_EQ(page_of(file, 2), page_image({{0, 1, descending(1)}}, 0, 16));
  EXPECT_EQ(page_of(file, 3), page_image({{1, 0, descending(2)}}, 2, 16));
  const IndexTree tree = read_index(ndx_);
  EXPECT_EQ(tree.header.root, 3u);
  EXPECT_EQ(tree.header.next_free, 4u);
  EXPECT_TRUE(tree.ok()) << tree.fault_text();
}

TEST_F(MakeIndexTest, FullTwoLevelTreeThenARootOverACountZeroPage) {
  // K = 31 keys per page: K(K+1) = 992 entries fill 32 leaves under one root.
  const RecordFileBuilder full = keyed(992, 6, [](int r) { return key6(r); });
  ASSERT_EQ(build(full, "K"), 0);
  IndexTree t = read_index(ndx_);
  ASSERT_TRUE(t.ok()) << t.fault_text();
  EXPECT_EQ(t.header.root, 33u);
  EXPECT_EQ(t.header.next_free, 34u);
  EXPECT_EQ(t.height, 2);
  for (const auto& p : t.pages) EXPECT_EQ(p.count, 31u) << "page " << p.number;
  const std::vector<uint8_t> full_root = page_of(read_file(ndx_), 33);

  const RecordFileBuilder b = keyed(993, 6, [](int r) { return key6(r); });
  ASSERT_EQ(build(b, "K"), 0);
  const std::vector<uint8_t> file = read_file(ndx_);
  ASSERT_EQ(file.size(), 37 * kPage);
  EXPECT_EQ(page_of(file, 33), full_root);                                // the old root
  EXPECT_EQ(page_of(file, 34), page_image({{0, 993, key6(993)}}, 0, 16));  // the last leaf
  EXPECT_EQ(page_of(file, 35), page_image({}, 34, 16));                   // count 0
  EXPECT_EQ(page_of(file, 36), page_image({{33, 0, key6(992)}}, 35, 16)); // the new root
  t = read_index(ndx_);
  ASSERT_TRUE(t.ok()) << t.fault_text();
  EXPECT_EQ(t.header.root, 36u);
  EXPECT_EQ(t.header.next_free, 37u);
  EXPECT_EQ(t.height, 3);
  EXPECT_EQ(t.entries, expected_entries(b, 1, 6));
}

TEST_F(MakeIndexTest, EntrySizesFollowTheKeyLength) {
  struct Case {
    uint8_t length;
    int16_t entry_size;
    int16_t keys;
  };
  for (const Case c : {Case{0, 8, 63}, Case{5, 16, 31}, Case{6, 16, 31}, Case{7, 16, 31},
                       Case{9, 20, 25}}) {
    RecordFileBuilder b({{"K", c.length}});
    b.add({std::string(c.length, 'b')}).add({std::string(c.length, 'a')});
    ASSERT_EQ(build(b, "K"), 0);
    const std::vector<uint8_t> file = read_file(ndx_);
    const auto h = test::read_index_header(file);
    EXPECT_EQ(h.key_length, c.length);
    EXPECT_EQ(h.entry_size, c.entry_size) << int(c.length);
    EXPECT_EQ(h.max_keys, c.keys) << int(c.length);
    // Entries lie entry-size bytes apart; without a key, in record order.
    const std::vector<PageEntry> entries =
        c.length == 0 ? std::vector<PageEntry>{{0, 1, ""}, {0, 2, ""}}
                      : std::vector<PageEntry>{{0, 2, std::string(c.length, 'a')},
                                               {0, 1, std::string(c.length, 'b')}};
    EXPECT_EQ(page_of(file, 1), page_image(entries, 0, static_cast<size_t>(c.entry_size)));
  }
}

TEST_F(MakeIndexTest, EqualKeysInRecordOrderAcrossRunsAndMergePasses) {
  // 20000 entries of width 10 make five runs of at most 4915: three passes.
  const RecordFileBuilder b = keyed(20000, 6, [](int r) { return key6((r * 7919) % 13); });
  ASSERT_EQ(build(b, "K"), 0);
  const IndexTree t = read_index(ndx_);
  ASSERT_TRUE(t.ok()) << t.fault_text();
  EXPECT_EQ(t.entries, expected_entries(b, 1, 6));
  EXPECT_TRUE(work_files_gone());
}

// Keys of every byte value, many of them equal, sorted in chunks by their
// bytes (keys up to 8 bytes) or by comparison (9 bytes), across runs and
// merge passes: the same index either way, equal keys in record order.
TEST_F(MakeIndexTest, ChunkSortsAgreeWithTheEntryOrderOverEveryByteValue) {
  for (const uint8_t length : {1, 5, 8, 9}) {
    SCOPED_TRACE(static_cast<int>(length));
    std::mt19937 rng(length);
    RecordFileBuilder b({{"K", length}});
    for (int r = 1; r <= 12000; ++r) {
      std::string key(length, '\0');
      for (char& c : key) c = static_cast<char>(rng() % 4 == 0 ? rng() % 256 : (rng() % 2) * 0x80);
      b.add_data(key);
    }
    ASSERT_EQ(build(b, "K"), 0);
    const IndexTree t = read_index(ndx_);
    ASSERT_TRUE(t.ok()) << t.fault_text();
    EXPECT_EQ(t.entries, expected_entries(b, 1, length));
  }
}

TEST_F(MakeIndexTest, DeletedRecordsAreIndexed) {
  RecordFileBuilder b({{"K", 2}});
  b.add({"BB"}, true).add({"AA"}).add({"CC"}, true);
  ASSERT_EQ(build(b, "K"), 0);
  const IndexTree t = read_index(ndx_);
  EXPECT_EQ(t.entries, (std::vector<IndexEntry>{{"AA", 2}, {"BB", 1}, {"CC", 3}}));
}

TEST_F(MakeIndexTest, KeysAreComparedAsUnsignedBytes) {
  RecordFileBuilder b({{"DATE", 3}, {"TIME", 2}});
  b.add_data(std::string("\x9A\x01\x02\x00\x80", 5))   // 2026, UTC
      .add_data(std::string("\x63\x0C\x1F\x17\x3B", 5))  // 1999
      .add_data(std::string("\x9A\x01\x02\x00\x00", 5))
      .add_data(std::string("\xFF\xFF\xFF\xFF\xFF", 5))
      .add_data(std::string(5, '\0'));
  ASSERT_EQ(build(b, "DATE+TIME"), 0);
  const IndexTree t = read_index(ndx_);
  ASSERT_TRUE(t.ok()) << t.fault_text();
  std::vector<uint32_t> order;
  for (const auto& e : t.entries) order.push_back(e.recno);
  EXPECT_EQ(order, (std::vector<uint32_t>{5, 2, 3, 1, 4}));
}

TEST_F(MakeIndexTest, ReplacesAnExistingIndexFile) {
  test::write_file(ndx_, std::vector<uint8_t>(10 * kPage, 0xEE));
  ASSERT_EQ(build(keyed(3, 6, descending), "K"), 0);
  EXPECT_EQ(read_file(ndx_).size(), 2 * kPage);
  EXPECT_TRUE(read_index(ndx_).ok());
}

// The work files are made beside the index file: a build in one folder does
// not meet a build in another, and a second build in the same folder fails
// with 25 without disturbing the first one's files.
TEST_F(MakeIndexTest, WorkFilesLiveBesideTheIndexFile) {
  TempDir other;
  const std::string held_path = other.file("NDXTEMP.$$1");
  const FileHandle held = file_create(held_path.c_str());
  ASSERT_NE(held, kNoFile);
  ASSERT_EQ(file_write(held, "busy", 4), 4);

  EXPECT_EQ(build(keyed(10, 6, descending), "K"), 0);  // in dir_: unaffected
  EXPECT_TRUE(read_index(ndx_).ok());

  const std::string other_index = other.file("log.dx1");
  EXPECT_EQ(MakeIndex(dbf_.c_str(), "K", other_index.c_str()), status::kWorkFileError);
  EXPECT_EQ(test::read_file(held_path), (std::vector<uint8_t>{'b', 'u', 's', 'y'}));
  EXPECT_FALSE(test::file_exists(other.file("NDXTEMP.$$2")));
  file_close(held);

  // A work file left behind by an interrupted build is simply replaced.
  EXPECT_EQ(MakeIndex(dbf_.c_str(), "K", other_index.c_str()), 0);
  EXPECT_FALSE(test::file_exists(held_path));
}

TEST(WorkFilePath, TakesTheIndexFilesDirectory) {
  char out[64];
  ASSERT_TRUE(work_file_path("/logs/a/log.dx0", "NDXTEMP.$$1", out, sizeof out));
  EXPECT_STREQ(out, "/logs/a/NDXTEMP.$$1");
  ASSERT_TRUE(work_file_path("C:\\LOG\\JA1.DX2", "NDXTEMP.$$2", out, sizeof out));
  EXPECT_STREQ(out, "C:\\LOG\\NDXTEMP.$$2");
  ASSERT_TRUE(work_file_path("C:JA1.DX2", "NDXTEMP.$$2", out, sizeof out));
  EXPECT_STREQ(out, "C:NDXTEMP.$$2");
  ASSERT_TRUE(work_file_path("log.dx0", "NDXTEMP.$$1", out, sizeof out));
  EXPECT_STREQ(out, "NDXTEMP.$$1");
  EXPECT_FALSE(work_file_path("/a/very/long/directory/name/that/does/not/fit/in/sixty/four/x.dx0",
                              "NDXTEMP.$$1", out, sizeof out));
}

}  // namespace
}  // namespace osp::index
