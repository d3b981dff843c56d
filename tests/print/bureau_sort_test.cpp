// The bureau order of JARL_sort: groups, call keys and their adjustments,
// prefix lists, the route via a manager, foreign contacts, both directions,
// record order, and the ranges that read nothing.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/hooks_fixture.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

constexpr int kEntries = 10001;
constexpr int kEntrySize = 12;

struct Entry {
  int group;
  std::string key;
  int32_t recno;
  bool operator==(const Entry&) const = default;
};

using Entries = std::array<uint8_t, kEntries * kEntrySize>;

Entry entry_at(const Entries& e, int k) {
  const uint8_t* p = e.data() + k * kEntrySize;
  int32_t recno = 0;
  std::memcpy(&recno, p + 8, 4);
  return {p[0], std::string(reinterpret_cast<const char*>(p + 1), 7), recno};
}

std::vector<Entry> first_entries(const Entries& e, int count) {
  std::vector<Entry> out;
  for (int k = 0; k < count; ++k) out.push_back(entry_at(e, k));
  return out;
}

test::TestContact with(test::TestContact c, const std::string& qsl, bool utc = false) {
  c.qsl = qsl;
  c.utc = utc;
  return c;
}

class BureauSortTest : public ::testing::Test {
 protected:
  void open(const std::vector<test::TestContact>& contacts) {
    base_ = dir_.file("BUREAU");
    test::write_log(base_, contacts);
    log_ = std::make_unique<test::OpenedLog>(base_);
    ASSERT_EQ(log_->status, 0);
  }
  int32_t sort(int32_t first, int32_t last, int32_t mode, const char* list1 = "") {
    entries_.fill(0xEE);
    return JARL_sort(log_->get(), entries_.data(), first, last, list1, "", "", mode);
  }

  test::HookRecorder hooks_;
  test::TempDir dir_;
  std::string base_;
  std::unique_ptr<test::OpenedLog> log_;
  Entries entries_{};
};

TEST_F(BureauSortTest, GroupsKeysAndOrderOfEveryRule) {
  open({test::contact("QA1ABC"),                                              // 1
        test::contact("QA1AB"),                                               // 2
        test::contact("QB0XYZ"),                                              // 3
        test::contact("7J1AAA"),                                              // 4
        test::contact("8J1A"),                                                // 5
        test::contact("W1AW", "6001"),                                        // 6
        with(test::contact("QC2XYZ"), "   ", true),                           // 7
        test::contact("3D2AB", "5"),                                          // 8
        test::contact("QA1ABC"),                                              // 9
        test::contact("7K1XYZ"),                                              // 10
        with(test::contact("QD3AAA", "1001", {"", "via @QQ2ABC", ""}), "M  "),  // 11
        with(test::contact("QD3BBB", "1001", {"", "no manager", "@ab"}), "M  "),  // 12
        with(test::contact("QD4CCC", "1001", {"", "", "mgr @0Q1ZZ"}), "M  ")});  // 13
  ASSERT_EQ(sort(1, 13, 1, "7K1 7L"), 0);
  const std::vector<Entry> want = {
      {1, "0Q1 ZZ ", 13},  {1, "QA1 AB ", 2},   {1, "QA1ABC ", 1},  {1, "QA1ABC ", 9},
      {2, "QQ2ABC ", 11},  {3, "QD3BBB ", 12},  {10, "QB:XYZ ", 3}, {100, "7J1AAA ", 4},
      {111, "7K1XYZ ", 10}, {140, "8J1A   ", 5}, {200, "QC2XYZ ", 7}, {200, "W1A W  ", 6},
      {210, "3D2 AB ", 8}};
  EXPECT_EQ(first_entries(entries_, 13), want);
  EXPECT_EQ(entry_at(entries_, 13), (Entry{0, std::string(7, '\0'), 0})) << "the rest is zero";

  // Descending is the exact reverse.
  ASSERT_EQ(sort(1, 13, 2, "7K1 7L"), 0);
  EXPECT_EQ(first_entries(entries_, 13), std::vector<Entry>(want.rbegin(), want.rend()));
  // Nothing was written: the contacts read back as stored.
  ASSERT_EQ(OSP_read(log_->get(), 2, 3), 0);
  EXPECT_EQ(test::text(log_->log.view.callsign), "QA1AB  ");
}

