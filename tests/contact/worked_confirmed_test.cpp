// WkdCfmCheck: the walk against a count made here from the generated
// contacts, the raising rules on chosen contacts, progress and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"
#include "support/log_generator.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::OpenedLog;

// Standing of an area on a band, ordered: nothing, worked, confirmed.
enum Standing { kNone = 0, kWorked = 1, kConfirmed = 2 };
using Table = std::map<std::string, std::array<int, 15>>;

int band_of(const std::string& frequency) {
  for (int b = 0; b < 15; ++b) {
    const auto& list = test::LogGenerator::band_frequencies(b);
    if (std::find(list.begin(), list.end(), frequency) != list.end()) return b;
  }
  return -1;
}

bool digits(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The parent of a six-digit code or of five digits and a capital letter.
std::string parent_of(const std::string& code) {
  if (digits(code)) return code.substr(0, 4) + "  ";
  if (digits(code.substr(0, 5)) && code[5] >= 'A' && code[5] <= 'Z') return code.substr(0, 5) + " ";
  return "";
}

// What the walk should make of masks that start empty: every counted
// contact lifts its area, and the parent of its area, to its standing.
Table expected_table(const std::vector<test::TestContact>& contacts, const std::string& excluded,
                     char not_received, const std::string& not_taking_part) {
  Table t;
  for (const test::TestContact& c : contacts) {
    const std::string code = test::padded(c.code, 6);
    if (code.substr(0, 2) == "  " || excluded.find(c.qsl[0]) != std::string::npos) continue;
    const int band = band_of(c.frequency);
    if (band < 0 || code == not_taking_part) continue;
    const int s = c.qsl[2] == ' ' || c.qsl[2] == not_received ? kWorked : kConfirmed;
    for (const std::string& area : {code, parent_of(code)}) {
      if (area.empty()) continue;
      int& cell = t[area][static_cast<size_t>(band)];
      cell = std::max(cell, s);
    }
  }
  return t;
}

// The standings the master file holds, read through dbf_read.
Table stored_table(LogHandle* log) {
  Table t;
  uint8_t data[49];
  for (int32_t r = 1; dbf_read(&log->mst.handle, r, data) == 0; ++r) {
    const std::string code(reinterpret_cast<char*>(data), 6);
    const unsigned confirmed = data[38] | data[39] << 8;
    const unsigned worked = data[40] | data[41] << 8;
    if ((worked & 0x8000) != 0) continue;
    std::array<int, 15> row{};
    bool any = false;
    for (int b = 0; b < 15; ++b) {
      row[static_cast<size_t>(b)] = (confirmed >> b & 1) != 0 ? kConfirmed
                                    : (worked >> b & 1) != 0  ? kWorked
                                                              : kNone;
      any = any || row[static_cast<size_t>(b)] != kNone;
    }
    if (any) t[code] = row;
  }
  return t;
}

class WorkedConfirmedTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  test::HookRecorder hooks_;
  std::string base_ = dir_.file("LOG");
};

TEST_F(WorkedConfirmedTest, TheWalkEqualsACountOfTheGeneratedContacts) {
  constexpr int32_t kCount = 20000;
  test::LogGenerator g(99);
  const std::vector<test::TestContact> contacts = g.contacts(kCount);
  std::vector<test::MasterEntry> masters = g.masters();
  // One area the contacts use takes no part; its parent still may rise
  // through its siblings, never through it.
  const std::string out = contacts[0].code;
  for (test::MasterEntry& m : masters)
    if (m.code == out) m.confirmed = m.worked = 0x8000;
  test::write_log(base_, contacts, masters);

  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  int dc = 0;
  int32_t recno = 1;
  EXPECT_EQ(WkdCfmCheck(&dc, log.get(), &recno, "DM", 'N'), 10);
  EXPECT_EQ(recno, kCount + 1);
  EXPECT_EQ(stored_table(log.get()), expected_table(contacts, std::string("DM", 3), 'N', out));

  // Progress: every tenth record number, right-aligned in 7 places.
  ASSERT_EQ(hooks_.texts.size(), static_cast<size_t>(kCount / 10));
  EXPECT_EQ(hooks_.texts.back().text, "  20000");
  EXPECT_EQ(hooks_.texts.back().x, 40);
  EXPECT_EQ(hooks_.texts.back().y, 54);
  EXPECT_EQ(hooks_.texts.back().device_context, &dc);
  EXPECT_TRUE(hooks_.boxes.empty());
}

