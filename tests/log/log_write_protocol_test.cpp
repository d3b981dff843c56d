// The write protocol's header write-backs and its replacement of a rewritten
// file. (The order of its steps under a power loss is log_power_loss_test.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "log/log_paths.h"
#include "log/log_write_protocol.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/forwarding_env.h"
#include "support/hooks_fixture.h"
#include "support/temp_dir.h"

namespace osp::test {
namespace {

int32_t count_on_disk(const std::string& path) {
  const std::vector<uint8_t> b = read_file(path);
  return b[4] | b[5] << 8 | b[6] << 16 | b[7] << 24;
}

class LogWriteProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hooks_.default_answer = OSP_ANSWER_YES;
    write_log(base_, {contact("QA1AAA", "1001", {"R1", "", ""}), contact("QA2BBB")});
  }

  // Appends a contact with remarks without write-through.
  void append(OpenedLog& log, const std::string& call) {
    log->view = expected_view(contact(call, "1002", {"NEW", "", ""}));
    int32_t confirm = OSP_CONFIRM_NO_QUESTION;
    ASSERT_EQ(OSP_append(log.get(), OSP_WRITE_CONTACTS, &confirm), 0);
  }

  TempDir dir_;
  HookRecorder hooks_;
  std::string base_ = dir_.file("LOG");
};

// A count that cannot be written back is reported by OSP_flush and stays to
// be written by the next flush, for the contact file and the remarks file
// alike.
TEST_F(LogWriteProtocolTest, FlushReportsALostCountAndTheNextFlushWritesIt) {
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  struct Case {
    const char* call;
    int write;  // the flush writes the contact file's header, its end mark, the remarks header
    bool contact_file;
  };
  for (const Case& c : {Case{"QA3CCC", 1, true}, Case{"QA4DDD", 3, false}}) {
    SCOPED_TRACE(c.contact_file ? "contact file" : "remarks file");
    append(log, c.call);
    {
      FaultEnv faults;
      ScopedEnv scoped(&faults);
      faults.fail(Op::kWrite, c.write, Fault::kShort);
      EXPECT_EQ(OSP_flush(log.get()), OSP_DATA_WRITE_ERROR);
    }
    EXPECT_TRUE(c.contact_file ? log->dbs.handle.flags != 0 : log->dbr_dirty != 0)
        << "stays dirty";
    EXPECT_EQ(OSP_flush(log.get()), 0);
    const int32_t count = log->dbs.handle.record_count;
    EXPECT_EQ(count_on_disk(base_ + ".dbs"), count);
    EXPECT_EQ(count_on_disk(base_ + ".dbr"), count);
  }
}

// Counts the profile reads and the two kinds of sync.
class SyncCountingEnv final : public ForwardingEnv {
 public:
  SyncCountingEnv() : ForwardingEnv(platform::default_env()) {}
  int32_t profile_int(const char* section, const char* key, int32_t default_value,
                      const char* file) override {
    ++profile_reads;
    return ForwardingEnv::profile_int(section, key, default_value, file);
  }
  bool flush(platform::Handle h) override {
    ++flushes;
    return ForwardingEnv::flush(h);
  }
  bool sync_data(platform::Handle h) override {
    ++data_syncs;
    return base_->sync_data(h);
  }
  int profile_reads = 0;
  int flushes = 0;
  int data_syncs = 0;
};

