// Writes that fail part-way: each failure is reported with the path of the
// file concerned and leaves the log as the next open expects it, with no
// question about the counts and every index in step.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::contact;
using test::Fault;
using test::FaultEnv;
using test::OpenedLog;
using test::Op;
using test::ScopedEnv;
using test::set_field;
using test::text;

constexpr int kContacts = OSP_WRITE_CONTACTS;

class LogWriteFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hooks_.default_answer = 6;
    base_ = dir_.file("LOG");
    test::ContactFileBuilder b;
    ofs_.push_back(b.add(contact("QA1AAA", "1001", {"FIRST BLOCK", "", ""})));
    ofs_.push_back(b.add(contact("QA2BBB", "1002", {"MIDDLE", "", ""})));
    ofs_.push_back(b.add(contact("QA3CCC", "1001", {"LAST", "", ""})));
    b.add(contact("QA4DDD"));
    b.add(contact("QA5EEE", "1002", {"", "", "TAIL"}));
    b.add(contact("QA6FFF"));
    b.write_log(base_);
    test::write_master_file(base_ + ".mst", test::plain_masters());
  }

  void edit(OpenedLog& log, int32_t recno) {
    ASSERT_EQ(OSP_read(log.get(), recno, 3), 0);
    old_ = log.log;
  }

  // The log (unless slots were dropped) and the log closed and opened again
  // ask nothing and are consistent.
  void expect_consistent_after_reopen(OpenedLog& log, bool slots_dropped = false) {
    if (!slots_dropped) {
      EXPECT_TRUE(test::log_problems(log.get()).empty());
    }
    hooks_.boxes.clear();
    ASSERT_EQ(log.reopen(), 0);
    EXPECT_TRUE(hooks_.boxes.empty()) << hooks_.boxes.size() << " questions at the open";
    const auto problems = test::log_problems(log.get());
    EXPECT_TRUE(problems.empty()) << problems.front();
  }

  std::vector<uint8_t> dbr() const { return test::read_file(base_ + ".dbr"); }

  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_;
  std::vector<uint32_t> ofs_;
  LogHandle old_{};
};

// A block that does not reach the file whole fails the append at once, with
// or without write-through, and leaves no trace of it.
TEST_F(LogWriteFailureTest, AShortRemarkBlockLeavesNoTraceOfTheAppend) {
  for (const int16_t through : {1, 0}) {
    SCOPED_TRACE(through);
    OpenedLog log(base_);
    log->write_through = through;
    log->view = test::expected_view(contact("QA7GGG", "1001", {"NEVER", "", ""}));
    const auto before = dbr();
    int32_t word = 0;
    {
      FaultEnv env;
      ScopedEnv scoped(&env);
      env.fail(Op::kWrite, 1, Fault::kShort);
      EXPECT_EQ(OSP_append(log.get(), kContacts, &word), 22);
    }
    ASSERT_EQ(hooks_.boxes.size(), 1u);
    EXPECT_NE(hooks_.boxes[0].text.find(log->dbr_name), std::string::npos);
    hooks_.boxes.clear();
    EXPECT_EQ(+log->dbs.handle.record_count, 6);
    EXPECT_EQ(test::header_count_of(log->dbr_header), 6);
    EXPECT_EQ(dbr(), before) << "the half-written block is cut off again";
    EXPECT_EQ(test::slot_entries(log.get(), 0).size(), 6u);
    expect_consistent_after_reopen(log);
  }
}

TEST_F(LogWriteFailureTest, AFailedRecordAppendTakesTheRemarksCountBack) {
  OpenedLog log(base_);
  log->view = test::expected_view(contact("QA7GGG", "1001", {"ORPHAN", "", ""}));
  log->write_through = 1;
  const auto before = dbr();
  {
    FaultEnv env;
    ScopedEnv scoped(&env);
    // The block is written and the remarks file synced (its header the
    // second write), the record not.
    env.fail(Op::kWrite, 3, Fault::kFail);
    int32_t word = 0;
    EXPECT_EQ(OSP_append(log.get(), kContacts, &word), 22);
  }
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_NE(hooks_.boxes[0].text.find(log->dbs.path), std::string::npos);
  EXPECT_EQ(+log->dbs.handle.record_count, 6);
  EXPECT_EQ(test::header_count_of(log->dbr_header), 6);
  EXPECT_EQ(dbr().size(), before.size());
  EXPECT_EQ(test::slot_entries(log.get(), 0).size(), 6u) << "no entry for a record not written";
  expect_consistent_after_reopen(log);

  // In a bulk run DB_append holds its contacts: the records of the run (its
  // second write, after the blocks) fail at the flush, and the run is taken
  // back.
  log->view = test::expected_view(contact("QA8HHH", "1001", {"ORPHAN", "", ""}));
  ASSERT_EQ(OSP_bulk_begin(log.get()), 0);
  ASSERT_EQ(DB_append(log.get()), 0);
  ASSERT_EQ(DB_append(log.get()), 0);
  EXPECT_EQ(+log->dbs.handle.record_count, 8);
  hooks_.boxes.clear();
  {
    FaultEnv env;
    ScopedEnv scoped(&env);
    env.fail(Op::kWrite, 2, Fault::kShort);
    EXPECT_EQ(OSP_flush(log.get()), 22);
  }
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_NE(hooks_.boxes[0].text.find(log->dbs.path), std::string::npos);
  EXPECT_EQ(+log->dbs.handle.record_count, 6);
  EXPECT_EQ(test::header_count_of(log->dbr_header), 6);
  EXPECT_EQ(dbr().size(), before.size());
  expect_consistent_after_reopen(log);
}

