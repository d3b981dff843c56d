// Text_QFRappend: fixed-column contact lines appended to an open log.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::OpenedLog;

// A contact line: the fields at their columns, the rest blank; 219 bytes.
std::string contact_line(const std::string& date_time_zone, const std::string& remark1 = "",
                         const std::string& remark3 = "") {
  std::string line(219, ' ');
  auto at = [&line](size_t column, const std::string& s) { line.replace(column, s.size(), s); };
  at(0, "QA1ABC/");
  at(10, "1001");
  at(16, "PM95");
  at(22, "7.050");
  at(29, "CW");
  at(32, "TARO");
  at(44, "JY ");
  at(47, date_time_zone);  // yymmddhhmmZ
  at(58, "599");
  at(61, "57 ");
  at(64, remark1);
  at(146, remark3);
  return line;
}

class ContactLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hooks_.default_answer = 6;
    test::write_log(base_, {test::contact("QA9ZZZ")});
  }

  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_ = dir_.file("LOG");
};

TEST_F(ContactLineTest, TheLineBecomesTheLastContact) {
  struct Case {
    std::string when;  // yymmddhhmmZ
    uint8_t year_byte;
    uint8_t minute_byte;
    std::string remark1, remark3;
    std::string date, time;  // as the view shows them
  };
  const Case cases[] = {
      {"030507210" "5U", 0x83, 0x85, "", "", "03/05/07", "21:05U"},
      {"991231235" "9J", 0x63, 59, "MOBILE", "TNX QSO", "99/12/31", "23:59J"},
      {"510101000" "0X", 0xB3, 0x80, "", "LAST", "51/01/01", "00:00U"},
  };
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  int32_t recno = 1;
  for (const Case& c : cases) {
    const std::string line = contact_line(c.when, c.remark1, c.remark3);
    const std::string before = line;
    const auto dbr_size = test::read_file(base_ + ".dbr").size();
    ASSERT_EQ(Text_QFRappend(log.get(), line.c_str()), 0);
    EXPECT_EQ(line, before);  // the caller's line is left as it was
    ++recno;
    const uint8_t* d = log->dbs_image;
    EXPECT_EQ(d[44], c.year_byte) << c.when;
    EXPECT_EQ(d[48], c.minute_byte) << c.when;
    uint32_t ofs = 0;
    std::memcpy(&ofs, d + 53, 4);
    const bool remarks = !c.remark1.empty() || !c.remark3.empty();
    EXPECT_EQ(ofs, remarks ? dbr_size : 0u);

    ASSERT_EQ(OSP_read(log.get(), recno, 3), 0);
    EXPECT_EQ(test::text(log->view.callsign), "QA1ABC/");
    EXPECT_EQ(test::text(log->view.code), "1001  ");
    EXPECT_EQ(test::text(log->view.frequency), "7.050  ");
    EXPECT_EQ(test::text(log->view.date), c.date);
    EXPECT_EQ(test::text(log->view.time), c.time);
    EXPECT_EQ(test::text(log->view.his_report), "599");
    EXPECT_EQ(test::text(log->view.my_report), "57 ");
    EXPECT_EQ(test::text(log->view.qsl), "JY ");
    EXPECT_EQ(test::text(log->view.remark1), test::padded(c.remark1, 28));
    EXPECT_EQ(test::text(log->view.remark3), test::padded(c.remark3, 54));
  }
  EXPECT_EQ(dbf_rcount(&log->dbs.handle), 4);
  EXPECT_TRUE(hooks_.boxes.empty());
}

// The record takes the line's columns as they stand: no view packing, so a
// kind-3 code keeps its fourth character and a frequency is not tidied
// before it is packed.
TEST_F(ContactLineTest, TheRecordHoldsTheColumnsAsWritten) {
  struct Case {
    std::string code;       // columns 10-15
    std::string frequency;  // columns 22-28
    std::string name;       // columns 32-43
    std::string freq_bytes;  // FREQ as stored
    std::string freq_view;   // the frequency as read back
  };
  const std::string packed_1200 = {'\x80', '\x4F', '\x12', '\xA4'};  // 1200000, L 4, P 4
  const std::string packed_14450 = {'\xF4', '\xFA', '\x15', '\xAB'};  // 1440500, L 5, P 3
  const Case cases[] = {
      {"5000  ", "7.050  ", "TARO        ", {'\x48', '\xE3', '\x6A', '\xA1'}, "7.050  "},
      {"500   ", "430.   ", "taro        ", "430.", "430.   "},
      {"430   ", "1200.  ", "TA" + std::string(1, '\0') + "O        ", packed_1200, "1200.  "},
      {"5000A ", "144.50 ", "JIRO        ", packed_14450, "144.50 "},
      {"    99", "1.9    ", "            ", "1.9 ", "1.9    "},
  };
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  int32_t recno = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code + "|" + c.frequency);
    std::string line = contact_line("0305072105U");
    line.replace(10, 6, c.code);
    line.replace(22, 7, c.frequency);
    line.replace(32, 12, c.name);
    ASSERT_EQ(Text_QFRappend(log.get(), line.c_str()), 0);
    ASSERT_EQ(OSP_read(log.get(), ++recno, 3), 0);
    const auto stored = [&log](int32_t at, size_t width) {
      return std::string(reinterpret_cast<const char*>(log->dbs_image) + at, width);
    };
    EXPECT_EQ(stored(0, 22), line.substr(0, 22));  // CALLS, IGN, POTBL, CODE, GL
    EXPECT_EQ(stored(22, 4), c.freq_bytes);
    EXPECT_EQ(stored(26, 18), line.substr(29, 18));  // MODE, NAME, QSL
    EXPECT_EQ(test::text(log->view.code), c.code);
    EXPECT_EQ(test::text(log->view.frequency), c.freq_view);
  }
}

TEST_F(ContactLineTest, AFailedRecordAppendTakesTheRemarkBlockBack) {
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  const auto dbr_before = test::read_file(base_ + ".dbr");
  {
    test::FaultEnv env;
    test::ScopedEnv scoped(&env);
    env.fail(test::Op::kWrite, 2, test::Fault::kShort);  // the block goes, the record not
    EXPECT_EQ(Text_QFRappend(log.get(), contact_line("0305072105U", "NEVER STORED").c_str()), 22);
  }
  EXPECT_EQ(dbf_rcount(&log->dbs.handle), 1);
  ASSERT_EQ(hooks_.boxes.size(), 1u);  // the record append, with the contact file's path
  hooks_.boxes.clear();
  ASSERT_EQ(log.reopen(), 0);
  EXPECT_TRUE(hooks_.boxes.empty()) << "the counts of the contact and remarks files disagree";
  EXPECT_EQ(test::read_file(base_ + ".dbr").size(), dbr_before.size());
}

}  // namespace
}  // namespace osp
