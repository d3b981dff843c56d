// The log cursor: record order and index order, the key check, seeks that
// tell of a duplicate, putting a slot's cursor on a known entry, and the
// refusal of a log that is not open.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/hooks_fixture.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::contact;
using test::OpenedLog;
using test::text;

constexpr int kByCall = OSP_MODE_CONTACTS_BY_CALL;
constexpr int kByCode = OSP_MODE_CONTACTS_BY_CODE;
constexpr int kRecordOrder = OSP_MODE_CONTACTS_IN_RECORD_ORDER;
constexpr int kMastersByCode = OSP_MODE_MASTERS_BY_CODE;
constexpr int kMastersByFlgCode = 35;

class LogCursorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = dir_.file("LOG");
    // Records 1-12; QA1AAA stands at 4, 9 and 12, QA2BBB at 2 and 7.
    std::vector<test::TestContact> cs;
    const char* calls[12] = {"QA1ZZZ", "QA2BBB", "QA3CCC", "QA1AAA", "QA5EEE", "QA6FFF",
                             "QA2BBB", "QA8HHH", "QA1AAA", "QA9JJJ", "QA0KKK", "QA1AAA"};
    for (int i = 0; i < 12; ++i) {
      cs.push_back(contact(calls[i], i % 2 == 0 ? "1001" : "100101",
                           {"NOTE " + std::to_string(i + 1), "", ""}));
    }
    auto masters = test::plain_masters();
    masters.push_back(test::master("6001", "ONE", '6'));
    masters.push_back(test::master("600B", "BEE", '7'));
    masters.push_back(test::master("600A", "AY", '8'));
    test::write_log(base_, cs, masters);
  }

  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_;
};

