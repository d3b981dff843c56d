// Appends outside a bulk run are written when they return; inside one they
// are held and written in runs: they read back at once, land in order across
// many runs and two logs, and a run that cannot be written is taken back
// whole (both files, both counts) and said to its own log only.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "platform/env.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"
#include "support/log_walk.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::contact;
using test::OpenedLog;
using test::text;

class HeldAppendsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hooks_.default_answer = OSP_ANSWER_YES;
    test::write_log(base_, {contact("QA1AAA", "1001", {"FIRST", "", ""}), contact("QA2BBB")});
  }

  // Contact i: a call sign of its own, remarks on every other one, of
  // lengths that vary so that blocks fall at uneven offsets.
  static test::TestContact nth(int i) {
    const std::string remark = i % 2 == 0 ? std::string(1 + i % 27, static_cast<char>('A' + i % 26)) : "";
    return contact("Q" + std::to_string(100000 + i), i % 3 == 0 ? "1002" : "1001", {remark, "", ""});
  }

  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_ = dir_.file("LOG");
};

// Far more contacts than one run holds, with reads between them that have
// the run written behind the appends' back; after a flush and an open every
// contact reads back as appended and the log checks clean.
TEST_F(HeldAppendsTest, ContactsLandInOrderAcrossRunsAndReadsBetween) {
  constexpr int kCount = 2500;
  for (const bool indexed : {true, false}) {
    SCOPED_TRACE(indexed ? "OSP_append" : "DB_append");
    SetUp();
    OpenedLog log(base_);
    ASSERT_EQ(log.status, 0);
    ASSERT_EQ(OSP_bulk_begin(log.get()), 0);
    for (int i = 0; i < kCount; ++i) {
      log->view = test::expected_view(nth(i));
      int32_t confirm = OSP_CONFIRM_NO_QUESTION;
      ASSERT_EQ(indexed ? OSP_append(log.get(), OSP_WRITE_CONTACTS, &confirm) : DB_append(log.get()), 0);
      if (i % 700 == 0) {
        ASSERT_EQ(OSP_read(log.get(), 3 + i, OSP_READ_FULL), 0);
        EXPECT_EQ(text(log->view.callsign).substr(0, 7), "Q" + std::to_string(100000 + i));
      }
    }
    ASSERT_EQ(OSP_flush(log.get()), 0);
    ASSERT_EQ(log.reopen(), 0);
    ASSERT_EQ(+log->dbs.handle.record_count, kCount + 2);
    for (int i = 0; i < kCount; ++i) {
      ASSERT_EQ(OSP_read(log.get(), 3 + i, OSP_READ_FULL), 0);
      const test::TestContact c = nth(i);
      EXPECT_EQ(text(log->view.callsign).substr(0, 7), c.callsign);
      EXPECT_EQ(text(log->view.remark1), text(test::expected_view(c).remark1)) << i;
    }
    EXPECT_TRUE(test::log_problems(log.get()).empty());
    EXPECT_TRUE(hooks_.boxes.empty());
  }
}

// A run written because a read came, whose blocks do not reach the file: the
// read finds the counts taken back, the next flush says so (once), the slots
// that held the contacts' entries go, and the next open finds a sound log.
TEST_F(HeldAppendsTest, ARunThatFailsBehindTheAppendsBackIsSaidByTheNextFlush) {
  const auto dbr_before = test::read_file(base_ + ".dbr");
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  ASSERT_EQ(OSP_bulk_begin(log.get()), 0);
  for (int i = 0; i < 3; ++i) {
    log->view = test::expected_view(nth(2 * i));
    int32_t confirm = OSP_CONFIRM_NO_QUESTION;
    ASSERT_EQ(OSP_append(log.get(), OSP_WRITE_CONTACTS, &confirm), 0);
  }
  {
    test::FaultEnv faults;
    test::ScopedEnv scoped(&faults);
    faults.fail(test::Op::kWrite, 1, test::Fault::kShort);
    EXPECT_EQ(OSP_read(log.get(), 3, OSP_READ_FULL), 10) << "the contact was taken back";
  }
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_NE(hooks_.boxes[0].text.find(log->dbr_name), std::string::npos);
  EXPECT_EQ(+log->dbs.handle.record_count, 2);
  EXPECT_EQ(test::header_count_of(log->dbr_header), 2);
  EXPECT_EQ(platform::env()->size(log->dbr_file), static_cast<int64_t>(dbr_before.size()))
      << "the blocks are cut off again";
  EXPECT_LE(+log->index_slot[0].file, 0);
  EXPECT_EQ(OSP_flush(log.get()), OSP_DATA_WRITE_ERROR);
  EXPECT_EQ(OSP_flush(log.get()), 0);
  hooks_.boxes.clear();
  ASSERT_EQ(log.reopen(), 0);
  EXPECT_TRUE(hooks_.boxes.empty()) << "the counts agree";
  EXPECT_TRUE(test::log_problems(log.get()).empty());
}

