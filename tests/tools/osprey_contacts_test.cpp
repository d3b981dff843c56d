// The osprey command's contact commands, run as a program: list, show, add,
// edit and check.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
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

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class OspreyContactsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
    base_ = dir_.file("LOG");
    test::ContactFileBuilder b;
    const char* calls[] = {"QA3CCC", "QA1AAA", "QA2BBB", "QA1AAA"};
    const char* codes[] = {"1002", "1001", "100101", "1002"};
    for (int i = 0; i < 4; ++i) {
      test::TestContact c;
      c.callsign = calls[i];
      c.code = codes[i];
      c.name = i == 1 ? "\x8E\x52\x93\x63" : "TARO";  // 山田 in Shift-JIS
      c.remarks = {i == 2 ? "REMARK" : "", "", ""};
      b.add(c);
    }
    b.write_log(base_);
    test::MasterEntry m;
    m.code = "1001";
    m.name = "CHIYODA";
    test::write_master_file(base_ + ".mst", {m});
  }

  ProgramResult osprey(const std::vector<std::string>& args, const std::string& input = "") {
    ProgramResult r = test::run_program(OSP_TOOL_PATH, args, input);
    EXPECT_EQ(r.signal, 0) << r.err;
    EXPECT_FALSE(test::has_sanitizer_report(r.err)) << r.err;
    return r;
  }

  // The record numbers of a list's rows.
  static std::vector<int> rows(const std::string& out) {
    std::vector<int> n;
    for (const std::string& line : lines_of(out)) {
      if (line.empty() || contains(line, "RECNO") || line[0] == '(') continue;
      n.push_back(std::stoi(line));
    }
    return n;
  }

  void patch(const std::string& path, size_t at, const std::string& bytes) {
    auto b = test::read_file(path);
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(at));
    test::write_file(path, b);
  }

  test::TempDir dir_;
  std::string base_;
};

TEST_F(OspreyContactsTest, ListWalksTheChosenOrderFromAKeyForALimit) {
  ProgramResult r = osprey({"list", base_});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(rows(r.out), (std::vector<int>{2, 4, 3, 1}));
  EXPECT_TRUE(contains(r.out, "山田")) << r.out;
  EXPECT_TRUE(contains(r.out, "REMARK"));
  EXPECT_EQ(rows(osprey({"list", base_, "--by", "code"}).out), (std::vector<int>{2, 3, 1, 4}));
  EXPECT_EQ(rows(osprey({"list", base_, "--by", "record", "--from", "2", "--limit", "2"}).out),
            (std::vector<int>{2, 3}));
  // From a key that no entry begins with: the first one above it.
  EXPECT_EQ(rows(osprey({"list", base_, "--from", "QA1B"}).out), (std::vector<int>{3, 1}));
  EXPECT_EQ(rows(osprey({"list", base_, "--from", "QA9"}).out), std::vector<int>{});
  r = osprey({"list", base_, "--by", "master-code"});
  EXPECT_TRUE(contains(r.out, "CHIYODA")) << r.out;
  EXPECT_NE(osprey({"list", dir_.file("NONE")}).exit_status, 0);
}

