// The osprey command's wkd and qsl, run as a program.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "support/contact_file_builder.h"
#include "support/master_file_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::ProgramResult;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class OspreyWkdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
    base_ = dir_.file("LOG");
    // code, frequency, QSL marks
    const char* rows[][3] = {{"100101", "7.050  ", "JYY"}, {"1002", "14.0   ", "JY "},
                             {"2501", "1.9    ", "DYY"}, {"2501", "430.00 ", "JYX"},
                             {"1002", "3500   ", "JYY"}};
    test::ContactFileBuilder b;
    for (const auto& r : rows) {
      test::TestContact c;
      c.callsign = "QA1AAA";
      c.code = r[0];
      c.frequency = r[1];
      c.qsl = r[2];
      b.add(c);
    }
    b.write_log(base_);
    auto entry = [](const std::string& code, const std::string& name) {
      test::MasterEntry m;
      m.code = code;
      m.name = name;
      return m;
    };
    test::MasterEntry out = entry("600B", "OUT");
    out.confirmed = out.worked = 0x8000;
    test::write_master_file(base_ + ".mst", {entry("1001", "\x93\x8C\x8B\x9E"),  // 東京
                                             entry("100101", "KOJIMACHI"), entry("1002", "CHUO"),
                                             entry("2501", "NAGOYA"), out});
  }

  ProgramResult osprey(const std::vector<std::string>& args) {
    ProgramResult r = test::run_program(OSP_TOOL_PATH, args);
    EXPECT_EQ(r.signal, 0) << r.err;
    EXPECT_FALSE(test::has_sanitizer_report(r.err)) << r.err;
    return r;
  }

  // The band string the table shows for code.
  static std::string bands_of(const std::string& out, const std::string& code) {
    const size_t at = out.find("\n" + code);
    if (at == std::string::npos) return "(no row)";
    const size_t open = out.find('[', at);
    return out.substr(open + 1, 15);
  }

  // The totals line of band letter, its words joined by single blanks.
  static std::string totals_of(const std::string& out, char letter) {
    const size_t at = out.find(std::string("\n") + letter + "    ");
    if (at == std::string::npos) return "(no line)";
    std::istringstream line(out.substr(at + 1, out.find('\n', at + 1) - at - 1));
    std::string joined;
    for (std::string word; line >> word;) joined += (joined.empty() ? "" : " ") + word;
    return joined;
  }

  test::TempDir dir_;
  std::string base_;
};

TEST_F(OspreyWkdTest, RaisesTheTablesAndPrintsThem) {
  const ProgramResult r = osprey({"wkd", base_, "--exclude", "D", "--not-received", "X",
                                  "--svg", dir_.file("award.svg")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(bands_of(r.out, "100101"), "  C            ");
  EXPECT_EQ(bands_of(r.out, "1001  "), "  C            ");
  EXPECT_EQ(bands_of(r.out, "1002  "), "    W          ");
  EXPECT_EQ(bands_of(r.out, "2501  "), "           W   ");  // 1.9 MHz excluded by route
  EXPECT_TRUE(contains(r.out, "東京")) << r.out;
  EXPECT_FALSE(contains(r.out, "600B")) << r.out;  // takes no part
  EXPECT_TRUE(contains(r.out, "(4 areas)"));
  // Per band: areas worked (confirmed ones included) and confirmed.
  EXPECT_EQ(totals_of(r.out, 'c'), "c 7 2 2") << r.out;
  EXPECT_EQ(totals_of(r.out, 'e'), "e 14 1 0") << r.out;
  EXPECT_EQ(totals_of(r.out, 'o'), "o 5600 0 0") << r.out;
  // Progress is drawn only on a terminal.
  EXPECT_FALSE(contains(r.err, "walking")) << r.err;

  const std::vector<uint8_t> svg = test::read_file(dir_.file("award.svg"));
  const std::string picture(svg.begin(), svg.end());
  EXPECT_EQ(picture.rfind("<?xml", 0), 0u);
  EXPECT_TRUE(contains(picture, "東京"));
  EXPECT_TRUE(contains(picture, "5600"));
  EXPECT_TRUE(contains(picture, "not worked yet"));

  // A second walk finds nothing left to raise: the same table.
  const ProgramResult again = osprey({"wkd", base_, "--exclude", "D", "--not-received", "X"});
  ASSERT_EQ(again.exit_status, 0) << again.err;
  EXPECT_EQ(again.out, r.out);
}

TEST_F(OspreyWkdTest, RefusesABadNotReceivedMark) {
  const ProgramResult r = osprey({"wkd", base_, "--not-received", "XY"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "--not-received")) << r.err;
}

TEST_F(OspreyWkdTest, QslMarksOneContact) {
  const std::string dbs = base_ + ".dbs";
  const ProgramResult r = osprey({"qsl", base_, "2", "--received", "Y"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "QSL now \"JYY\"")) << r.out;
  EXPECT_EQ(test::read_file(dbs)[449 + 58 + 44], 'Y');

  const ProgramResult sent = osprey({"qsl", base_, "3", "--sent", "N"});
  ASSERT_EQ(sent.exit_status, 0) << sent.err;
  EXPECT_EQ(test::read_file(dbs)[449 + 2 * 58 + 43], 'N');

  struct Bad {
    std::vector<std::string> args;
    std::string said;
  };
  const Bad bad[] = {{{"qsl", base_, "9", "--sent", "Y"}, "status 10"},
                     {{"qsl", base_, "0", "--received", "Y"}, "status 11"},
                     {{"qsl", base_, "1"}, "exactly one"},
                     {{"qsl", base_, "1", "--sent", "YY"}, "--sent takes one single-byte"}};
  for (const Bad& b : bad) {
    const ProgramResult f = osprey(b.args);
    EXPECT_NE(f.exit_status, 0) << b.said;
    EXPECT_TRUE(contains(f.err, b.said)) << f.err;
  }
}

}  // namespace
}  // namespace osp
