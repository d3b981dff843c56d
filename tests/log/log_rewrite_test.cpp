// DateTimeSort and MasterSort: the order they give, what every record keeps
// (its deletion mark, its remark block), the indexes rebuilt in their slots,
// the work files beside the log and gone afterwards, and, with a failure
// injected at every platform call in turn, a file that is either unchanged
// or wholly sorted and a log that opens consistent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dbf/record_file.h"
#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"
#include "support/log_generator.h"
#include "support/power_loss_env.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using Record = std::vector<uint8_t>;  // deletion mark and data bytes

// The records of a record file as they stand on disk.
std::vector<Record> records_of(const std::string& path) {
  const std::vector<uint8_t> bytes = test::read_file(path);
  if (bytes.size() < 12) return {};
  int32_t count = 0;
  std::memcpy(&count, bytes.data() + 4, 4);
  const size_t header = bytes[8] | bytes[9] << 8;
  const size_t size = bytes[10] | bytes[11] << 8;
  std::vector<Record> out;
  for (int32_t r = 0; r < count && header + (r + 1) * size <= bytes.size(); ++r) {
    const auto* at = bytes.data() + header + r * size;
    out.emplace_back(at, at + size);
  }
  return out;
}

// The records stably ordered by the width bytes at offset.
std::vector<Record> sorted_by(std::vector<Record> records, size_t offset, size_t width) {
  std::stable_sort(records.begin(), records.end(), [&](const Record& a, const Record& b) {
    return std::memcmp(a.data() + offset, b.data() + offset, width) < 0;
  });
  return records;
}

constexpr size_t kDateTimeOffset = 45;  // DATE (3) and TIME (2) after the mark
constexpr size_t kMasterCodeOffset = 1;

std::vector<std::string> work_files(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.rfind("LOGTMP", 0) == 0 || name.rfind("NDXTEMP", 0) == 0) out.push_back(name);
  }
  return out;
}

class LogRewriteTest : public ::testing::Test {
 protected:
  test::HookRecorder hooks_;
  test::TempDir dir_;
  std::string base_ = dir_.file("SORTLOG");
};

TEST_F(LogRewriteTest, DateTimeSortOrdersAndKeepsMarksRemarksAndIndexes) {
  auto at = [](std::string call, int y, int mo, int d, int h, int mi, bool utc, bool deleted,
               std::string remark) {
    test::TestContact c = test::contact(call, "1001", {remark, "", ""});
    c.year = y, c.month = mo, c.day = d, c.hour = h, c.minute = mi, c.utc = utc;
    c.deleted = deleted;
    return c;
  };
  const std::vector<test::TestContact> contacts = {
      at("QA1AAA", 2001, 1, 1, 12, 0, false, false, "A"),
      at("QB2BBB", 1999, 12, 31, 23, 59, false, true, "B"),
      at("QC3CCC", 2005, 6, 1, 10, 30, false, false, ""),
      at("QD4DDD", 2005, 6, 1, 10, 5, true, false, "D"),
      at("QE5EEE", 1999, 12, 31, 23, 59, false, false, "E")};
  test::write_log(base_, contacts);
  test::OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  ASSERT_EQ(DateTimeSort(log.get()), 0);
  EXPECT_TRUE(hooks_.boxes.empty());
  EXPECT_TRUE(work_files(dir_.path()).empty());

  const int order[] = {1, 4, 0, 2, 3};  // 1999 twice in old order, 2001, 10:30 JST, 10:05 UTC
  for (int k = 0; k < 5; ++k) {
    ASSERT_EQ(OSP_read(log.get(), k + 1, 3), 0);
    EXPECT_EQ(test::view_difference(log->view, test::expected_view(contacts[order[k]])), "")
        << "record " << k + 1;
  }
  const std::vector<Record> stored = records_of(base_ + ".dbs");
  ASSERT_EQ(stored.size(), 5u);
  EXPECT_EQ(stored[0][0], '*') << "the deleted contact stays deleted";
  EXPECT_EQ(stored[1][0], ' ');
  EXPECT_EQ(test::log_problems(log.get()), std::vector<std::string>{});
  EXPECT_EQ(test::recnos(log.get(), 0), (std::vector<int32_t>{3, 1, 4, 5, 2}));

  // A close that stores file times and the next open agree.
  ASSERT_EQ(log.reopen(), 0);
  EXPECT_TRUE(hooks_.boxes.empty());
  EXPECT_EQ(test::log_problems(log.get()), std::vector<std::string>{});
}

