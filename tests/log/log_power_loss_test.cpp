// The log's writes with write-through, cut by a power loss at every sync
// point: after the power comes back (everything not synced dropped) and the
// log is opened again, every contact whose write had returned is there with
// its own remarks, findable through its index, and no contact shows a remark
// block that belongs to another.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"
#include "support/power_loss_env.h"
#include "support/temp_dir.h"

namespace osp::test {
namespace {

// The remark texts of a contact carry its call sign, so that a remark block
// read under another contact is seen at once.
std::array<std::string, 3> remarks_of(const std::string& call, int length) {
  std::string r1 = call + "/1";
  std::string r3 = call + "/3" + std::string(static_cast<size_t>(length), 'X');
  return {r1, "", r3};
}

// One write and what it leaves when its result came back.
struct Step {
  std::string call;
  std::array<std::string, 3> remarks;  // expected once acknowledged
  std::function<int32_t(LogHandle*)> write;
};

int32_t append_contact(LogHandle* log, const std::string& call,
                       const std::array<std::string, 3>& remarks) {
  log->view = expected_view(contact(call, "1001", remarks));
  int32_t confirm = OSP_CONFIRM_NO_QUESTION;
  return OSP_append(log, OSP_WRITE_CONTACTS, &confirm);
}

int32_t update_remarks(LogHandle* log, int32_t recno, const std::array<std::string, 3>& remarks) {
  if (OSP_read(log, recno, OSP_READ_FULL) != 0) return -1;
  LogHandle old = *log;
  set_field(log->view.remark1, remarks[0]);
  set_field(log->view.remark2, remarks[1]);
  set_field(log->view.remark3, remarks[2]);
  int32_t confirm = OSP_CONFIRM_NO_QUESTION;
  return OSP_update(log, &old, recno, OSP_WRITE_CONTACTS, &confirm);
}

class LogPowerLossTest : public ::testing::Test {
 protected:
  void SetUp() override { hooks_.default_answer = OSP_ANSWER_YES; }

  // A log of three contacts (the second without remarks) with every index
  // built and the profile's times agreeing with the files.
  void make_log() {
    for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
      std::filesystem::remove(e.path());
    write_log(base_, {contact("QA1AAA", "1001", remarks_of("QA1AAA", 4)), contact("QA2BBB"),
                      contact("QA3CCC", "1002", remarks_of("QA3CCC", 20))});
    LogHandle log{};
    ASSERT_EQ(OspreyOpen(nullptr, &log, base_.c_str(), 0, OSP_OPEN_CHECK_TIMES), 0);
    OspreyClose(&log, OSP_CLOSE_STORE_TIMES);
  }

  std::vector<Step> steps() const {
    return {
        {"QA4DDD", remarks_of("QA4DDD", 10),
         [](LogHandle* l) { return append_contact(l, "QA4DDD", remarks_of("QA4DDD", 10)); }},
        {"QA5EEE", {"", "", ""},
         [](LogHandle* l) { return append_contact(l, "QA5EEE", {"", "", ""}); }},
        // Longer: the block moves to the end of the file.
        {"QA1AAA", remarks_of("QA1AAA", 30),
         [](LogHandle* l) { return update_remarks(l, 1, remarks_of("QA1AAA", 30)); }},
        // Shorter: the block is rewritten in place.
        {"QA3CCC", remarks_of("QA3CCC", 2),
         [](LogHandle* l) { return update_remarks(l, 3, remarks_of("QA3CCC", 2)); }},
        {"QA6FFF", remarks_of("QA6FFF", 5),
         [](LogHandle* l) { return append_contact(l, "QA6FFF", remarks_of("QA6FFF", 5)); }},
    };
  }

  // Runs every step with write-through and the power going after sync point
  // cut, with the files ending in written_back written back by the system on
  // its own; returns the sync points passed when each step returned.
  std::vector<int> run(int cut, const std::vector<std::string>& written_back = {},
                       int32_t close_flags = 0) {
    std::vector<int> returned;
    PowerLossEnv power(dir_.path());
    power.lose_power_after(cut);
    {
      ScopedEnv scoped(&power);
      LogHandle log{};
      EXPECT_EQ(OspreyOpen(nullptr, &log, base_.c_str(), 0, OSP_OPEN_CHECK_TIMES), 0);
      log.write_through = 1;
      for (const Step& s : steps()) {
        EXPECT_EQ(s.write(&log), 0) << s.call;
        returned.push_back(power.syncs());
      }
      OspreyClose(&log, close_flags);
      syncs_at_close_ = power.syncs();
    }
    power.restore(written_back);
    return returned;
  }

