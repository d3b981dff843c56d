// OSP_update: the question and its word, the change classes, the placement
// of remark blocks, the index entries that move, the viewer, and master
// entries with their three indexes.
#include <gtest/gtest.h>

#include <filesystem>
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
using test::set_field;
using test::text;

constexpr int kContacts = OSP_WRITE_CONTACTS;

uint32_t ofs_of(const LogHandle& log) {
  const uint8_t* p = log.dbs_image + 53;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

class LogUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hooks_.default_answer = 6;
    base_ = dir_.file("LOG");
    // 1 without remarks; 2 with a block in the middle of the file; 3 with
    // the file's last block; 4 and 5 share a call sign.
    ofs_ = test::write_log(base_, {contact("QA1AAA"), contact("QA2BBB", "1002", {"ABCDEF", "", ""}),
                                   contact("QA3CCC", "100101", {"", "XYZ", "LAST"}),
                                   contact("QA4DDD"), contact("QA4DDD", "1002")});
  }

  // Reads contact recno and keeps a copy of the handle as it was.
  void edit(OpenedLog& log, int32_t recno) {
    ASSERT_EQ(OSP_read(log.get(), recno, 3), 0);
    old_ = log.log;
  }

  int64_t dbr_size() const { return std::filesystem::file_size(base_ + ".dbr"); }

  std::vector<uint8_t> dbr_bytes(uint32_t at, size_t n) const {
    const auto all = test::read_file(base_ + ".dbr");
    return std::vector<uint8_t>(all.begin() + at, all.begin() + at + static_cast<long>(n));
  }

  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_;
  std::vector<uint32_t> ofs_;
  LogHandle old_{};
};

TEST_F(LogUpdateTest, AnUnchangedViewAsksNothingAndASuppressedOneWritesNothing) {
  OpenedLog log(base_);
  edit(log, 2);
  int32_t word = 0;
  EXPECT_EQ(OSP_update(log.get(), &old_, 2, kContacts, &word), 0);
  EXPECT_TRUE(hooks_.boxes.empty());

  set_field(log->view.name, "JIRO");
  word = 16;
  const auto before = test::read_file(base_ + ".dbs");
  EXPECT_EQ(OSP_update(log.get(), &old_, 2, kContacts, &word), 0);
  EXPECT_TRUE(hooks_.boxes.empty());
  EXPECT_EQ(word, 16);
  EXPECT_EQ(test::read_file(base_ + ".dbs"), before);
}

TEST_F(LogUpdateTest, TheQuestionIsAskedOnceAndOnlyYesWrites) {
  OpenedLog log(base_);
  edit(log, 1);
  set_field(log->view.name, "JIRO");
  hooks_.answer({7});
  int32_t word = 0;
  EXPECT_EQ(OSP_update(log.get(), &old_, 1, kContacts, &word), 0);
  EXPECT_EQ(word, 7);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_EQ(hooks_.boxes[0].text, test::sjis("データを登録してよろしいですか？"));
  EXPECT_EQ(hooks_.boxes[0].caption, test::sjis("データの修正"));
  EXPECT_EQ(hooks_.boxes[0].style, 0x23u) << "Yes/No/Cancel, question icon";
  EXPECT_EQ(hooks_.boxes[0].use_active, 0) << "owner: the parent of the active window";
  ASSERT_EQ(OSP_read(log.get(), 1, 3), 0);
  EXPECT_EQ(text(log->view.name).substr(0, 4), "TARO");

  edit(log, 1);
  set_field(log->view.name, "JIRO");
  word = 1;  // bits 0-3: the active window owns the question
  EXPECT_EQ(OSP_update(log.get(), &old_, 1, kContacts, &word), 0);
  EXPECT_EQ(word, 6);
  EXPECT_EQ(hooks_.boxes.back().use_active, 1);
  ASSERT_EQ(OSP_read(log.get(), 1, 3), 0);
  EXPECT_EQ(text(log->view.name).substr(0, 4), "JIRO");
}

TEST_F(LogUpdateTest, AFrequencyChangeKeepsTheRemarkLinkAndMovesNoEntry) {
  OpenedLog log(base_);
  const auto slot0 = test::slot_entries(log.get(), 0);
  const auto slot1 = test::slot_entries(log.get(), 1);
  edit(log, 2);
  set_field(log->view.frequency, "144.50");
  const int64_t size = dbr_size();
  int32_t word = 0;
  EXPECT_EQ(OSP_update(log.get(), &old_, 2, kContacts, &word), 0);
  EXPECT_EQ(hooks_.boxes.size(), 1u);
  ASSERT_EQ(OSP_read(log.get(), 2, 3), 0);
  EXPECT_EQ(text(log->view.frequency), "144.50 ");
  EXPECT_EQ(ofs_of(log.log), ofs_[1]);
  EXPECT_EQ(text(log->view.remark1).substr(0, 6), "ABCDEF");
  EXPECT_EQ(dbr_size(), size);
  EXPECT_EQ(test::slot_entries(log.get(), 0), slot0);
  EXPECT_EQ(test::slot_entries(log.get(), 1), slot1);
}