TEST_F(OspreyContactsTest, ShowListsEveryContactWithTheCallSign) {
  ProgramResult r = osprey({"show", base_, "QA1AAA"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(rows(r.out), (std::vector<int>{2, 4}));
  r = osprey({"show", base_, "QA7ZZZ"});
  EXPECT_EQ(r.exit_status, 0);
  EXPECT_TRUE(contains(r.out, "no contact")) << r.out;
}

TEST_F(OspreyContactsTest, AddAndEditAskFirstAndWriteOnlyOnYes) {
  ProgramResult r = osprey({"add", base_, "--call", "QA5EEE", "--date", "2026-03-07", "--time",
                            "21:05", "--freq", "7.050", "--code", "1001", "--name", "山田",
                            "--remark2", "NEW ONE"},
                           "n\n");
  EXPECT_NE(r.exit_status, 0);
  EXPECT_TRUE(contains(r.err, "データを登録してよろしいですか？")) << r.err;
  EXPECT_TRUE(contains(r.err, "declined"));
  EXPECT_EQ(rows(osprey({"list", base_}).out).size(), 4u);

  r = osprey({"add", base_, "--call", "QA5EEE", "--date", "2026-03-07", "--time", "21:05",
              "--freq", "7.050", "--code", "1001", "--name", "山田", "--remark2", "NEW ONE"},
             "y\n");
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "added contact 5"));
  r = osprey({"show", base_, "QA5EEE"});
  EXPECT_TRUE(contains(r.out, "2026-03-07 21:05U 7.050")) << r.out;
  EXPECT_TRUE(contains(r.out, "NEW ONE"));

  r = osprey({"edit", base_, "5", "--call", "QA0AAA", "--remark2", "", "--yes"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "updated contact 5"));
  EXPECT_EQ(rows(osprey({"list", base_}).out), (std::vector<int>{5, 2, 4, 3, 1}));
  r = osprey({"edit", base_, "5", "--call", "QA0AAA", "--yes"});
  EXPECT_TRUE(contains(r.out, "unchanged")) << r.out;
  EXPECT_NE(osprey({"edit", base_, "9", "--name", "X", "--yes"}).exit_status, 0);
  EXPECT_NE(osprey({"add", base_, "--call", "QA12345678", "--yes"}).exit_status, 0)
      << "too long for the field";
  EXPECT_NE(osprey({"add", base_, "--call", "QA1", "--date", "2026-13", "--yes"}).exit_status, 0);
  EXPECT_EQ(osprey({"check", base_}).exit_status, 0);
}

// On a disk that fills (here: a file-size limit just past the contact
// file's end) an add that cannot be written says so and exits non-zero, and
// the log stays sound.
TEST_F(OspreyContactsTest, AnAddThatCannotBeWrittenFailsAndSaysSo) {
  ASSERT_EQ(osprey({"check", base_}).exit_status, 0);  // builds the indexes
  const std::vector<std::string> add = {"add", base_, "--call", "QA5EEE", "--date", "2026-03-07",
                                        "--time", "21:05", "--yes"};
  // More contacts until the next record would cross a 512-byte boundary.
  size_t size = test::read_file(base_ + ".dbs").size();
  for (int i = 0; i < 12 && (size + 511) / 512 * 512 - size >= 57; ++i) {
    ASSERT_EQ(osprey(add).exit_status, 0);
    size = test::read_file(base_ + ".dbs").size();
  }
  const size_t blocks = (size + 511) / 512;
  ASSERT_LT(blocks * 512 - size, 57u);
  std::string command = "trap '' XFSZ; ulimit -f " + std::to_string(blocks) + "; exec '" +
                        std::string(OSP_TOOL_PATH) + "'";
  for (const std::string& a : add) command += " '" + a + "'";
  const ProgramResult r = test::run_program("/bin/sh", {"-c", command});
  EXPECT_NE(r.exit_status, 0) << r.out;
  EXPECT_FALSE(contains(r.out, "added contact")) << r.out;
  EXPECT_FALSE(r.err.empty());
  EXPECT_EQ(osprey({"check", base_}).exit_status, 0);
}

TEST_F(OspreyContactsTest, CheckFindsRecordsChangedBehindTheIndexesAndCountMismatches) {
  ProgramResult r = osprey({"check", base_});
  ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "consistent"));
  // Contact 3's call sign changes without its index entry.
  patch(base_ + ".dbs", 449 + 2 * 58 + 1, "QB");
  r = osprey({"check", base_});
  EXPECT_NE(r.exit_status, 0);
  EXPECT_TRUE(contains(r.out, "record 3 carries \"QB2BBB\" but its entry \"QA2BBB\"")) << r.out;
  patch(base_ + ".dbs", 449 + 2 * 58 + 1, "QA");
  // The remarks file counts one contact too many.
  patch(base_ + ".dbr", 4, std::string("\x05", 1));
  r = osprey({"check", base_});
  EXPECT_NE(r.exit_status, 0);
  EXPECT_TRUE(contains(r.out, "accounts for 5 contacts, the contact file (.dbs) holds 4")) << r.out;
  EXPECT_TRUE(contains(r.err, "1 problem found"));
}

