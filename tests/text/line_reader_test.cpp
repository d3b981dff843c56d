// Text lines in and out: T_Gets, T_GetDbs, T_Puts, and JStrStr.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "osprey32.h"
#include "platform/env.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

// Every line T_Gets (or T_GetDbs, with blank fill) yields from bytes with a
// buffer of size bytes; a T_GetDbs line is shown up to the bytes it filled.
std::vector<std::string> lines_of(const std::string& bytes, int32_t size, bool padded) {
  test::TempDir dir;
  const std::string path = dir.file("LINES.TXT");
  test::write_file(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  const OspFile h = T_Open(path.c_str());
  EXPECT_GT(h, 0);
  std::vector<std::string> lines;
  std::vector<char> buffer(static_cast<size_t>(size), '#');
  for (int guard = 0; guard < 100; ++guard) {
    std::fill(buffer.begin(), buffer.end(), '#');
    if ((padded ? T_GetDbs : T_Gets)(buffer.data(), size, h) != 0) break;
    if (padded) {
      // Blanks follow the line up to the bytes read; the bytes after them
      // are those of earlier reads (the lines here hold no blanks).
      std::string s(buffer.data(), buffer.size());
      s.erase(s.find_first_of("#\r\n "));
      lines.push_back(s);
    } else {
      lines.emplace_back(buffer.data());
    }
  }
  platform::env()->close(h);
  return lines;
}

TEST(LineReaderTest, LinesEndWithCarriageReturnAndLineFeedOrABareLineFeed) {
  struct Case {
    std::string bytes;
    int32_t size;
    std::vector<std::string> gets;
    std::vector<std::string> padded;  // as T_GetDbs fills the buffer
  };
  const Case cases[] = {
      {"A\r\n\r\nB\r\n", 64, {"A", "", "B"}, {"A", "B"}},
      {"A\n\nB\nC", 64, {"A", "", "B", "C"}, {"A", "B", "C"}},
      {"ONE\r\n\x1A\r\nTWO\r\n", 64, {"ONE"}, {"ONE"}},
      {"ON\x1A\r\n", 64, {}, {}},
      // A line longer than the buffer comes in pieces, no byte lost.
      {"ABCDEFGHIJ\r\nK\r\n", 6, {"ABCD", "EFGH", "IJ", "K"}, {"ABCD", "EFGH", "IJ", "K"}},
      {"", 64, {}, {}},
      {"A\r\n", 2, {}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lines_of(c.bytes, c.size, false), c.gets) << c.bytes;
    EXPECT_EQ(lines_of(c.bytes, c.size, true), c.padded) << c.bytes;
  }
}

TEST(LineReaderTest, GetDbsFillsTheBytesReadWithBlanks) {
  test::TempDir dir;
  const std::string path = dir.file("LINES.TXT");
  test::write_file(path, {'A', '\r', '\n', 'B', 'C', '\r', '\n'});
  const OspFile h = T_Open(path.c_str());
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  ASSERT_EQ(T_GetDbs(buffer, sizeof buffer, h), 0);
  EXPECT_EQ(std::string(buffer, sizeof buffer), "A      #########");
  platform::env()->close(h);
}

TEST(LineReaderTest, PutsWritesATextOfAnyLengthWithItsLineEnd) {
  test::TempDir dir;
  const std::string path = dir.file("OUT.TXT");
  const OspFile h = T_Open(path.c_str());
  EXPECT_EQ(h, OSP_NO_FILE);  // T_Open opens existing files only
  const OspFile out = platform::env()->create_always(path.c_str());
  const std::string long_text(5000, 'x');
  EXPECT_EQ(T_Puts("SHORT", out), 7);
  EXPECT_EQ(T_Puts(long_text.c_str(), out), 5002);
  EXPECT_EQ(T_Puts("", out), 2);
  platform::env()->close(out);
  const auto b = test::read_file(path);
  EXPECT_EQ(std::string(b.begin(), b.end()), "SHORT\r\n" + long_text + "\r\n\r\n");
}

TEST(JStrStrTest, MatchesBeginOnlyOnCharacterBoundaries) {
  struct Case {
    const char* text;
    const char* pattern;
    int32_t at;
  };
  const Case cases[] = {
      {"ABC", "", 0},
      {"", "A", -1},
      {"AB", "ABC", -1},
      {"QSL VIA BURO", "VIA", 4},
      {"abc", "B", -1},
      // あ is 0x82 0xA0: the scan steps from 0 to 2 and never tries 1.
      {"\x82\xA0\xA0X", "\xA0\xA0X", -1},
      {"\x82\xA0\xA0X", "\xA0X", 2},
      // 表 (0x95 0x5C) holds a backslash byte that is not a backslash.
      {"\x95\x5C\\", "\\", 2},
      {"A\x82", "\x82", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(JStrStr(c.text, c.pattern), c.at) << c.pattern;
}

// A file that is not open has no lines, even right after a T_Open dropped
// what was read ahead of another file.
TEST(LineReaderTest, NoFileHasNoLines) {
  test::TempDir dir;
  const std::string path = dir.file("LINES.TXT");
  test::write_file(path, {'A', '\r', '\n', 'B', '\r', '\n'});
  const OspFile h = T_Open(path.c_str());
  char buffer[16];
  ASSERT_EQ(T_Gets(buffer, sizeof buffer, h), 0);
  platform::env()->close(h);
  EXPECT_EQ(T_Open(dir.file("NONE.TXT").c_str()), OSP_NO_FILE);
  EXPECT_EQ(T_Gets(buffer, sizeof buffer, OSP_NO_FILE), -1);
  EXPECT_EQ(T_GetDbs(buffer, sizeof buffer, OSP_NO_FILE), -1);
}

}  // namespace
}  // namespace osp
