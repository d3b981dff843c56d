#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbf/record_file.h"
#include "frame/bytes.h"
#include "frame/file.h"
#include "frame/status.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::Fault;
using test::FaultEnv;
using test::HookRecorder;
using test::Op;
using test::ScopedEnv;
using test::TempDir;

// 57 data bytes whose first bytes name the record.
std::vector<uint8_t> data_for(int n) {
  std::vector<uint8_t> d(57, ' ');
  const std::string tag = "REC" + std::to_string(n);
  std::memcpy(d.data(), tag.data(), tag.size());
  d[56] = static_cast<uint8_t>(n);
  return d;
}

class RecordFileTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = dir_.file("LOG.dbs"); }

  // A contact file with count records appended through the library, left open.
  void make_open(int count) {
    ASSERT_EQ(dbf_create(path_.c_str()), 0);
    ASSERT_EQ(dbf_open(path_.c_str(), &h_), 0);
    for (int i = 1; i <= count; ++i) ASSERT_EQ(dbf::append(&h_, data_for(i).data()), 0);
  }
  void TearDown() override { dbf_close(&h_); }

  std::vector<uint8_t> bytes() const { return test::read_file(path_); }

  HookRecorder hooks_;  // fixes the clock at 2026-03-07
  TempDir dir_;
  std::string path_;
  DbfHandle h_{};
};

TEST_F(RecordFileTest, NewContactFileHasTheContactSchema) {
  ASSERT_EQ(dbf_create(path_.c_str()), 0);
  const std::vector<uint8_t> b = bytes();
  ASSERT_EQ(b.size(), 450u);
  EXPECT_EQ(b[0], 0x1A);
  EXPECT_EQ(b[1], 26);
  EXPECT_EQ(b[2], 3);
  EXPECT_EQ(b[3], 7);
  EXPECT_EQ(load_i32(&b[4]), 0);
  EXPECT_EQ(load_i16(&b[8]), 449);
  EXPECT_EQ(load_i16(&b[10]), 58);
  const char* names[] = {"CALLS", "IGN",  "POTBL", "CODE", "GL",  "FREQ", "MODE",
                         "NAME",  "QSL",  "DATE",  "TIME", "RST", "OFS"};
  const int lengths[] = {6, 1, 3, 6, 6, 4, 3, 12, 3, 3, 2, 4, 4};
  for (int i = 0; i < 13; ++i) {
    const uint8_t* d = &b[static_cast<size_t>(32 * (i + 1))];
    EXPECT_STREQ(reinterpret_cast<const char*>(d), names[i]);
    EXPECT_EQ(d[11], 'C');
    EXPECT_EQ(d[16], lengths[i]);
    EXPECT_EQ(d[17], 0);
  }
  EXPECT_EQ(b[448], 0x0D);
  EXPECT_EQ(b[449], 0x1A);

  ASSERT_EQ(dbf_open(path_.c_str(), &h_), 0);
  EXPECT_EQ(dbf_rcount(&h_), 0);
  EXPECT_EQ(h_.header_size, 449);
  EXPECT_EQ(dbf_rsize(&h_), 58);
  EXPECT_EQ(dbf_recno(&h_), 0);
  EXPECT_EQ(h_.flags, 0);
  uint8_t buf[64];
  EXPECT_EQ(dbf_read(&h_, 1, buf), 10);
}

TEST_F(RecordFileTest, AppendAndCloseWriteCountDateAndEndMark) {
  hooks_.now = {2031, 12, 24, 9, 0, 0};
  make_open(1);
  EXPECT_EQ(h_.flags, 3);
  EXPECT_EQ(dbf_close(&h_), 1);
  EXPECT_EQ(h_.file, OSP_NO_FILE);
  EXPECT_EQ(h_.flags, 0);
  const std::vector<uint8_t> b = bytes();
  ASSERT_EQ(b.size(), 450u + 58u);
  EXPECT_EQ(load_i32(&b[4]), 1);
  EXPECT_EQ(b[1], 31);
  EXPECT_EQ(b[2], 12);
  EXPECT_EQ(b[3], 24);
  EXPECT_EQ(b[449], ' ');
  EXPECT_EQ(std::memcmp(&b[450], data_for(1).data(), 57), 0);
  EXPECT_EQ(b[507], 0x1A);
}