// A contact file whose header counts 19 million records in a file of four:
// the check stops at the records the file holds (no table sized from the
// count, no loop past the end), says so, and no file grows.
TEST_F(OspreyContactsTest, CheckOfACountThatLiesStopsAtTheRecordsHeld) {
  ASSERT_EQ(osprey({"check", base_}).exit_status, 0) << "builds the indexes";
  const std::string dbs = base_ + ".dbs";
  patch(dbs, 4, std::string("\xC0\xEA\x21\x01", 4));  // 19,000,000
  std::vector<size_t> sizes;
  for (const char* e : {".dbs", ".dbr", ".dx0", ".dx1"}) sizes.push_back(test::read_file(base_ + e).size());
  const ProgramResult r = osprey({"check", base_});
  EXPECT_NE(r.exit_status, 0);
  EXPECT_TRUE(contains(r.out, "the header counts 19000000 records, the file holds 4")) << r.out;
  EXPECT_FALSE(contains(r.out, "record 5 ")) << "no record beyond the file is visited" << r.out;
  size_t i = 0;
  for (const char* e : {".dbs", ".dbr", ".dx0", ".dx1"})
    EXPECT_EQ(test::read_file(base_ + e).size(), sizes[i++]) << e;
}

// What the log cannot hold as given is refused with the reason (exit status
// 2, usage), by add and by edit, and nothing is written.
TEST_F(OspreyContactsTest, AddAndEditRefuseWhatTheLogCannotHoldWithTheReason) {
  ASSERT_EQ(osprey({"check", base_}).exit_status, 0) << "builds the indexes";
  struct Case {
    std::vector<std::string> fields;
    const char* reason;
  };
  const Case cases[] = {
      {{"--date", "2026-02-30"}, "February 2026 has 28 days"},
      {{"--date", "2023-02-29"}, "February 2023 has 28 days"},
      {{"--date", "2026-04-31"}, "April 2026 has 30 days"},
      {{"--date", "2052-01-01"}, "the years 1952 to 2051"},
      {{"--time", "24:00"}, "is not a time"},
      {{"--call", ""}, "it is empty"},
      {{"--call", "JA1 AB"}, "a call sign has no blanks"},
      {{"--call", "QA1ABC/3"}, "goes in --portable"},
      {{"--portable", "/3"}, "without its slash"},
      {{"--freq", "abc"}, "is not one"},
      {{"--freq", "0.475"}, "below 1 MHz"},
      {{"--freq", "14.07400"}, "at most 7 characters"},
      {{"--freq", "07.050"}, "without a leading zero"},
      {{"--his", "-10"}, "signed report"},
      {{"--my", "+05"}, "signed report"},
      {{"--my", "5NN"}, "is not one"},
      {{"--code", "9999"}, "would be stored as 999A"},
      {{"--code", "500"}, "would be stored as 500A"},
      {{"--code", "10 01"}, "letters and digits"},
  };
  const std::vector<uint8_t> contacts = test::read_file(base_ + ".dbs");
  for (const Case& c : cases) {
    const bool has_call = c.fields[0] == "--call";
    for (const bool adding : {true, false}) {
      if (!adding && has_call && c.fields[1].empty()) continue;  // edit keeps the stored call
      std::vector<std::string> args = adding ? std::vector<std::string>{"add", base_}
                                             : std::vector<std::string>{"edit", base_, "1"};
      if (adding && !has_call) args.insert(args.end(), {"--call", "QA5EEE"});
      args.insert(args.end(), c.fields.begin(), c.fields.end());
      args.push_back("--yes");
      const ProgramResult r = osprey(args);
      EXPECT_EQ(r.exit_status, 2) << args[0] << " " << c.fields[1] << "\n" << r.out << r.err;
      EXPECT_TRUE(contains(r.err, c.reason)) << args[0] << " " << c.fields[1] << "\n" << r.err;
    }
  }
  EXPECT_EQ(test::read_file(base_ + ".dbs"), contacts);
}