TEST_F(LogUpdateTest, ANewCallSignMovesTheEntryBehindEveryEqualKey) {
  OpenedLog log(base_);
  edit(log, 1);
  set_field(log->view.callsign, "QA4DDD");
  set_field(log->view.code, "1002");
  int32_t word = 0;
  ASSERT_EQ(OSP_update(log.get(), &old_, 1, kContacts, &word), 0);
  EXPECT_EQ(test::recnos(log.get(), 0), (std::vector<int32_t>{2, 3, 4, 5, 1}));
  // Code 1001 (1, 4) -> 1001 (4) and 1002 (2, 5, 1).
  EXPECT_EQ(test::recnos(log.get(), 1), (std::vector<int32_t>{4, 3, 2, 5, 1}));
  EXPECT_TRUE(test::log_problems(log.get()).empty());
  // The cursor finds the record under its new key and not under the old.
  char key[] = "QA1AAA";
  EXPECT_EQ(OSP_seek(log.get(), key, kContacts), 12);
  EXPECT_EQ(OSP_idxrmv(log.get(), 1, kContacts, "QA4DDD"), 0);
  EXPECT_EQ(OSP_skip(log.get(), 1, kContacts), 12);
}

TEST_F(LogUpdateTest, RemarkBlocksGoInPlaceWhenTheyFitOrAreLastAndElseToTheEnd) {
  OpenedLog log(base_);
  const int64_t end = dbr_size();
  ASSERT_EQ(end, 256 + 9 + 10) << "blocks of contacts 2 (3 + 6) and 3 (3 + 7)";
  int32_t word = 0;

  // Contact 1 had no remarks: a 10-character remark 2 makes a 13-byte block
  // at the end.
  edit(log, 1);
  set_field(log->view.remark2, "0123456789");
  ASSERT_EQ(OSP_update(log.get(), &old_, 1, kContacts, &word), 0);
  EXPECT_EQ(ofs_of(log.log), static_cast<uint32_t>(end));
  EXPECT_EQ(dbr_size(), end + 13);
  EXPECT_EQ(dbr_bytes(static_cast<uint32_t>(end), 4), (std::vector<uint8_t>{0, 10, 0, '0'}));

  // Contact 2's block (6 text bytes) shrinks in place.
  edit(log, 2);
  set_field(log->view.remark1, "ABC");
  ASSERT_EQ(OSP_update(log.get(), &old_, 2, kContacts, &word), 0);
  EXPECT_EQ(ofs_of(log.log), ofs_[1]);
  EXPECT_EQ(dbr_size(), end + 13);
  EXPECT_EQ(dbr_bytes(ofs_[1], 6), (std::vector<uint8_t>{3, 0, 0, 'A', 'B', 'C'}));

  // Contact 1's block is now the file's last: it grows in place.
  edit(log, 1);
  set_field(log->view.remark3, "MORE");
  ASSERT_EQ(OSP_update(log.get(), &old_, 1, kContacts, &word), 0);
  EXPECT_EQ(ofs_of(log.log), static_cast<uint32_t>(end));
  EXPECT_EQ(dbr_size(), end + 17);

  // Contact 3's block is no longer last: a longer one goes to the end and
  // the old one stays unreferenced.
  edit(log, 3);
  set_field(log->view.remark1, "LONGER");
  ASSERT_EQ(OSP_update(log.get(), &old_, 3, kContacts, &word), 0);
  EXPECT_EQ(ofs_of(log.log), static_cast<uint32_t>(end + 17));
  EXPECT_EQ(dbr_size(), end + 17 + 3 + 13);
  EXPECT_EQ(dbr_bytes(ofs_[2], 3), (std::vector<uint8_t>{0, 3, 4}));
  ASSERT_EQ(OSP_read(log.get(), 3, 3), 0);
  EXPECT_EQ(text(log->view.remark1).substr(0, 7), "LONGER ");
  EXPECT_EQ(text(log->view.remark3).substr(0, 5), "LAST ");

  // Clearing every remark drops the link and writes nothing.
  edit(log, 3);
  set_field(log->view.remark1, "");
  set_field(log->view.remark2, "");
  set_field(log->view.remark3, "");
  ASSERT_EQ(OSP_update(log.get(), &old_, 3, kContacts, &word), 0);
  EXPECT_EQ(ofs_of(log.log), 0u);
  EXPECT_EQ(dbr_size(), end + 33);
  EXPECT_EQ(+log->dbr_dirty, 1);
  EXPECT_TRUE(test::log_problems(log.get()).empty());
}

