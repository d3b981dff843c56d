// Opening, closing and flushing, and every failure they report.
#include <gtest/gtest.h>

#include "frame/file.h"
#include "index/index_test_util.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"

namespace osp::test {
namespace {

std::string message(const char* utf8, const std::string& path) {
  return sjis(std::string(" ") + utf8 + "（") + path + sjis("）");
}

// True when nobody holds the file any more (it is opened without sharing).
bool released(const std::string& path) {
  const FileHandle f = file_open_existing(path.c_str(), kGenericReadWrite);
  if (f == kNoFile) return false;
  file_close(f);
  return true;
}

class IndexFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.file("t.ndx");
    write_file(path_, packed_index(numbered_entries(31)));
  }
  // Opens and inserts one key more than a page holds, so that the root and
  // the next free page change.
  void open_and_split(OpenIndex& idx) {
    ASSERT_EQ(idx.status, 0);
    index::insert(idx.get(), "K00031", 32);
    ASSERT_EQ(idx->header_dirty, 1);
    ASSERT_TRUE(index::write_dirty_pages(idx.get(), idx.state()));  // the pages in the file
  }
  uint32_t root_on_disk() { return load_u32(read_file(path_).data()); }

  TempDir dir_;
  std::string path_;
  HookRecorder hooks_;
};

