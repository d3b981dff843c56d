// OSP_append, DB_append, OSP_flush and OSP_zap.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "log/log_paths.h"
#include "platform/env.h"
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

int32_t header_count(const std::string& path, size_t at = 4) {
  const auto b = test::read_file(path);
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24;
}

class LogAppendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hooks_.default_answer = 6;
    base_ = dir_.file("LOG");
    std::vector<test::TestContact> cs;
    for (int i = 0; i < 10; ++i)
      cs.push_back(contact("QA" + std::to_string(i) + "XYZ", i % 2 ? "1001" : "1002",
                           {i % 3 ? "R" + std::to_string(i) : "", "", ""}));
    test::write_log(base_, cs);
  }

  // Fills the view with a new contact.
  static void fill(LogHandle* log, const std::string& call, const std::string& remark) {
    test::TestContact c = contact(call, "1002", {remark, "", ""});
    log->view = test::expected_view(c);
  }

  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_;
};

TEST_F(LogAppendTest, AWordOf0WritesAtOnceAndAnyOtherAsks) {
  OpenedLog log(base_);
  fill(log.get(), "QA5XYZ", "APPENDED");
  const int64_t dbr_end = std::filesystem::file_size(base_ + ".dbr");
  int32_t word = 0;
  ASSERT_EQ(OSP_append(log.get(), kContacts, &word), 0);
  EXPECT_EQ(word, 6);
  EXPECT_TRUE(hooks_.boxes.empty());
  EXPECT_EQ(+log->dbs.handle.record_count, 11);
  EXPECT_EQ(test::header_count_of(log->dbr_header), 11);
  // The block went to the end of the remarks file; the entry for QA5XYZ
  // stands after the one already there.
  uint8_t data[57];
  ASSERT_EQ(dbf_read(&log->dbs.handle, 11, data), 0);
  EXPECT_EQ(data[53] | data[54] << 8, dbr_end);
  const auto slot0 = test::slot_entries(log.get(), 0);
  ASSERT_EQ(slot0.size(), 11u);
  EXPECT_EQ(slot0[5], (test::SlotEntry{"QA5XYZ", 6}));
  EXPECT_EQ(slot0[6], (test::SlotEntry{"QA5XYZ", 11}));
  EXPECT_EQ(test::recnos(log.get(), 1).back(), 11);

  fill(log.get(), "QA6XYZ", "");
  word = 1;
  hooks_.answer({2});
  EXPECT_EQ(OSP_append(log.get(), kContacts, &word), 0);
  EXPECT_EQ(word, 2);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_EQ(hooks_.boxes[0].caption, test::sjis("データの追加"));
  EXPECT_EQ(hooks_.boxes[0].use_active, 0);
  EXPECT_EQ(+log->dbs.handle.record_count, 11);
  word = 1;
  EXPECT_EQ(OSP_append(log.get(), kContacts, &word), 0);
  EXPECT_EQ(word, 6);
  EXPECT_EQ(+log->dbs.handle.record_count, 12);
  uint8_t no_remarks[57];
  ASSERT_EQ(dbf_read(&log->dbs.handle, 12, no_remarks), 0);
  EXPECT_EQ(no_remarks[53], 0);
  EXPECT_TRUE(test::log_problems(log.get()).empty());

  // Nothing reached the headers on disk without write-through or a flush.
  EXPECT_EQ(header_count(base_ + ".dbs"), 10);
  EXPECT_EQ(OSP_flush(log.get()), 0);
  EXPECT_EQ(header_count(base_ + ".dbs"), 12);
  EXPECT_EQ(header_count(base_ + ".dbr"), 12);
  ASSERT_EQ(log.reopen(), 0);
  EXPECT_TRUE(hooks_.boxes.size() == 2u) << "no count question";
  char key[] = "QA6XYZ";
  EXPECT_EQ(OSP_seek(log.get(), key, kContacts), 0);
}

TEST_F(LogAppendTest, WriteThroughMakesEachAppendDurable) {
  OpenedLog log(base_);
  ASSERT_EQ(log.reopen(), 0) << "the times stored";
  log->write_through = 1;
  fill(log.get(), "QA7NEW", "DURABLE");
  int32_t word = 0;
  ASSERT_EQ(OSP_append(log.get(), kContacts, &word), 0);
  EXPECT_EQ(header_count(base_ + ".dbs"), 11);
  EXPECT_EQ(header_count(base_ + ".dbr"), 11);
  // The indexes are left to the close: the contact file's time in the
  // profile is cleared, so an open after a crash rebuilds them.
  char profile[log::kPathSize];
  ASSERT_TRUE(log::profile_path(log.get(), true, profile));
  EXPECT_EQ(platform::env()->profile_int(log::kProfileSection, log::kProfileContactKey, -1, profile),
            0);
}

TEST_F(LogAppendTest, MasterAppendSetsTheMasksAndEntersAllThreeIndexes) {
  OpenedLog log(base_);
  const auto data = test::master_data(test::master("700B", "NOT COUNTED", '5', 'Z', "99"));
  std::copy(data.begin(), data.end(), log->mst_image);
  log->mst_image[38] = 0x12;
  int32_t word = 0;
  ASSERT_EQ(OSP_append(log.get(), 0, &word), 0);
  const int32_t recno = log->mst.handle.record_count;
  ASSERT_EQ(recno, 5);
  uint8_t stored[48];
  ASSERT_EQ(dbf_read(&log->mst.handle, recno, stored), 0);
  EXPECT_EQ(stored[38] | stored[39] << 8 | stored[40] << 16 | stored[41] << 24, 0x80008000);
  EXPECT_EQ(test::slot_entries(log.get(), 2).back(), (test::SlotEntry{"700B  ", 5}));
  EXPECT_EQ(test::slot_entries(log.get(), 3).back(), (test::SlotEntry{"5700B  ", 5}));
  EXPECT_EQ(test::slot_entries(log.get(), 4).back(), (test::SlotEntry{"5Z99", 5}));
  EXPECT_TRUE(test::log_problems(log.get()).empty());

  const auto plain = test::master_data(test::master("1003", "MINATO"));
  std::copy(plain.begin(), plain.end(), log->mst_image);
  log->mst_image[40] = 0x34;
  ASSERT_EQ(OSP_append(log.get(), 0, &word), 0);
  ASSERT_EQ(dbf_read(&log->mst.handle, 6, stored), 0);
  EXPECT_EQ(stored[38] | stored[39] | stored[40] | stored[41], 0) << "masks cleared";
  EXPECT_TRUE(test::log_problems(log.get()).empty());
}

