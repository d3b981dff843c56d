// CopyFromMAS, DupIndexRead and Get_lupdate.
#include <gtest/gtest.h>

#include <algorithm>
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

class LogServicesTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_ = dir_.file("LOG");
};

TEST_F(LogServicesTest, CopyFromMasFillsOnlyEmptyFirstRemarksOfKnownAreas) {
  test::write_log(base_, {contact("QA1AAA", "1002", {"KEEP", "", ""}),
                          contact("QA2BBB", "100101", {"", "SECOND", ""}),
                          contact("QA3CCC", "9999"),  // no such master
                          contact("QA4DDD", ""),      // no code
                          contact("QA5EEE", "1001")});
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  EXPECT_EQ(CopyFromMAS(log.get()), 2);
  EXPECT_TRUE(hooks_.boxes.empty());
  const std::string names[5] = {"KEEP", "KOJIMACHI", "", "", "CHIYODA"};
  for (int32_t r = 1; r <= 5; ++r) {
    ASSERT_EQ(OSP_read(log.get(), r, 3), 0);
    EXPECT_EQ(text(log->view.remark1), test::padded(names[r - 1], 28)) << r;
  }
  ASSERT_EQ(OSP_read(log.get(), 2, 3), 0);
  EXPECT_EQ(text(log->view.remark2).substr(0, 7), "SECOND ");
  // The stored block holds the name without its trailing blanks.
  EXPECT_EQ(log->remark_len[0], 9);
  EXPECT_TRUE(test::log_problems(log.get()).empty());
  // Now every contact with a known area has a remark 1.
  EXPECT_EQ(CopyFromMAS(log.get()), 0);
}

TEST_F(LogServicesTest, DupIndexReadKeepsTheLast1000Matches) {
  std::vector<test::TestContact> cs;
  cs.push_back(contact("QA0AAA"));
  for (int i = 0; i < 1005; ++i) cs.push_back(contact("QA1DUP"));
  cs.push_back(contact("QA2BBB"));
  cs.push_back(contact("QA2BBB"));
  cs.push_back(contact("QA2BBB"));
  cs.push_back(contact("QA3CCC"));
  test::write_log(base_, cs);
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  std::vector<int32_t> results(1001, -1);
  EXPECT_EQ(DupIndexRead(&log->index_slot[0], "QA2BBB", results.data()), 3);
  EXPECT_EQ(results[0], 1007);
  EXPECT_EQ(results[1], 1008);
  EXPECT_EQ(results[2], 1009);
  EXPECT_EQ(std::count(results.begin() + 3, results.end(), 0), 998);

  EXPECT_EQ(DupIndexRead(&log->index_slot[0], "QA1DUP", results.data()), 1005);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(results[i], 7 + i) << i;
  EXPECT_EQ(results[1000], 0);

  EXPECT_EQ(DupIndexRead(&log->index_slot[0], "QA2BB", results.data()), 0)
      << "a shorter key takes its NUL into the comparison";
  EXPECT_EQ(DupIndexRead(&log->index_slot[0], "QA9ZZZ", results.data()), 0);
  EXPECT_EQ(results[0], 0);
  EXPECT_EQ(DupIndexRead(&log->index_slot[0], "QA1DUP", nullptr), 0);
}

TEST_F(LogServicesTest, GetLupdateFormatsTheHeaderDate) {
  const uint8_t header[8] = {0x1A, 26, 3, 7, 0, 0, 0, 0};
  EXPECT_STREQ(Get_lupdate(header), "26/03/07");
  const uint8_t old[4] = {0x03, 99, 12, 31};
  EXPECT_STREQ(Get_lupdate(old), "99/12/31");
  EXPECT_STREQ(Get_lupdate(nullptr), "");
  // Through a handle: its first bytes mirror the header.
  DbfHandle h{};
  h.update_date[0] = 5;
  h.update_date[1] = 11;
  h.update_date[2] = 30;
  EXPECT_STREQ(Get_lupdate(&h), "05/11/30");
}

}  // namespace
}  // namespace osp