// The row shown before the question is the one the log then lists; a code
// the master file lacks is warned of, not refused; a time without a zone
// keeps the stored one.
TEST_F(OspreyContactsTest, AddShowsTheStoredFormAndEditKeepsTheZone) {
  ProgramResult r = osprey({"add", base_, "--call", "qa5eee", "--date", "2024-02-29", "--time",
                            "21:05J", "--freq", "144.50", "--his", "599", "--my", "5",
                            "--code", "4321", "--portable", "P", "--yes"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(r.err, "has no area code 4321")) << r.err;
  const std::vector<std::string> out = lines_of(r.out);
  ASSERT_GE(out.size(), 3u);
  const std::string preview = out[2];
  r = osprey({"show", base_, "QA5EEE"});
  ASSERT_EQ(lines_of(r.out).size(), 2u) << r.out;
  const std::string shown = lines_of(r.out)[1];
  EXPECT_EQ(preview.substr(0, 9), "    new  ");
  EXPECT_EQ(preview.substr(9), shown.substr(9)) << preview << "\n" << shown;
  EXPECT_TRUE(contains(shown, "QA5EEE  P   2024-02-29 21:05J 144.50      599  5  4321"))
      << shown;

  r = osprey({"add", base_, "--call", "QA6FFF", "--code", "1001", "--freq", "1.9", "--yes"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_FALSE(contains(r.err, "has no area code")) << r.err;

  for (const auto& [time, shown_time] :
       std::vector<std::pair<std::string, std::string>>{{"06:00", "06:00J"}, {"0700U", "07:00U"},
                                                        {"0800", "08:00U"}}) {
    r = osprey({"edit", base_, "5", "--time", time, "--yes"});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, shown_time)) << r.out;
    EXPECT_TRUE(contains(osprey({"show", base_, "QA5EEE"}).out, "2024-02-29 " + shown_time));
  }
}

// Viewing commands change no file: with the contact file changed behind
// its indexes (a newer file time than the profile holds), list and show
// read the contacts in record order and say what rebuilds the indexes.
TEST_F(OspreyContactsTest, ViewingAStaleLogChangesNoFile) {
  ASSERT_EQ(osprey({"check", base_}).exit_status, 0) << "builds the indexes";
  const std::string dbs = base_ + ".dbs";
  std::filesystem::last_write_time(dbs, std::filesystem::last_write_time(dbs) +
                                            std::chrono::hours(1));
  const auto snapshot = [this] {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path()))
      files.emplace_back(e.path().string(), test::read_file(e.path().string()));
    std::sort(files.begin(), files.end());
    return files;
  };
  const auto before = snapshot();
  ProgramResult r = osprey({"list", base_});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(rows(r.out), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_TRUE(contains(r.err, "listed in record order")) << r.err;
  EXPECT_TRUE(contains(r.err, "osprey open LOG rebuilds it")) << r.err;
  r = osprey({"show", base_, "QA1AAA"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(rows(r.out), (std::vector<int>{2, 4}));
  EXPECT_EQ(osprey({"list", base_, "--by", "master-code"}).exit_status, 0);
  EXPECT_TRUE(snapshot() == before) << "a viewing command changed a file";
  // A change to the log rebuilds them.
  ASSERT_EQ(osprey({"add", base_, "--call", "QA0AAA", "--yes"}).exit_status, 0);
  r = osprey({"list", base_});
  EXPECT_EQ(rows(r.out), (std::vector<int>{5, 2, 4, 3, 1}));
  EXPECT_FALSE(contains(r.err, "record order")) << r.err;
}

}  // namespace
}  // namespace osp
