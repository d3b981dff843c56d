// The main job's demo (scripts/demo.sh) run on the shipped samples: every
// step succeeds, each output is where the demo says, and samples/ is left as
// it was. The shipped demo inputs are what their generator writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osp::test {
namespace {

namespace fs = std::filesystem;

const std::string kSamples = std::string(OSP_SOURCE_DIR) + "/samples";

std::string text_of(const std::string& path) {
  const std::vector<uint8_t> b = read_file(path);
  return std::string(b.begin(), b.end());
}

size_t count_of(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Every file of samples/ with its bytes.
std::vector<std::pair<std::string, std::vector<uint8_t>>> samples_now() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (const auto& e : fs::directory_iterator(kSamples))
    files.emplace_back(e.path().filename().string(), read_file(e.path().string()));
  std::sort(files.begin(), files.end());
  return files;
}

TEST(OspreyDemo, TheMainJobsStepsRunOnTheShippedSamples) {
  if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
  const auto before = samples_now();
  TempDir dir;
  const std::string demo = dir.file("demo");
  const ProgramResult r =
      run_program("bash", {std::string(OSP_SOURCE_DIR) + "/scripts/demo.sh", OSP_TOOL_PATH, demo});
  ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_FALSE(has_sanitizer_report(r.err)) << r.err;
  EXPECT_EQ(samples_now(), before) << "the demo changed samples/";

  for (const char* part : {"40 entries", "read 300 records: imported 300, refused 0, duplicates 0; "
                                         "indexes rebuilt",
                           "consistent"})
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
  // Each step's output is where the demo says it is, and holds every contact.
  EXPECT_EQ(count_of(text_of(demo + "/contacts.txt"), "\n"), 301u);  // a heading, the contacts
  EXPECT_EQ(count_of(text_of(demo + "/LOG.adi"), "<EOR>"), 300u);
  EXPECT_EQ(count_of(text_of(demo + "/LOG.adx"), "<RECORD>"), 300u);
  EXPECT_NE(text_of(demo + "/award.svg").find("</svg>"), std::string::npos);
  EXPECT_FALSE(text_of(demo + "/award.txt").empty());
  for (const char* file : {"LOG.dbs.bak", "LOG.dbr.bak"})
    EXPECT_TRUE(file_exists(demo + "/" + file)) << file;
  if (r.out.find("no labels command") == std::string::npos) {
    EXPECT_TRUE(file_exists(demo + "/labels.pdf"));
  }
}

TEST(OspreyDemo, TheShippedDemoInputsAreWhatTheGeneratorWrites) {
  if (std::system("python3 --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 is not installed";
  TempDir dir;
  const ProgramResult r = run_program("python3", {kSamples + "/make_demo.py", dir.path()});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  for (const char* file : {"DEMO.mst", "DEMO.adx"})
    EXPECT_TRUE(read_file(dir.file(file)) == read_file(kSamples + "/" + file))
        << file << " differs: python3 samples/make_demo.py samples";
}

}  // namespace
}  // namespace osp::test