TEST_F(LogRewriteTest, LogOfManyBatchesComesOutWhole) {
  // More records than one batch of the copy holds (about 2 MiB of them).
  test::write_generated_log(base_, 80000, 5, {.remark_percent = 10, .deleted_percent = 5});
  const std::vector<Record> before = records_of(base_ + ".dbs");
  test::OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  ASSERT_EQ(DateTimeSort(log.get()), 0);
  EXPECT_EQ(records_of(base_ + ".dbs"), sorted_by(before, kDateTimeOffset, 5));
  EXPECT_EQ(test::log_problems(log.get()), std::vector<std::string>{});
}

TEST_F(LogRewriteTest, MasterSortOrdersByCodeAndKeepsMarks) {
  std::vector<test::MasterEntry> masters = {test::master("2501", "NAGOYA"),
                                            test::master("1001", "CHIYODA"),
                                            test::master("100101", "KOJIMACHI"),
                                            test::master("1002", "CHUO")};
  masters[2].deleted = true;
  test::write_log(base_, {test::contact("QA1AAA")}, masters);
  test::OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  const std::vector<Record> before = records_of(base_ + ".mst");
  ASSERT_EQ(MasterSort(log.get()), 0);
  EXPECT_TRUE(work_files(dir_.path()).empty());
  const std::vector<Record> after = records_of(base_ + ".mst");
  EXPECT_EQ(after, sorted_by(before, kMasterCodeOffset, 6));
  EXPECT_EQ(after[1][0], '*');
  EXPECT_EQ(test::log_problems(log.get()), std::vector<std::string>{});
  EXPECT_EQ(test::recnos(log.get(), 2), (std::vector<int32_t>{1, 2, 3, 4}));
  ASSERT_EQ(log.reopen(), 0);
  EXPECT_EQ(test::log_problems(log.get()), std::vector<std::string>{});
}

TEST_F(LogRewriteTest, NothingToOrderReplacesNothing) {
  test::write_log(base_, {}, {});
  test::OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  const auto dbs = test::read_file(base_ + ".dbs");
  const auto mst = test::read_file(base_ + ".mst");
  EXPECT_EQ(MasterSort(log.get()), 1);
  EXPECT_TRUE(hooks_.boxes.empty());
  EXPECT_EQ(DateTimeSort(log.get()), 25);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_EQ(hooks_.boxes[0].text.find(test::sjis("作業ファイルが作れない")), 1u);
  EXPECT_NE(hooks_.boxes[0].text.find("LOGTMP.DB$"), std::string::npos);
  EXPECT_EQ(test::read_file(base_ + ".dbs"), dbs);
  EXPECT_EQ(test::read_file(base_ + ".mst"), mst);
  EXPECT_GT(OspFile{log->dbs.handle.file}, 0);
  EXPECT_GT(OspFile{log->mst.handle.file}, 0);
  EXPECT_TRUE(work_files(dir_.path()).empty());
}

TEST_F(LogRewriteTest, MasterIndexThatMissesAnEntryReplacesNothing) {
  test::write_log(base_, {test::contact("QA1AAA")}, test::plain_masters());
  test::OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  // An entry the index does not know: the rewrite would lose it.
  const std::vector<uint8_t> data = test::master_data(test::master("0001", "LOST"));
  ASSERT_EQ(dbf::append(&log->mst.handle, data.data()), 0);
  ASSERT_EQ(dbf::flush(&log->mst.handle), 0);
  const auto mst = test::read_file(base_ + ".mst");
  EXPECT_EQ(MasterSort(log.get()), 1);
  EXPECT_EQ(test::read_file(base_ + ".mst"), mst);
  EXPECT_GT(OspFile{log->mst.handle.file}, 0);
}

// One rewrite with a fault injected: the kinds of platform call, each failed
// at its 1st, 2nd, ... call until the sort no longer meets the fault.
struct Sweep {
  const char* name;
  int32_t(OSPAPI* sort)(LogHandle*);
  int32_t failure;
  const char* extension;
  size_t key_offset;
  size_t key_width;
  friend void PrintTo(const Sweep& sweep, std::ostream* os) { *os << sweep.name; }
};

class RewriteFaultTest : public LogRewriteTest, public ::testing::WithParamInterface<Sweep> {
 protected:
  // Generated contacts (some deleted, some with remarks) and master entries
  // out of code order (one deleted), written anew by write().
  void generate(uint64_t seed) {
    hooks_.default_answer = 6;
    test::LogGenerator g(seed, {.remark_percent = 40, .deleted_percent = 15});
    contacts_ = g.contacts(25);
    masters_ = g.masters();
    std::shuffle(masters_.begin(), masters_.end(), std::mt19937(static_cast<uint32_t>(seed)));
    masters_[1].deleted = true;
  }
  // A new log in an emptied folder: no index or profile of a round before.
  void write() {
    std::filesystem::remove_all(dir_.path());
    std::filesystem::create_directory(dir_.path());
    test::write_log(base_, contacts_, masters_);
  }