TEST_F(RecordFileTest, ReadWriteBoundsAndCurrentRecord) {
  make_open(3);
  std::vector<uint8_t> buf(57);
  ASSERT_EQ(dbf_read(&h_, 2, buf.data()), 0);
  EXPECT_EQ(buf, data_for(2));
  EXPECT_EQ(dbf_recno(&h_), 2);
  EXPECT_EQ(dbf_read(&h_, 0, buf.data()), 11);
  EXPECT_EQ(dbf_read(&h_, -5, buf.data()), 11);
  EXPECT_EQ(dbf_read(&h_, 4, buf.data()), 10);
  EXPECT_EQ(dbf_recno(&h_), 2) << "failed bounds checks leave the current record";
  EXPECT_EQ(dbf_write(&h_, 4, buf.data()), 10);
  EXPECT_EQ(dbf_write2(&h_, 0, buf.data(), 0, 1), 11);

  const std::vector<uint8_t> seven = data_for(7);
  ASSERT_EQ(dbf_write(&h_, 3, seven.data()), 0);
  ASSERT_EQ(dbf_read(&h_, 3, buf.data()), 0);
  EXPECT_EQ(buf, seven);
  ASSERT_EQ(dbf_write2(&h_, 1, "XY", 5, 2), 0);
  ASSERT_EQ(dbf_read(&h_, 1, buf.data()), 0);
  EXPECT_EQ(buf[4], 'X');
  EXPECT_EQ(buf[5], 'Y');
}

TEST_F(RecordFileTest, DeleteMarksOnlyTheFirstByte) {
  make_open(4);
  ASSERT_EQ(dbf_close(&h_), 1);
  ASSERT_EQ(dbf_open(path_.c_str(), &h_), 0);
  ASSERT_EQ(dbf_delete(&h_, 3), 0);
  std::vector<uint8_t> buf(57);
  ASSERT_EQ(dbf_read(&h_, 3, buf.data()), 0);
  EXPECT_EQ(buf, data_for(3));
  EXPECT_EQ(bytes()[449 + 2 * 58], '*');
  ASSERT_EQ(dbf_write2(&h_, 3, " ", 0, 1), 0);  // undelete
  EXPECT_EQ(bytes()[449 + 2 * 58], ' ');
}

TEST_F(RecordFileTest, WriteThenCloseRewritesOnlyVersionAndDate) {
  make_open(3);
  ASSERT_EQ(dbf_close(&h_), 1);
  // Spoil the stored count and the end mark to see whether close rewrites them.
  std::vector<uint8_t> b = bytes();
  b[4] = 99;
  b.back() = 'Q';
  test::write_file(path_, b);
  hooks_.now = {2027, 1, 2, 0, 0, 0};
  ASSERT_EQ(dbf_open(path_.c_str(), &h_), 0);
  ASSERT_EQ(dbf_write(&h_, 2, data_for(9).data()), 0);
  EXPECT_EQ(h_.flags, 1);
  ASSERT_EQ(dbf_close(&h_), 1);
  const std::vector<uint8_t> after = bytes();
  EXPECT_EQ(after[1], 27);
  EXPECT_EQ(after[2], 1);
  EXPECT_EQ(after[3], 2);
  EXPECT_EQ(after[4], 99);
  EXPECT_EQ(after.back(), 'Q');
}