TEST_F(LogCursorTest, RecordOrderRunsPastTheEndSilentlyAndStepsBack) {
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  ASSERT_EQ(OSP_btm(log.get(), kRecordOrder), 0);
  EXPECT_EQ(text(log->view.callsign), "QA1AAA ");
  EXPECT_EQ(OSP_skip(log.get(), 1, kRecordOrder), 10);
  EXPECT_EQ(+log->dbs.handle.current_recno, 13);
  EXPECT_EQ(OSP_skip(log.get(), -1, kRecordOrder), 0);
  EXPECT_EQ(+log->dbs.handle.current_recno, 12);
  EXPECT_EQ(text(log->view.remark1).substr(0, 7), "NOTE 12");
  ASSERT_EQ(OSP_top(log.get(), kRecordOrder), 0);
  EXPECT_EQ(OSP_skip(log.get(), -1, kRecordOrder), 11);
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(LogCursorTest, IndexOrderOffTheEndLoadsNothing) {
  OpenedLog log(base_);
  char key[] = "QA8HHH";
  ASSERT_EQ(OSP_seek(log.get(), key, kByCall), 0);
  const ContactView before = log->view;
  // QA9JJJ follows, then nothing: three steps run off the end.
  EXPECT_EQ(OSP_skip(log.get(), 3, kByCall), 12);
  EXPECT_EQ(std::memcmp(&log->view, &before, sizeof before), 0);
  ASSERT_EQ(OSP_top(log.get(), kByCall), 0);
  EXPECT_EQ(text(log->view.callsign), "QA0KKK ");
  EXPECT_EQ(OSP_skip(log.get(), -1, kByCall), 13);
  // A walk in index order gives equal keys in record order.
  ASSERT_EQ(OSP_top(log.get(), kByCall), 0);
  std::vector<int32_t> order{+log->dbs.handle.current_recno};
  while (OSP_skip(log.get(), 1, kByCall) == 0) order.push_back(+log->dbs.handle.current_recno);
  EXPECT_EQ(order, (std::vector<int32_t>{11, 4, 9, 12, 1, 2, 7, 3, 5, 6, 8, 10}));
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(LogCursorTest, SeekTellsOfADuplicateByBeepAndEmptiedKey) {
  OpenedLog log(base_);
  char twice[] = "QA2BBB";
  ASSERT_EQ(OSP_seek(log.get(), twice, 512 + kByCall), 0);
  EXPECT_EQ(+log->dbs.handle.current_recno, 2);
  EXPECT_EQ(twice[0], '\0');
  EXPECT_EQ(hooks_.beeps, std::vector<uint32_t>{0xFFFF});
  // The index cursor stayed on the found entry.
  ASSERT_EQ(OSP_skip(log.get(), 1, kByCall), 0);
  EXPECT_EQ(+log->dbs.handle.current_recno, 7);

  char once[] = "QA5EEE";
  ASSERT_EQ(OSP_seek(log.get(), once, 512 + kByCall), 0);
  EXPECT_STREQ(once, "QA5EEE");
  EXPECT_EQ(hooks_.beeps.size(), 1u);
  // The last entry: no next one, the cursor goes back to it.
  char last[] = "QA9JJJ";
  ASSERT_EQ(OSP_seek(log.get(), last, 512 + kByCall), 0);
  EXPECT_STREQ(last, "QA9JJJ");
  EXPECT_EQ(OSP_skip(log.get(), -1, kByCall), 0);
  EXPECT_EQ(text(log->view.callsign), "QA8HHH ");

  char missing[] = "QA7";
  EXPECT_EQ(OSP_seek(log.get(), missing, kByCall), 12);
  EXPECT_TRUE(hooks_.boxes.empty()) << "no entry is not reported";
}

TEST_F(LogCursorTest, IdxrmvPutsTheCursorOnTheRecordsEntry) {
  OpenedLog log(base_);
  EXPECT_EQ(OSP_idxrmv(log.get(), 9, kByCall, "QA1AAA"), 0);
  ASSERT_EQ(OSP_skip(log.get(), 1, kByCall), 0);
  EXPECT_EQ(+log->dbs.handle.current_recno, 12);
  EXPECT_EQ(OSP_idxrmv(log.get(), 5, kByCall, "QA1AAA"), 12);
  EXPECT_EQ(OSP_idxrmv(log.get(), 4, kByCall, "QA1AAA"), 0);
  EXPECT_STREQ(Idx_ReadKey(log.get(), 0), "QA1AAA");
  EXPECT_EQ(OSP_idxrmv(log.get(), 0, kByCall, "QA1AAA"), 12);
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(LogCursorTest, SeekChecksOnlyTheCallersKeyAndReadKeyShowsTheEntry) {
  OpenedLog log(base_);
  char prefix[] = "1001";
  ASSERT_EQ(OSP_seek(log.get(), prefix, kMastersByCode), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(log->mst_image), 6), "1001  ");
  const std::string key = Idx_ReadKey(log.get(), 2);
  EXPECT_EQ(key, "1001  ");
  char code[] = "100101";
  ASSERT_EQ(OSP_seek(log.get(), code, kByCode), 0);
  EXPECT_EQ(+log->dbs.handle.current_recno, 2);
  EXPECT_EQ(std::string(Idx_ReadKey(log.get(), 1)), "100101");
  EXPECT_EQ(std::string(Idx_ReadKey(log.get(), 6)), "") << "slots 6 and 7 do not exist";
  EXPECT_EQ(std::string(Idx_ReadKey(nullptr, 0)), "");
}

TEST_F(LogCursorTest, ARecordChangedBehindTheIndexIsFoundByTheKeyCheck) {
  OpenedLog log(base_);
  ASSERT_EQ(OSP_top(log.get(), kByCall), 0);
  const ContactView before = log->view;
  // Record 4 (the entry after QA0KKK) gets another call sign directly.
  ASSERT_EQ(dbf_write2(&log->dbs.handle, 4, "QB", 1, 2), 0);
  EXPECT_EQ(OSP_skip(log.get(), 1, kByCall), 15);
  EXPECT_EQ(std::memcmp(&log->view, &before, sizeof before), 0) << "the view is not unpacked";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(log->dbs_image), 6), "QB1AAA");
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_NE(hooks_.boxes[0].text.find(test::sjis("インデックスの再構築が必要")), std::string::npos);
  EXPECT_NE(hooks_.boxes[0].text.find(log->dbs.path), std::string::npos);
  // Without the check (mode 80 = 64 + 16) the record loads.
  ASSERT_EQ(OSP_top(log.get(), kByCall), 0);
  EXPECT_EQ(OSP_skip(log.get(), 1, 64 + kByCall), 0);
  EXPECT_EQ(text(log->view.callsign), "QB1AAA ");
  // Neither does a seek for the key the record no longer carries pass.
  char stale[] = "QA1AAA";
  EXPECT_EQ(OSP_seek(log.get(), stale, kByCall), 15);
}

