// The osprey command's log commands, run as a program: opening a log with
// its questions answered on the terminal or by flags, and making a new log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/contact_file_builder.h"
#include "support/hooks_fixture.h"
#include "support/log_generator.h"
#include "support/master_file_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osp::test {
namespace {

namespace fs = std::filesystem;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class OspreyLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
  }

  ProgramResult osprey(const std::vector<std::string>& args, const std::string& input = "") {
    ProgramResult r = run_program(OSP_TOOL_PATH, args, input);
    EXPECT_EQ(r.signal, 0) << "the command was killed by a signal\n" << r.err;
    EXPECT_FALSE(has_sanitizer_report(r.err)) << r.err;
    return r;
  }

  std::string path(const char* extension) const { return base_ + extension; }

  // The line of standard output that starts with label.
  static std::string line(const std::string& out, const std::string& label) {
    const size_t at = out.find(label);
    if (at == std::string::npos) return "";
    return out.substr(at, out.find('\n', at) - at);
  }

  TempDir dir_;
  std::string base_ = dir_.file("LOG");
  size_t masters_ = LogGenerator(7).masters().size();
};

TEST_F(OspreyLogTest, OpenBuildsWhatIsMissingWithProgressAndShowsTheLog) {
  write_generated_log(base_, 300, 7);
  ProgramResult r = osprey({"open", base_});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::string m = std::to_string(masters_);
  EXPECT_EQ(line(r.out, "master file"),
            "master file        " + path(".mst") + ": " + m + " entries, last update 26-03-07");
  EXPECT_EQ(line(r.out, "contact file"),
            "contact file       " + path(".dbs") + ": 300 contacts, last update 26-03-07");
  EXPECT_EQ(line(r.out, "remarks file"), "remarks file       " + path(".dbr") +
                                             ": accounts for 300 contacts, last update 26-03-07");
  const char* keys[5] = {"CALLS, key length 6, 300", "CODE, key length 6, 300",
                         "CODE, key length 6, ", "FLG+CODE, key length 7, ",
                         "FLG+HED+ERIA, key length 4, "};
  for (int i = 0; i < 5; ++i) {
    const std::string index = path((".dx" + std::to_string(i)).c_str());
    const std::string shown = line(r.out, "index " + std::to_string(i));
    std::string expected = std::string("key ") + keys[i] + (i >= 2 ? m : "") + " entries";
    EXPECT_TRUE(contains(shown, index + ": " + expected + ", built now")) << shown;
    EXPECT_TRUE(contains(r.err, "building index " + std::to_string(i + 1) + " of 5: " + index))
        << r.err;
  }
  // Standard error is no terminal here: plain lines, no bar redrawn in place.
  EXPECT_TRUE(contains(r.err, "osprey: indexes built\n")) << r.err;
  EXPECT_FALSE(contains(r.err, "\x1b")) << r.err;
  EXPECT_EQ(line(r.out, "viewer"), "viewer             300 contacts in a buffer for 1000");

  // The close stored the files' times: nothing is built the second time.
  r = osprey({"open", base_});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(contains(line(r.out, "index 3"), "up to date")) << r.out;
}

TEST_F(OspreyLogTest, OpenAsksOnTheTerminalOrTakesTheAnswerFromAFlag) {
  write_generated_log(base_, 40, 7);
  fs::remove(path(".dbr"));
  const std::string question = path(".dbr") + "がオープンできません！  新規作成しますか？";

  ProgramResult r = osprey({"open", base_}, "n\n");
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "OSPREY32.DLL: " + question + " [y/N]")) << r.err;
  EXPECT_TRUE(contains(r.err, "osprey: open: " + base_ + ": result 41: ")) << r.err;
  EXPECT_FALSE(fs::exists(path(".dbr")));

  // No answer at all counts as No.
  r = osprey({"open", base_});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "-> No (no answer)")) << r.err;

  r = osprey({"open", base_}, "y\n");
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(line(r.out, "remarks file"), "accounts for 40 contacts")) << r.out;

  fs::remove(path(".dbs"));
  r = osprey({"open", base_, "--no"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "-> No (--no)")) << r.err;
  EXPECT_TRUE(contains(r.err, "result 40: ")) << r.err;
  r = osprey({"open", base_, "--yes"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(r.err, "-> Yes (--yes)")) << r.err;
  EXPECT_TRUE(contains(line(r.out, "contact file"), ": 0 contacts")) << r.out;

  r = osprey({"open", base_, "--yes", "--no"});
  EXPECT_NE(r.exit_status, 0);
}