TEST_F(RecordFileTest, NothingWrittenMeansCloseWritesNothing) {
  make_open(2);
  ASSERT_EQ(dbf_close(&h_), 1);
  const std::vector<uint8_t> before = bytes();
  hooks_.now = {2040, 5, 5, 0, 0, 0};
  ASSERT_EQ(dbf_open(path_.c_str(), &h_), 0);
  std::vector<uint8_t> buf(57);
  ASSERT_EQ(dbf_read(&h_, 1, buf.data()), 0);
  ASSERT_EQ(dbf_close(&h_), 1);
  EXPECT_EQ(bytes(), before);
}

TEST_F(RecordFileTest, FlushWritesTheHeaderAndKeepsTheFileOpen) {
  make_open(2);
  dbf::flush(&h_);
  EXPECT_EQ(h_.flags, 0);
  EXPECT_EQ(load_i32(&bytes()[4]), 2);
  EXPECT_EQ(bytes().back(), 0x1A);
  ASSERT_EQ(dbf::append(&h_, data_for(3).data()), 0);
  EXPECT_EQ(dbf_rcount(&h_), 3);
}

TEST_F(RecordFileTest, OpenChecksTheHeader) {
  DbfHandle h{};
  EXPECT_EQ(dbf_open(dir_.file("missing.dbs").c_str(), &h), 5);
  EXPECT_EQ(h.file, OSP_NO_FILE);

  ASSERT_EQ(dbf_create(path_.c_str()), 0);
  std::vector<uint8_t> good = bytes();

  auto try_open = [&](std::vector<uint8_t> b) {
    test::write_file(path_, b);
    DbfHandle x{};
    const int32_t r = dbf_open(path_.c_str(), &x);
    if (r == 0) {
      dbf_close(&x);
    } else {
      EXPECT_EQ(x.file, OSP_NO_FILE);
      // The failed open left no file held.
      const FileHandle f = file_open_existing(path_.c_str(), kGenericReadWrite);
      EXPECT_NE(f, kNoFile);
      file_close(f);
    }
    return r;
  };
  std::vector<uint8_t> b = good;
  b[0] = 0x03;
  EXPECT_EQ(try_open(b), 0);
  b[0] = 0x83;
  EXPECT_EQ(try_open(b), 2);
  EXPECT_EQ(try_open(std::vector<uint8_t>(good.begin(), good.begin() + 11)), 21);
  EXPECT_EQ(try_open({}), 21);
  b = good;
  store_i16(&b[10], 0);  // record size 0 would divide by zero later
  EXPECT_EQ(try_open(b), 2);
  store_i16(&b[10], -3);
  EXPECT_EQ(try_open(b), 2);
  b = good;
  store_i16(&b[8], 32);  // header without room for its end mark
  EXPECT_EQ(try_open(b), 2);
}

TEST_F(RecordFileTest, SecondOpenOfAnOpenFileFailsWith5) {
  make_open(0);
  DbfHandle second{};
  EXPECT_EQ(dbf_open(path_.c_str(), &second), 5);
  EXPECT_EQ(second.file, OSP_NO_FILE);
}

TEST_F(RecordFileTest, CloseOfAClosedHandleDoesNothing) {
  DbfHandle h{};
  h.file = OSP_NO_FILE;
  EXPECT_EQ(dbf_close(&h), -2);
  h.file = 0;
  EXPECT_EQ(dbf_close(&h), -1);
}

TEST_F(RecordFileTest, PackKeepsLiveRecordsInOrder) {
  make_open(10);
  for (int r : {3, 4, 10}) ASSERT_EQ(dbf_delete(&h_, r), 0);
  std::vector<uint8_t> buffer(58 * 3);
  ASSERT_EQ(dbf_packwk(&h_, buffer.data(), static_cast<int32_t>(buffer.size())), 0);
  EXPECT_EQ(dbf_rcount(&h_), 7);
  ASSERT_EQ(dbf_close(&h_), 1);
  const std::vector<uint8_t> b = bytes();
  ASSERT_EQ(b.size(), 449u + 7u * 58u + 1u);
  EXPECT_EQ(load_i32(&b[4]), 7);
  EXPECT_EQ(b.back(), 0x1A);
  const int expected[] = {1, 2, 5, 6, 7, 8, 9};
  for (int i = 0; i < 7; ++i) {
    const uint8_t* rec = &b[449 + static_cast<size_t>(i) * 58];
    EXPECT_EQ(rec[0], ' ');
    EXPECT_EQ(rec[57], expected[i]) << "slot " << i;
  }
}

