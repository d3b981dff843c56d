// The sample master file the repository ships (samples/SAMPLE.mst), and the
// walk through a new log that the README gives, run as the README runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/hooks_fixture.h"
#include "support/master_file_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osp::test {
namespace {

namespace fs = std::filesystem;

const std::string kSampleMaster = std::string(OSP_SOURCE_DIR) + "/samples/SAMPLE.mst";

// Made-up areas with made-up names; the codes are those of the sample
// contact file's contacts and a few more.
std::vector<MasterEntry> sample_areas() {
  struct Area {
    const char* code;
    const char* name;
    char flg, hed;
    const char* eria;
  };
  const Area areas[] = {
      {"0101", "風見市", '1', '0', "01"},           {"0102", "星野市", '1', '0', "01"},
      {"1001", "若葉市", '1', '1', "10"},           {"100101", "若葉市　青空区", '2', '1', "10"},
      {"100105", "若葉市　花咲区", '2', '1', "10"}, {"13008B", "月原郡　雪見町", '3', '3', "13"},
      {"2002", "海辺市", '1', '2', "20"},           {"2501", "白砂市", '1', '2', "25"},
      {"4001", "鳥居市", '1', '4', "40"},           {"4002", "霧ヶ丘市", '1', '4', "40"},
  };
  std::vector<MasterEntry> entries;
  for (const Area& a : areas) {
    MasterEntry e;
    e.code = a.code;
    e.name = sjis(a.name);
    e.flg = a.flg;
    e.hed = a.hed;
    e.eria = a.eria;
    entries.push_back(e);
  }
  return entries;
}

TEST(OspreySamples, TheShippedMasterFileHoldsTheSampleAreas) {
  const std::vector<uint8_t> expected = master_table(sample_areas()).bytes();
  if (std::getenv("OSP_REGENERATE_SAMPLES") != nullptr) write_bytes(kSampleMaster, expected);
  EXPECT_EQ(read_file(kSampleMaster), expected)
      << "regenerate with: OSP_REGENERATE_SAMPLES=1 osprey_tests "
         "--gtest_filter=OspreySamples.TheShippedMasterFileHoldsTheSampleAreas";
}

// The README's walk, step by step, with what each step must show.
TEST(OspreySamples, TheReadmeWalkWorksOnANewLog) {
  if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
  TempDir dir;
  const std::string log = dir.file("LOG");
  struct Step {
    std::vector<std::string> args;
    std::string shown;  // a part of standard output
  };
  const Step steps[] = {
      {{"new", log, "--master", kSampleMaster}, "10 entries"},
      {{"list", log, "--by", "master-code"}, "若葉市　花咲区"},
      {{"add",    log,      "--call", "qa1xyz", "--date", "2026-01-03", "--time",
        "09:15J", "--freq", "7.025",  "--mode", "CW",     "--his",      "599",
        "--my",   "599",    "--code", "100105", "--name", "能登",       "--yes"},
       "added contact 1"},
      {{"add", log, "--call", "QB3QHB", "--date", "2026-01-05", "--time", "03:40", "--freq",
        "14.050", "--mode", "CW", "--his", "579", "--my", "599", "--code", "2501", "--yes"},
       "added contact 2"},
      {{"list", log}, "QA1XYZ      2026-01-03 09:15J 7.025"},
      {{"show", log, "qa1xyz"}, "100105"},
      {{"list", log, "--by", "date", "--band", "14"}, "QB3QHB"},
      {{"delete", log, "2", "--yes"}, "deleted contact 2"},
      {{"list", log, "--deleted"}, "      2*  QB3QHB"},
      {{"check", log}, "consistent"},
  };
  for (const Step& s : steps) {
    const ProgramResult r = run_program(OSP_TOOL_PATH, s.args);
    ASSERT_EQ(r.exit_status, 0) << s.args[0] << "\n" << r.out << r.err;
    EXPECT_NE(r.out.find(s.shown), std::string::npos) << s.args[0] << "\n" << r.out;
  }
}

}  // namespace
}  // namespace osp::test
