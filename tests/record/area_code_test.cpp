#include "record/area_code.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "osprey32.h"

namespace osp::log {
namespace {

TEST(ChosonCheck, ClassifiesEveryShape) {
  const struct {
    const char* code;
    int32_t kind;
  } cases[] = {
      {"      ", 1}, {"10    ", 1}, {"500   ", 3}, {"5000  ", 3}, {"500A  ", 3}, {"9X1   ", 0},
      {"1001  ", 4}, {"01001 ", 5}, {"100101", 6}, {"01001A", 7}, {"01001a", 0}, {"1A    ", 0},
      {"100 1 ", 0}, {"1001 1", 0}, {"10010 ", 5}, {" 1    ", 0}, {"A1    ", 0}, {"10A   ", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(ChosonCheck(c.code), c.kind) << "[" << c.code << "]";
}

TEST(ChosonCheck, NeverReadsPastAShortTextsEnd) {
  // Exact-size heap copies, so that a read past the NUL is caught by the
  // address sanitizer.
  const struct {
    const char* code;
    int32_t kind;
  } cases[] = {{"", 0}, {"1A", 0}, {"10", 1}, {"500", 3}, {"1001", 0}, {"01001", 0},
               {"    ", 1}, {"   ", 0}, {"1001 ", 0}};
  for (const auto& c : cases) {
    const size_t n = std::strlen(c.code) + 1;
    std::unique_ptr<char[]> copy(new char[n]);
    std::memcpy(copy.get(), c.code, n);
    EXPECT_EQ(ChosonCheck(copy.get()), c.kind) << "[" << c.code << "]";
  }
  EXPECT_EQ(ChosonCheck(nullptr), 0);
}

TEST(AreaCode, ParentsOfSixDigitAndLetterCodes) {
  char parent[7] = "######";
  EXPECT_TRUE(area_code_parent("100101", area_kind::kSixDigit, parent));
  EXPECT_STREQ(parent, "1001  ");
  EXPECT_TRUE(area_code_parent("01001A", area_kind::kFiveDigitLetter, parent));
  EXPECT_STREQ(parent, "01001 ");
  std::strcpy(parent, "######");
  EXPECT_FALSE(area_code_parent("01001 ", area_kind::kFiveDigit, parent));
  EXPECT_STREQ(parent, "######");
}

}  // namespace
}  // namespace osp::log
