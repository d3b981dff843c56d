#include "record/field_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace osp::log {
namespace {

std::vector<uint8_t> bytes(const uint8_t* p, size_t n) { return std::vector<uint8_t>(p, p + n); }

TEST(DateField, YearByteCarriesTheCenturySoDatesSortAsBytes) {
  uint8_t d2003[3], d1999[3], d2051[3], d1952[3];
  pack_date("03/05/07", d2003);
  pack_date("99/12/31", d1999);
  pack_date("51/12/31", d2051);
  pack_date("52/01/01", d1952);
  EXPECT_EQ(bytes(d2003, 3), (std::vector<uint8_t>{0x83, 5, 7}));
  EXPECT_EQ(bytes(d1999, 3), (std::vector<uint8_t>{0x63, 12, 31}));
  EXPECT_EQ(d2051[0], 0x80 | 51);
  EXPECT_EQ(d1952[0], 52);
  EXPECT_GT(std::memcmp(d2003, d1999, 3), 0);
  EXPECT_GT(std::memcmp(d2051, d1999, 3), 0);
  EXPECT_LT(std::memcmp(d1952, d1999, 3), 0);

  char text[9];
  unpack_date(d2003, true, text);
  EXPECT_STREQ(text, "03/05/07");
  unpack_date(d1999, false, text);
  EXPECT_STREQ(text, "991231");
}

TEST(DateField, DamagedBytesStillGiveTwoDigitsEach) {
  const uint8_t damaged[3] = {0xFF, 0xFF, 200};
  char text[10];
  std::memset(text, 'Z', sizeof text);
  unpack_date(damaged, true, text);
  EXPECT_STREQ(text, "27/55/00");
  EXPECT_EQ(text[9], 'Z');
}

TEST(TimeField, MinuteByteCarriesTheZone) {
  uint8_t utc[2], jst[2];
  pack_time("21:05U", utc);
  pack_time("21:05J", jst);
  EXPECT_EQ(bytes(utc, 2), (std::vector<uint8_t>{21, 0x85}));
  EXPECT_EQ(bytes(jst, 2), (std::vector<uint8_t>{21, 0x05}));
  // Any zone letter but 'J' counts as UTC.
  uint8_t other[2];
  pack_time("00:59 ", other);
  EXPECT_EQ(other[1], 0x80 | 59);

  char text[7];
  unpack_time(utc, true, text);
  EXPECT_STREQ(text, "21:05U");
  unpack_time(jst, false, text);
  EXPECT_STREQ(text, "2105J");
}

TEST(ReportField, DigitsOfZeroShowAsBlanks) {
  uint8_t r[2];
  char text[4];
  pack_report("599", r);
  EXPECT_EQ(bytes(r, 2), (std::vector<uint8_t>{59, '9'}));
  unpack_report(r, text);
  EXPECT_STREQ(text, "599");

  const uint8_t five[2] = {5, ' '};
  unpack_report(five, text);
  EXPECT_STREQ(text, " 5 ");
  pack_report(text, r);
  EXPECT_EQ(bytes(r, 2), (std::vector<uint8_t>{5, ' '}));
}

TEST(PairValue, EachPlaceCountsOnlyWhenADigit) {
  EXPECT_EQ(pair_value("59"), 59);
  EXPECT_EQ(pair_value("5 "), 5);
  EXPECT_EQ(pair_value(" 5"), 5);
  EXPECT_EQ(pair_value("x9"), 9);
  EXPECT_EQ(pair_value("9x"), 9);
  EXPECT_EQ(pair_value("  "), 0);
}

struct FrequencyCase {
  const char* text;
  std::vector<uint8_t> stored;
  const char* shown;
};

TEST(FrequencyField, PacksAndShowsTheExamplesByteForByte) {
  const FrequencyCase cases[] = {
      // 1440500 = 0x15FAF4; L 5, P 3.
      {"144.50 ", {0xF4, 0xFA, 0x15, 0x80 | 5 << 3 | 3}, "144.50 "},
      // 7005000 = 0x6AE348; L 4, P 1.
      {"7.050  ", {0x48, 0xE3, 0x6A, 0x80 | 4 << 3 | 1}, "7.050  "},
      // 1450000 = 0x162010; L 6, P 3.
      {"145.000", {0x10, 0x20, 0x16, 0x80 | 6 << 3 | 3}, "145.000"},
      // No point: P 7. 5760100 = 0x57E464.
      {"5760100", {0x64, 0xE4, 0x57, 0x80 | 6 << 3 | 7}, "5760100"},
      {"1.9    ", {'1', '.', '9', ' '}, "1.9    "},
      {"1200   ", {'1', '2', '0', '0'}, "1200   "},
      // A text form keeps only four characters.
      {"14.0  9", {'1', '4', '.', '0'}, "14.0   "},
  };
  for (const FrequencyCase& c : cases) {
    uint8_t stored[4];
    pack_frequency(c.text, stored);
    EXPECT_EQ(bytes(stored, 4), c.stored) << c.text;
    char shown[8];
    unpack_frequency(stored, shown);
    EXPECT_STREQ(shown, c.shown) << c.text;
  }
}

TEST(FrequencyField, CleanUpBlanksFromAPointWithoutADigit) {
  char text[8] = "430.   ";
  clean_frequency(text);
  EXPECT_STREQ(text, "430    ");
  uint8_t stored[4];
  pack_frequency(text, stored);
  EXPECT_EQ(bytes(stored, 4), (std::vector<uint8_t>{'4', '3', '0', ' '}));
  char shown[8];
  unpack_frequency(stored, shown);
  EXPECT_STREQ(shown, "430    ");

  char tail[8] = "144.50.";
  clean_frequency(tail);
  EXPECT_STREQ(tail, "144.50 ");
  char middle[8] = "7. 050x";
  clean_frequency(middle);
  EXPECT_STREQ(middle, "7      ");
  char good[8] = "10.125 ";
  clean_frequency(good);
  EXPECT_STREQ(good, "10.125 ");
}

TEST(FrequencyField, TextEndingEarlyCountsAsBlanks) {
  const char text[8] = {'7', '.', '0', '5', '\0', 'x', 'y', '\0'};
  uint8_t stored[4];
  pack_frequency(text, stored);
  EXPECT_EQ(bytes(stored, 4), (std::vector<uint8_t>{'7', '.', '0', '5'}));
  const char packed[8] = {'2', '1', '.', '1', '5', '\0', 'q', '\0'};
  pack_frequency(packed, stored);
  EXPECT_EQ(stored[3], 0x80 | 4 << 3 | 2);
}

TEST(FrequencyField, DamagedPackedValueStaysInItsField) {
  // An eight-digit number, L 15 and P 7: only seven places are ever written.
  const uint8_t damaged[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  char shown[9];
  std::memset(shown, 'Z', sizeof shown);
  unpack_frequency(damaged, shown);
  EXPECT_STREQ(shown, "1677721");
  EXPECT_EQ(shown[8], 'Z');
}

}  // namespace
}  // namespace osp::log
