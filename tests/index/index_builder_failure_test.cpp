// MakeIndex's failures: every status it can return, the index file each leaves
// behind, and the work files, which never outlive a build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "frame/status.h"
#include "index/index_builder.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/index_reader.h"
#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace osp::index {
namespace {

using test::Fault;
using test::FaultEnv;
using test::file_exists;
using test::Op;
using test::read_file;
using test::RecordFileBuilder;
using test::ScopedEnv;
using test::TempDir;

std::string key6(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%06d", v);
  return buf;
}

class MakeIndexFailureTest : public ::testing::Test {
 protected:
  void write_records(const RecordFileBuilder& b) {
    b.write(dbf_);
    records_ = read_file(dbf_);
  }
  int32_t make(const char* expression = "K") {
    std::remove(ndx_.c_str());
    return MakeIndex(dbf_.c_str(), expression, ndx_.c_str());
  }
  bool work_files_gone() const {
    return !file_exists(dir_.file("NDXTEMP.$$1")) && !file_exists(dir_.file("NDXTEMP.$$2"));
  }
  // A failed build's index file: the header with the expression and the key
  // fields (0 when the expression was refused), root 0 and no blocks.
  void expect_failure_layout(const std::string& expression, int16_t key_length) {
    const std::vector<uint8_t> file = read_file(ndx_);
    ASSERT_GE(file.size(), 512u);
    const test::IndexHeader h = test::read_index_header(file);
    EXPECT_EQ(h.root, 0u);
    EXPECT_EQ(h.next_free, 0u);
    EXPECT_EQ(h.expression, expression + " ");
    EXPECT_EQ(h.key_length, key_length);
  }

  TempDir dir_;
  std::string dbf_ = dir_.file("log.dbs");
  std::string ndx_ = dir_.file("log.dx0");
  std::vector<uint8_t> records_;
};

RecordFileBuilder small_file() {
  RecordFileBuilder b({{"K", 6}, {"N", 3}});
  for (int r = 1; r <= 40; ++r) b.add({key6(r % 9), "abc"});
  return b;
}

TEST_F(MakeIndexFailureTest, RefusedBeforeAnyFileIsTouched) {
  write_records(small_file());
  const std::vector<uint8_t> old_index(1024, 0x55);
  test::write_file(ndx_, old_index);
  const std::string too_long = std::string(99, 'K');
  EXPECT_EQ(MakeIndex(dbf_.c_str(), too_long.c_str(), ndx_.c_str()), status::kBadKeyExpression);
  EXPECT_EQ(MakeIndex(dbf_.c_str(), nullptr, ndx_.c_str()), status::kBadKeyExpression);
  EXPECT_EQ(MakeIndex(nullptr, "K", ndx_.c_str()), status::kCannotOpen);
  EXPECT_EQ(MakeIndex(dbf_.c_str(), "K", nullptr), status::kCannotOpen);
  EXPECT_EQ(MakeIndex(dir_.file("missing.dbs").c_str(), "K", ndx_.c_str()), status::kCannotOpen);
  EXPECT_EQ(read_file(ndx_), old_index);
  EXPECT_TRUE(work_files_gone());
}

TEST_F(MakeIndexFailureTest, IndexFileThatCannotBeCreated) {
  write_records(small_file());
  const std::string in_missing_dir = dir_.file("nowhere/log.dx0");
  EXPECT_EQ(MakeIndex(dbf_.c_str(), "K", in_missing_dir.c_str()), status::kCannotOpen);
  // The record file itself is held open while the index file is created.
  EXPECT_EQ(MakeIndex(dbf_.c_str(), "K", dbf_.c_str()), status::kCannotOpen);
  EXPECT_EQ(read_file(dbf_), records_);
}

TEST_F(MakeIndexFailureTest, UnusableRecordFileHeadersTouchNoIndexFile) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  const std::vector<uint8_t> good = small_file().bytes();
  std::vector<Case> cases;
  cases.push_back({"header read short", std::vector<uint8_t>(good.begin(), good.begin() + 20)});
  cases.push_back({"descriptors beyond the file", RecordFileBuilder(small_file()).claim_header_size(0x7FFF).bytes()});
  cases.push_back({"header size below 33", RecordFileBuilder(small_file()).claim_header_size(20).bytes()});
  cases.push_back({"negative header size", RecordFileBuilder(small_file()).claim_header_size(-200).bytes()});
  cases.push_back({"record size 0", RecordFileBuilder(small_file()).claim_record_size(0).bytes()});
  cases.push_back({"negative record size", RecordFileBuilder(small_file()).claim_record_size(-10).bytes()});
  cases.push_back({"negative record count", RecordFileBuilder(small_file()).claim_record_count(-1).bytes()});
  for (const Case& c : cases) {
    test::write_file(dbf_, c.bytes);
    EXPECT_EQ(make(), status::kDataReadError) << c.what;
    EXPECT_FALSE(file_exists(ndx_)) << c.what;
    EXPECT_TRUE(work_files_gone()) << c.what;
  }
}

TEST_F(MakeIndexFailureTest, RecordCountBeyondTheFile) {
  for (int32_t claimed : {41, 1000, 0x7FFFFFFF}) {
    write_records(RecordFileBuilder(small_file()).claim_record_count(claimed));
    EXPECT_EQ(make(), status::kDataReadError) << claimed;
    expect_failure_layout("K", 6);
    EXPECT_TRUE(work_files_gone());
  }
}

TEST_F(MakeIndexFailureTest, BadExpressionLeavesTheHeaderWithoutKey) {
  write_records(RecordFileBuilder({{"K", 6}, {"N", 3, 'N'}}).add({"a", "1"}));
  for (const char* expression : {"k", "N", "K+X", "K-K"}) {
    EXPECT_EQ(make(expression), status::kBadKeyExpression) << expression;
    expect_failure_layout(expression, 0);
    EXPECT_TRUE(work_files_gone());
  }
}

