// A model-based test of the writes: thousands of random appends, updates
// (call sign, code, remarks of every length, frequency), zaps, flushes and
// reopens run against an in-memory model of the log. After every step each
// index walks in exactly the model's order (equal keys in the order their
// entries went in), and the contact written reads back as the model holds
// it; at every reopen every contact is compared and the whole log checked,
// by the test's own checker and by `osprey check`.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/hooks_fixture.h"
#include "support/log_generator.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::SlotEntry;
using test::TestContact;

constexpr int kContacts = OSP_WRITE_CONTACTS;
constexpr int kSteps = 2500;
constexpr int kMaxRemark[3] = {28, 54, 54};

std::string call_key(const TestContact& c) { return test::padded(c.callsign, 7).substr(0, 6); }
std::string code_key(const TestContact& c) { return test::padded(c.code, 6); }

struct Model {
  std::vector<TestContact> contacts;  // in record order
  std::vector<SlotEntry> slots[2];    // index order as the log keeps it

  static std::string key(int slot, const TestContact& c) {
    return slot == 0 ? call_key(c) : code_key(c);
  }
  // A new entry goes after every entry with an equal key.
  void insert(int slot, const std::string& key, int32_t recno) {
    auto& s = slots[slot];
    const auto at = std::upper_bound(s.begin(), s.end(), key,
                                     [](const std::string& k, const SlotEntry& e) { return k < e.key; });
    s.insert(at, SlotEntry{key, recno});
  }
  void append(const TestContact& c) {
    contacts.push_back(c);
    const auto recno = static_cast<int32_t>(contacts.size());
    for (int s = 0; s < 2; ++s) insert(s, key(s, c), recno);
  }
  void update(int32_t recno, const TestContact& c) {
    for (int s = 0; s < 2; ++s) {
      const std::string old_key = key(s, contacts[static_cast<size_t>(recno - 1)]);
      const std::string new_key = key(s, c);
      if (old_key == new_key) continue;
      auto& e = slots[s];
      e.erase(std::find(e.begin(), e.end(), SlotEntry{old_key, recno}));
      insert(s, new_key, recno);
    }
    contacts[static_cast<size_t>(recno - 1)] = c;
  }
  void zap() {
    contacts.clear();
    slots[0].clear();
    slots[1].clear();
  }
};

class LogModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hooks_.default_answer = 6;
    base_ = dir_.file("MODEL");
    test::LogGenerator g(11);
    test::ContactFileBuilder b;
    for (int i = 0; i < 40; ++i) {
      const TestContact c = g.next();
      b.add(c);
      model_.append(c);  // a built index holds equal keys in record order
    }
    b.write_log(base_);
    test::write_master_file(base_ + ".mst", g.masters());
  }

  std::string random_remark(int which) {
    const uint32_t n = rng_.below(static_cast<uint32_t>(kMaxRemark[which]) + 1);
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-/. ";
    std::string out;
    for (uint32_t i = 0; i < n; ++i) out += kChars[rng_.below(sizeof kChars - 1)];
    // No blank at either end: the stored remark keeps neither.
    while (!out.empty() && out.back() == ' ') out.back() = 'Z';
    if (!out.empty() && out.front() == ' ') out.front() = 'A';
    return out;
  }

  // A contact that changes some of: call sign (new or another contact's),
  // code, each remark, frequency.
  TestContact changed(TestContact c) {
    const uint32_t what = 1 + rng_.below(15);
    if (what & 1) {
      const uint32_t how = rng_.below(3);
      if (how == 0) {
        c.callsign = rng_.next().callsign;
      } else if (how == 1) {
        c.callsign =
            model_.contacts[rng_.below(static_cast<uint32_t>(model_.contacts.size()))].callsign;
      } else {
        // Only the last character of the key changes.
        c.callsign = test::padded(c.callsign, 7);
        c.callsign[5] = static_cast<char>('A' + rng_.below(26));
      }
    }
    if (what & 2) c.code = rng_.area_codes()[rng_.below(static_cast<uint32_t>(rng_.area_codes().size()))];
    if (what & 4) {
      for (int r = 0; r < 3; ++r)
        if (rng_.below(2) == 0) c.remarks[static_cast<size_t>(r)] = random_remark(r);
    }
    if (what & 8) {
      const auto& band = test::LogGenerator::band_frequencies(static_cast<int>(rng_.below(15)));
      c.frequency = band[rng_.below(static_cast<uint32_t>(band.size()))];
    }
    return c;
  }

  void expect_indexes_as_modelled(int step) {
    for (int s = 0; s < 2; ++s) {
      const auto got = test::slot_entries(&log_, s);
      ASSERT_EQ(got.size(), model_.slots[s].size()) << "step " << step << " slot " << s;
      for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i], model_.slots[s][i])
            << "step " << step << " slot " << s << " entry " << i << ": '" << got[i].key << "' "
            << got[i].recno << " against '" << model_.slots[s][i].key << "' "
            << model_.slots[s][i].recno;
      }
    }
    for (int s = 2; s < 5; ++s) ASSERT_EQ(test::slot_entries(&log_, s), masters_[s - 2]) << step;
  }

  void expect_contact(int32_t recno, int step) {
    ASSERT_EQ(OSP_read(&log_, recno, 3), 0) << step;
    const std::string diff = test::view_difference(
        log_.view, test::expected_view(model_.contacts[static_cast<size_t>(recno - 1)]));
    ASSERT_TRUE(diff.empty()) << "step " << step << " contact " << recno << ": " << diff;
  }

  void reopen_and_check_everything(int step) {
    OspreyClose(&log_, 5);
    if (std::strlen(OSP_TOOL_PATH) != 0 && tool_runs_ < 25) {
      ++tool_runs_;
      const test::ProgramResult r = test::run_program(OSP_TOOL_PATH, {"check", base_});
      ASSERT_EQ(r.exit_status, 0) << "step " << step << "\n" << r.out << r.err;
    }
    ASSERT_EQ(OspreyOpen(nullptr, &log_, nullptr, 0, 5), 0);
    ASSERT_TRUE(hooks_.boxes.empty()) << "step " << step << ": " << hooks_.boxes.size()
                                      << " boxes, the first captioned " << hooks_.boxes[0].caption;
    ASSERT_EQ(+log_.dbs.handle.record_count, static_cast<int32_t>(model_.contacts.size()));
    for (int32_t r = 1; r <= log_.dbs.handle.record_count; ++r) expect_contact(r, step);
    const auto problems = test::log_problems(&log_);
    ASSERT_TRUE(problems.empty()) << "step " << step << ": " << problems.front();
  }

  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_;
  Model model_;
  test::LogGenerator rng_{2026};
  LogHandle log_{};
  std::vector<SlotEntry> masters_[3];
  int tool_runs_ = 0;
};

