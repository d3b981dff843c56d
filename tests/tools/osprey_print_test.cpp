// osprey print and osprey labels on a copy of the sample log: template lines
// per contact as UTF-8, and a label PDF whose text (read back with pdftotext)
// holds the call signs in the order the labels were meant to stand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/contact_file_builder.h"
#include "support/master_file_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osp::test {
namespace {

namespace fs = std::filesystem;

const std::string kSamples = std::string(OSP_SOURCE_DIR) + "/samples/";
const std::string kLabelTemplate = std::string(OSP_SOURCE_DIR) + "/docs/label-template.txt";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool on_path(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

class OspreyPrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
    log_ = dir_.file("LOG");
    fs::copy_file(kSamples + "SAMPLE.dbs", log_ + ".dbs");
    fs::copy_file(kSamples + "SAMPLE.mst", log_ + ".mst");
    const ProgramResult r = run_program(OSP_TOOL_PATH, {"open", log_, "--yes"});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
  }

  ProgramResult osprey(std::vector<std::string> args) {
    args.insert(args.begin() + 1, log_);
    return run_program(OSP_TOOL_PATH, args);
  }

  TempDir dir_;
  std::string log_;
};

TEST_F(OspreyPrintTest, PrintsOneLinePerLiveContact) {
  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {{"print", "--template", "!n|!c|!d !t|!u|!N12|"},
       {"1     |QA1XYZ    |26/01/03 09:15J|JST|能登 一郎   |",
        "2     |QB3QHB    |26/01/05 03:40U|UTC|佐藤 花子   |",
        "3     |QA8ZZK    |26/02/11 14:02J|JST|ﾀﾅｶ         |",
        "5     |QM4HUX/1  |26/02/28 22:05J|JST|表 ソラ     |",
        "6     |QF2WXY    |25/12/31 23:59J|JST|山本 美咲   |",
        "7     |QA1XX     |99/12/31 14:59U|UTC|古川        |"}},
      {{"print", "--from", "2", "--to", "3", "--template", "!c2 !f"}, {"QB 14.0", "QA 144 "}},
      {{"print", "--to", "1", "--qsl", "--template", "!CP|!DY-!DJ-!Dd|!FR|!Jc"},
       {"ＱＡ１ＸＹＺ        |2026-Jan-3|7|100105"}},
      {{"print", "--from", "7", "--qsl", "--template", "!DY !C3!C5 !NO"}, {"1999 １Ｘ 7"}},
      // The command's !TZ names the zone; the library's escapes stay whole.
      {{"print", "--from", "2", "--to", "3", "--qsl", "--template", "!TH:!TM !TZ|!!TZ|!R1,01,02"},
       {"03:40 UTC|!UTC|  ", "14:02 JST|!JST|  "}},
      // Bureau order; a prefix in the first list gets a group of its own
      // after the ordinary areas, before the contacts abroad.
      {{"print", "--order", "bureau", "--lists", "QF2,,", "--template", "!n"},
       {"1     ", "5     ", "3     ", "6     ", "7     ", "2     "}},
  };
  for (const Case& c : cases) {
    const ProgramResult r = osprey(c.args);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(lines_of(r.out), c.lines) << c.args.back();
  }
}

TEST_F(OspreyPrintTest, RefusesAWrongOrderAndLists) {
  EXPECT_EQ(osprey({"print", "--template", "!c", "--order", "call"}).exit_status, 2);
  EXPECT_EQ(osprey({"print", "--template", "!c", "--lists", "a,b,c,d"}).exit_status, 2);
  EXPECT_EQ(osprey({"labels", "--template-file", kLabelTemplate, "--pdf", dir_.file("x.pdf"),
                    "--layout", "0x8"})
                .exit_status,
            2);
  EXPECT_EQ(osprey({"labels", "--template-file", kLabelTemplate, "--pdf", dir_.file("x.pdf"),
                    "--margins", "10,10,150,150"})
                .exit_status,
            2);  // no room left for labels
  EXPECT_FALSE(fs::exists(dir_.file("x.pdf")));
}