// The recompute: stale standings cleared, deleted contacts left out, an
// entry that takes no part left as it is; a failed write leaves the tables
// part-way and a second call mends them.
TEST_F(WorkedConfirmedTest, TheRecomputeMakesTheTablesOfTheLiveContacts) {
  constexpr int32_t kCount = 5000;
  test::LogGenerator g(7);
  std::vector<test::TestContact> contacts = g.contacts(kCount);
  std::vector<test::TestContact> live;
  for (size_t i = 0; i < contacts.size(); ++i) {
    contacts[i].deleted = i % 7 == 3;
    if (!contacts[i].deleted) live.push_back(contacts[i]);
  }
  std::vector<test::MasterEntry> masters = g.masters();
  const std::string out = live[0].code;
  for (size_t i = 0; i < masters.size(); ++i) {
    if (masters[i].code == out) masters[i].confirmed = masters[i].worked = 0x8000;
    else if (i % 3 == 0) masters[i].confirmed = masters[i].worked = 0x7FFF;  // stale
  }
  test::write_log(base_, contacts, masters);
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  const Table expected = expected_table(live, std::string("DM", 3), 'N', out);
  {
    test::FaultEnv env;
    test::ScopedEnv scoped(&env);
    env.fail(test::Op::kWrite, 40, test::Fault::kShort);
    EXPECT_EQ(OSP_award_recompute(nullptr, log.get(), "DM", 'N'), 22);
  }
  int dc = 0;
  ASSERT_EQ(OSP_award_recompute(&dc, log.get(), "DM", 'N'), 0);
  EXPECT_EQ(stored_table(log.get()), expected);
  EXPECT_EQ(hooks_.texts.back().text, "   5000");
  uint8_t data[49];
  for (int32_t r = 1; dbf_read(&log.get()->mst.handle, r, data) == 0; ++r)
    if (std::string(reinterpret_cast<char*>(data), 6) == test::padded(out, 6))
      EXPECT_EQ(data[38] | data[39] << 8 | data[40] << 16 | data[41] << 24, 0x80008000);
}

