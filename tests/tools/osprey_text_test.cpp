// The osprey command's text commands, run as a program: export and import
// of contacts as fixed-column lines and CSV, and lookups in user text files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "osprey32.h"
#include "support/contact_file_builder.h"
#include "support/hooks_fixture.h"
#include "support/log_generator.h"
#include "support/run_program.h"
#include "support/temp_dir.h"
#include "support/user_text_builder.h"

namespace osp::test {
namespace {

const char* const kPython = "/usr/bin/python3";

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string trimmed(std::string s) {
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

class OspreyTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
  }

  ProgramResult osprey(const std::vector<std::string>& args) {
    ProgramResult r = run_program(OSP_TOOL_PATH, args);
    EXPECT_EQ(r.signal, 0) << r.err;
    EXPECT_FALSE(has_sanitizer_report(r.err)) << r.err;
    return r;
  }

  // A new, empty log beside a copy of base's master file.
  void new_log(const std::string& base, const std::string& master_of) {
    ASSERT_EQ(osprey({"new", base, "--master", master_of + ".mst"}).exit_status, 0);
  }

  TempDir dir_;
  HookRecorder hooks_;  // the in-process opens below show nothing
  std::string base_ = dir_.file("LOG");
};

TEST_F(OspreyTextTest, ExportThenImportGivesBackEveryContactFieldForField) {
  constexpr int kCount = 100000;
  write_generated_log(base_, kCount, 11);
  const std::string lines = dir_.file("CONTACTS.TXT");
  ProgramResult r = osprey({"export", base_, "--format", "fixed", "--output", lines});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::string copy = dir_.file("COPY");
  new_log(copy, base_);
  r = osprey({"import", copy, lines});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "imported 100000 contacts, refused 0 lines; indexes rebuilt\n");

  LogHandle from{};
  LogHandle to{};
  ASSERT_EQ(OspreyOpen(nullptr, &from, base_.c_str(), 0, 2), 0);
  // A full open that checks file times must find the indexes in step.
  ASSERT_EQ(OspreyOpen(nullptr, &to, copy.c_str(), 0, 1), 0);
  EXPECT_TRUE(hooks_.texts.empty()) << "the import left an index to rebuild";
  ASSERT_EQ(dbf_rcount(&to.dbs.handle), kCount);
  int differing = 0;
  for (int32_t recno = 1; recno <= kCount && differing < 5; ++recno) {
    ASSERT_EQ(OSP_read(&from, recno, 3), 0);
    ASSERT_EQ(OSP_read(&to, recno, 3), 0);
    const std::string d = view_difference(to.view, from.view);
    const bool same_bytes = std::memcmp(from.dbs_image, to.dbs_image, 53) == 0;
    if (!d.empty() || !same_bytes) {
      ++differing;
      ADD_FAILURE() << "contact " << recno << ": " << d;
    }
  }
  // The contacts stand in call-sign order in index 0.
  char key[] = "QA";
  EXPECT_EQ(OSP_seek(&to, key, 16), 0);
  OspreyClose(&to, 1);
  OspreyClose(&from, 2);
}

