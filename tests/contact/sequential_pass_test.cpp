// DBS_Xread against OSP_read with both options: the same record, remark
// block and view for every contact, across batch edges and window edges,
// on whole and on short files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "contact/sequential_pass.h"
#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"
#include "support/log_file_builder.h"
#include "support/log_generator.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::OpenedLog;

constexpr int32_t kQuickOpen = 2;

// What a delivery leaves in the handle: the record, the block and the view.
struct Delivered {
  std::vector<uint8_t> image;
  std::vector<uint8_t> lengths;
  std::string remarks;  // the text the lengths cover
  ContactView view;

  explicit Delivered(const LogHandle& log)
      : image(log.dbs_image, log.dbs_image + 57),
        lengths(log.remark_len, log.remark_len + 3),
        remarks(log.remark_text, std::min<size_t>(136, static_cast<size_t>(log.remark_len[0]) +
                                                           log.remark_len[1] + log.remark_len[2])),
        view(log.view) {}
};

// Drives a pass from current_recno start and holds each delivery against
// OSP_read of the same record. Returns the number delivered.
int32_t compare_pass(LogHandle* log, int32_t start) {
  log->dbs.handle.current_recno = start;
  int32_t delivered = 0;
  int32_t r = 0;
  while ((r = DBS_Xread(log)) == 0) {
    const int32_t recno = log->dbs.handle.current_recno;
    EXPECT_EQ(recno, start + delivered + 1);
    const Delivered fast(*log);
    EXPECT_EQ(OSP_read(log, recno, 3), 0);
    const Delivered slow(*log);
    EXPECT_EQ(fast.image, slow.image) << "record " << recno;
    EXPECT_EQ(fast.lengths, slow.lengths) << "record " << recno;
    EXPECT_EQ(fast.remarks, slow.remarks) << "record " << recno;
    const std::string d = test::view_difference(fast.view, slow.view);
    EXPECT_TRUE(d.empty()) << "record " << recno << ": " << d;
    if (::testing::Test::HasFailure()) break;
    ++delivered;
  }
  EXPECT_EQ(r, 10);
  EXPECT_EQ(int32_t{log->dbs.handle.current_recno}, log->dbs.handle.record_count + 1);
  EXPECT_EQ(contact::active_pass_count(), 0);
  return delivered;
}

class SequentialPassTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_ = dir_.file("LOG");
};