  std::vector<test::TestContact> contacts_;
  std::vector<test::MasterEntry> masters_;
};

TEST_P(RewriteFaultTest, EveryFailureLeavesTheFileWholeAndTheLogConsistent) {
  const Sweep& s = GetParam();
  generate(7);
  const std::string path = base_ + s.extension;
  write();
  const std::vector<Record> original = records_of(path);
  const std::vector<Record> sorted = sorted_by(original, s.key_offset, s.key_width);
  ASSERT_NE(original, sorted) << "the sweep needs a file out of order";

  const test::Op ops[] = {test::Op::kOpen,  test::Op::kCreate, test::Op::kRead,
                          test::Op::kWrite, test::Op::kSeek,   test::Op::kFlush,
                          test::Op::kClose, test::Op::kRename, test::Op::kAllocate};
  for (const test::Op op : ops) {
    // Every one of the first calls, then a spread of the later ones.
    for (int nth = 1; nth < 400; nth += nth < 8 ? 1 : nth / 2) {
      const std::string where = std::string(s.name) + " op " +
                                std::to_string(static_cast<int>(op)) + " call " +
                                std::to_string(nth);
      write();
      int32_t r = 0;
      int struck = 0;
      {
        test::OpenedLog log(base_);
        ASSERT_EQ(log.status, 0) << where;
        {
          test::FaultEnv env;
          test::ScopedEnv scoped(&env);
          env.fail(op, nth);
          r = s.sort(log.get());
          struck = env.faults();
        }
        ASSERT_TRUE(r == 0 || r == s.failure) << where << ": " << r;
        if (struck == 0) {
          ASSERT_EQ(r, 0) << where;
        }
        EXPECT_EQ(work_files(dir_.path()), std::vector<std::string>{}) << where;
        if (op != test::Op::kOpen) {
          EXPECT_GT(OspFile{log->dbs.handle.file}, 0) << where;
          EXPECT_GT(OspFile{log->mst.handle.file}, 0) << where;
        }
        OspreyClose(log.get(), 5);  // whatever stayed open
      }
      const std::vector<Record> now = records_of(path);
      if (r == 0) {
        EXPECT_EQ(now, sorted) << where;
      } else {
        EXPECT_TRUE(now == original || now == sorted) << where;
      }
      test::OpenedLog again(base_);
      ASSERT_EQ(again.status, 0) << where;
      EXPECT_EQ(test::log_problems(again.get()), std::vector<std::string>{}) << where;
      if (struck == 0) break;
    }
  }
}

// The power lost after each sync point of a rewrite in turn (and of the
// close after it): what reached the disk is the old file or the new one,
// whole, and the log opens consistent.
TEST_P(RewriteFaultTest, PowerLostAtEverySyncPointLeavesTheOldFileOrTheNew) {
  const Sweep& s = GetParam();
  generate(9);
  const std::string path = base_ + s.extension;
  int old_file = 0;
  int new_file = 0;
  for (int kept = 0;; ++kept) {
    const std::string where = std::string(s.name) + " power lost after sync " + std::to_string(kept);
    write();
    const std::vector<Record> original = records_of(path);
    const std::vector<Record> sorted = sorted_by(original, s.key_offset, s.key_width);
    int syncs = 0;
    {
      test::OpenedLog log(base_);
      ASSERT_EQ(log.status, 0) << where;
      test::PowerLossEnv power(dir_.path());
      test::ScopedEnv scoped(&power);
      power.lose_power_after(kept);
      ASSERT_EQ(s.sort(log.get()), 0) << where;
      OspreyClose(log.get(), 5);
      syncs = power.syncs();
      power.restore();
    }
    const std::vector<Record> now = records_of(path);
    ASSERT_TRUE(now == original || now == sorted) << where;
    (now == original ? old_file : new_file) += 1;
    test::OpenedLog again(base_);
    ASSERT_EQ(again.status, 0) << where;
    EXPECT_EQ(test::log_problems(again.get()), std::vector<std::string>{}) << where;
    if (kept > syncs) break;
  }
  EXPECT_GT(old_file, 0);
  EXPECT_GT(new_file, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sorts, RewriteFaultTest,
    ::testing::Values(Sweep{"DateTimeSort", DateTimeSort, 25, ".dbs", kDateTimeOffset, 5},
                      Sweep{"MasterSort", MasterSort, 1, ".mst", kMasterCodeOffset, 6}),
    [](const ::testing::TestParamInfo<Sweep>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace osp