// A reader in record order that comes while a run is held has the run
// written first and reads the count it left: after a run that failed, the
// end of the contacts (10) and the last contact there is, never a read
// error for contacts taken back.
TEST_F(HeldAppendsTest, ReadersInRecordOrderSeeTheCountAFailedRunLeaves) {
  struct Case {
    const char* name;
    int32_t (*read)(LogHandle*);
    int32_t result;
  };
  const Case cases[] = {{"DBS_Xread", [](LogHandle* l) { return DBS_Xread(l); }, 10},
                        {"OSP_btm in record order", [](LogHandle* l) { return OSP_btm(l, 24); }, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenedLog log(base_);
    ASSERT_EQ(log.status, 0);
    ASSERT_EQ(OSP_bulk_begin(log.get()), 0);
    for (int i = 0; i < 3; ++i) {
      log->view = test::expected_view(nth(2 * i));
      ASSERT_EQ(DB_append(log.get()), 0);
    }
    log->dbs.handle.current_recno = 2;
    hooks_.boxes.clear();
    {
      test::FaultEnv faults;
      test::ScopedEnv scoped(&faults);
      faults.fail(test::Op::kWrite, 1, test::Fault::kShort);
      EXPECT_EQ(c.read(log.get()), c.result);
    }
    EXPECT_EQ(hooks_.boxes.size(), 1u) << "the run's failure only";
    EXPECT_EQ(+log->dbs.handle.record_count, 2);
    EXPECT_EQ(OSP_bulk_end(log.get()), OSP_DATA_WRITE_ERROR);
  }
}

// Outside a bulk run every append reaches the files when it returns, and so
// does a durable one inside a bulk run, after the contacts held before it.
TEST_F(HeldAppendsTest, AnAppendOutsideABulkRunIsWrittenWhenItReturns) {
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  const auto size = [&](platform::Handle f) { return platform::env()->size(f); };
  struct Case {
    const char* name;
    bool bulk;
    int16_t write_through;
    bool indexed;
  };
  const Case cases[] = {{"OSP_append", false, 0, true},
                        {"DB_append", false, 0, false},
                        {"OSP_append write-through in a bulk run", true, 1, true}};
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.bulk) {
      ASSERT_EQ(OSP_bulk_begin(log.get()), 0);
      log->view = test::expected_view(nth(i++));
      ASSERT_EQ(DB_append(log.get()), 0);  // held
    }
    log->write_through = c.write_through;
    log->view = test::expected_view(nth(2 * i++));
    const int64_t records = size(log->dbs.handle.file);
    const int64_t blocks = size(log->dbr_file);
    int32_t confirm = OSP_CONFIRM_NO_QUESTION;
    ASSERT_EQ(c.indexed ? OSP_append(log.get(), OSP_WRITE_CONTACTS, &confirm) : DB_append(log.get()), 0);
    // Whole records (over the end mark, which the next write-back puts back).
    EXPECT_GE(size(log->dbs.handle.file), records + (c.bulk ? 2 : 1) * 58 - 1);
    EXPECT_GT(size(log->dbr_file), blocks);
    log->write_through = 0;
  }
  EXPECT_EQ(OSP_bulk_end(log.get()), 0);
}

// A run whose records do not all reach the contact file (a disk that fills
// part-way) takes back its records as well as its blocks; a run that fails
// inside the close's header write-back leaves a header that counts what the
// file holds. Either way the next open asks nothing and finds a sound log.
TEST_F(HeldAppendsTest, AFailedRunLeavesBothFilesAndHeadersAsBeforeIt) {
  const auto dbs_before = test::read_file(base_ + ".dbs");
  const auto dbr_before = test::read_file(base_ + ".dbr");
  for (const bool at_close : {false, true}) {
    SCOPED_TRACE(at_close ? "at the close" : "at the bulk end");
    OpenedLog log(base_);
    ASSERT_EQ(log.status, 0);
    ASSERT_EQ(OSP_bulk_begin(log.get()), 0);
    for (int i = 0; i < 40; ++i) {
      log->view = test::expected_view(nth(i));
      ASSERT_EQ(DB_append(log.get()), 0);
    }
    {
      test::FaultEnv faults;
      test::ScopedEnv scoped(&faults);
      faults.fail(test::Op::kWrite, 2, test::Fault::kShort);  // the records' write
      if (at_close) {
        OspreyClose(log.get(), 5);
      } else {
        EXPECT_EQ(OSP_bulk_end(log.get()), OSP_DATA_WRITE_ERROR);
        EXPECT_EQ(+log->dbs.handle.record_count, 2);
        OspreyClose(log.get(), 5);
      }
      EXPECT_EQ(faults.faults(), 1);
    }
    EXPECT_EQ(test::read_file(base_ + ".dbs").size(), dbs_before.size());
    EXPECT_EQ(test::read_file(base_ + ".dbr").size(), dbr_before.size());
    hooks_.boxes.clear();
    ASSERT_EQ(log.reopen(), 0);
    EXPECT_TRUE(hooks_.boxes.empty()) << "the counts agree: " << hooks_.boxes[0].text;
    EXPECT_EQ(+log->dbs.handle.record_count, 2);
    EXPECT_TRUE(test::log_problems(log.get()).empty());
  }
}

