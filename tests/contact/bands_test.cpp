// FreqPCheck, Wget_bit and Wput_bit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "osprey32.h"
#include "support/log_generator.h"

namespace osp {
namespace {

TEST(FreqPCheckTest, ClassifiesFrequencyTexts) {
  const struct {
    const char* text;
    int32_t band;
  } cases[] = {
      {"1.9", 0},     {"3.5", 1},     {"7.050", 2},   {"10.1", 3},   {"14.195", 4},
      {"18.1", 5},    {"21.2", 6},    {"24.9", 7},    {"28.5", 8},   {"29.6", 8},
      {"50.1", 9},    {"5", 9},       {"5 ", 9},      {"144.0", 10}, {"145.5", 10},
      {"430.0", 11},  {"1200", 12},   {"2400", 13},   {"5760", 14},  {"3500", 15},
      {"13", 15},     {"4", 15},      {"146", 4},     {"14", 4},     {"24", 7},
      {"", 15},       {" 7.0", 15},   {"1", 15},      {"2", 15},     {"20", 15},
      {"\x82\x50", 15},
  };
  for (const auto& c : cases) EXPECT_EQ(FreqPCheck(c.text), c.band) << '"' << c.text << '"';
  EXPECT_EQ(FreqPCheck(nullptr), 15);
}

// Every frequency the test logs are made of falls in the band it was
// drawn for.
TEST(FreqPCheckTest, TheGeneratorsBandsAgree) {
  for (int band = 0; band < 15; ++band) {
    for (const std::string& f : test::LogGenerator::band_frequencies(band))
      EXPECT_EQ(FreqPCheck(f.c_str()), band) << f;
  }
}

std::string band_string_of(uint16_t confirmed, uint16_t worked) {
  uint8_t data[48] = {};
  data[38] = static_cast<uint8_t>(confirmed);
  data[39] = static_cast<uint8_t>(confirmed >> 8);
  data[40] = static_cast<uint8_t>(worked);
  data[41] = static_cast<uint8_t>(worked >> 8);
  char out[16];
  std::memset(out, 'x', sizeof out);
  Wget_bit(out, data);
  EXPECT_EQ(out[15], '\0');
  return std::string(out, 15);
}

TEST(BandStringTest, MasksToText) {
  const struct {
    uint16_t confirmed, worked;
    const char* text;
  } cases[] = {
      {0x0005, 0x0007, "CWC            "},
      {0x0000, 0x8000, "---------------"},
      {0x7FFF, 0x8001, "---------------"},
      {0x8000, 0x0000, "               "},  // only the worked mask's bit 15 counts
      {0x4000, 0x7FFF, "WWWWWWWWWWWWWWC"},
      {0x0000, 0x0000, "               "},
  };
  for (const auto& c : cases)
    EXPECT_EQ(band_string_of(c.confirmed, c.worked), c.text) << c.confirmed << " " << c.worked;
}

TEST(BandStringTest, TextToMasks) {
  const struct {
    const char* text;
    uint16_t confirmed, worked;
  } cases[] = {
      {"W-             ", 0x8000, 0x8000},
      {"C              ", 0x0001, 0x0000},
      {"CWC            ", 0x0005, 0x0002},
      {"  W x?c w     C", 0x4000, 0x0004},
      {"WWWWWWWWWWWWWWW-", 0x0000, 0x7FFF},  // place 15 is never read
  };
  for (const auto& c : cases) {
    LogHandle log{};
    std::memset(log.mst_image, 0xEE, sizeof log.mst_image);
    Wput_bit(&log, c.text);
    EXPECT_EQ(log.mst_image[38] | log.mst_image[39] << 8, c.confirmed) << c.text;
    EXPECT_EQ(log.mst_image[40] | log.mst_image[41] << 8, c.worked) << c.text;
    EXPECT_EQ(log.mst_image[37], 0xEE);
    EXPECT_EQ(log.mst_image[42], 0xEE);
  }
}

}  // namespace
}  // namespace osp
