// QSL_Send, QSL_Rcv and StrToLong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/hooks_fixture.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::OpenedLog;

class QslMarkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<test::TestContact> cs;
    for (int i = 0; i < 6; ++i) cs.push_back(test::contact("QA" + std::to_string(i) + "AAA"));
    test::write_log(base_, cs);
  }
  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_ = dir_.file("LOG");
};

// Each mark lands on exactly one byte of the file; the handle's image and
// view keep what they held.
TEST_F(QslMarkTest, AMarkChangesOneByteOfTheContactFile) {
  struct Case {
    int32_t(OSPAPI* write)(LogHandle*, int32_t, int32_t);
    int32_t recno;
    int32_t mark;
    size_t record_byte;
  };
  const Case cases[] = {{&QSL_Rcv, 5, 'Y', 44}, {&QSL_Send, 1, 'Y', 43},
                        {&QSL_Send, 6, 0x1234 | 'N', 43}, {&QSL_Rcv, 3, ' ', 44}};
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  for (const Case& c : cases) {
    ASSERT_EQ(OSP_read(log.get(), 2, 3), 0);
    const LogHandle before = log.log;
    const std::vector<uint8_t> old = test::read_file(base_ + ".dbs");
    EXPECT_EQ(c.write(log.get(), c.recno, c.mark), 0);
    OSP_flush(log.get());
    std::vector<uint8_t> now = test::read_file(base_ + ".dbs");
    const size_t at = 449 + 58 * static_cast<size_t>(c.recno - 1) + c.record_byte;
    EXPECT_EQ(now[at], static_cast<uint8_t>(c.mark & 0xFF));
    now[at] = old[at];
    for (size_t i = 1; i < 4; ++i) now[i] = old[i];  // the header's date
    EXPECT_EQ(now, old);
    EXPECT_EQ(std::memcmp(&before.view, &log->view, sizeof before.view), 0);
    EXPECT_EQ(std::memcmp(before.dbs_image, log->dbs_image, 57), 0);
  }
  EXPECT_TRUE(hooks_.boxes.empty());
}

// A failure is reported with the contact file's path and returned.
TEST_F(QslMarkTest, ARecordOutsideTheFileIsReportedAndReturned) {
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  const std::vector<uint8_t> old = test::read_file(base_ + ".dbs");
  EXPECT_EQ(QSL_Send(log.get(), 0, 'Y'), 11);
  EXPECT_EQ(QSL_Rcv(log.get(), 7, 'Y'), 10);
  ASSERT_EQ(hooks_.boxes.size(), 2u);
  for (const test::CapturedBox& box : hooks_.boxes) {
    EXPECT_NE(box.text.find(test::sjis("なんらかのエラー発生")), std::string::npos);
    EXPECT_NE(box.text.find(base_ + ".dbs"), std::string::npos);
  }
  OspreyClose(log.get(), 5);
  EXPECT_EQ(test::read_file(base_ + ".dbs"), old);
}

TEST(StrToLongTest, ReadsDecimalTextAsTheLogDoes) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {" \t-42abc", -42}, {"+ 5", 0},      {"12.5", 12},         {"", 0},
      {"4294967297", 1},  {"2147483648", INT32_MIN}, {"-2147483648", INT32_MIN},
      {"  +007", 7},      {"--3", 0},      {"\n5", 0},           {"1234567", 1234567},
  };
  for (const auto& c : cases) EXPECT_EQ(StrToLong(c.text), c.value) << '"' << c.text << '"';
  EXPECT_EQ(StrToLong(nullptr), 0);
}

}  // namespace
}  // namespace osp