TEST_F(MakeIndexFailureTest, NoChunkOfAtLeast3072Bytes) {
  write_records(small_file());
  FaultEnv env;
  ScopedEnv scope(&env);
  env.limit_allocation(3071);
  EXPECT_EQ(make(), status::kNoMemory);
  expect_failure_layout("K", 6);
  EXPECT_TRUE(work_files_gone());
  EXPECT_EQ(env.live_bytes(), 0u);
}

TEST_F(MakeIndexFailureTest, SmallerChunksBuildTheSameIndex) {
  RecordFileBuilder b({{"K", 6}, {"N", 3}});
  for (int r = 1; r <= 3000; ++r) b.add({key6((r * 37) % 101), "x"});
  write_records(b);
  ASSERT_EQ(make(), 0);
  const std::vector<uint8_t> reference = read_file(ndx_);
  for (size_t limit : {40000u, 20000u, 6000u, 3072u}) {
    FaultEnv env;
    ScopedEnv scope(&env);
    env.limit_allocation(limit);
    EXPECT_EQ(make(), 0) << limit;
    EXPECT_EQ(read_file(ndx_), reference) << limit;
    EXPECT_EQ(env.live_bytes(), 0u);
  }
}

// Memory stays within one chunk, the record block, the run table and a page
// buffer per level, whatever the number of records.
TEST_F(MakeIndexFailureTest, MemoryIsBounded) {
  for (int count : {1000, 100000}) {
    RecordFileBuilder b({{"K", 6}});
    for (int r = 1; r <= count; ++r) b.add({key6((r * 7919) % 99991)});
    write_records(b);
    FaultEnv env;
    ScopedEnv scope(&env);
    ASSERT_EQ(make(), 0);
    const size_t runs = static_cast<size_t>((count - 1) / (49152 / 10) + 1);
    EXPECT_LE(env.peak_bytes(), 49152u + 16384u + 8 * runs + 512 * 4 + 64) << count;
    EXPECT_EQ(env.live_bytes(), 0u);
  }
}

// Every call of the platform that a build makes is made to fail in turn (the
// nth open, create, read, write, seek, truncate or allocation): the build
// returns that failure's status, removes its work files, leaves the record
// file as it was, and either touches no index file (failures before it is
// created) or leaves the failure layout. Small chunks make several runs and
// every kind of merge pass reachable with few records.
TEST_F(MakeIndexFailureTest, EveryInjectedFailureCleansUp) {
  RecordFileBuilder b({{"K", 6}, {"N", 3}});
  for (int r = 1; r <= 900; ++r) b.add({key6((r * 7919) % 211), "x"});
  write_records(b);
  std::vector<test::IndexEntry> expected;
  {
    FaultEnv env;
    ScopedEnv scope(&env);
    env.limit_allocation(4000);  // a 3072-byte chunk: three runs, two passes
    ASSERT_EQ(make(), 0);
    expected = test::read_index(ndx_).entries;
    ASSERT_EQ(expected.size(), 900u);
  }

  struct Case {
    Op op;
    Fault fault;
    std::set<int32_t> statuses;
  };
  const std::vector<Case> cases = {
      {Op::kOpen, Fault::kFail, {5}},
      {Op::kCreate, Fault::kFail, {5, 25}},
      {Op::kRead, Fault::kShort, {21, 23}},
      {Op::kWrite, Fault::kShort, {8, 23}},
      {Op::kSeek, Fault::kFail, {8, 21, 23}},
      {Op::kTruncate, Fault::kFail, {8}},
      {Op::kAllocate, Fault::kFail, {6}},
  };
  std::set<int32_t> seen;
  for (const Case& c : cases) {
    for (int n = 1;; ++n) {
      const std::string what = "op " + std::to_string(static_cast<int>(c.op)) + " call " +
                               std::to_string(n) +
                               (c.fault == Fault::kShort ? " short" : " fail");
      int32_t result;
      int writes;
      int seeks;
      {
        FaultEnv env;
        ScopedEnv scope(&env);
        env.limit_allocation(4000);
        env.fail(c.op, n, c.fault);
        result = make();
        writes = env.calls(Op::kWrite);
        seeks = env.calls(Op::kSeek);
        EXPECT_EQ(env.live_bytes(), 0u) << what;
        if (env.faults() == 0) {
          EXPECT_EQ(result, 0) << what;
          break;
        }
      }
      EXPECT_TRUE(work_files_gone()) << what;
      EXPECT_EQ(read_file(dbf_), records_) << what;
      seen.insert(result);
      if (result == 0) {
        // Only a smaller record block or chunk: the same index.
        EXPECT_EQ(c.op, Op::kAllocate) << what;
        EXPECT_EQ(test::read_index(ndx_).entries, expected) << what;
        continue;
      }
      EXPECT_TRUE(c.statuses.count(result)) << what << ": status " << result;
      if (!file_exists(ndx_)) {
        // Only failures before the index file is created leave none.
        EXPECT_TRUE(result == 5 || result == 6 || result == 21) << what;
        continue;
      }
      // The header is the last thing positioned and written.
      const bool header_write =
          (c.op == Op::kWrite && n == writes) || (c.op == Op::kSeek && n == seeks);
      SCOPED_TRACE(what);
      if (!header_write) expect_failure_layout("K", 6);
    }
  }
  EXPECT_EQ(seen, (std::set<int32_t>{0, 5, 6, 8, 21, 23, 25}));
}

}  // namespace
}  // namespace osp::index
