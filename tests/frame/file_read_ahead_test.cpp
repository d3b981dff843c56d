// Positioned reads through the file layer: reads going forward are served
// from a read-ahead window, which must never hand out bytes that a write,
// a truncation or another file under the same handle number replaced.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frame/file.h"
#include "support/fault_env.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::FaultEnv;
using test::Op;
using test::ScopedEnv;

constexpr int32_t kRecord = 58;

std::vector<uint8_t> records(int count, uint8_t fill) {
  std::vector<uint8_t> b(static_cast<size_t>(count) * kRecord);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(fill + i / kRecord);
  return b;
}

// Reads record n's data bytes (without its first byte), as a walk does.
std::vector<uint8_t> read_record(FileHandle f, int n) {
  std::vector<uint8_t> out(kRecord - 1);
  const int32_t got = file_read_at(f, static_cast<int64_t>(n) * kRecord + 1, out.data(), kRecord - 1);
  out.resize(got < 0 ? 0 : static_cast<size_t>(got));
  return out;
}

class ReadAheadTest : public ::testing::Test {
 protected:
  std::string make(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string p = dir_.file(name);
    test::write_file(p, bytes);
    return p;
  }
  test::TempDir dir_;
};

TEST_F(ReadAheadTest, AWalkReadsFewTimesAndSeesEveryWriteThroughItsHandle) {
  const std::string p = make("a.dbs", records(400, 0));
  FaultEnv faults;
  ScopedEnv scoped(&faults);
  const FileHandle f = file_open_existing(p.c_str(), kGenericReadWrite);
  ASSERT_NE(f, kNoFile);
  for (int n = 0; n < 400; ++n) ASSERT_EQ(read_record(f, n)[0], static_cast<uint8_t>(n)) << n;
  EXPECT_LT(faults.calls(Op::kRead), 10) << "the walk is served by read-ahead";

  // Records 100 and 101 start a window that holds the records after them; a
  // write to one of those must be what the walk then reads.
  ASSERT_EQ(read_record(f, 100)[0], 100);
  ASSERT_EQ(read_record(f, 101)[0], 101);
  const std::vector<uint8_t> changed(kRecord, 0xEE);
  ASSERT_EQ(file_seek(f, 102 * kRecord), 102 * kRecord);
  ASSERT_EQ(file_write(f, changed.data(), kRecord), kRecord);
  EXPECT_EQ(read_record(f, 102)[0], 0xEE);
  EXPECT_EQ(read_record(f, 103)[0], 103);
  // Cut short: the records past the cut are gone, the read comes back short.
  ASSERT_EQ(read_record(f, 150)[0], 150);
  ASSERT_EQ(read_record(f, 151)[0], 151);
  ASSERT_EQ(file_truncate(f, 152 * kRecord + 10), 1);
  EXPECT_EQ(read_record(f, 152).size(), 9u);
  EXPECT_TRUE(read_record(f, 153).empty());
  file_close(f);
}

TEST_F(ReadAheadTest, AHandleNumberGivenToAnotherFileReadsThatFile) {
  const std::string a = make("a.dbs", records(50, 0));
  const std::string b = make("b.dbs", records(50, 100));
  FaultEnv faults;
  FileHandle first;
  {
    // Read under one Env, closed under another that wraps it.
    first = file_open_existing(a.c_str(), kGenericRead);
    ASSERT_EQ(read_record(first, 0)[0], 0);
    ASSERT_EQ(read_record(first, 1)[0], 1);
    ScopedEnv scoped(&faults);
    ASSERT_TRUE(file_close(first));
  }
  const FileHandle second = file_open_existing(b.c_str(), kGenericRead);
  ASSERT_EQ(second, first) << "the descriptor is given out again";
  EXPECT_EQ(read_record(second, 2)[0], 102);
  EXPECT_EQ(read_record(second, 3)[0], 103);
  file_close(second);
}

}  // namespace
}  // namespace osp