TEST_F(LogAppendTest, DbAppendAddsTheContactButNoIndexEntry) {
  OpenedLog log(base_);
  fill(log.get(), "QA9NEW", "WITHOUT INDEX");
  log->write_through = 1;
  ASSERT_EQ(DB_append(log.get()), 0);
  EXPECT_EQ(+log->dbs.handle.record_count, 11);
  EXPECT_EQ(test::header_count_of(log->dbr_header), 11);
  EXPECT_EQ(test::slot_entries(log.get(), 0).size(), 10u);
  EXPECT_EQ(test::slot_entries(log.get(), 1).size(), 10u);
  EXPECT_EQ(header_count(base_ + ".dbs"), 10) << "write-through does not apply";
  ASSERT_EQ(OSP_read(log.get(), 11, 3), 0);
  EXPECT_EQ(text(log->view.remark1).substr(0, 13), "WITHOUT INDEX");
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(LogAppendTest, ZapEmptiesContactsRemarksAndTheirIndexes) {
  OpenedLog log(base_);
  OSP_zap(log.get());
  EXPECT_EQ(+log->dbs.handle.record_count, 0);
  EXPECT_EQ(test::header_count_of(log->dbr_header), 0);
  EXPECT_TRUE(test::slot_entries(log.get(), 0).empty());
  EXPECT_TRUE(test::slot_entries(log.get(), 1).empty());
  EXPECT_EQ(test::slot_entries(log.get(), 2).size(), 4u) << "masters stay";
  // Already on disk: the header says 0 before the records are gone.
  EXPECT_EQ(header_count(base_ + ".dbs"), 0);
  EXPECT_EQ(std::filesystem::file_size(base_ + ".dbr"), 256u);
  EXPECT_EQ(OSP_top(log.get(), kContacts), 15);
  hooks_.boxes.clear();

  fill(log.get(), "QA1NEW", "AFTER ZAP");
  int32_t word = 0;
  ASSERT_EQ(OSP_append(log.get(), kContacts, &word), 0);
  EXPECT_EQ(test::recnos(log.get(), 0), std::vector<int32_t>{1});
  OspreyClose(log.get(), 5);
  EXPECT_EQ(std::filesystem::file_size(base_ + ".dbs"), 449u + 58u + 1u);
  ASSERT_EQ(OspreyOpen(nullptr, log.get(), nullptr, 0, 5), 0);
  EXPECT_TRUE(hooks_.boxes.empty()) << "the counts agree";
  EXPECT_TRUE(test::log_problems(log.get()).empty());

  OSP_zap(log.get());
  OspreyClose(log.get(), 5);
  EXPECT_EQ(std::filesystem::file_size(base_ + ".dbs"), 449u + 1u);
  ASSERT_EQ(OspreyOpen(nullptr, log.get(), nullptr, 0, 5), 0);
  EXPECT_TRUE(hooks_.boxes.empty());
  EXPECT_EQ(+log->dbs.handle.record_count, 0);
  EXPECT_EQ(test::header_count_of(log->dbr_header), 0);
  EXPECT_TRUE(test::slot_entries(log.get(), 0).empty());
}

TEST_F(LogAppendTest, WritesRefuseALogThatIsNotOpen) {
  LogHandle closed{};
  closed.dbs.handle.file = -1;
  std::strcpy(closed.dbs.path, "GONE.dbs");
  int32_t word = 0;
  EXPECT_EQ(OSP_append(&closed, kContacts, &word), 5);
  EXPECT_EQ(DB_append(&closed), 5);
  LogHandle old{};
  EXPECT_EQ(OSP_update(&closed, &old, 1, kContacts, &word), 5);
  EXPECT_EQ(OSP_update(&closed, nullptr, 1, kContacts, &word), 5);
  OSP_zap(&closed);
  EXPECT_EQ(OSP_flush(&closed), 5);
  ASSERT_EQ(hooks_.boxes.size(), 3u);
  EXPECT_NE(hooks_.boxes[0].text.find("GONE.dbs"), std::string::npos);

  // Quick open: no indexes, so neither an append nor an update goes ahead;
  // DB_append needs none.
  OpenedLog quick(base_, 2);
  ASSERT_EQ(quick.status, 0);
  hooks_.boxes.clear();
  fill(quick.get(), "QA1NEW", "");
  EXPECT_EQ(OSP_append(quick.get(), kContacts, &word), 5);
  EXPECT_EQ(OSP_append(quick.get(), 0, &word), 5);
  EXPECT_EQ(+quick->dbs.handle.record_count, 10);
  EXPECT_EQ(hooks_.boxes.size(), 2u);
  EXPECT_EQ(DB_append(quick.get()), 0);
  EXPECT_EQ(+quick->dbs.handle.record_count, 11);
  OspreyClose(quick.get(), 2);
}

}  // namespace
}  // namespace osp