TEST_F(BureauSortTest, RangesAndRecordOrder) {
  open({test::contact("QA1A"), test::contact("QA1B"), test::contact("QA1C"), test::contact("QA1D"),
        test::contact("QA1E"), test::contact("QA1F"), test::contact("QA1G"), test::contact("QA1H")});
  struct Case {
    int32_t first, last, mode;
    std::vector<int32_t> recnos;  // of the leading entries, the rest zero
  };
  const Case cases[] = {
      {3, 7, 4, {7, 6, 5, 4, 3}},
      {3, 7, 3, {3, 4, 5, 6, 7}},
      {5, 3, 1, {5}},           // fewer than two: entry 0 only
      {-4, 0, 1, {1}},
      {6, 99, 4, {8, 7, 6}},    // clamped to the file
      {99, 120, 1, {8}},
      {7, 99, 1, {7, 8}},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(sort(c.first, c.last, c.mode), 0) << c.first << ".." << c.last;
    for (size_t k = 0; k <= c.recnos.size(); ++k) {
      const Entry e = entry_at(entries_, static_cast<int>(k));
      EXPECT_EQ(e.recno, k < c.recnos.size() ? c.recnos[k] : 0) << c.first << ".." << c.last;
      if (c.mode > 2) {
        EXPECT_EQ(e.group, 0);
      }
    }
  }
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(BureauSortTest, EmptyLogGivesRecordOne) {
  open({});
  ASSERT_EQ(sort(1, 50, 1), 0);
  EXPECT_EQ(entry_at(entries_, 0).recno, 1);
  EXPECT_EQ(entry_at(entries_, 1).recno, 0);
}

TEST_F(BureauSortTest, TenThousandIsTheLimit) {
  std::vector<test::TestContact> many;
  for (int i = 0; i < 10001; ++i) many.push_back(test::contact("QA" + std::to_string(i % 10) + "ZZ"));
  open(many);
  ASSERT_EQ(sort(1, 10001, 1), -1);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_EQ(hooks_.boxes[0].text, test::sjis("印字件数は１万以内です"));
  EXPECT_EQ(hooks_.boxes[0].caption, "OSPREY32.DLL");
  EXPECT_EQ(hooks_.boxes[0].style, 0x40u);
  EXPECT_EQ(hooks_.boxes[0].use_active, 1);
  for (uint8_t b : entries_) ASSERT_EQ(b, 0) << "the array is all zero";

  ASSERT_EQ(sort(2, 10001, 1), 0);
  for (int k = 1; k < 10000; ++k) {
    ASSERT_LE(std::memcmp(entries_.data() + (k - 1) * kEntrySize, entries_.data() + k * kEntrySize,
                          kEntrySize),
              0);
  }
  // Equal keys go by the record number's bytes, least significant first.
  EXPECT_EQ(entry_at(entries_, 0), (Entry{1, "QA1 ZZ ", 512}));
  EXPECT_EQ(entry_at(entries_, 10000).recno, 0);
}

TEST_F(BureauSortTest, ClosedContactFileIsRefused) {
  LogHandle log{};
  log.dbs.handle.file = OSP_NO_FILE;
  entries_.fill(1);
  EXPECT_EQ(JARL_sort(&log, entries_.data(), 1, 5, "", "", "", 1), 10);
  EXPECT_EQ(entries_[0], 0);
  EXPECT_EQ(JARL_sort(nullptr, entries_.data(), 1, 5, "", "", "", 1), 10);
}

}  // namespace
}  // namespace osp
