// Opening a log, from its indexes on: building what is missing with the
// progress text, finding stale indexes through the profile file, the viewer
// buffer, the record files taken back at the end, and injected failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/file.h"
#include "log/log_test_util.h"
#include "osprey32.h"
#include "platform/env.h"
#include "support/fault_env.h"
#include "support/path_fault_env.h"

namespace osp::test {
namespace {

namespace fs = std::filesystem;

// Moves a file's last-write time a day back, as another program's change
// would move it away from the time the profile holds.
void age(const std::string& p) {
  fs::last_write_time(p, fs::last_write_time(p) - std::chrono::hours(24));
}

// The profile value the library reads under key.
uint32_t profile_value(const std::string& profile, const char* key) {
  return static_cast<uint32_t>(platform::env()->profile_int("FileTime", key, 0, profile.c_str()));
}

uint32_t time_of(const std::string& p) {
  const FileHandle f = file_open_existing(p.c_str(), kGenericRead);
  if (f == kNoFile) return 0;
  const uint32_t t = platform::env()->file_time_number(f);
  file_close(f);
  return t;
}

class LogIndexTest : public LogTest {};

// ---- Progress text ----

TEST_F(LogIndexTest, ProgressTextOfABuildStandsAtItsPlaces) {
  // A base name that makes the index path odd in length and longer than 40
  // characters, so that its x position is negative and rounded toward zero.
  size_t name = 40 - dir_.path().size() % 2;
  if (name + dir_.path().size() < 60) name += 30;
  base_ = dir_.file(std::string(name, 'n'));
  make_complete_log(30);
  fs::remove(path(".dx1"));
  ASSERT_EQ(open(0), 0);
  const std::string index = path(".dx1");
  const auto length = static_cast<int32_t>(index.size());
  ASSERT_EQ(length % 2, 1);
  ASSERT_GT(9 * length, 360);
  ASSERT_EQ(hooks_.texts.size(), 4u);
  const std::string blanks(200, ' ');
  const struct {
    int32_t x, y;
    std::string text;
  } expected[4] = {{0, 136, blanks},
                   {0, 160, blanks},
                   {72, 136, sjis("インデックス構築中・・・")},
                   {-((9 * length - 361) / 2), 160, index}};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(hooks_.texts[i].device_context, &dc_) << i;
    EXPECT_EQ(hooks_.texts[i].x, expected[i].x) << i;
    EXPECT_EQ(hooks_.texts[i].y, expected[i].y) << i;
    EXPECT_EQ(hooks_.texts[i].text, expected[i].text) << i;
  }
  EXPECT_EQ(expected[2].text.size(), 24u);
  OspreyClose(&log_, 0);

