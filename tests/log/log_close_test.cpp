// Closing a log: the quick close, closing what is closed already, and the
// file times stored in the profile file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "log/log_test_util.h"
#include "osprey32.h"
#include "platform/env.h"
#include "support/fault_env.h"
#include "support/index_reader.h"

namespace osp::test {
namespace {

namespace fs = std::filesystem;

bool profile_has(const std::string& profile, const char* key) {
  return platform::env()->profile_int("FileTime", key, -1, profile.c_str()) != -1;
}

class LogCloseTest : public LogTest {};

// A quick close of a log opened whole leaves the master file, the indexes and
// the viewer open, but the index pages its appends changed are in the files.
TEST_F(LogCloseTest, QuickCloseLeavesMasterIndexesAndViewerAsTheyAre) {
  make_complete_log(30);
  ASSERT_EQ(open(5), 0);
  const size_t entries = read_index(path(".dx0")).entries.size();
  int32_t word = OSP_CONFIRM_NO_QUESTION;
  ASSERT_EQ(OSP_append(&log_, OSP_WRITE_CONTACTS, &word), 0);
  OspreyClose(&log_, 2);
  EXPECT_EQ(read_index(path(".dx0")).entries.size(), entries + 1);
  EXPECT_LE(+log_.dbs.handle.file, 0);
  EXPECT_LE(+log_.dbr_file, 0);
  EXPECT_GT(+log_.mst.handle.file, 0);
  for (int i = 0; i < 5; ++i) EXPECT_GT(+log_.index_slot[i].file, 0) << i;
  EXPECT_NE(+log_.viewer, nullptr);
  EXPECT_NE(idx_top(&log_.index_slot[2]), 0) << "the indexes still work";
  OspreyClose(&log_, 5);
  expect_set_closed();
}

TEST_F(LogCloseTest, ClosingAClosedOrNeverOpenedHandleDoesNothing) {
  make_complete_log(10);
  ASSERT_EQ(open(5), 0);
  OspreyClose(&log_, 5);
  const LogHandle closed = log_;
  OspreyClose(&log_, 5);
  EXPECT_EQ(std::memcmp(&log_, &closed, sizeof closed), 0);
  expect_set_closed();

  LogHandle never{};
  OspreyClose(&never, 5);
  OspreyClose(&never, 2);
  EXPECT_EQ(+never.viewer, nullptr);
  EXPECT_FALSE(file_exists(".FDT"));
  EXPECT_FALSE(file_exists(".fdt"));
}

TEST_F(LogCloseTest, ProfileSkipsFilesThatCannotBeOpenedAndTheContactFileEndsIt) {
  make_log(20);
  ASSERT_EQ(open(0), 0);
  // Gone while the log is open: the close cannot open them to read their times.
  fs::remove(path(".dx2"));
  fs::remove(path(".dbs"));
  OspreyClose(&log_, 1);
  const std::string profile = path(".fdt");
  for (const char* key : {"DX0", "DX1", "DX3", "DX4", "MST"})
    EXPECT_TRUE(profile_has(profile, key)) << key;
  EXPECT_FALSE(profile_has(profile, "DX2"));
  EXPECT_FALSE(profile_has(profile, "DBS"));
}

TEST_F(LogCloseTest, ProfileNamedInCapitalsIsTheOneTheOpenReads) {
  make_log(20);
  write_file(path(".FDT"), {'[', 'F', 'i', 'l', 'e', 'T', 'i', 'm', 'e', ']', '\n'});
  ASSERT_EQ(open(1), 0);
  OspreyClose(&log_, 1);
  EXPECT_FALSE(file_exists(path(".fdt")));
  EXPECT_TRUE(profile_has(path(".FDT"), "dx0"));
  hooks_.texts.clear();
  ASSERT_EQ(open(1), 0);
  EXPECT_TRUE(built_indexes().empty()) << "the open found the times the close wrote";
  OspreyClose(&log_, 0);
}

// A count that the close cannot write back is lost: the close says so, with
// the path of the file whose header it is.
TEST_F(LogCloseTest, CountThatCannotBeWrittenBackIsReportedWithItsFile) {
  struct Case {
    int write;  // the close writes the contact file's header, its end mark, the remarks header
    const char* extension;
  };
  for (const Case& c : {Case{1, ".dbs"}, Case{2, ".dbs"}, Case{3, ".dbr"}}) {
    SCOPED_TRACE(std::to_string(c.write));
    make_complete_log(10);
    ASSERT_EQ(open(5), 0);
    log_.view = log_.viewer[1];
    int32_t confirm = OSP_CONFIRM_NO_QUESTION;
    ASSERT_EQ(OSP_append(&log_, OSP_WRITE_CONTACTS, &confirm), 0);
    ASSERT_EQ(OSP_read(&log_, 11, OSP_READ_FULL), 0);  // the held contact lands first
    hooks_.boxes.clear();
    {
      FaultEnv faults;
      ScopedEnv scoped(&faults);
      faults.fail(Op::kWrite, c.write, Fault::kShort);
      OspreyClose(&log_, 5);
    }
    expect_set_closed();
    ASSERT_EQ(hooks_.boxes.size(), 1u);
    expect_status_box(0, OSP_DATA_WRITE_ERROR, path(c.extension));
  }
}

}  // namespace
}  // namespace osp::test