TEST_F(OspreyTextTest, ImportRefusesBadLinesByNumberAndReason) {
  write_generated_log(base_, 2, 3);
  const std::string good = "QA1XYZ    1001  PM95  7.050  CW TARO        JY 0305072105U599599";
  const std::string lines = dir_.file("LINES.TXT");
  const std::string text = good + "\r\n\r\n" + "QA1XYZ" + "\r\n" +
                           good.substr(0, 47) + "030532" + good.substr(53) + "\n" +
                           good.substr(0, 57) + "X599599\r\n" + good + std::string(150, 'x') +
                           "\r\n" + good + "\r\n";
  write_file(lines, std::vector<uint8_t>(text.begin(), text.end()));
  const ProgramResult r = osprey({"import", base_, lines});
  EXPECT_EQ(r.exit_status, 5) << r.err;  // problems found in the file
  // The last line repeats the first: skipped, and said so; again with
  // --allow-duplicates it goes in.
  EXPECT_EQ(r.out,
            "imported 1 contacts, refused 4 lines; indexes rebuilt\n"
            "skipped 1 line the log already had (same call, date, time, band, mode): 7\n");
  std::vector<std::string> refused;
  for (const std::string& l : lines_of(r.err)) {
    if (l.find("refused") != std::string::npos) refused.push_back(l.substr(l.find(".TXT:") + 5));
  }
  EXPECT_EQ(refused, (std::vector<std::string>{
                         "3: refused: the date in columns 48-53 is not yymmdd: \"      \"",
                         "4: refused: the date in columns 48-53 is not yymmdd: \"030532\"",
                         "5: refused: the zone in column 58 is neither J nor U: \"X\"",
                         "6: refused: longer than 200 columns (214)"}));
  const std::string again = dir_.file("AGAIN.TXT");
  const std::string twice = good + "\n" + good + "\n";
  write_file(again, std::vector<uint8_t>(twice.begin(), twice.end()));
  EXPECT_EQ(osprey({"import", base_, again}).out,
            "imported 0 contacts, refused 0 lines; indexes rebuilt\n"
            "skipped 2 lines the log already had (same call, date, time, band, mode): 1, 2\n");
  EXPECT_EQ(osprey({"import", base_, again, "--allow-duplicates"}).exit_status, 0);
  LogHandle log{};
  ASSERT_EQ(OspreyOpen(nullptr, &log, base_.c_str(), 0, 2), 0);
  EXPECT_EQ(dbf_rcount(&log.dbs.handle), 5);
  OspreyClose(&log, 2);
}

TEST_F(OspreyTextTest, PythonsCsvModuleReadsTheExport) {
  constexpr int kCount = 500;
  write_generated_log(base_, kCount, 5);
  const std::string csv = dir_.file("LOG.csv");
  ASSERT_EQ(osprey({"export", base_, "--format", "csv", "-o", csv}).exit_status, 0);
  const std::string script =
      "import csv, sys\n"
      "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
      "    for row in csv.DictReader(f):\n"
      "        print('|'.join([row['call'], row['date'], row['time'], row['zone'], row['name'],\n"
      "                        row['remark1'], row['remark2'], row['remark3']]))\n";
  const ProgramResult r = run_program(kPython, {"-c", script, csv});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const std::vector<std::string> rows = lines_of(r.out);
  ASSERT_EQ(rows.size(), static_cast<size_t>(kCount));
  LogGenerator g(5);
  for (int i = 0; i < kCount; ++i) {
    const TestContact c = g.next();
    char when[40];
    std::snprintf(when, sizeof when, "%04d-%02d-%02d|%02d:%02d|%s", c.year, c.month, c.day, c.hour,
                  c.minute, c.utc ? "UTC" : "JST");
    const std::string want = trimmed(c.callsign) + "|" + when + "|" + utf8(trimmed(c.name), "?") +
                             "|" + utf8(c.remarks[0], "?") + "|" + utf8(c.remarks[1], "?") + "|" +
                             utf8(c.remarks[2], "?");
    ASSERT_EQ(rows[static_cast<size_t>(i)], want) << "row " << i + 1;
  }
}

TEST_F(OspreyTextTest, LookupFindsAKeyAndWalksTheOrders) {
  const std::string path = dir_.file("AREA.TXT");
  const std::string text = variable_text(
      "AREA LIST 2026 EDITION.",
      {record_columns("JA1AAA", "TOKYO", "100200"), record_columns("AB0001", "OSAKA", "000100"),
       record_columns("ZZ9ZZZ", "\x96\x6B\x8A\x43\x93\xB9", "500000"), record_columns("LAST", "END OF THE LIST")});
  write_file(path, std::vector<uint8_t>(text.begin(), text.end()));
  ProgramResult r = osprey({"lookup", path, "ZZ9ZZZ"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "4\tZZ9ZZZ\t北海道\t500000\t\t\n");
  r = osprey({"lookup", path, "--walk", "j"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  std::vector<std::string> keys;
  for (const std::string& l : lines_of(r.out)) keys.push_back(l.substr(0, l.find('\t', 2)));
  EXPECT_EQ(keys, (std::vector<std::string>{"1\tLAST", "2\tAB0001", "3\tJA1AAA", "4\tZZ9ZZZ"}));
  r = osprey({"lookup", path, "QQ0000"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_NE(r.err.find("no entry has the key"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace osp::test