TEST_F(OspreyLogTest, OpenShowsTheCountsThatDoNotAgree) {
  LogGenerator g(4);
  ContactFileBuilder b;
  for (int i = 0; i < 12; ++i) b.add(g.next());
  b.remarks_count = 5;
  b.write_log(base_);
  write_master_file(path(".mst"), g.masters());
  ProgramResult r = osprey({"open", base_, "--no"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(r.err, ".ＤＢＳと.ＤＢＲが不整合のおそれ: 強引に合わせておきますか？\n"
                              "  -> No (--no)"))
      << r.err;
  EXPECT_TRUE(contains(line(r.out, "remarks file"),
                       "accounts for 5 contacts (does not agree with the contact file)"))
      << r.out;
  r = osprey({"open", base_, "--yes"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  r = osprey({"open", base_});
  EXPECT_TRUE(contains(line(r.out, "remarks file"), "accounts for 12 contacts, last")) << r.out;
}

TEST_F(OspreyLogTest, OpenShowsTheLibrarysMessageAndFails) {
  write_generated_log(base_, 10, 7);
  fs::remove(path(".mst"));
  const ProgramResult r = osprey({"open", base_});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "osprey: OSPREY32.DLL:  ファイルがオープンできない（" + path(".mst") +
                                  "）"))
      << r.err;
  EXPECT_TRUE(contains(r.err, "result 42: the master file (.mst) cannot be opened")) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST_F(OspreyLogTest, NewMakesAWholeLogBesideACopyOfTheMasterFile) {
  const std::string master = dir_.file("areas.mst");
  // The other log's tables: an area worked and confirmed, one taking no part.
  std::vector<MasterEntry> entries = LogGenerator(7).masters();
  ASSERT_GE(entries.size(), 2u);
  entries[0].confirmed = 0x0005;
  entries[0].worked = 0x0007;
  entries[1].confirmed = entries[1].worked = 0x8000;
  write_master_file(master, entries);
  ProgramResult r = osprey({"new", base_, "--master", master});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  // The copy, record by record, with the tables cleared where they take part.
  const std::vector<uint8_t> copied = read_file(path(".mst"));
  const std::vector<uint8_t> original = read_file(master);
  ASSERT_EQ(copied.size(), original.size());
  const size_t header = original[8] | original[9] << 8;
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t at = header + i * 49;
    const std::vector<uint8_t> masks(copied.begin() + at + 39, copied.begin() + at + 43);
    const bool takes_part = (entries[i].worked & 0x8000) == 0;
    const std::vector<uint8_t> want = takes_part ? std::vector<uint8_t>{0, 0, 0, 0}
                                                 : std::vector<uint8_t>{0x00, 0x80, 0x00, 0x80};
    EXPECT_EQ(masks, want) << "entry " << i;
    EXPECT_TRUE(std::equal(copied.begin() + at, copied.begin() + at + 39, original.begin() + at))
        << "entry " << i;
  }
  for (const char* e : {".dbs", ".dbr", ".dx0", ".dx1", ".dx2", ".dx3", ".dx4", ".fdt"})
    EXPECT_TRUE(fs::exists(path(e))) << e;
  EXPECT_TRUE(contains(line(r.out, "contact file"), ": 0 contacts")) << r.out;
  EXPECT_TRUE(contains(line(r.out, "index 2"), std::to_string(masters_) + " entries, built now"))
      << r.out;

  // Where a log is, no new one is made.
  const std::vector<uint8_t> contacts = read_file(path(".dbs"));
  r = osprey({"new", base_, "--master", master});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "\"" + path(".mst") + "\" already exists")) << r.err;
  EXPECT_EQ(read_file(path(".dbs")), contacts);

  r = osprey({"open", base_});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "") << "the new log's times were stored";
}