TEST_F(IndexFile, OpenPositionsOnTheFirstEntryAndCloseReleasesEverything) {
  OpenIndex idx(path_);
  ASSERT_EQ(idx.status, 0);
  EXPECT_NE(idx->state, nullptr);
  EXPECT_GT(idx->file, 0);
  EXPECT_EQ(idx->header_dirty, 0);
  EXPECT_EQ(idx.key(), "K00000");
  EXPECT_EQ(idx_next(idx.get()), 2);
  EXPECT_FALSE(released(path_));
  EXPECT_EQ(idx_close(idx.get()), 1);
  EXPECT_EQ(idx->file, OSP_NO_FILE);
  EXPECT_EQ(idx->state, nullptr);
  EXPECT_TRUE(released(path_));
  EXPECT_EQ(idx_close(idx.get()), 0);  // closing a closed handle does nothing
  EXPECT_EQ(idx_next(idx.get()), 0);
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(IndexFile, OpenRefusesHeadersItCannotUse) {
  const struct {
    const char* what;
    int offset;
    int width;
    int value;
    int32_t status;
  } table[] = {
      {"unique flag", 23, 1, 1, 3},        {"numeric key type", 16, 2, 1, 3},
      {"key length -1", 12, 2, -1, 3},     {"key length 257", 12, 2, 257, 3},
      {"entry size", 18, 2, 20, 3},        {"no keys per page", 14, 2, 0, 3},
      {"too many keys per page", 14, 2, 32, 3}, {"fewer keys per page", 14, 2, 30, 0},
      // What a build that did not finish leaves.
      {"root 0", 0, 4, 0, 3},              {"next free page 0", 4, 4, 0, 3},
  };
  const std::vector<uint8_t> good = read_file(path_);
  for (const auto& row : table) {
    SCOPED_TRACE(row.what);
    std::vector<uint8_t> bytes = good;
    if (row.width == 1) {
      bytes[row.offset] = static_cast<uint8_t>(row.value);
    } else if (row.width == 4) {
      store_u32(bytes.data() + row.offset, static_cast<uint32_t>(row.value));
    } else {
      store_i16(bytes.data() + row.offset, static_cast<int16_t>(row.value));
    }
    write_file(path_, bytes);
    hooks_.boxes.clear();
    OpenIndex idx(path_);
    EXPECT_EQ(idx.status, row.status);
    if (row.status == 0) continue;
    EXPECT_EQ(idx->file, OSP_NO_FILE);
    EXPECT_EQ(idx->state, nullptr);
    EXPECT_TRUE(released(path_));
    ASSERT_EQ(hooks_.boxes.size(), 1u);
    EXPECT_EQ(hooks_.boxes[0].text, message("インデックスの構造が違う", path_));
    EXPECT_EQ(hooks_.boxes[0].caption, "OSPREY32.DLL");
  }
}

TEST_F(IndexFile, OpenFailuresThatCannotReadOrHold) {
  {
    OpenIndex idx(dir_.file("missing.ndx"));
    EXPECT_EQ(idx.status, 5);
    EXPECT_EQ(idx->file, OSP_NO_FILE);
    EXPECT_TRUE(hooks_.boxes.empty());  // silent
  }
  {
    OpenIndex first(path_);
    OpenIndex second(path_);  // exclusive
    EXPECT_EQ(second.status, 5);
  }
  write_file(path_, std::vector<uint8_t>(23, 0));
  OpenIndex idx(path_);
  EXPECT_EQ(idx.status, 7);
  EXPECT_EQ(idx->file, OSP_NO_FILE);
  EXPECT_TRUE(released(path_));
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_EQ(hooks_.boxes[0].text, message("インデックス読み込みエラー", path_));
}

TEST_F(IndexFile, AnOpenThatFailsIsSilent) {
  FaultEnv env;
  ScopedEnv scoped(&env);
  env.fail(Op::kOpen, 1);
  OpenIndex idx(path_);
  EXPECT_EQ(idx.status, 5);
  EXPECT_EQ(idx->file, OSP_NO_FILE);
  EXPECT_EQ(idx->state, nullptr);
  EXPECT_EQ(env.calls(Op::kAllocate), 0);
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(IndexFile, OpenWithoutMemory) {
  FaultEnv env;
  ScopedEnv scoped(&env);
  env.fail(Op::kAllocate, 1);
  OpenIndex idx(path_);
  EXPECT_EQ(idx.status, 6);
  EXPECT_EQ(idx->file, OSP_NO_FILE);
  EXPECT_TRUE(released(path_));
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_EQ(hooks_.boxes[0].text, message("メモリーが確保できない", path_));
}

TEST_F(IndexFile, AShortHeaderReadIsAReadError) {
  FaultEnv env;
  ScopedEnv scoped(&env);
  env.fail(Op::kRead, 1, Fault::kShort);
  OpenIndex idx(path_);
  EXPECT_EQ(idx.status, 7);
  EXPECT_TRUE(released(path_));
}

TEST_F(IndexFile, ALevelBufferThatCannotBeHadIsReportedAndTriedAgainLater) {
  FaultEnv env;
  ScopedEnv scoped(&env);
  env.fail(Op::kAllocate, 2);  // the first level, when open goes to the first entry
  OpenIndex idx(path_);
  EXPECT_EQ(idx.status, 0);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_EQ(hooks_.boxes[0].text, message("メモリーが確保できない", path_));
  EXPECT_EQ(idx_next(idx.get()), 0);
  EXPECT_EQ(idx_search(idx.get(), "K00007", 6), 8);
}

TEST_F(IndexFile, APageThatCannotBeReadIsReportedAndFindsNothing) {
  write_file(path_, packed_index(numbered_entries(100)));  // four leaves under a root
  FaultEnv env;
  ScopedEnv scoped(&env);
  OpenIndex idx(path_);  // holds the root and the first leaf
  env.fail(Op::kRead, 1, Fault::kShort);
  EXPECT_EQ(idx_search(idx.get(), "K00070", 6), 0);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_EQ(hooks_.boxes[0].text, message("インデックス読み込みエラー", path_));
  EXPECT_EQ(idx_next(idx.get()), 0);
  EXPECT_EQ(idx_back(idx.get()), 0);
  EXPECT_EQ(idx_search(idx.get(), "K00070", 6), 71);
}

TEST_F(IndexFile, HeaderWaitsForFlushWhichWritesItOnceAndSyncs) {
  FaultEnv env;
  ScopedEnv scoped(&env);
  OpenIndex idx(path_);
  index::flush(idx.get());  // nothing changed: nothing written
  EXPECT_EQ(env.calls(Op::kWrite), 0);
  EXPECT_EQ(env.calls(Op::kFlush), 0);
  open_and_split(idx);
  EXPECT_EQ(root_on_disk(), 1u);
  index::flush(idx.get());
  EXPECT_EQ(root_on_disk(), 3u);
  EXPECT_EQ(idx->header_dirty, 0);
  EXPECT_EQ(env.calls(Op::kFlush), 1);
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(IndexFile, FlushFailuresKeepTheHeaderDirty) {
  FaultEnv env;
  ScopedEnv scoped(&env);
  OpenIndex idx(path_);
  open_and_split(idx);

  env.fail(Op::kSeek, 1);
  EXPECT_EQ(index::flush(idx.get()), 5);
  env.fail(Op::kWrite, 1, Fault::kShort);
  EXPECT_EQ(index::flush(idx.get()), 8);
  ASSERT_EQ(hooks_.boxes.size(), 2u);
  EXPECT_EQ(hooks_.boxes[0].text, message("ファイルがオープンできない", path_));
  EXPECT_EQ(hooks_.boxes[1].text, message("インデックス書き込みエラー", path_));
  EXPECT_EQ(idx->header_dirty, 1);
  EXPECT_EQ(env.calls(Op::kFlush), 0);

  EXPECT_EQ(index::flush(idx.get()), 0);
  EXPECT_EQ(idx->header_dirty, 0);
  EXPECT_EQ(root_on_disk(), 3u);
}

// A changed page that the close cannot write is reported and forgotten, as
// an edit's failed write always was; the close still ends.
TEST_F(IndexFile, APageTheCloseCannotWriteIsReportedAndTheCloseEnds) {
  FaultEnv env;
  ScopedEnv scoped(&env);
  OpenIndex idx(path_);
  ASSERT_EQ(idx.status, 0);
  index::insert(idx.get(), "K00031", 32);  // a split: three changed pages, kept
  env.fail(Op::kWrite, 1, Fault::kShort);
  EXPECT_EQ(idx_close(idx.get()), 1);
  EXPECT_LE(+idx->file, 0);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_EQ(hooks_.boxes[0].text, message("インデックス書き込みエラー", path_));
  // The header does not point at pages the file lacks: the tree is refused
  // as one whose build did not finish, and a log's open builds it anew.
  hooks_.boxes.clear();
  IdxHandle again{};
  EXPECT_EQ(idx_open(path_.c_str(), &again), 3);
}

TEST_F(IndexFile, CloseFailuresKeepTheFileOpen) {
  FaultEnv env;
  ScopedEnv scoped(&env);
  OpenIndex idx(path_);
  open_and_split(idx);

  env.fail(Op::kSeek, 1);
  EXPECT_EQ(idx_close(idx.get()), 0);
  EXPECT_TRUE(hooks_.boxes.empty());
  EXPECT_GT(idx->file, 0);
  env.fail(Op::kWrite, 1, Fault::kShort);
  EXPECT_EQ(idx_close(idx.get()), 0);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_EQ(hooks_.boxes[0].text, message("インデックス書き込みエラー", path_));
  EXPECT_GT(idx->file, 0);
  EXPECT_NE(idx->state, nullptr);
  EXPECT_EQ(walk_forward(idx.get()).size(), 32u);  // still usable

  EXPECT_EQ(idx_close(idx.get()), 1);
  EXPECT_EQ(root_on_disk(), 3u);
  const IndexCheck check = check_index_file(path_);
  EXPECT_TRUE(check.ok()) << check.error;
  EXPECT_EQ(check.entries.size(), 32u);
}

}  // namespace
}  // namespace osp::test
