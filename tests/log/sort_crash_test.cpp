// A process killed at a random moment of DateTimeSort or MasterSort leaves a
// log that opens the way the application opens it (flags 5, Yes to any
// question) with every record of the sorted file present exactly once, in
// the old order or the new, and consistent indexes. Work files a killed sort
// leaves behind do not hinder the next one.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/hooks_fixture.h"
#include "support/log_generator.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using Record = std::vector<uint8_t>;

std::vector<Record> records_of(const std::string& path) {
  const std::vector<uint8_t> bytes = test::read_file(path);
  int32_t count = 0;
  std::memcpy(&count, bytes.data() + 4, 4);
  const size_t header = bytes[8] | bytes[9] << 8;
  const size_t size = bytes[10] | bytes[11] << 8;
  std::vector<Record> out;
  for (int32_t r = 0; r < count && header + (r + 1) * size <= bytes.size(); ++r)
    out.emplace_back(bytes.begin() + header + r * size, bytes.begin() + header + (r + 1) * size);
  return out;
}

struct Target {
  const char* name;
  int32_t(OSPAPI* sort)(LogHandle*);
  const char* extension;
  friend void PrintTo(const Target& target, std::ostream* os) { *os << target.name; }
};

class SortCrashTest : public ::testing::TestWithParam<Target> {
 protected:
  // A new log, out of order in both files, in the same folder as the
  // rounds before (with whatever work files they left).
  void write_round_log(uint64_t seed) {
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) {
      if (e.path().filename().string().rfind("CRASH.", 0) == 0) std::filesystem::remove(e.path());
    }
    test::LogGenerator g(seed, {.remark_percent = 30, .deleted_percent = 10});
    std::vector<test::MasterEntry> masters = g.masters();
    std::mt19937 rng(static_cast<uint32_t>(seed));
    for (int i = 0; i < 3000; ++i)
      masters.push_back(test::master(std::to_string(100000 + rng() % 900000), "AREA"));
    std::shuffle(masters.begin(), masters.end(), rng);
    test::write_log(base_, g.contacts(3000), masters);
  }

  // The time one sort takes in this process, to spread the kills over it.
  std::chrono::microseconds sort_time() {
    write_round_log(1);
    test::OpenedLog log(base_);
    EXPECT_EQ(log.status, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetParam().sort(log.get()), 0);
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 start);
  }

  test::HookRecorder hooks_;
  test::TempDir dir_;
  std::string base_ = dir_.file("CRASH");
};

TEST_P(SortCrashTest, KilledAnywhereLeavesEveryRecordOnce) {
  hooks_.default_answer = 6;
  const Target& t = GetParam();
  const std::string path = base_ + t.extension;
  const auto span = sort_time().count() * 13 / 10 + 1;
  std::mt19937 rng(11);
  int old_order = 0;
  int new_order = 0;
  for (int round = 0; round < 30 && !HasFailure(); ++round) {
    write_round_log(100 + static_cast<uint64_t>(round));
    const std::vector<Record> before = records_of(path);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      LogHandle log{};
      if (OspreyOpen(nullptr, &log, base_.c_str(), 0, 5) != 0) _exit(2);
      const char opened = 1;
      if (write(fds[1], &opened, 1) != 1) _exit(3);
      t.sort(&log);
      pause();  // wait for the kill
      _exit(0);
    }
    close(fds[1]);
    char opened = 0;
    ASSERT_EQ(read(fds[0], &opened, 1), 1) << "round " << round << ": the child did not open";
    close(fds[0]);
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % span));
    kill(pid, SIGKILL);
    int wstatus = 0;
    ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(wstatus)) << "round " << round << ": " << WEXITSTATUS(wstatus);

    hooks_.boxes.clear();
    test::OpenedLog log(base_);
    ASSERT_EQ(log.status, 0) << "round " << round;
    for (const auto& box : hooks_.boxes)
      EXPECT_EQ(box.style & 0x0F, 4u) << "round " << round << ": only questions: " << box.text;
    const std::vector<Record> after = records_of(path);
    std::vector<Record> a = after;
    std::vector<Record> b = before;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    ASSERT_EQ(a, b) << "round " << round << ": every record exactly once";
    (after == before ? old_order : new_order) += 1;
    EXPECT_EQ(test::log_problems(log.get()), std::vector<std::string>{}) << "round " << round;
  }
  std::printf("[ %s: %d kills before the new file took its place, %d after ]\n", t.name,
              old_order, new_order);
}

INSTANTIATE_TEST_SUITE_P(Sorts, SortCrashTest,
                         ::testing::Values(Target{"DateTimeSort", DateTimeSort, ".dbs"},
                                           Target{"MasterSort", MasterSort, ".mst"}),
                         [](const ::testing::TestParamInfo<Target>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace osp