TEST_F(OspreyPrintTest, LabelPdfHoldsTheCallSignsInOrder) {
  if (!on_path("pdftotext")) GTEST_SKIP() << "pdftotext is not installed";
  const std::string pdf = dir_.file("labels.pdf");
  const std::string template_file = dir_.file("label.txt");
  {
    std::ofstream out(template_file);
    out << "!cp\n!NA 様\n";
  }
  const ProgramResult r = osprey({"labels", "--template-file", template_file, "--pdf", pdf,
                                  "--layout", "2x2", "--margins", "10,5,10,5"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_NE(r.out.find("5 labels on 2 pages"), std::string::npos) << r.out;
  const ProgramResult text = run_program("pdftotext", {"-raw", pdf, "-"});
  ASSERT_EQ(text.exit_status, 0) << text.err;
  // Bureau order: by area digit, contacts abroad (UTC or a foreign code)
  // last; each call sign once, the deleted contact and the one routed N
  // (QM4HUX, no card) none.
  const std::vector<std::string> expected = {"QA1XYZ", "QF2WXY", "QA8ZZK", "QA1XX", "QB3QHB"};
  size_t at = 0;
  for (const std::string& call : expected) {
    const size_t found = text.out.find(call, at);
    ASSERT_NE(found, std::string::npos) << call << " after place " << at << " in\n" << text.out;
    at = found + call.size();
  }
  EXPECT_EQ(text.out.find("QE6KQT"), std::string::npos);
  EXPECT_EQ(text.out.find("QM4HUX"), std::string::npos);
  EXPECT_NE(text.out.find("能登 一郎 様"), std::string::npos) << text.out;
}

// The weekly round: the cards still to send are listed and labelled in
// bureau order, then marked sent, after which none is left.
TEST_F(OspreyPrintTest, TheWeeklyQslRoundTakesTheCardsStillToSend) {
  // Contact 1 is unsent already; 4 is deleted, 5 routed N (no card).
  ASSERT_EQ(osprey({"qsl", "2", "3", "6", "7", "--sent", " "}).exit_status, 0);
  const std::string pdf = dir_.file("round.pdf");
  struct Step {
    std::vector<std::string> args;
    std::vector<std::string> lines;
  };
  const Step steps[] = {
      {{"print", "--unsent", "--template", "!n"}, {"1     ", "6     ", "3     ", "7     ", "2     "}},
      {{"print", "--unsent", "--order", "record", "--exclude", "D", "--template", "!n"},
       {"1     ", "2     ", "6     ", "7     "}},
      {{"labels", "--unsent", "--template-file", kLabelTemplate, "--pdf", pdf},
       {"5 labels on 1 page: " + pdf}},
      {{"qsl", "--unsent", "--sent", "Y"}, {"contact 1: sent mark \"Y\"; QSL now \"JY \"",
                                            "contact 2: sent mark \"Y\"; QSL now \"JY*\"",
                                            "contact 3: sent mark \"Y\"; QSL now \"DY \"",
                                            "contact 6: sent mark \"Y\"; QSL now \"JY \"",
                                            "contact 7: sent mark \"Y\"; QSL now \"JY*\"",
                                            "5 contacts marked"}},
      {{"print", "--unsent", "--template", "!n"}, {}},
      {{"labels", "--unsent", "--template-file", kLabelTemplate, "--pdf", pdf},
       {"0 labels on 1 page: " + pdf}},
  };
  for (const Step& s : steps) {
    const ProgramResult r = osprey(s.args);
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(lines_of(r.out), s.lines) << s.args[0] << " " << s.args[1];
  }
}

// More contacts than the library sorts in one call: the runs are merged
// into one bureau order (area digit, then call sign).
TEST(OspreyPrintLong, TheBureauOrderTakesMoreThanOneSortRun) {
  if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
  TempDir dir;
  const std::string log = dir.file("LONG");
  ContactFileBuilder b;
  constexpr int kCount = 12000;
  for (int i = 0; i < kCount; ++i) {
    TestContact c;
    const int n = (i * 7919) % kCount;  // calls in no order at all
    c.callsign = std::string("QA") + static_cast<char>('0' + 1 + n % 9) +
                 static_cast<char>('A' + n / 9 % 26) + static_cast<char>('A' + n / 234 % 26) +
                 static_cast<char>('A' + n / 6084 % 26);
    c.code = "1001";
    b.add(c);
  }
  b.write_log(log);
  MasterEntry area;
  area.code = "1001";
  write_master_file(log + ".mst", {area});
  ASSERT_EQ(run_program(OSP_TOOL_PATH, {"open", log, "--yes"}).exit_status, 0);
  const ProgramResult r =
      run_program(OSP_TOOL_PATH, {"print", log, "--order", "bureau", "--template", "!c"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::vector<std::string> calls = lines_of(r.out);
  ASSERT_EQ(calls.size(), static_cast<size_t>(kCount));
  for (size_t i = 1; i < calls.size(); ++i) {
    const auto key = [](const std::string& c) { return std::make_pair(c[2], c); };
    ASSERT_LE(key(calls[i - 1]), key(calls[i])) << "line " << i;
  }
}

}  // namespace
}  // namespace osp::test