// A durable append costs two data syncs (remarks file, contact file) and no
// index sync; the stale mark reads the profile file once per open, and the
// mark (the contact file's time cleared) is on the disk after the first.
TEST_F(LogWriteProtocolTest, DurableAppendsSyncTwoFilesAndReadTheProfileOncePerOpen) {
  OpenedLog log(base_);
  ASSERT_EQ(log.reopen(), 0) << "the times stored";
  char profile[log::kPathSize];
  ASSERT_TRUE(log::profile_path(log.get(), true, profile));
  ASSERT_NE(platform::env()->profile_int(log::kProfileSection, "DBS", 0, profile), 0);
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    log->write_through = 1;
    SyncCountingEnv counting;
    {
      ScopedEnv scoped(&counting);
      for (const char* call : {"QA3CCC", "QA4DDD", "QA5EEE"}) append(log, call);
    }
    EXPECT_EQ(counting.data_syncs, 6);
    EXPECT_EQ(counting.flushes, 0) << "no index, no full flush";
    EXPECT_EQ(counting.profile_reads, 1);
    EXPECT_EQ(platform::env()->profile_int(log::kProfileSection, "DBS", 0, profile), 0);
    // A close that stores the times takes the mark away; the next open's
    // first change must set it again.
    ASSERT_EQ(log.reopen(), 0);
    EXPECT_NE(platform::env()->profile_int(log::kProfileSection, "DBS", 0, profile), 0);
  }
}

// With write-through, a remarks file that cannot be synced stops the write
// before its record: the block is taken back and nothing points at it.
TEST_F(LogWriteProtocolTest, RemarksThatCannotBeSyncedStopTheWriteBeforeTheRecord) {
  for (const bool update : {false, true}) {
    SCOPED_TRACE(update ? "update" : "append");
    write_log(base_, {contact("QA1AAA", "1001", {"R1", "", ""}), contact("QA2BBB")});
    OpenedLog log(base_);
    ASSERT_EQ(log.status, 0);
    log->write_through = 1;
    const std::vector<uint8_t> dbs_before = read_file(base_ + ".dbs");
    LogHandle old{};
    if (update) {
      ASSERT_EQ(OSP_read(log.get(), 2, OSP_READ_FULL), 0);
      old = log.log;
      std::memcpy(log->view.remark2, "A LONGER REMARK", 16);
    } else {
      log->view = expected_view(contact("QA3CCC", "1002", {"NEW", "", ""}));
    }
    hooks_.boxes.clear();
    int32_t confirm = OSP_CONFIRM_NO_QUESTION;
    {
      FaultEnv faults;
      ScopedEnv scoped(&faults);
      faults.fail(Op::kFlush, 1);
      const int32_t r = update ? OSP_update(log.get(), &old, 2, OSP_WRITE_CONTACTS, &confirm)
                               : OSP_append(log.get(), OSP_WRITE_CONTACTS, &confirm);
      EXPECT_EQ(r, OSP_DATA_WRITE_ERROR);
    }
    // An update asks first; the failure is the last box.
    ASSERT_EQ(hooks_.boxes.size(), update ? 2u : 1u);
    EXPECT_NE(hooks_.boxes.back().text.find(base_ + ".dbr"), std::string::npos);
    EXPECT_EQ(+log->dbs.handle.record_count, 2);
    EXPECT_EQ(read_file(base_ + ".dbs"), dbs_before) << "no record written";
    hooks_.boxes.clear();
    ASSERT_EQ(log.reopen(), 0);
    EXPECT_TRUE(hooks_.boxes.empty()) << "the counts agree";
  }
}

TEST_F(LogWriteProtocolTest, ARewrittenFileReplacesTheOldOneWholeOrNotAtAll) {
  const std::string path = dir_.file("LOG.dbs");
  const std::string temp = dir_.file("LOG.db$");
  const std::vector<uint8_t> old_bytes = read_file(path);
  const std::vector<uint8_t> new_bytes(600, 0x20);
  write_file(temp, new_bytes);
  {
    FaultEnv faults;
    ScopedEnv scoped(&faults);
    faults.fail(Op::kRename, 1);
    EXPECT_EQ(log::protocol::replace_by_rename(temp.c_str(), path.c_str()), OSP_CANNOT_OPEN);
  }
  EXPECT_EQ(read_file(path), old_bytes);
  EXPECT_EQ(read_file(temp), new_bytes);
  EXPECT_EQ(log::protocol::replace_by_rename(temp.c_str(), path.c_str()), 0);
  EXPECT_EQ(read_file(path), new_bytes);
  EXPECT_FALSE(file_exists(temp));
}

}  // namespace
}  // namespace osp::test