  // Opens the log as found after the power came back and checks it against
  // the steps acknowledged before the cut.
  void check(int cut, const std::vector<int>& returned) {
    LogHandle log{};
    const int32_t flags = OSP_OPEN_CHECK_TIMES | OSP_OPEN_VIEWER;
    ASSERT_EQ(OspreyOpen(nullptr, &log, base_.c_str(), 0, flags), 0);
    // A block appended now lands where a lost one stood: a record still
    // pointing there would show it.
    EXPECT_EQ(append_contact(&log, "QA9ZZZ", remarks_of("QA9ZZZ", 40)), 0);
    std::map<std::string, std::array<std::string, 3>> found;
    for (int32_t r = 1; OSP_read(&log, r, OSP_READ_FULL) == 0; ++r) {
      const std::string call = text(log.view.callsign).substr(0, 6);
      for (const char* remark : {log.view.remark1, log.view.remark3}) {
        const std::string t(remark);
        if (t.find_first_not_of(' ') != std::string::npos) {
          EXPECT_EQ(t.substr(0, 6), call) << "contact " << r << " shows another's remarks";
        }
      }
      found[call] = {trimmed(text(log.view.remark1)), trimmed(text(log.view.remark2)),
                     trimmed(text(log.view.remark3))};
    }
    const std::vector<Step> all = steps();
    for (size_t i = 0; i < all.size(); ++i) {
      if (returned[i] > cut) continue;  // not acknowledged before the power went
      SCOPED_TRACE(all[i].call);
      ASSERT_EQ(found.count(all[i].call), 1u);
      EXPECT_EQ(found[all[i].call], all[i].remarks);
      char key[8] = {};
      std::memcpy(key, all[i].call.c_str(), 6);
      EXPECT_EQ(OSP_seek(&log, key, OSP_MODE_CONTACTS_BY_CALL), 0) << "through its index";
    }
    OspreyClose(&log, OSP_CLOSE_STORE_TIMES | OSP_CLOSE_FREE_VIEWER);
  }

  // Opens the log, whose remarks file cannot be used, under a power loss
  // after sync point cut, with Yes to a new remarks file; returns the sync
  // points the open passed.
  int open_with_new_remarks(int cut, const std::vector<std::string>& written_back) {
    make_log();
    write_file(base_ + ".dbr", std::vector<uint8_t>(300, 0x41));
    PowerLossEnv power(dir_.path());
    power.lose_power_after(cut);
    {
      ScopedEnv scoped(&power);
      LogHandle log{};
      EXPECT_EQ(OspreyOpen(nullptr, &log, base_.c_str(), 0, OSP_OPEN_CHECK_TIMES), 0);
      OspreyClose(&log, 0);
    }
    power.restore(written_back);
    return power.syncs();
  }

  static std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
  }

  int syncs_at_close_ = 0;  // the sync points of the last run, its close included
  TempDir dir_;
  HookRecorder hooks_;
  std::string base_ = dir_.file("LOG");
};

TEST_F(LogPowerLossTest, EveryAcknowledgedWriteSurvivesALossAtEverySyncPoint) {
  make_log();
  const std::vector<int> complete = run(1 << 30);
  const int total = complete.back();
  ASSERT_GE(total, 10) << "each write-through write syncs its files";
  // Nothing unsynced survives; or the system wrote the contact file, the
  // indexes over it, or both back on its own before the power went. The
  // indexes are not synced by the writes: the stale mark has them rebuilt.
  const std::vector<std::vector<std::string>> written_back = {
      {}, {".dbs"}, {".dbs", ".dx0", ".dx1"}, {".dx0", ".dx1"}, {".dx0"}};
  for (const auto& early : written_back) {
    for (int cut = 0; cut <= total; ++cut) {
      SCOPED_TRACE("power lost after sync point " + std::to_string(cut) + ", " +
                   std::to_string(early.size()) + " files written back early");
      make_log();
      const std::vector<int> returned = run(cut, early);
      check(cut, returned);
      if (HasFatalFailure()) return;
    }
  }
}

// The same writes closed with the times stored: the close syncs the files and
// the indexes before it stores times that call the indexes current, so a
// loss anywhere in the close still leaves every contact findable.
TEST_F(LogPowerLossTest, ACloseStoringTimesLeavesIndexesThatAgreeWhereverThePowerGoes) {
  make_log();
  const int writes = run(1 << 30, {}, OSP_CLOSE_STORE_TIMES).back();
  const int total = syncs_at_close_;
  ASSERT_GT(total, writes) << "the close syncs and stores times";
  for (int cut = writes; cut <= total; ++cut) {
    SCOPED_TRACE("power lost after sync point " + std::to_string(cut));
    make_log();
    const std::vector<int> returned = run(cut, {}, OSP_CLOSE_STORE_TIMES);
    check(cut, returned);
    if (HasFatalFailure()) return;
  }
}

// The contacts linked into a remarks file that cannot be used; the open
// makes a new one. Wherever the power goes, no contact links into the new
// file afterwards: a block appended to it is shown by its own contact only.
TEST_F(LogPowerLossTest, NoContactLinksIntoANewRemarksFileWhereverThePowerGoes) {
  const int total = open_with_new_remarks(1 << 30, {});
  ASSERT_GE(total, 3) << "the new file, the dropped links and the rename are synced";
  const std::vector<int> none_acknowledged(steps().size(), 1 << 30);
  const std::vector<std::vector<std::string>> written_back = {{}, {".dbr"}, {".dbs", ".dbr"}};
  for (const auto& early : written_back) {
    for (int cut = 0; cut <= total; ++cut) {
      SCOPED_TRACE("power lost after sync point " + std::to_string(cut) + ", " +
                   std::to_string(early.size()) + " files written back early");
      open_with_new_remarks(cut, early);
      check(cut, none_acknowledged);
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace osp::test