// Pack over many shapes of deletions and buffer sizes, bulk and tail phases.
TEST_F(RecordFileTest, PackAgreesWithAFilterForEveryBufferSize) {
  for (int buffer_records : {1, 2, 3, 7, 10, 40}) {
    for (int pattern = 0; pattern < 6; ++pattern) {
      TempDir d;
      path_ = d.file("P.dbs");
      make_open(25);
      std::vector<int> kept;
      for (int r = 1; r <= 25; ++r) {
        const bool del = pattern == 0   ? false
                         : pattern == 1 ? true
                         : pattern == 2 ? r % 3 == 0
                         : pattern == 3 ? r > 20
                         : pattern == 4 ? r <= 12
                                        : (r * 7) % 5 == 1;
        if (del) {
          ASSERT_EQ(dbf_delete(&h_, r), 0);
        } else {
          kept.push_back(r);
        }
      }
      std::vector<uint8_t> buffer(static_cast<size_t>(58 * buffer_records));
      ASSERT_EQ(dbf_packwk(&h_, buffer.data(), static_cast<int32_t>(buffer.size())), 0);
      ASSERT_EQ(dbf_rcount(&h_), static_cast<int32_t>(kept.size()));
      std::vector<uint8_t> rec(57);
      for (size_t i = 0; i < kept.size(); ++i) {
        ASSERT_EQ(dbf_read(&h_, static_cast<int32_t>(i + 1), rec.data()), 0);
        ASSERT_EQ(rec, data_for(kept[i])) << "buffer " << buffer_records << " pattern " << pattern;
      }
      ASSERT_EQ(dbf_close(&h_), 1);
      EXPECT_EQ(bytes().size(), 449u + kept.size() * 58u + 1u);
    }
  }
}

TEST_F(RecordFileTest, PackWithoutDeletionsWritesNothing) {
  make_open(25);
  ASSERT_EQ(dbf_close(&h_), 1);
  ASSERT_EQ(dbf_open(path_.c_str(), &h_), 0);
  FaultEnv faults;
  ScopedEnv scoped(&faults);
  std::vector<uint8_t> buffer(58 * 10);
  ASSERT_EQ(dbf_packwk(&h_, buffer.data(), 580), 0);
  EXPECT_EQ(faults.calls(Op::kWrite), 0);
  // Two chunks of ten in the bulk phase, then five single records: at most
  // that many reads, fewer where read-ahead serves several from one.
  EXPECT_LE(faults.calls(Op::kRead), 2 + 5);
  EXPECT_GE(faults.calls(Op::kRead), 1);
  EXPECT_EQ(h_.flags, 0);
}

// When only records at the end are deleted and nothing else was written
// through the handle, the pack still has to cut the file and store the new
// count: otherwise it reports success while the file keeps the records.
TEST_F(RecordFileTest, PackThatOnlyLowersTheCountStillReachesTheFile) {
  make_open(5);
  ASSERT_EQ(dbf_delete(&h_, 4), 0);
  ASSERT_EQ(dbf_delete(&h_, 5), 0);
  ASSERT_EQ(dbf_close(&h_), 1);
  ASSERT_EQ(dbf_open(path_.c_str(), &h_), 0);
  std::vector<uint8_t> buffer(58);
  ASSERT_EQ(dbf_packwk(&h_, buffer.data(), 58), 0);
  EXPECT_EQ(dbf_rcount(&h_), 3);
  ASSERT_EQ(dbf_close(&h_), 1);
  const std::vector<uint8_t> b = bytes();
  EXPECT_EQ(load_i32(&b[4]), 3);
  EXPECT_EQ(b.size(), 449u + 3u * 58u + 1u);
  EXPECT_EQ(b.back(), 0x1A);
}