TEST_F(OspreyLogTest, NewLeavesNothingBehindWhenTheLogCannotBeMade) {
  // A contact file is no master file.
  write_generated_log(dir_.file("OTHER"), 5, 7);
  ProgramResult r = osprey({"new", base_, "--master", dir_.file("OTHER.dbs")});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "result 42")) << r.err;
  for (const char* e : {".mst", ".dbs", ".dbr", ".dx0", ".fdt"})
    EXPECT_FALSE(fs::exists(path(e))) << e;

  r = osprey({"new", base_, "--master", dir_.file("none.mst")});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "is not there")) << r.err;

  // A dot in a folder name is no extension: the log is made, opened and
  // repaired under its own name in that folder.
  fs::create_directory(dir_.file("a.b"));
  r = osprey({"new", dir_.file("a.b/LOG"), "--master", dir_.file("OTHER.mst")});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir_.file("a.b/LOG.mst")));
  EXPECT_FALSE(fs::exists(dir_.file("a.mst")));
  EXPECT_EQ(osprey({"open", dir_.file("a.b/LOG")}).exit_status, 0);
  EXPECT_EQ(osprey({"check", dir_.file("a.b/LOG"), "--repair", "--yes"}).exit_status, 0);
}

// A base name is what follows the last slash: a dot in a folder name is no
// extension, whether the folder is ".", ".." or "my.logs".
TEST_F(OspreyLogTest, ADotInAFolderOfTheLogPathIsNoExtension) {
  const std::string folder = dir_.file("my.logs");
  fs::create_directory(folder);
  write_generated_log(folder + "/LOG", 20, 7);
  struct Case {
    std::string from;  // the working folder
    std::string path;
  };
  const Case cases[] = {{folder, "./LOG"},
                        {folder, "../my.logs/LOG"},
                        {"/", folder + "/LOG"},
                        {folder, "./LOG.dbs"}};
  int added = 0;
  for (const Case& c : cases) {
    const auto run = [&](const std::string& args) {
      return run_program("/bin/sh", {"-c", "cd '" + c.from + "' && '" + OSP_TOOL_PATH + "' " +
                                               args});
    };
    const std::string path = "'" + c.path + "'";
    ProgramResult r = run("add " + path + " --call QA1ABC --date 2026-03-07 --yes");
    EXPECT_EQ(r.exit_status, 0) << c.path << "\n" << r.err;
    ++added;
    r = run("list " + path + " --call QA1ABC");
    EXPECT_EQ(r.exit_status, 0) << c.path << "\n" << r.err;
    EXPECT_TRUE(contains(r.out, "QA1ABC")) << c.path << "\n" << r.out;
    r = run("check " + path);
    EXPECT_EQ(r.exit_status, 0) << c.path << "\n" << r.out << r.err;
  }
  const ProgramResult all = run_program(OSP_TOOL_PATH, {"show", folder + "/LOG", "QA1ABC"});
  size_t shown = 0;
  for (size_t at = all.out.find("QA1ABC "); at != std::string::npos; at = all.out.find("QA1ABC ", at + 1))
    ++shown;
  EXPECT_EQ(shown, static_cast<size_t>(added)) << all.out << all.err;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"LOG.dbr", "LOG.dbs", "LOG.dx0", "LOG.dx1", "LOG.dx2",
                                             "LOG.dx3", "LOG.dx4", "LOG.fdt", "LOG.mst"}));
  EXPECT_FALSE(fs::exists(dir_.file("my.mst")));
}

}  // namespace
}  // namespace osp::test