// One generated log of 10^5 contacts, passes begun at several records: the
// earlier a pass begins, the more of the remarks file its window spans.
TEST_F(SequentialPassTest, EqualsTheCursorOnAGeneratedLog) {
  constexpr int32_t kCount = 100000;
  test::write_generated_log(base_, kCount, 4242);
  OpenedLog log(base_, kQuickOpen);
  ASSERT_EQ(log.status, 0);
  for (int32_t start : {0, 1999, 2000, 61234, kCount - 2001, kCount - 1}) {
    SCOPED_TRACE(start);
    EXPECT_EQ(compare_pass(log.get(), start), kCount - start);
    if (HasFailure()) return;
  }
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(SequentialPassTest, ReadsOneBatchPer2000ContactsAndTheWindowOnce) {
  test::write_generated_log(base_, 4500, 7);
  OpenedLog log(base_, kQuickOpen);
  ASSERT_EQ(log.status, 0);
  test::FaultEnv env;
  test::ScopedEnv scoped(&env);
  log->dbs.handle.current_recno = 0;
  for (int i = 0; i < 4500; ++i) ASSERT_EQ(DBS_Xread(log.get()), 0);
  // Three batches (records 1, 2001, 4001), the window, and one read of the
  // lengths and one of the text for each block that lies before the window.
  const int reads = env.calls(test::Op::kRead);
  EXPECT_GE(reads, 4);
  EXPECT_LT(reads, 4 + 2 * 40);
  EXPECT_EQ(DBS_Xread(log.get()), 10);
  EXPECT_EQ(env.live_bytes(), 0u);
}

TEST_F(SequentialPassTest, AnEmptyLogEndsAtOnceAndAllocatesNothing) {
  test::write_log(base_, {});
  OpenedLog log(base_, kQuickOpen);
  ASSERT_EQ(log.status, 0);
  test::FaultEnv env;
  test::ScopedEnv scoped(&env);
  log->dbs.handle.current_recno = 0;
  EXPECT_EQ(DBS_Xread(log.get()), 10);
  EXPECT_EQ(env.calls(test::Op::kAllocate), 0);
  EXPECT_EQ(int32_t{log->dbs.handle.current_recno}, 1);
}

// Blocks of 29, 0, 0 (too long a first remark), a link of 0 and a block
// at the very end of the file, once with the window over the whole file.
TEST_F(SequentialPassTest, DamagedAndMissingBlocksGiveWhatTheCursorGives) {
  test::ContactFileBuilder b;
  b.add(test::contact("QA1AAA", "1001", {"FIRST", "", ""}));
  b.add(test::contact("QA2BBB"));  // OFS 0
  const uint32_t bad = b.add_remark_bytes({29, 0, 0});
  b.add_linked(test::contact("QA3CCC"), bad);
  b.add_linked(test::contact("QA4DDD"), 100);  // inside the header
  b.add(test::contact("QA5EEE", "1001", {"", "", "LAST"}));
  b.write_log(base_);
  OpenedLog log(base_, kQuickOpen);
  ASSERT_EQ(log.status, 0);
  EXPECT_EQ(compare_pass(log.get(), 0), 5);
  log->dbs.handle.current_recno = 2;
  ASSERT_EQ(DBS_Xread(log.get()), 0);
  EXPECT_EQ(test::text(log->view.remark1), std::string(28, ' '));
  EXPECT_EQ(log->remark_len[0], 0);
  OspreyClose(log.get(), kQuickOpen);
  EXPECT_EQ(contact::active_pass_count(), 0);
}

// A contact file shorter than its count: the records really read are
// delivered, the first one missing ends the pass with 21 (reported), and
// nothing of an earlier batch is passed off as a record.
TEST_F(SequentialPassTest, AShortContactFileEndsThePassAtTheFirstMissingRecord) {
  test::write_generated_log(base_, 2500, 11);
  const std::string dbs = base_ + ".dbs";
  std::vector<uint8_t> bytes = test::read_file(dbs);
  bytes.resize(449 + 58 * 2200 + 30);  // record 2201 cut in its middle
  test::write_file(dbs, bytes);
  OpenedLog log(base_, kQuickOpen);
  ASSERT_EQ(log.status, 0);
  ASSERT_EQ(int32_t{log->dbs.handle.record_count}, 2500);
  log->dbs.handle.current_recno = 0;
  int32_t r = 0;
  int32_t n = 0;
  while ((r = DBS_Xread(log.get())) == 0) ++n;
  EXPECT_EQ(r, 21);
  EXPECT_EQ(n, 2200);
  EXPECT_EQ(contact::active_pass_count(), 0);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_NE(hooks_.boxes[0].text.find(dbs), std::string::npos);
}

// A remarks file cut short: blocks in the window past the bytes read are
// read directly and come out as the cursor gives them (no stale bytes).
TEST_F(SequentialPassTest, AShortRemarksFileNeverDeliversStaleBytes) {
  test::write_generated_log(base_, 3000, 13);
  const std::string dbr = base_ + ".dbr";
  std::vector<uint8_t> bytes = test::read_file(dbr);
  bytes.resize(bytes.size() - 700);
  test::write_file(dbr, bytes);
  OpenedLog log(base_, kQuickOpen);
  ASSERT_EQ(log.status, 0);
  EXPECT_EQ(compare_pass(log.get(), 0), 3000);
  EXPECT_EQ(compare_pass(log.get(), 2900), 100);
}

TEST_F(SequentialPassTest, PassesOverTwoLogsDoNotMixAndCloseReleasesThem) {
  test::write_generated_log(base_, 2100, 1);
  const std::string other = dir_.file("OTHER");
  test::write_generated_log(other, 2100, 2);
  std::vector<std::vector<uint8_t>> want[2];
  {
    OpenedLog a(base_, kQuickOpen);
    OpenedLog b(other, kQuickOpen);
    ASSERT_EQ(a.status, 0);
    ASSERT_EQ(b.status, 0);
    LogHandle* logs[2] = {a.get(), b.get()};
    for (int i = 0; i < 2; ++i) {
      for (int32_t r = 1; r <= 2100; ++r) {
        ASSERT_EQ(OSP_read(logs[i], r, 3), 0);
        want[i].emplace_back(logs[i]->dbs_image, logs[i]->dbs_image + 57);
      }
      logs[i]->dbs.handle.current_recno = 0;
    }
    for (size_t r = 0; r < 2100; ++r) {
      for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(DBS_Xread(logs[i]), 0);
        ASSERT_EQ(std::vector<uint8_t>(logs[i]->dbs_image, logs[i]->dbs_image + 57), want[i][r])
            << "log " << i << " record " << r + 1;
      }
    }
    EXPECT_EQ(contact::active_pass_count(), 2);
  }
  EXPECT_EQ(contact::active_pass_count(), 0);
}

// Moving current_recno during a pass reads a fresh batch from there.
TEST_F(SequentialPassTest, AMovedRecordNumberIsHonoured) {
  test::write_generated_log(base_, 300, 3);
  OpenedLog log(base_, kQuickOpen);
  ASSERT_EQ(log.status, 0);
  log->dbs.handle.current_recno = 0;
  ASSERT_EQ(DBS_Xread(log.get()), 0);
  ASSERT_EQ(OSP_read(log.get(), 200, 3), 0);
  const std::vector<uint8_t> want(log->dbs_image, log->dbs_image + 57);
  log->dbs.handle.current_recno = 199;
  ASSERT_EQ(DBS_Xread(log.get()), 0);
  EXPECT_EQ(std::vector<uint8_t>(log->dbs_image, log->dbs_image + 57), want);
  OspreyClose(log.get(), kQuickOpen);
}

TEST_F(SequentialPassTest, NoMemoryIsReportedAndLeavesThePassIdle) {
  test::write_generated_log(base_, 50, 5);
  OpenedLog log(base_, kQuickOpen);
  ASSERT_EQ(log.status, 0);
  for (int nth : {1, 2, 3}) {  // the state, the batch, the window
    SCOPED_TRACE(nth);
    test::FaultEnv env;
    test::ScopedEnv scoped(&env);
    env.fail(test::Op::kAllocate, nth);
    hooks_.boxes.clear();
    log->dbs.handle.current_recno = 0;
    EXPECT_EQ(DBS_Xread(log.get()), 6);
    EXPECT_EQ(env.live_bytes(), 0u);
    EXPECT_EQ(contact::active_pass_count(), 0);
    ASSERT_EQ(hooks_.boxes.size(), 1u);
    EXPECT_NE(hooks_.boxes[0].text.find(test::sjis("メモリーが確保できない")), std::string::npos);
    EXPECT_NE(hooks_.boxes[0].text.find(base_ + ".dbs"), std::string::npos);
  }
}

}  // namespace
}  // namespace osp