TEST_F(RecordFileTest, PackFailuresReturnTheirStatus) {
  for (const auto& [op, fault, expected] :
       {std::tuple{Op::kRead, Fault::kShort, 21}, std::tuple{Op::kRead, Fault::kFail, 21},
        std::tuple{Op::kWrite, Fault::kShort, 22}, std::tuple{Op::kSeek, Fault::kFail, 21}}) {
    TempDir d;
    path_ = d.file("F.dbs");
    make_open(30);
    ASSERT_EQ(dbf_delete(&h_, 1), 0);
    FaultEnv faults;
    {
      ScopedEnv scoped(&faults);
      faults.fail(op, 1, fault);
      std::vector<uint8_t> buffer(58 * 4);
      EXPECT_EQ(dbf_packwk(&h_, buffer.data(), 58 * 4), expected);
    }
    EXPECT_EQ(faults.faults(), 1);
    ASSERT_EQ(dbf_close(&h_), 1);
  }
}

TEST_F(RecordFileTest, IoFailuresGiveTheirStatuses) {
  make_open(2);
  std::vector<uint8_t> buf(57);
  FaultEnv faults;
  ScopedEnv scoped(&faults);
  faults.fail(Op::kRead, 1, Fault::kShort);
  EXPECT_EQ(dbf_read(&h_, 1, buf.data()), 21);
  EXPECT_EQ(dbf_recno(&h_), 1) << "set by the bounds check even though the read failed";
  faults.fail(Op::kRead, 1, Fault::kFail);
  EXPECT_EQ(dbf_read(&h_, 2, buf.data()), 21);
  faults.fail(Op::kSeek, 1);
  EXPECT_EQ(dbf_read(&h_, 1, buf.data()), 21);
  faults.fail(Op::kWrite, 1, Fault::kShort);
  EXPECT_EQ(dbf_write(&h_, 1, buf.data()), 22);
  faults.fail(Op::kSeek, 1);
  EXPECT_EQ(dbf_write(&h_, 1, buf.data()), 22);
  faults.fail(Op::kWrite, 1, Fault::kFail);
  EXPECT_EQ(dbf_delete(&h_, 2), 22);
}

TEST_F(RecordFileTest, CreateFailures) {
  FaultEnv faults;
  ScopedEnv scoped(&faults);
  faults.fail(Op::kCreate, 1);
  EXPECT_EQ(dbf_create(path_.c_str()), 5);
  faults.fail(Op::kWrite, 1, Fault::kShort);
  EXPECT_EQ(dbf_create(path_.c_str()), 22);
  // The file was closed again even after the short write.
  const FileHandle f = file_open_existing(path_.c_str(), kGenericReadWrite);
  EXPECT_NE(f, kNoFile);
  file_close(f);
}

TEST_F(RecordFileTest, OpenFailuresLeaveTheHandleClosed) {
  ASSERT_EQ(dbf_create(path_.c_str()), 0);
  FaultEnv faults;
  ScopedEnv scoped(&faults);
  faults.fail(Op::kOpen, 1);
  EXPECT_EQ(dbf_open(path_.c_str(), &h_), 5);
  EXPECT_EQ(h_.file, OSP_NO_FILE);
  faults.fail(Op::kRead, 1, Fault::kShort);
  EXPECT_EQ(dbf_open(path_.c_str(), &h_), 21);
  EXPECT_EQ(h_.file, OSP_NO_FILE);
  EXPECT_EQ(faults.calls(Op::kClose), 1);
}