  // Without a device context nothing is drawn; the index is built all the same.
  fs::remove(path(".dx1"));
  hooks_.texts.clear();
  ASSERT_EQ(OspreyOpen(nullptr, &log_, base_.c_str(), 0, 0), 0);
  EXPECT_TRUE(hooks_.texts.empty());
  EXPECT_NE(idx_top(&log_.index_slot[1]), 0);
  OspreyClose(&log_, 0);
}

// ---- The profile file and stale indexes ----

TEST_F(LogIndexTest, CloseWithFlagOneStoresEachFileTimeAndOpenWithFlagOneKeepsWhatAgrees) {
  make_log(200);
  ASSERT_EQ(open(1), 0);
  OspreyClose(&log_, 1);
  const std::string profile = path(".fdt");
  ASSERT_TRUE(file_exists(profile)) << "the close's LOG.FDT and the open's LOG.fdt are one file";
  const std::string text(reinterpret_cast<const char*>(read_file(profile).data()),
                         read_file(profile).size());
  for (const char* key : {"[FileTime]", "DX0=", "DX4=", "MST=", "DBS="})
    EXPECT_NE(text.find(key), std::string::npos) << key << "\n" << text;
  for (int i = 0; i < 5; ++i) {
    const std::string key = "dx" + std::to_string(i);
    EXPECT_EQ(profile_value(profile, key.c_str()), time_of(path(kSetExtensions[3 + i]))) << key;
    EXPECT_NE(profile_value(profile, key.c_str()), 0u);
  }
  EXPECT_EQ(profile_value(profile, "MST"), time_of(path(".mst")));
  EXPECT_EQ(profile_value(profile, "DBS"), time_of(path(".dbs")));

  hooks_.texts.clear();
  ASSERT_EQ(open(1), 0);
  EXPECT_TRUE(built_indexes().empty());
  OspreyClose(&log_, 1);
}

TEST_F(LogIndexTest, OpenWithFlagOneRebuildsWhatAnotherProgramLeftStale) {
  make_complete_log(100);
  struct Case {
    const char* changed;
    std::vector<const char*> rebuilt;
  };
  for (const Case& c : {Case{".dx3", {".dx3"}}, Case{".mst", {".dx2", ".dx3", ".dx4"}},
                        Case{".dbs", {".dx0", ".dx1"}}}) {
    SCOPED_TRACE(c.changed);
    age(path(c.changed));
    hooks_.texts.clear();
    ASSERT_EQ(open(5), 0);
    std::vector<std::string> expected;
    for (const char* e : c.rebuilt) expected.push_back(path(e));
    EXPECT_EQ(built_indexes(), expected);
    for (int i = 0; i < 5; ++i) EXPECT_GT(+log_.index_slot[i].file, 0);
    OspreyClose(&log_, 5);
    expect_set_closed();
  }

  // Without flag 1 the times are not looked at.
  age(path(".dx0"));
  hooks_.texts.clear();
  ASSERT_EQ(open(4), 0);
  EXPECT_TRUE(built_indexes().empty());
  OspreyClose(&log_, 4);

  // Without a profile file nothing agrees: every index is built again.
  fs::remove(path(".fdt"));
  ASSERT_EQ(open(1), 0);
  EXPECT_EQ(built_indexes().size(), 5u);
  OspreyClose(&log_, 0);
  EXPECT_FALSE(file_exists(path(".fdt"))) << "only a close with flag 1 writes it";
}

TEST_F(LogIndexTest, IndexLeftByAnUnfinishedBuildIsRebuiltWithoutTheTimeCheck) {
  make_complete_log(50);
  // A build that stopped part-way leaves the header with root and next free
  // page 0.
  std::vector<uint8_t> bytes = read_file(path(".dx1"));
  std::fill(bytes.begin(), bytes.begin() + 8, uint8_t{0});
  write_file(path(".dx1"), bytes);
  hooks_.texts.clear();
  ASSERT_EQ(open(4), 0);
  EXPECT_EQ(built_indexes(), std::vector<std::string>{path(".dx1")});
  int entries = 0;
  for (int32_t r = idx_top(&log_.index_slot[1]); r != 0; r = idx_next(&log_.index_slot[1]))
    ++entries;
  EXPECT_EQ(entries, 50) << "every move through the slot works";
  OspreyClose(&log_, 4);
}

// ---- Result 23 ----

TEST_F(LogIndexTest, IndexThatCannotBeBuiltIs23NamingItsFileWithEverythingClosed) {
  make_log(50);
  // A master file without the FLG field: index 2 builds, index 3 cannot.
  TableBuilder master({{"CODE", 6}, {"NAME", 28}, {"OTHER", 14}});
  for (const MasterEntry& e : LogGenerator(7).masters()) master.add(master_data(e));
  master.write(path(".mst"));
  ASSERT_EQ(master.record_size(), 49);
  EXPECT_EQ(open(5), 23);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_status_box(0, 26, path(".dx3"));
  EXPECT_EQ(built_indexes(), (std::vector<std::string>{path(".dx0"), path(".dx1"), path(".dx2"),
                                                      path(".dx3")}));
  expect_set_closed();
}

TEST_F(LogIndexTest, IndexThatWillNotOpenAfterItsBuildIs23AfterOneBuild) {
  make_complete_log(50);
  PathFaultEnv taken;
  {
    ScopedEnv scoped(&taken);
    taken.refuse_open(path(".dx2"));
    EXPECT_EQ(open(5), 23);
  }
  EXPECT_EQ(built_indexes(), std::vector<std::string>{path(".dx2")});
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_status_box(0, 23, path(".dx2"));
  expect_set_closed();
}

// ---- The record files held through the builds ----

// The builds read the record files through the handles the open holds: each
// is opened once, so another program has no moment in which to take it (a
// second open would be refused here), and every missing index is built.
TEST_F(LogIndexTest, TheRecordFilesAreOpenedOnceAndHeldThroughTheBuilds) {
  make_complete_log(50);
  for (const char* held : {".dbs", ".mst"}) {
    SCOPED_TRACE(held);
    for (int i = 0; i < 5; ++i) fs::remove(path((".dx" + std::to_string(i)).c_str()));
    hooks_.boxes.clear();
    PathFaultEnv taken;
    {
      ScopedEnv scoped(&taken);
      taken.refuse_open(path(held), 2);
      ASSERT_EQ(open(5), 0);
    }
    EXPECT_TRUE(hooks_.boxes.empty());
    EXPECT_EQ(taken.opens(), 1);
    for (int i = 0; i < 5; ++i) EXPECT_GT(+log_.index_slot[i].file, 0) << i;
    OspreyClose(&log_, 5);
    expect_set_closed();
  }
}

// ---- The viewer ----

TEST_F(LogIndexTest, ViewerIsSizedFromTheRequestAndTheContactCount) {
  struct Case {
    size_t contacts;
    int32_t length;
    int32_t count;
    int32_t capacity;
  };
  for (const Case c : {Case{250, 0, 250, 1000}, Case{250, 300, 250, 1000}, Case{250, -7, 250, 1000},
                       Case{2000, 1500, 1500, 1500}, Case{2000, 0, 2000, 2000}}) {
    SCOPED_TRACE(std::to_string(c.contacts) + " contacts, length " + std::to_string(c.length));
    make_log(c.contacts);
    const size_t bytes = (static_cast<size_t>(c.capacity) + 2) * 218;
    FaultEnv faults;
    {
      ScopedEnv scoped(&faults);
      // One byte less than the buffer needs: the open fails for want of it.
      faults.limit_allocation(bytes - 1);
      hooks_.boxes.clear();
      ASSERT_EQ(open(4, c.length), 6);
      expect_status_box(0, 6, sjis("ビュアーバッファ"));
      expect_set_closed();
      faults.limit_allocation(bytes);
      ASSERT_EQ(open(4, c.length), 0);
    }
    EXPECT_EQ(+log_.viewer_count, c.count);
    EXPECT_EQ(+log_.viewer_capacity, c.capacity);
    ASSERT_NE(+log_.viewer, nullptr);
    const auto* raw = reinterpret_cast<const uint8_t*>(log_.viewer);
    EXPECT_EQ(std::count(raw, raw + bytes, 0), static_cast<std::ptrdiff_t>(bytes)) << "zeroed";
    OspreyClose(&log_, 4);
    EXPECT_EQ(+log_.viewer, nullptr);
    expect_set_closed();
  }

  // Without flag 4 no viewer is made.
  ASSERT_EQ(open(0), 0);
  EXPECT_EQ(+log_.viewer, nullptr);
  OspreyClose(&log_, 0);
}

// ---- Injected failures ----

TEST_F(LogIndexTest, IndexStateWithoutMemoryIsReportedAndTheIndexBuiltAgain) {
  make_complete_log(40);
  {
    FaultEnv faults;
    ScopedEnv scoped(&faults);
    faults.fail(Op::kAllocate, 1);  // the state of index 0
    ASSERT_EQ(open(1), 0);
  }
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_status_box(0, 6, path(".dx0"));
  EXPECT_EQ(built_indexes(), std::vector<std::string>{path(".dx0")});
  OspreyClose(&log_, 1);

  // No memory at all: the build cannot help either.
  hooks_.boxes.clear();
  {
    FaultEnv faults;
    ScopedEnv scoped(&faults);
    faults.fail(Op::kAllocate, 1, Fault::kFail, true);
    EXPECT_EQ(open(5), 23);
  }
  ASSERT_EQ(hooks_.boxes.size(), 2u);
  expect_status_box(0, 6, path(".dx0"));
  expect_status_box(1, 6, path(".dx0"));
  expect_set_closed();
}

// Platform calls of a whole open, made to fail or come out short in turn: the open returns one of its results, and whatever it returns, the set
// is left closed on failure and closes cleanly on success. (A failing close
// is left out: it is the one call after which a file may stay held.)
TEST_F(LogIndexTest, EveryInjectedFailureEndsInAResultWithTheSetClosed) {
  make_log(12);
  fs::remove(path(".dbr"));  // asked for, answered Yes: the creation path too
  const std::vector<uint8_t> dbs = read_file(path(".dbs"));
  const std::vector<uint8_t> mst = read_file(path(".mst"));
  auto reset = [&] {
    for (const auto& entry : fs::directory_iterator(dir_.path())) fs::remove(entry.path());
    write_file(path(".dbs"), dbs);
    write_file(path(".mst"), mst);
    log_ = LogHandle{};
  };
  hooks_.default_answer = kYes;

  FaultEnv counter;
  reset();
  {
    ScopedEnv scoped(&counter);
    ASSERT_EQ(open(5), 0);
  }
  OspreyClose(&log_, 5);

  const Op ops[] = {Op::kOpen,  Op::kCreate, Op::kRead,   Op::kWrite,  Op::kSeek,
                    Op::kTruncate, Op::kFlush, Op::kRemove, Op::kRename, Op::kAllocate};
  int runs = 0;
  for (const Op op : ops) {
    // Every open and create (each names another file of the set); of the
    // many calls inside the index builds, a sample.
    const int calls = counter.calls(op);
    const int step = op == Op::kOpen || op == Op::kCreate ? 1 : std::max(1, calls / 5);
    for (int nth = 1; nth <= calls; nth += step) {
      for (const Fault fault : {Fault::kFail, Fault::kShort}) {
        if (fault == Fault::kShort && op != Op::kRead && op != Op::kWrite) continue;
        SCOPED_TRACE("op " + std::to_string(static_cast<int>(op)) + " call " +
                     std::to_string(nth) + (fault == Fault::kShort ? " short" : ""));
        reset();
        int32_t result;
        {
          FaultEnv faults;
          ScopedEnv scoped(&faults);
          faults.fail(op, nth, fault);
          result = open(5);
        }
        ++runs;
        const std::vector<int32_t> results = {0, 5, 6, 23, 40, 41, 42};
        ASSERT_NE(std::find(results.begin(), results.end(), result), results.end()) << result;
        if (result != 0) {
          expect_set_closed();
        } else {
          OspreyClose(&log_, 5);
          expect_set_closed();
        }
      }
    }
  }
  EXPECT_GT(runs, 60);
}

}  // namespace
}  // namespace osp::test