// Chosen contacts against chosen starting tables.
TEST_F(WorkedConfirmedTest, RaisingRules) {
  struct Case {
    const char* what;
    std::string code, frequency, qsl;
    uint16_t child_confirmed, child_worked;  // masks of 100101 before
    std::string child, parent;               // band strings of 100101 and 1001 after
  };
  const Case cases[] = {
      {"confirmed raises the area and its parent", "100101", "7.050  ", "JYY", 0, 0,
       "  C            ", "  C            "},
      {"an area already confirmed is left, its parent not visited", "100101", "7.050  ", "JYY",
       0x0004, 0, "  C            ", "               "},
      {"worked on a worked band changes nothing", "100101", "7.050  ", "J  ", 0, 0x0004,
       "  W            ", "               "},
      {"worked on a blank band", "100101", "14.0   ", "JYN", 0, 0x0004, "  W W          ",
       "    W          "},
      {"confirmed over worked", "100101", "7.050  ", "JY?", 0, 0x0004, "  C            ",
       "  C            "},
      {"an excluded route", "100101", "7.050  ", "DYY", 0, 0, "               ", "               "},
      {"no band", "100101", "3500   ", "JYY", 0, 0, "               ", "               "},
      {"a parent alone", "1001", "1.9    ", "JYY", 0, 0, "               ", "C              "},
      {"a blank code", "  01", "1.9    ", "JYY", 0, 0, "               ", "               "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TestContact t = test::contact("QA1AAA", c.code);
    t.frequency = c.frequency;
    t.qsl = c.qsl;
    std::vector<test::MasterEntry> masters = test::plain_masters();
    masters[1].confirmed = c.child_confirmed;
    masters[1].worked = c.child_worked;
    test::write_log(base_, {t}, masters);
    OpenedLog log(base_);
    ASSERT_EQ(log.status, 0);
    int32_t recno = 1;
    ASSERT_EQ(WkdCfmCheck(nullptr, log.get(), &recno, "D", 'N'), 0);
    char s[16];
    uint8_t data[49];
    ASSERT_EQ(dbf_read(&log->mst.handle, 2, data), 0);
    Wget_bit(s, data);
    EXPECT_EQ(std::string(s), c.child);
    ASSERT_EQ(dbf_read(&log->mst.handle, 1, data), 0);
    Wget_bit(s, data);
    EXPECT_EQ(std::string(s), c.parent);
  }
}

TEST_F(WorkedConfirmedTest, WithoutADeviceContextEachCallHandlesOneContact) {
  test::write_log(base_,
                  {test::contact("QA1AAA"), test::contact("QA2BBB"), test::contact("QA3CC")});
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  int32_t recno = 1;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(WkdCfmCheck(nullptr, log.get(), &recno, "", 'N'), 0);
  EXPECT_EQ(recno, 4);
  EXPECT_EQ(WkdCfmCheck(nullptr, log.get(), &recno, "", 'N'), 10);
  recno = 0;
  EXPECT_EQ(WkdCfmCheck(nullptr, log.get(), &recno, "", 'N'), 11);
  EXPECT_TRUE(hooks_.texts.empty());
}

// A mask write that fails ends the walk with its status, reported with the
// master file's path, instead of leaving the table silently wrong.
TEST_F(WorkedConfirmedTest, AFailedMaskWriteEndsTheWalk) {
  test::TestContact t = test::contact("QA1AAA", "100101");
  t.qsl = "JYY";
  test::write_log(base_, {t, t, t});
  OpenedLog log(base_);
  ASSERT_EQ(log.status, 0);
  test::FaultEnv env;
  test::ScopedEnv scoped(&env);
  env.fail(test::Op::kWrite, 1, test::Fault::kShort);
  int dc = 0;
  int32_t recno = 1;
  EXPECT_EQ(WkdCfmCheck(&dc, log.get(), &recno, "", 'N'), 22);
  EXPECT_EQ(recno, 2);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_NE(hooks_.boxes[0].text.find(base_ + ".mst"), std::string::npos);
}

// A contact file shorter than its count: the walk reads in batches, but
// ends with 21 at the first record that is not there, as a record-by-record
// walk does.
TEST_F(WorkedConfirmedTest, AShortContactFileEndsTheWalkAtTheMissingRecord) {
  test::write_generated_log(base_, 2600, 21);
  { OpenedLog built(base_); }  // the indexes, built from the whole file
  std::vector<uint8_t> bytes = test::read_file(base_ + ".dbs");
  bytes.resize(449 + 58 * 2345 + 20);
  test::write_file(base_ + ".dbs", bytes);
  OpenedLog log(base_, 4);  // file times not compared: the indexes stay
  ASSERT_EQ(log.status, 0);
  int dc = 0;
  int32_t recno = 1;
  EXPECT_EQ(WkdCfmCheck(&dc, log.get(), &recno, "", 'N'), 21);
  EXPECT_EQ(recno, 2346);
  EXPECT_EQ(int32_t{log->dbs.handle.current_recno}, 2346);
}

TEST_F(WorkedConfirmedTest, RefusesALogWithoutItsMasterIndex) {
  test::write_log(base_, {test::contact("QA1AAA")});
  OpenedLog log(base_, 2);  // quick open: contacts and remarks only
  ASSERT_EQ(log.status, 0);
  int32_t recno = 1;
  EXPECT_EQ(WkdCfmCheck(nullptr, log.get(), &recno, "", 'N'), 5);
  EXPECT_EQ(recno, 1);
  EXPECT_EQ(hooks_.boxes.size(), 1u);
  OspreyClose(log.get(), 2);
}

}  // namespace
}  // namespace osp