// An append to a second log writes the first log's run; a failure belongs to
// its log: two logs' runs fail, each written behind its log's back, and each
// log's flush says its own.
TEST_F(HeldAppendsTest, AnotherLogsAppendWritesTheRunWhoseFailureStaysWithItsLog) {
  const std::string other = dir_.file("OTHER");
  test::write_log(other, {contact("QA9ZZZ")});
  OpenedLog a(base_);
  OpenedLog b(other);
  ASSERT_EQ(a.status, 0);
  ASSERT_EQ(b.status, 0);
  ASSERT_EQ(OSP_bulk_begin(a.get()), 0);
  ASSERT_EQ(OSP_bulk_begin(b.get()), 0);
  // The platform's own size, which (unlike the library's) has nothing written first.
  const auto size = [&] { return platform::env()->size(a->dbs.handle.file); };
  const int64_t before = size();
  a->view = test::expected_view(nth(3));
  ASSERT_EQ(DB_append(a.get()), 0);
  EXPECT_EQ(size(), before) << "held";
  b->view = test::expected_view(nth(4));
  ASSERT_EQ(DB_append(b.get()), 0);
  EXPECT_GT(size(), before) << "written";
  ASSERT_EQ(OSP_flush(a.get()), 0);
  ASSERT_EQ(OSP_flush(b.get()), 0);
  ASSERT_EQ(OSP_bulk_begin(a.get()), 0);
  ASSERT_EQ(OSP_bulk_begin(b.get()), 0);
  {
    test::FaultEnv faults;
    test::ScopedEnv scoped(&faults);
    faults.fail(test::Op::kWrite, 1, test::Fault::kFail, true);
    a->view = test::expected_view(nth(0));
    ASSERT_EQ(DB_append(a.get()), 0);
    b->view = test::expected_view(nth(1));
    ASSERT_EQ(DB_append(b.get()), 0);  // writes a's run, which fails
    a->view = test::expected_view(nth(2));
    ASSERT_EQ(DB_append(a.get()), 0);  // writes b's run, which fails
  }
  EXPECT_EQ(+b->dbs.handle.record_count, 2);
  EXPECT_EQ(OSP_flush(b.get()), OSP_DATA_WRITE_ERROR);
  EXPECT_EQ(OSP_flush(a.get()), OSP_DATA_WRITE_ERROR) << "a's first run was taken back";
  EXPECT_EQ(+a->dbs.handle.record_count, 4) << "the contact after it landed";
  EXPECT_EQ(OSP_flush(a.get()), 0);
}

// With write_through the index files hold every entry when the append
// returns: a copy of the files taken then opens, without the time check,
// to indexes that agree with the contact file.
TEST_F(HeldAppendsTest, DurableAppendsLeaveIndexFilesThatHoldEveryEntry) {
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  log->write_through = 1;
  for (int i = 0; i < 60; ++i) {
    log->view = test::expected_view(nth(i));
    int32_t confirm = OSP_CONFIRM_NO_QUESTION;
    ASSERT_EQ(OSP_append(log.get(), OSP_WRITE_CONTACTS, &confirm), 0);
  }
  const std::string copy = dir_.file("COPY");
  for (const char* ext : {".dbs", ".dbr", ".mst", ".dx0", ".dx1", ".dx2", ".dx3", ".dx4"})
    test::write_file(copy + ext, test::read_file(base_ + ext));
  OpenedLog seen(copy, OSP_OPEN_VIEWER);
  ASSERT_EQ(seen.status, 0);
  EXPECT_EQ(+seen->dbs.handle.record_count, 62);
  const auto problems = test::log_problems(seen.get());
  EXPECT_TRUE(problems.empty()) << problems.front();
}

}  // namespace
}  // namespace osp