TEST_F(LogModelTest, EveryIndexFollowsTheModelThroughRandomWrites) {
  ASSERT_EQ(OspreyOpen(nullptr, &log_, base_.c_str(), 0, 5), 0);
  for (int s = 2; s < 5; ++s) masters_[s - 2] = test::slot_entries(&log_, s);
  expect_indexes_as_modelled(0);
  int counts[6] = {};
  for (int step = 1; step <= kSteps; ++step) {
    const uint32_t dice = rng_.below(100);
    int32_t word = 0;
    if (dice < 40 || model_.contacts.empty()) {
      ++counts[0];
      TestContact c = rng_.next();
      if (!model_.contacts.empty() && rng_.below(3) == 0)
        c.callsign = model_.contacts[rng_.below(static_cast<uint32_t>(model_.contacts.size()))].callsign;
      log_.view = test::expected_view(c);
      ASSERT_EQ(OSP_append(&log_, kContacts, &word), 0) << step;
      model_.append(c);
      expect_contact(static_cast<int32_t>(model_.contacts.size()), step);
    } else if (dice < 93) {
      ++counts[1];
      const auto recno = static_cast<int32_t>(1 + rng_.below(static_cast<uint32_t>(model_.contacts.size())));
      ASSERT_EQ(OSP_read(&log_, recno, 3), 0);
      const LogHandle old = log_;
      const TestContact c = changed(model_.contacts[static_cast<size_t>(recno - 1)]);
      log_.view = test::expected_view(c);
      ASSERT_EQ(OSP_update(&log_, const_cast<LogHandle*>(&old), recno, kContacts, &word), 0) << step;
      model_.update(recno, c);
      expect_contact(recno, step);
    } else if (dice < 94) {
      ++counts[2];
      OSP_zap(&log_);
      model_.zap();
    } else if (dice < 96) {
      ++counts[3];
      OSP_flush(&log_);
    } else {
      ++counts[4];
      reopen_and_check_everything(step);
      // One stretch with write-through (each write then costs a few flushes
      // to disk): it must not change what the indexes hold.
      log_.write_through = static_cast<int16_t>(counts[4] == 3);
    }
    // The only boxes are the updates' questions.
    for (const auto& box : hooks_.boxes)
      ASSERT_EQ(box.caption, test::sjis("データの修正")) << "step " << step << ": " << box.text;
    hooks_.boxes.clear();
    expect_indexes_as_modelled(step);
  }
  reopen_and_check_everything(kSteps + 1);
  OspreyClose(&log_, 5);
  EXPECT_GT(counts[2], 5) << "zaps";
  EXPECT_GT(counts[4], 50) << "reopens";
}

}  // namespace
}  // namespace osp
