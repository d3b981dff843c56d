// The ADIF text conversions give what the system's code page 932 converter
// gives, character by character, in both directions; and text it cannot
// convert becomes '?' and is counted.
#include <gtest/gtest.h>

#include <iconv.h>

#include <string>

#include "adif/adif_text.h"

namespace osprey_tool {
namespace {

// What the converter makes of in, or nothing when it refuses it.
bool converted(const char* to, const char* from, const std::string& in, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char buffer[16];
  char* ip = const_cast<char*>(in.data());
  size_t il = in.size();
  char* op = buffer;
  size_t ol = sizeof buffer;
  const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && il == 0;
  iconv_close(cd);
  out->assign(buffer, sizeof buffer - ol);
  return ok && !out->empty();
}

std::string utf8_of_point(uint32_t p) {
  std::string s;
  if (p < 0x800) {
    s += static_cast<char>(0xC0 | p >> 6);
  } else {
    s += static_cast<char>(0xE0 | p >> 12);
    s += static_cast<char>(0x80 | (p >> 6 & 0x3F));
  }
  s += static_cast<char>(0x80 | (p & 0x3F));
  return s;
}

TEST(AdifText, EveryShiftJisCodeConvertsAsTheConverterDoes) {
  AdifText text;
  if (!text.available()) GTEST_SKIP() << "no code page 932 converter";
  size_t codes = 0;
  for (unsigned lead = 0x80; lead <= 0xFF; ++lead) {
    const bool pair = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
    for (unsigned trail = pair ? 0x40 : 0; trail <= (pair ? 0xFCu : 0u); ++trail) {
      std::string sjis(1, static_cast<char>(lead));
      if (pair) sjis += static_cast<char>(trail);
      std::string want;
      if (!converted("UTF-8", "CP932", sjis, &want)) want = "?";
      ASSERT_EQ(text.utf8_of("a" + sjis + "z"), "a" + want + "z") << std::hex << lead << trail;
      ++codes;
    }
  }
  EXPECT_GT(codes, 11000u);
}

TEST(AdifText, EveryCharacterOfThePlaneConvertsAsTheConverterDoes) {
  AdifText text;
  if (!text.available()) GTEST_SKIP() << "no code page 932 converter";
  for (uint32_t p = 0x80; p <= 0xFFFF; ++p) {
    if (p >= 0xD800 && p <= 0xDFFF) continue;
    const std::string utf8 = utf8_of_point(p);
    std::string want;
    const bool has = converted("CP932", "UTF-8", utf8, &want);
    std::string got;
    ASSERT_EQ(text.sjis_of("a" + utf8, &got), has ? 0u : 1u) << std::hex << p;
    ASSERT_EQ(got, "a" + (has ? want : "?")) << std::hex << p;
  }
}

TEST(AdifText, BrokenUtf8BecomesQuestionMarksCounted) {
  AdifText text;
  if (!text.available()) GTEST_SKIP() << "no code page 932 converter";
  const struct {
    std::string in;
    std::string out;
    size_t replaced;
  } cases[] = {
      {"\x80" "A", "?A", 1},               // a stray continuation byte
      {"\xE3\x81", "?", 1},                // cut short at the end
      {"\xE3\x41\x42", "?AB", 1},          // not continued: the next character begins
      {"\xC0\xAF" "B", "??B", 2},          // an overlong form's bytes
      {"\xED\xA0\x80" "C", "?C", 1},       // a surrogate
      {"\xF0\x9F\x98\x80" "D", "?D", 1},   // beyond the plane
      {"\xE3\x81\x82", "\x82\xA0", 0},     // HIRAGANA A
  };
  for (const auto& c : cases) {
    std::string got;
    EXPECT_EQ(text.sjis_of(c.in, &got), c.replaced) << c.in;
    EXPECT_EQ(got, c.out) << c.in;
  }
}

}  // namespace
}  // namespace osprey_tool
