#include "log/remarks_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/file.h"
#include "support/contact_file_builder.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"
#include "support/temp_dir.h"

namespace osp::log {
namespace {

// Packed LogHandle fields are passed to the test macros by value (+field):
// the macros bind references, which a packed field cannot take.

using test::Fault;
using test::FaultEnv;
using test::Op;
using test::ScopedEnv;

class RemarksFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.file("log.dbr");
    std::strcpy(lh_.dbr_name, path_.c_str());
    lh_.dbr_file = kNoFile;
  }
  void TearDown() override { close_remarks_file(&lh_); }

  // True when nobody holds the file: an exclusive open succeeds.
  bool released() {
    const FileHandle f = file_open_existing(path_.c_str(), kGenericReadWrite);
    if (f == kNoFile) return false;
    file_close(f);
    return true;
  }

  test::HookRecorder hooks_;  // fixes today at 2026-03-07
  test::TempDir dir_;
  std::string path_;
  LogHandle lh_{};
};

TEST_F(RemarksFile, NewFileHasTheHeaderLayout) {
  ASSERT_EQ(create_remarks_file(path_.c_str()), 0);
  EXPECT_EQ(test::read_file(path_), test::remarks_header(0, {26, 3, 7}));
  EXPECT_TRUE(released());
}

TEST_F(RemarksFile, OpenReadsTheMirrorAndCloseWritesItBackWhenDirty) {
  test::ContactFileBuilder b;
  b.remarks_count = 1500;
  b.remarks_date = {99, 12, 31};
  test::write_file(path_, b.dbr_bytes());
  ASSERT_EQ(open_remarks_file(&lh_), 0);
  EXPECT_EQ(remarks_count(lh_.dbr_header), 1500);
  EXPECT_EQ(lh_.dbr_header[1], 99);
  EXPECT_EQ(+lh_.dbr_dirty, 0);
  EXPECT_FALSE(released());

  // Not dirty: closing writes nothing.
  EXPECT_EQ(close_remarks_file(&lh_), 0);
  EXPECT_EQ(+lh_.dbr_file, kNoFile);
  EXPECT_EQ(test::read_file(path_), b.dbr_bytes());

  ASSERT_EQ(open_remarks_file(&lh_), 0);
  set_remarks_count(lh_.dbr_header, 1501);
  lh_.dbr_dirty = 1;
  EXPECT_EQ(close_remarks_file(&lh_), 0);
  EXPECT_EQ(+lh_.dbr_dirty, 0);
  EXPECT_TRUE(released());
  b.remarks_count = 1501;
  b.remarks_date = {26, 3, 7};
  EXPECT_EQ(test::read_file(path_), b.dbr_bytes());
  // Closing a closed file does nothing.
  EXPECT_EQ(close_remarks_file(&lh_), 0);
}

TEST_F(RemarksFile, OpenRefusesWhatIsNotARemarksFile) {
  std::vector<uint8_t> header = test::remarks_header(0, {26, 3, 7});
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    int32_t result;
  } cases[] = {
      {"seven bytes", std::vector<uint8_t>(header.begin(), header.begin() + 7), 21},
      {"empty", {}, 21},
      {"wrong marker", std::vector<uint8_t>(8, 0x03), 2},
  };
  for (const auto& c : cases) {
    test::write_file(path_, c.bytes);
    EXPECT_EQ(open_remarks_file(&lh_), c.result) << c.what;
    EXPECT_EQ(+lh_.dbr_file, kNoFile) << c.what;
    EXPECT_TRUE(released()) << c.what;
  }
  std::remove(path_.c_str());
  EXPECT_EQ(open_remarks_file(&lh_), 5);
  EXPECT_EQ(+lh_.dbr_file, kNoFile);
}

TEST_F(RemarksFile, OpenFailsWhileSomeoneElseHoldsTheFile) {
  ASSERT_EQ(create_remarks_file(path_.c_str()), 0);
  const FileHandle other = file_open_existing(path_.c_str(), kGenericRead);
  ASSERT_NE(other, kNoFile);
  EXPECT_EQ(open_remarks_file(&lh_), 5);
  file_close(other);
  EXPECT_EQ(open_remarks_file(&lh_), 0);
}

TEST_F(RemarksFile, UnterminatedNameIsNotOpened) {
  std::memset(lh_.dbr_name, 'a', sizeof lh_.dbr_name);
  EXPECT_EQ(open_remarks_file(&lh_), 5);
  EXPECT_EQ(+lh_.dbr_file, kNoFile);
}

TEST_F(RemarksFile, FailedWritesAreReported) {
  {
    FaultEnv env;
    ScopedEnv scoped(&env);
    env.fail(Op::kCreate, 1);
    EXPECT_EQ(create_remarks_file(path_.c_str()), 5);
  }
  {
    FaultEnv env;
    ScopedEnv scoped(&env);
    env.fail(Op::kWrite, 1, Fault::kShort);
    EXPECT_EQ(create_remarks_file(path_.c_str()), 22);
  }
  ASSERT_EQ(create_remarks_file(path_.c_str()), 0);
  ASSERT_EQ(open_remarks_file(&lh_), 0);
  set_remarks_count(lh_.dbr_header, 7);
  lh_.dbr_dirty = 1;
  {
    FaultEnv env;
    ScopedEnv scoped(&env);
    env.fail(Op::kWrite, 1);
    EXPECT_EQ(write_back_remarks_header(&lh_), 22);
    // Still dirty, so that the next write-back tries again.
    EXPECT_EQ(+lh_.dbr_dirty, 1);
  }
  EXPECT_EQ(write_back_remarks_header(&lh_), 0);
  EXPECT_EQ(+lh_.dbr_dirty, 0);
  EXPECT_EQ(remarks_count(test::read_file(path_).data()), 7);
}

}  // namespace
}  // namespace osp::log