TEST_F(LogWriteFailureTest, AFailedRecordWritePutsTheOldBlockBack) {
  OpenedLog log(base_);
  edit(log, 2);
  set_field(log->view.remark1, "MID");  // fits in place
  set_field(log->view.name, "CHANGED");
  const auto before = dbr();
  {
    FaultEnv env;
    ScopedEnv scoped(&env);
    env.fail(Op::kWrite, 2, Fault::kShort);  // the block goes in place, the record short
    int32_t word = 0;
    EXPECT_EQ(OSP_update(log.get(), &old_, 2, kContacts, &word), 22);
  }
  EXPECT_EQ(dbr(), before);
  ASSERT_EQ(OSP_read(log.get(), 2, 3), 0);
  EXPECT_EQ(text(log->view.remark1).substr(0, 7), "MIDDLE ");
  EXPECT_EQ(text(log->view.name).substr(0, 5), "TARO ");
  expect_consistent_after_reopen(log);
}

TEST_F(LogWriteFailureTest, AShortBlockWriteInPlaceRestoresTheOldOne) {
  OpenedLog log(base_);
  // Contact 1's block shrinks in place.
  edit(log, 1);
  set_field(log->view.remark1, "SHORTER");
  const auto before = dbr();
  {
    FaultEnv env;
    ScopedEnv scoped(&env);
    env.fail(Op::kWrite, 1, Fault::kShort);
    int32_t word = 0;
    EXPECT_EQ(OSP_update(log.get(), &old_, 1, kContacts, &word), 22);
  }
  EXPECT_EQ(dbr(), before);
  ASSERT_EQ(OSP_read(log.get(), 1, 3), 0);
  EXPECT_EQ(text(log->view.remark1).substr(0, 12), "FIRST BLOCK ");
}

TEST_F(LogWriteFailureTest, OldLinksThatPointNowhereUsableAreRefusedOrLeftAlone) {
  const std::string damaged_base = dir_.file("DAMAGED");
  test::ContactFileBuilder b;
  b.add_linked(contact("QA4DDD"), 100);  // a link into the header
  const uint32_t damaged = b.add_remark_bytes({29, 0, 0, 'X', 'Y'});  // L1 above 28
  const uint32_t end = b.add_remark_bytes({4, 0});  // lengths cut short by the file's end
  b.add_linked(contact("QA5EEE"), end);
  b.add_linked(contact("QA6FFF"), damaged);
  b.write_log(damaged_base);
  test::write_master_file(damaged_base + ".mst", test::plain_masters());
  OpenedLog log(damaged_base);
  ASSERT_EQ(log.status, 0);
  int32_t word = 0;
  // Contact 1 links into the header: 11, reported with the remarks path.
  edit(log, 1);
  set_field(log->view.remark1, "A");
  EXPECT_EQ(OSP_update(log.get(), &old_, 1, kContacts, &word), 11);
  EXPECT_NE(hooks_.boxes.back().text.find(log->dbr_name), std::string::npos);
  // Contact 2 links to two length bytes at the end: 21.
  edit(log, 2);
  set_field(log->view.remark1, "A");
  EXPECT_EQ(OSP_update(log.get(), &old_, 2, kContacts, &word), 21);
  // Contact 3's old block has lengths beyond their limits: its size is
  // unknown, so the new block goes to the end rather than over it.
  edit(log, 3);
  set_field(log->view.remark1, "NEW");
  const auto before = test::read_file(damaged_base + ".dbr");
  ASSERT_EQ(OSP_update(log.get(), &old_, 3, kContacts, &word), 0);
  uint8_t data[57];
  ASSERT_EQ(dbf_read(&log->dbs.handle, 3, data), 0);
  EXPECT_EQ(data[53] | data[54] << 8, static_cast<int>(before.size()));
  const auto after = test::read_file(damaged_base + ".dbr");
  EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
}

TEST_F(LogWriteFailureTest, AnIndexThatCannotFollowIsDroppedAndRebuiltAtTheNextOpen) {
  OpenedLog log(base_);
  edit(log, 1);
  set_field(log->view.callsign, "QA9ZZZ");
  {
    // The changed index pages are kept; the flush cannot write them (nor
    // anything else) and drops the slot whose pages changed.
    int32_t word = 0;
    EXPECT_EQ(OSP_update(log.get(), &old_, 1, kContacts, &word), 0);
    FaultEnv env;
    ScopedEnv scoped(&env);
    env.fail(Op::kWrite, 1, Fault::kFail, true);
    EXPECT_NE(OSP_flush(log.get()), 0);
  }
  EXPECT_EQ(OSP_flush(log.get()), 0);
  EXPECT_LE(+log->index_slot[0].file, 0) << "slot 0 dropped";
  EXPECT_FALSE(std::filesystem::exists(base_ + ".dx0"));
  EXPECT_GT(+log->index_slot[1].file, 0);
  // Until the log is opened again, slot 0 is refused.
  char key[] = "QA9ZZZ";
  EXPECT_EQ(OSP_seek(log.get(), key, kContacts), 5);
  log->view = test::expected_view(contact("QA7GGG"));
  int32_t word = 0;
  EXPECT_EQ(OSP_append(log.get(), kContacts, &word), 5);
  EXPECT_EQ(+log->dbs.handle.record_count, 6);
  ASSERT_EQ(log.reopen(), 0);
  EXPECT_TRUE(test::log_problems(log.get()).empty());
  EXPECT_EQ(OSP_seek(log.get(), key, kContacts), 0);
}

}  // namespace
}  // namespace osp
