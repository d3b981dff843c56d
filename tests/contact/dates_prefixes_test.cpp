#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "contact/dates_prefixes.h"
#include "osprey32.h"

namespace osp::contact {
namespace {

TEST(DateComp, OrdersAcrossTheCentury) {
  struct Case {
    const char* first;
    const char* second;
    int32_t expected;
  };
  const Case cases[] = {
      {"99/12/31", "00/01/01", -1},  // 1999 before 2000
      {"51/01/01", "52/01/01", 1},   // 2051 after 1952
      {"05/03/01", "05/03/01", 0},
      {"05/03/02", "05/03/01", 1},
      {"00/00/00", "52/01/01", -1},  // no date first: earlier than all
      {"52/01/01", "00/00/00", -1},  // no date second: the year 2000
      {"00/00/00", "00/00/00", -1},
      {"7x/01/01", "07/01/01", 1},   // both 2007 by value, then text order
      {"  /01/01", "99/01/01", 1},   // blanks read as 00: 2000
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DateComp(c.first, c.second), c.expected) << c.first << " vs " << c.second;
  }
}

TEST(DateComp, TwoDigitValueReadsLooseDigits) {
  EXPECT_EQ(two_digit_value("7x"), 7);
  EXPECT_EQ(two_digit_value("x7"), 7);
  EXPECT_EQ(two_digit_value("07"), 7);
  EXPECT_EQ(two_digit_value("  "), 0);
  EXPECT_EQ(two_digit_value("51"), 51);
}

TEST(IsExPrefix, MatchesThreeThenTwoCharacters) {
  struct Case {
    const char* list;
    const char* call;
    int32_t expected;
  };
  const Case cases[] = {
      {"QA1,QB2", "QA1ABC", 1},
      {"QA1,QB2", "QB3XYZ", 1},  // by its two-character prefix
      {"QA1,QB2", "QC1ABC", 0},
      {"QA1,QB2", " QA1AB", 0},  // a leading blank never matches
      {"QA1,QB2", "\tQA1AB", 0},
      {"", "QA1ABC", 0},
      {"Q1,QA", "A1QXYZ", 0},
      {"XQA1Y", "A1QXYZ", 1},    // its two characters A1 stand inside an entry
      {"XQA1Y", "1AQXYZ", 0},
      {"QA1QB", "1QBXYZ", 1},    // a match may span two entries
      {"QA", "QA\0\0", 1},       // short call sign
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isExPrefix(c.list, c.call) & 0xFF, c.expected) << c.list << " / " << c.call;
  }
}

// A remark field of the view: 54 characters and a NUL, blank beyond the text.
std::string remark(const std::string& text) {
  std::string field(55, '\0');
  std::memcpy(field.data(), text.data(), std::min<size_t>(text.size(), 54));
  return field;
}

TEST(FindAtCall, TakesTheLastAtSignBeforeFourLettersOrDigits) {
  struct Case {
    std::string text;
    int32_t expected;
  };
  const Case cases[] = {
      {"QSL via @QA1XYZ", 9},
      {"@QA1 and @QB2ABC", 10},
      {"@AB12", 1},
      {"@AB1 ", -1},
      {"no at sign here", -1},
      {"@QB2ABC then @x", 1},
      {"\x82@QA1XYZ", -1},          // '@' as the trail byte of a double-byte character
      {"\x82\xa0@QA1XYZ", 3},       // after a whole double-byte character
      {std::string(50, 'x') + "@ABCD", -1},  // the call sign runs past the 54 places
      {std::string(49, 'x') + "@ABCD", 50},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(find_at_call(remark(c.text).c_str()), c.expected) << c.text;
  }
}

}  // namespace
}  // namespace osp::contact