TEST_F(LogUpdateTest, AWrongRecordNumberIsReportedBeforeAnythingIsWritten) {
  OpenedLog log(base_);
  edit(log, 1);
  set_field(log->view.remark1, "SOMETHING");
  const int64_t size = dbr_size();
  int32_t word = 0;
  EXPECT_EQ(OSP_update(log.get(), &old_, 6, kContacts, &word), 10);
  EXPECT_EQ(dbr_size(), size);
  ASSERT_EQ(hooks_.boxes.size(), 2u) << "the question, then the failure";
  EXPECT_NE(hooks_.boxes[1].text.find(log->dbs.path), std::string::npos);
}

TEST_F(LogUpdateTest, TheViewerEntryOfTheRecordIsRefreshed) {
  OpenedLog log(base_, 5);
  ASSERT_NE(+log->viewer, nullptr);
  ASSERT_EQ(+log->viewer_count, 5);
  edit(log, 4);
  set_field(log->view.name, "HANAKO");
  int32_t word = 0;
  ASSERT_EQ(OSP_update(log.get(), &old_, 4, kContacts, &word), 0);
  // Entry k shows contact record_count - viewer_count + k: contact 4 is k 4.
  EXPECT_EQ(text(log->viewer[4].name).substr(0, 6), "HANAKO");
  EXPECT_EQ(text(log->viewer[3].name), "");
}

TEST_F(LogUpdateTest, WriteThroughPutsTheHeadersOnDiskAtOnce) {
  OpenedLog log(base_);
  log->write_through = 1;
  edit(log, 1);
  set_field(log->view.remark1, "NEW");
  int32_t word = 0;
  ASSERT_EQ(OSP_update(log.get(), &old_, 1, kContacts, &word), 0);
  EXPECT_EQ(+log->dbr_dirty, 0);
  EXPECT_EQ(+log->dbs.handle.flags, 0);
  EXPECT_EQ(+log->index_slot[0].header_dirty, 0);
  const auto dbr = test::read_file(base_ + ".dbr");
  EXPECT_EQ(dbr[1], 26);  // the hooks' date, 2026-03-07
  EXPECT_EQ(dbr[3], 7);
}

class MasterUpdateTest : public LogUpdateTest {};

TEST_F(MasterUpdateTest, EachIndexMovesOnlyWhenItsKeyChanged) {
  OpenedLog log(base_);
  char key[] = "1002";
  ASSERT_EQ(OSP_seek(log.get(), key, 34), 0);
  const int32_t recno = log->mst.handle.current_recno;
  ASSERT_EQ(recno, 3);
  old_ = log.log;
  // A new name changes no key.
  std::memcpy(log->mst_image + 6, "KYOBASHI", 8);
  int32_t word = 0;
  EXPECT_EQ(OSP_update(log.get(), &old_, recno, 0, &word), 0);
  EXPECT_EQ(hooks_.boxes.back().use_active, 1) << "the active window owns it";
  EXPECT_EQ(hooks_.boxes.back().caption, test::sjis("データの修正"));
  EXPECT_TRUE(test::log_problems(log.get()).empty());

  // A new FLG moves the entries of slots 3 and 4; slot 4's move is returned.
  old_ = log.log;
  log->mst_image[34] = '0';
  EXPECT_EQ(OSP_update(log.get(), &old_, recno, 0, &word), 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(old_.mst_image), 7), "31002  ")
      << "the old copy's first bytes are its FLG and CODE";
  EXPECT_EQ(test::recnos(log.get(), 3).front(), 3);
  EXPECT_EQ(test::slot_entries(log.get(), 4).front(), (test::SlotEntry{"0A05", 3}));
  EXPECT_TRUE(test::log_problems(log.get()).empty());

  // A new code from 5 with a fourth character above 'A' takes no part.
  ASSERT_EQ(OSP_seek(log.get(), key, 34), 0);
  old_ = log.log;
  std::memcpy(log->mst_image, "500C  ", 6);
  EXPECT_EQ(OSP_update(log.get(), &old_, recno, 0, &word), 0);
  uint8_t stored[48];
  ASSERT_EQ(dbf_read(&log->mst.handle, recno, stored), 0);
  EXPECT_EQ(stored[38] | stored[39] << 8, 0x8000);
  EXPECT_EQ(stored[40] | stored[41] << 8, 0x8000);
  char moved[] = "500C";
  EXPECT_EQ(OSP_seek(log.get(), moved, 34), 0);
  EXPECT_TRUE(test::log_problems(log.get()).empty());
}

}  // namespace
}  // namespace osp
