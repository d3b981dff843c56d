// The generated logs that other tests and the benchmarks rely on cover what
// they claim to cover.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "record/area_code.h"
#include "support/log_generator.h"

namespace osp::log {
namespace {

TEST(GeneratedLog, CoversEveryKindOfContact) {
  test::LogGenerator gen(1);
  std::set<int32_t> kinds;
  std::set<std::string> frequencies;
  bool utc = false, jst = false, old = false, recent = false, sjis = false, seven = false;
  int with_remarks = 0;
  for (const test::TestContact& c : gen.contacts(3000)) {
    kinds.insert(area_code_kind(c.code.c_str()));
    frequencies.insert(c.frequency);
    (c.utc ? utc : jst) = true;
    (c.year < 2000 ? old : recent) = true;
    for (unsigned char ch : c.name) sjis |= ch >= 0x80;
    seven |= c.callsign.size() == 7;
    with_remarks += !test::remark_block_of(c).empty();
  }
  EXPECT_EQ(kinds, (std::set<int32_t>{0, 1, 3, 4, 5, 6, 7}));
  for (int band = 0; band < 15; ++band) {
    for (const std::string& f : test::LogGenerator::band_frequencies(band)) {
      EXPECT_TRUE(frequencies.count(f)) << f;
    }
  }
  EXPECT_TRUE(utc && jst && old && recent && sjis && seven);
  EXPECT_GT(with_remarks, 900);
  EXPECT_LT(with_remarks, 2100);
}

TEST(GeneratedLog, SameSeedSameLog) {
  test::LogGenerator a(42), b(42), c(43);
  for (int i = 0; i < 100; ++i) {
    const test::TestContact x = a.next(), y = b.next();
    ASSERT_EQ(test::contact_data(x, 0), test::contact_data(y, 0));
    ASSERT_EQ(test::remark_block_of(x), test::remark_block_of(y));
  }
  EXPECT_NE(test::contact_data(test::LogGenerator(42).next(), 0),
            test::contact_data(c.next(), 0));
  // Every master a log refers to is there, parents of six-digit and
  // lettered codes included.
  std::set<std::string> masters;
  for (const test::MasterEntry& m : a.masters()) masters.insert(m.code);
  for (const std::string& code : a.area_codes()) {
    EXPECT_TRUE(masters.count(code)) << code;
    char parent[7] = {};
    if (area_code_parent(code.c_str(), area_code_kind(code.c_str()), parent)) {
      EXPECT_TRUE(masters.count(parent)) << parent;
    }
  }
}

}  // namespace
}  // namespace osp::log