// A failed append must not leave a count that includes the missing record.
TEST_F(RecordFileTest, FailedAppendTakesTheCountBack) {
  make_open(2);
  dbf::flush(&h_);
  FaultEnv faults;
  {
    ScopedEnv scoped(&faults);
    faults.fail(Op::kWrite, 1, Fault::kFail);
    EXPECT_EQ(dbf::append(&h_, data_for(3).data()), 22);
    EXPECT_EQ(dbf_rcount(&h_), 2);
    faults.fail(Op::kSeek, 1);
    EXPECT_EQ(dbf::append(&h_, data_for(3).data()), 22);
    EXPECT_EQ(dbf_rcount(&h_), 2);
  }
  ASSERT_EQ(dbf_close(&h_), 1);
  EXPECT_EQ(load_i32(&bytes()[4]), 2);
}

TEST_F(RecordFileTest, AppendRefusesRecordsLargerThanTheWorkRecord) {
  make_open(0);
  h_.record_size = 609;
  std::vector<uint8_t> data(700, 'x');
  const int64_t size_before = static_cast<int64_t>(bytes().size());
  EXPECT_EQ(dbf::append(&h_, data.data()), 2);
  EXPECT_EQ(dbf_rcount(&h_), 0);
  EXPECT_EQ(static_cast<int64_t>(bytes().size()), size_before);
  h_.record_size = 58;
}

TEST_F(RecordFileTest, PositionsBeyondA32BitOffsetFailInsteadOfWrapping) {
  make_open(1);
  const int32_t real_count = h_.record_count;
  h_.record_count = 0x7FFFFFFF;
  h_.record_size = 0x7FFF;
  std::vector<uint8_t> buf(0x8000);
  EXPECT_EQ(dbf_read(&h_, 0x7FFFFFF0, buf.data()), 21);
  EXPECT_EQ(dbf_write2(&h_, 0x7FFFFFF0, buf.data(), 0, 1), 22);
  EXPECT_EQ(dbf::append(&h_, buf.data()), 2);
  h_.record_size = 58;
  EXPECT_EQ(dbf::append(&h_, buf.data()), 22) << "the count cannot grow past 2^31 - 1";
  h_.record_count = real_count;
  h_.flags = 0;
}

}  // namespace
}  // namespace osp

namespace osp {
namespace {

// A record count that does not reach the file is reported by the flush and
// the close; the flush keeps the handle dirty, so that a later one can still
// bring the count to the file.
TEST_F(RecordFileTest, LostCountWriteBackIsReportedAndRetried) {
  struct Case {
    const char* what;
    test::Op op;
    int nth;  // the end mark is the write-back's second write
    test::Fault fault;
  };
  for (const Case& c : {Case{"short header write", Op::kWrite, 1, Fault::kShort},
                        Case{"failed header seek", Op::kSeek, 1, Fault::kFail},
                        Case{"failed end mark", Op::kWrite, 2, Fault::kFail}}) {
    SCOPED_TRACE(c.what);
    make_open(3);
    {
      FaultEnv faults;
      ScopedEnv scoped(&faults);
      faults.fail(c.op, c.nth, c.fault);
      EXPECT_EQ(dbf::flush(&h_), status::kDataWriteError);
      EXPECT_NE(h_.flags, 0) << "stays dirty";
    }
    EXPECT_EQ(dbf::flush(&h_), 0) << "a later flush writes the count";
    EXPECT_EQ(h_.flags, 0);
    ASSERT_EQ(dbf::append(&h_, data_for(4).data()), 0);
    {
      FaultEnv faults;
      ScopedEnv scoped(&faults);
      faults.fail(c.op, c.nth, c.fault);
      EXPECT_EQ(dbf_close(&h_), 0) << "the close reports the lost count";
    }
    EXPECT_EQ(h_.file, OSP_NO_FILE);
  }
}

}  // namespace
}  // namespace osp
