// A process killed at a random point of a run of appends and updates leaves
// a log that opens the way the application opens it (flags 5, Yes to any
// question), holds every contact acknowledged as durable, reads each of them
// back whole, and passes the consistency checks. With write_through every
// acknowledged write is durable; without it, every write acknowledged before
// the last OSP_flush, and every acknowledged write once the command's repair
// has counted back the records that the headers did not cover yet.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/hooks_fixture.h"
#include "support/log_generator.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

constexpr int kContacts = OSP_WRITE_CONTACTS;

// One write of a run: an append of a contact, or an update that gives
// record recno the contact's fields.
struct Op {
  int32_t recno = 0;  // 0: append
  test::TestContact contact;
};

// The writes of a run, the same in the child that makes them and in the
// parent that checks them.
class OpSource {
 public:
  OpSource(uint64_t seed, int32_t count) : g_(seed), count_(count) {}
  Op next() {
    Op op;
    op.contact = g_.next();
    if (count_ > 0 && g_.below(5) < 2) {
      op.recno = static_cast<int32_t>(1 + g_.below(static_cast<uint32_t>(count_)));
    } else {
      ++count_;
    }
    return op;
  }

 private:
  test::LogGenerator g_;
  int32_t count_;
};

// Acknowledgements on the pipe: the index of a write that returned 0, and
// with kFlushed that of the last write before a flush that returned.
constexpr uint32_t kFlushed = 0x80000000u;

[[noreturn]] void run_child(const std::string& base, uint64_t seed, int32_t count, bool through,
                            int fd) {
  LogHandle log{};
  if (OspreyOpen(nullptr, &log, base.c_str(), 0, 5) != 0) _exit(2);
  log.write_through = static_cast<int16_t>(through ? 1 : 0);
  OpSource ops(seed, count);
  for (uint32_t i = 0; i < 100000; ++i) {
    const Op op = ops.next();
    int32_t word = 0;
    if (op.recno == 0) {
      log.view = test::expected_view(op.contact);
      if (OSP_append(&log, kContacts, &word) != 0) _exit(3);
    } else {
      if (OSP_read(&log, op.recno, 3) != 0) _exit(4);
      static LogHandle old;
      old = log;
      log.view = test::expected_view(op.contact);
      if (OSP_update(&log, &old, op.recno, kContacts, &word) != 0) _exit(5);
    }
    if (write(fd, &i, sizeof i) != sizeof i) _exit(6);
    if (!through && i % 7 == 6) {
      OSP_flush(&log);
      const uint32_t flushed = i | kFlushed;
      if (write(fd, &flushed, sizeof flushed) != sizeof flushed) _exit(6);
    }
  }
  _exit(0);
}

class LogCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hooks_.default_answer = 6;
    base_ = dir_.file("CRASH");
    test::write_generated_log(base_, 30, 99);
    LogHandle log{};
    ASSERT_EQ(OspreyOpen(nullptr, &log, base_.c_str(), 0, 5), 0);
    for (int32_t r = 1; r <= log.dbs.handle.record_count; ++r) {
      ASSERT_EQ(OSP_read(&log, r, 3), 0);
      states_.push_back({log.view});
    }
    OspreyClose(&log, 5);
  }

  // One round: a child runs writes until it is killed; the log is then
  // opened and checked, and what it holds becomes the starting point.
  void crash_round(int round, bool through, std::mt19937& rng, bool repair = false) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const uint64_t seed = 1000 + static_cast<uint64_t>(round);
    const auto count = static_cast<int32_t>(states_.size());
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(fds[0]);
      run_child(base_, seed, count, through, fds[1]);
    }
    close(fds[1]);

    // Let it acknowledge some writes, then kill it at a random moment.
    const auto wanted = static_cast<int64_t>(1 + rng() % (through ? 25 : 400));
    int64_t last_acked = -1;
    int64_t last_flushed = -1;
    bool ended = false;
    auto take = [&](uint32_t ack) {
      if ((ack & kFlushed) != 0) last_flushed = ack & ~kFlushed; else last_acked = ack;
    };
    while (last_acked + 1 < wanted && !ended) {
      pollfd p{fds[0], POLLIN, 0};
      ASSERT_GT(poll(&p, 1, 10000), 0) << "the child stalled";
      uint32_t ack = 0;
      if (read(fds[0], &ack, sizeof ack) != sizeof ack) ended = true; else take(ack);
    }
    std::this_thread::sleep_for(std::chrono::microseconds(rng() % (through ? 8000 : 400)));
    kill(pid, SIGKILL);
    int wstatus = 0;
    ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(wstatus)) << "the child ended by itself: " << WEXITSTATUS(wstatus);
    for (uint32_t ack = 0; read(fds[0], &ack, sizeof ack) == sizeof ack;) take(ack);
    close(fds[0]);

    // Replay: the states each record went through, with the write index
    // that gave it each one.
    struct Version {
      int64_t op;
      ContactView view;
    };
    std::vector<std::vector<Version>> history;
    for (const auto& s : states_) history.push_back({{-1, s.view}});
    std::vector<int32_t> count_after;  // the contact count after each write
    OpSource ops(seed, count);
    const int64_t in_flight = last_acked + 1;
    for (int64_t i = 0; i <= in_flight; ++i) {
      const Op op = ops.next();
      const ContactView v = test::expected_view(op.contact);
      if (op.recno == 0) history.push_back({{i, v}}); else history[op.recno - 1].push_back({i, v});
      count_after.push_back(static_cast<int32_t>(history.size()));
    }
    const int64_t durable = through || repair ? last_acked : last_flushed;
    if (repair) {
      const test::ProgramResult r =
          test::run_program(OSP_TOOL_PATH, {"check", base_, "--repair", "--yes"});
      ASSERT_NE(r.exit_status, -1) << r.err;
    }
    const int32_t durable_count = durable < 0 ? count : count_after[static_cast<size_t>(durable)];

    LogHandle log{};
    hooks_.boxes.clear();
    ASSERT_EQ(OspreyOpen(nullptr, &log, base_.c_str(), 0, 5), 0) << "round " << round;
    for (const auto& box : hooks_.boxes)
      EXPECT_EQ(box.style & 0x0F, 4u) << "only questions, no failures: " << box.caption;
    const int32_t found = log.dbs.handle.record_count;
    EXPECT_GE(found, durable_count) << "round " << round << ": acknowledged contacts lost";
    EXPECT_LE(found, count_after.back()) << "round " << round;
    std::vector<State> now;
    for (int32_t r = 1; r <= found; ++r) {
      ASSERT_EQ(OSP_read(&log, r, 3), 0) << "round " << round << " contact " << r;
      const auto& versions = history[static_cast<size_t>(r - 1)];
      // Acceptable: the version it had at the durable point, or any later.
      bool matched = false;
      for (size_t k = 0; k < versions.size() && !matched; ++k) {
        const bool current_at_durable = versions[k].op <= durable &&
                                        (k + 1 == versions.size() || versions[k + 1].op > durable);
        if (!current_at_durable && versions[k].op <= durable) continue;
        if (std::memcmp(&versions[k].view, &log.view, sizeof log.view) == 0) matched = true;
        // The write in flight when the process was killed may have rewritten
        // its remark block where it stood and not yet its record: the
        // record as it was, with the new remarks.
        if (k + 1 < versions.size() && versions[k + 1].op == in_flight) {
          ContactView torn = versions[k].view;
          std::memcpy(torn.remark1, versions[k + 1].view.remark1, sizeof torn.remark1);
          std::memcpy(torn.remark2, versions[k + 1].view.remark2, sizeof torn.remark2);
          std::memcpy(torn.remark3, versions[k + 1].view.remark3, sizeof torn.remark3);
          if (std::memcmp(&torn, &log.view, sizeof log.view) == 0) matched = true;
        }
      }
      EXPECT_TRUE(matched) << "round " << round << ": contact " << r << " is "
                           << test::view_difference(log.view, versions.back().view);
      now.push_back({log.view});
    }
    const auto problems = test::log_problems(&log);
    EXPECT_TRUE(problems.empty()) << "round " << round << ": " << problems.front();
    OspreyClose(&log, 5);
    if (std::strlen(OSP_TOOL_PATH) != 0) {
      const test::ProgramResult r = test::run_program(OSP_TOOL_PATH, {"check", base_});
      EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
    }
    states_ = now;
    acknowledged_ += last_acked + 1;
  }

  struct State {
    ContactView view;
  };
  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_;
  std::vector<State> states_;
  int64_t acknowledged_ = 0;
};

TEST_F(LogCrashTest, WithWriteThroughEveryAcknowledgedWriteSurvives) {
  std::mt19937 rng(7);
  for (int round = 0; round < 6 && !HasFailure(); ++round) crash_round(round, true, rng);
  EXPECT_GT(acknowledged_, 20);
}

// A write acknowledged without write_through is in the files: the repair
// finds every one of them.
TEST_F(LogCrashTest, WithoutWriteThroughEveryAcknowledgedWriteIsRepairable) {
  if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the command is not built";
  std::mt19937 rng(9);
  for (int round = 0; round < 6 && !HasFailure(); ++round) crash_round(round, false, rng, true);
  EXPECT_GT(acknowledged_, 50);
}

TEST_F(LogCrashTest, WithoutWriteThroughEverythingFlushedSurvives) {
  std::mt19937 rng(8);
  for (int round = 0; round < 10 && !HasFailure(); ++round) crash_round(round, false, rng);
  EXPECT_GT(acknowledged_, 100);
}

}  // namespace
}  // namespace osp
