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
    // A table the contacts do not bear out: 5600 MHz confirmed.
    test::MasterEntry chuo = entry("1002", "CHUO");
    chuo.confirmed = chuo.worked = 0x4000;
    test::write_master_file(base_ + ".mst", {entry("1001", "\x93\x8C\x8B\x9E"),  // 東京
                                             entry("100101", "KOJIMACHI"), chuo,
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
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_TRUE(contains(r.err, "--not-received")) << r.err;
}

// The award table follows the live contacts through QSL changes and a
// delete; --raise-only only ever raises.
TEST_F(OspreyWkdTest, RecomputesFromTheLiveContacts) {
  struct Step {
    std::vector<std::string> change;  // a command run before the walk, if any
    bool raise_only;
    std::string code, bands;
  };
  const Step steps[] = {
      {{}, false, "1002  ", "    W          "},  // the stale 5600 MHz cleared
      {{}, false, "2501  ", "C          C   "},
      {{"qsl", base_, "1", "--received", "N"}, false, "1001  ", "  W            "},
      {{"qsl", base_, "1", "--received", "Y"}, true, "100101", "  C            "},
      {{"qsl", base_, "1", "--received", "N"}, true, "1001  ", "  C            "},
      {{}, false, "100101", "  W            "},
      {{"delete", base_, "3", "--yes"}, false, "2501  ", "           C   "},
  };
  for (const Step& s : steps) {
    if (!s.change.empty()) {
      ASSERT_EQ(osprey(s.change).exit_status, 0) << s.change[0];
    }
    std::vector<std::string> args{"wkd", base_};
    if (s.raise_only) args.push_back("--raise-only");
    const ProgramResult r = osprey(args);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(bands_of(r.out, s.code), s.bands) << s.code << "\n" << r.out;
  }
  const ProgramResult last = osprey({"wkd", base_});
  EXPECT_TRUE(contains(last.out, "(1 deleted contact not counted)")) << last.out;
  // The entry that takes no part keeps its masks as they were.
  const std::vector<uint8_t> mst = test::read_file(base_ + ".mst");
  const size_t at = (mst[8] | mst[9] << 8) + 4 * 49 + 39;
  EXPECT_EQ(std::vector<uint8_t>(mst.begin() + at, mst.begin() + at + 4),
            (std::vector<uint8_t>{0x00, 0x80, 0x00, 0x80}));
}

TEST_F(OspreyWkdTest, APictureThatCannotBeWrittenIsAnOutputFailure) {
  const ProgramResult r = osprey({"wkd", base_, "--svg", "/dev/full"});
  EXPECT_EQ(r.exit_status, 6) << r.err;
  EXPECT_TRUE(contains(r.err, "cannot write /dev/full")) << r.err;
}

TEST_F(OspreyWkdTest, QslMarksManyContactsAndBothMarks) {
  const std::string dbs = base_ + ".dbs";
  const ProgramResult r = osprey({"qsl", base_, "2", "3", "--sent", "N", "--received", "Y"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "contact 2: sent mark \"N\", received mark \"Y\"; QSL now \"JNY\""))
      << r.out;
  EXPECT_TRUE(contains(r.out, "2 contacts marked")) << r.out;
  for (int recno : {2, 3}) {
    EXPECT_EQ(test::read_file(dbs)[449 + (recno - 1) * 58 + 43], 'N');
    EXPECT_EQ(test::read_file(dbs)[449 + (recno - 1) * 58 + 44], 'Y');
  }
  ASSERT_EQ(osprey({"delete", base_, "4", "--yes"}).exit_status, 0);

  struct Bad {
    std::vector<std::string> args;
    int exit_status;
    std::string said;
  };
  const Bad bad[] = {
      {{"qsl", base_, "1", "9", "--sent", "Y"}, 1, "record 9: no such contact (the log has 5)"},
      {{"qsl", base_, "0", "--received", "Y"}, 1, "record 0: no such contact"},
      {{"qsl", base_, "1", "4", "--sent", "Y"}, 1, "record 4 is a deleted contact"},
      {{"qsl", base_, "1"}, 2, "give --sent C, --received C or both"},
      {{"qsl", base_, "--sent", "Y"}, 2, "record numbers or --unsent"},
      {{"qsl", base_, "1", "--unsent", "--sent", "Y"}, 2, "record numbers or --unsent"},
      {{"qsl", base_, "1", "--sent", "YY"}, 2, "--sent takes one single-byte"},
  };
  const std::vector<uint8_t> before = test::read_file(dbs);
  for (const Bad& b : bad) {
    const ProgramResult f = osprey(b.args);
    EXPECT_EQ(f.exit_status, b.exit_status) << b.said << "\n" << f.err;
    EXPECT_TRUE(contains(f.err, b.said)) << f.err;
  }
  EXPECT_EQ(test::read_file(dbs), before) << "a refused command marked a card";
}

}  // namespace
}  // namespace osp