TEST_F(LogCursorTest, PassingLetteredEntriesSkipsThoseAboveA) {
  OpenedLog log(base_);
  // Slot 3 order: 1100101, 11001, 12501, 21001, 31002, 66001, 7600B, 8600A.
  char key[] = "31002";
  ASSERT_EQ(OSP_seek(log.get(), key, kMastersByFlgCode), 0);
  ASSERT_EQ(OSP_skip(log.get(), 1, 256 + 3), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(log->mst_image), 6), "6001  ");
  ASSERT_EQ(OSP_skip(log.get(), 1, 256 + 3), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(log->mst_image), 6), "600A  ");
  EXPECT_EQ(OSP_skip(log.get(), 1, 256 + 3), 12);
}

TEST_F(LogCursorTest, ReadUnpacksWithTheCallersOptionsAndBit64KeepsTheRemarkBuffer) {
  OpenedLog log(base_);
  ASSERT_EQ(OSP_read(log.get(), 3, 3), 0);
  EXPECT_EQ(text(log->view.remark1).substr(0, 7), "NOTE 3 ");
  EXPECT_EQ(text(log->view.date), "03/05/07");
  ASSERT_EQ(OSP_read(log.get(), 5, 0), 0);
  EXPECT_EQ(text(log->view.remark1), std::string(28, ' '));
  EXPECT_EQ(text(log->view.date), "030507");
  EXPECT_EQ(OSP_read(log.get(), 13, 3), 10);
  EXPECT_EQ(OSP_read(log.get(), 0, 3), 11);
  // Bit 64: the remark buffer still holds record 3's block (read above).
  ASSERT_EQ(OSP_read(log.get(), 3, 3), 0);
  char key[] = "QA6FFF";
  ASSERT_EQ(OSP_seek(log.get(), key, 64 + kByCall), 0);
  EXPECT_EQ(text(log->view.remark1).substr(0, 7), "NOTE 3 ");
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(LogCursorTest, EntriesOutsideTheFileAndEmptyFilesGive15) {
  OpenedLog log(base_);
  // The index holds 12 entries; the file now counts 10.
  log->dbs.handle.record_count = 10;
  char key[] = "QA0KKK";
  EXPECT_EQ(OSP_seek(log.get(), key, kByCall), 15);
  EXPECT_EQ(OSP_btm(log.get(), kByCode), 15);
  log->dbs.handle.record_count = 0;
  EXPECT_EQ(OSP_top(log.get(), kRecordOrder), 15);
  EXPECT_EQ(OSP_btm(log.get(), kRecordOrder), 15);
  EXPECT_EQ(hooks_.boxes.size(), 4u) << "every one reported";
  log->dbs.handle.record_count = 12;
}

TEST_F(LogCursorTest, ALogThatIsNotOpenIsRefusedWith5) {
  LogHandle closed{};
  closed.dbs.handle.file = -1;
  std::strcpy(closed.dbs.path, "NOWHERE.dbs");
  EXPECT_EQ(OSP_read(&closed, 1, 3), 5);
  EXPECT_EQ(OSP_top(&closed, kByCall), 5);
  char key[] = "A";
  EXPECT_EQ(OSP_seek(&closed, key, kByCall), 5);
  ASSERT_EQ(hooks_.boxes.size(), 3u);
  EXPECT_NE(hooks_.boxes[0].text.find("NOWHERE.dbs"), std::string::npos);
  LogHandle never{};  // all zero: handle 0 is not a file
  EXPECT_EQ(OSP_skip(&never, 1, kRecordOrder), 5);
  EXPECT_EQ(OSP_read(nullptr, 1, 3), 5);

  // Quick open: the master file and the indexes are not open.
  OpenedLog quick(base_, 2);
  ASSERT_EQ(quick.status, 0);
  EXPECT_EQ(OSP_read(quick.get(), 1, 3), 0);
  EXPECT_EQ(OSP_top(quick.get(), kMastersByCode), 5);
  EXPECT_EQ(OSP_top(quick.get(), kByCall), 5);
  EXPECT_EQ(OSP_skip(quick.get(), 1, kRecordOrder), 0);
  OspreyClose(quick.get(), 2);
}

}  // namespace
}  // namespace osp
