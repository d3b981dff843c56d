// Record files whose header counts more records than the file holds (or a
// negative number of them): reads of the missing records give 21, and no
// write, append, pack or header write-back makes the file grow or reach
// where the missing records would be.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "dbf/record_file.h"
#include "frame/bytes.h"
#include "osprey32.h"
#include "support/hooks_fixture.h"
#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

constexpr int kRealRecords = 5;

class LyingCountTest : public ::testing::TestWithParam<int32_t> {
 protected:
  void SetUp() override {
    path_ = dir_.file("LOG.dbs");
    test::RecordFileBuilder b = test::RecordFileBuilder::contacts();
    for (int i = 1; i <= kRealRecords; ++i) b.add({"JA" + std::to_string(i)}, i == 2);
    b.claim_record_count(GetParam());
    test::write_file(path_, b.bytes());
    original_ = test::read_file(path_);
    ASSERT_EQ(dbf_open(path_.c_str(), &h_), 0) << "such a file still opens";
  }
  void TearDown() override { dbf_close(&h_); }

  test::HookRecorder hooks_;  // fixes the clock
  test::TempDir dir_;
  std::string path_;
  std::vector<uint8_t> original_;
  DbfHandle h_{};
};

TEST_P(LyingCountTest, NothingReachesPastTheRecordsTheFileHolds) {
  const int32_t claimed = GetParam();
  EXPECT_EQ(dbf_rcount(&h_), claimed);
  EXPECT_EQ(dbf::records_held(&h_), claimed < 0 ? 0 : kRealRecords);
  std::vector<uint8_t> record(57);
  if (claimed > kRealRecords) {
    EXPECT_EQ(dbf_read(&h_, 3, record.data()), 0);
    EXPECT_EQ(dbf_read(&h_, kRealRecords + 1, record.data()), 21);
    EXPECT_EQ(dbf_read(&h_, claimed, record.data()), 21);
    EXPECT_EQ(dbf_write2(&h_, claimed, "*", 0, 1), 22);
    EXPECT_EQ(dbf_write2(&h_, kRealRecords + 1, "*", 0, 1), 22) << "over the end mark";
  }
  // An append would put its record where the claimed count ends.
  EXPECT_NE(dbf::append(&h_, record.data()), 0);
  EXPECT_EQ(dbf_rcount(&h_), claimed);
  // The pack refuses before anything moves, though record 2 is deleted.
  std::vector<uint8_t> buffer(58 * 2);
  EXPECT_EQ(dbf_packwk(&h_, buffer.data(), static_cast<int32_t>(buffer.size())), 21);
  EXPECT_EQ(dbf_rcount(&h_), claimed);
  ASSERT_EQ(dbf_close(&h_), 1);
  EXPECT_EQ(test::read_file(path_), original_);
}

TEST_P(LyingCountTest, WritesToHeldRecordsKeepTheFileItsSize) {
  const std::vector<uint8_t> data(57, 'W');
  ASSERT_EQ(dbf_write(&h_, kRealRecords, data.data()), GetParam() >= kRealRecords ? 0 : 10);
  // A count that changed makes the write-back place the end mark after the
  // claimed records: never beyond the file's end.
  h_.flags = dbf::kFlagWritten | dbf::kFlagCountChanged;
  ASSERT_EQ(dbf_close(&h_), 1);
  EXPECT_EQ(test::read_file(path_).size(), original_.size());
}

INSTANTIATE_TEST_SUITE_P(Claims, LyingCountTest,
                         ::testing::Values(kRealRecords + 1, 19000000, INT32_MAX, -1, INT32_MIN));

// A pack that leaves no records puts the end mark right after the header,
// also when a record is longer than the header.
TEST(EndMark, EmptiedFileWithLongRecordsEndsRightAfterItsHeader) {
  test::HookRecorder hooks;
  test::TempDir dir;
  const std::string path = dir.file("L.dbf");
  test::RecordFileBuilder b({{"K", 99}});
  b.add({"a"}, true).add({"b"}, true);
  const std::vector<uint8_t> original = b.bytes();
  test::write_file(path, original);
  DbfHandle h{};
  ASSERT_EQ(dbf_open(path.c_str(), &h), 0);
  ASSERT_LT(h.header_size, h.record_size);
  ASSERT_EQ(dbf_delete(&h, 1), 0);
  std::vector<uint8_t> buffer(100);
  ASSERT_EQ(dbf_packwk(&h, buffer.data(), 100), 0);
  ASSERT_EQ(dbf_close(&h), 1);
  const std::vector<uint8_t> packed = test::read_file(path);
  ASSERT_EQ(packed.size(), static_cast<size_t>(b.header_size()) + 1);
  EXPECT_EQ(packed.back(), 0x1A);
  EXPECT_TRUE(std::equal(packed.begin() + 8, packed.end() - 1, original.begin() + 8))
      << "the descriptors are untouched";
}

}  // namespace
}  // namespace osp
