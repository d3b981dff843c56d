// osprey export --format adif and import of .adi/.adx files, run as programs: an independent ADIF
// parser reads the export with every field intact, and a generated log comes
// back from an import unchanged but for its times, now in UTC.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "adif/adif_contact.h"
#include "adif/adif_reader.h"
#include "osprey32.h"
#include "support/contact_file_builder.h"
#include "support/log_generator.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osprey_tool {
namespace {

using osp::test::run_program;

constexpr size_t kContacts = 300;
constexpr uint64_t kSeed = 12;

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The text after the header: the records only.
std::string body(const std::string& file) {
  const size_t eoh = file.find("<EOH>");
  if (eoh != std::string::npos) return file.substr(eoh);
  const size_t records = file.find("<RECORDS>");
  return records == std::string::npos ? file : file.substr(records);
}

class AdifProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(OSP_TOOL_PATH).empty()) GTEST_SKIP() << "the osprey command is not built";
    osp::test::write_generated_log(base_, kContacts, kSeed);
    contacts_ = osp::test::LogGenerator(kSeed).contacts(kContacts);
  }
  osp::test::ProgramResult osprey(const std::vector<std::string>& args) {
    return run_program(OSP_TOOL_PATH, args);
  }
  osp::test::TempDir dir_;
  std::string base_ = dir_.file("log");
  std::vector<osp::test::TestContact> contacts_;
};

TEST_F(AdifProgram, AnIndependentParserReadsEveryField) {
  if (std::system("node --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "node is not installed: the independent ADIF parser cannot run";
  const std::string module = std::string(OSP_SOURCE_DIR) + "/build/npm/node_modules/adif-parser-ts";
  ASSERT_TRUE(osp::test::file_exists(module + "/package.json"))
      << "adif-parser-ts is missing: npm install --prefix build/npm adif-parser-ts@0.7.7 "
         "(scripts/test-all.sh does this)";
  const std::string adi = dir_.file("log.adi");
  const auto ex = osprey({"export", base_, "--format", "adif", "-o", adi});
  ASSERT_EQ(ex.exit_status, 0) << ex.err;
  const std::string script = dir_.file("read.js");
  std::ofstream(script) << "const {AdifParser} = require('" << module << "');\n"
                        << "const fs = require('fs');\n"
                        << "const a = AdifParser.parseAdi(fs.readFileSync(process.argv[2], 'latin1'));\n"
                        << "for (const r of a.records) {\n"
                        << "  for (const k of Object.keys(r).sort()) console.log(k + '=' + JSON.stringify(r[k]));\n"
                        << "  console.log('--');\n}\n"
                        << "console.log('version=' + a.header.adif_ver);\n";
  const auto node = run_program("node", {script, adi});
  ASSERT_EQ(node.exit_status, 0) << node.err;

  // What we meant to write: each contact's record, where text that ADI
  // cannot carry may be missing or in ASCII letters.
  AdifText text;
  std::istringstream lines(node.out);
  std::string line;
  for (size_t i = 0; i < contacts_.size(); ++i) {
    std::map<std::string, std::string> got;
    while (std::getline(lines, line) && line != "--") {
      const size_t eq = line.find('=');
      got[line.substr(0, eq)] = line.substr(eq + 1);
    }
    const AdifRecord want = adif_of_contact(osp::test::expected_view(contacts_[i]), text);
    size_t expected_fields = 0;
    for (const AdifField& f : want.fields) {
      std::string key = f.name;
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      std::string quoted = "\"";
      for (char c : f.value) {
        if (c == '\r') quoted += "\\r";
        else if (c == '\n') quoted += "\\n";
        else if (c == '"' || c == '\\') quoted += std::string("\\") + c;
        else quoted += c;
      }
      quoted += '"';
      if (is_ascii(f.value)) {
        ++expected_fields;
        EXPECT_EQ(got[key], quoted) << "record " << i + 1 << " field " << f.name;
      } else if (got.count(key) != 0) {
        ++expected_fields;
        EXPECT_TRUE(is_ascii(got[key])) << "record " << i + 1 << " field " << f.name;
      }
    }
    EXPECT_EQ(got.size(), expected_fields) << "record " << i + 1;
  }
  std::getline(lines, line);
  EXPECT_EQ(line, "version=3.1.0");
}

TEST_F(AdifProgram, ImportThenExportGivesTheSameFile) {
  for (const bool adx : {false, true}) {
    SCOPED_TRACE(adx ? "ADX" : "ADI");
    const std::string first = dir_.file(adx ? "first.adx" : "first.adi");
    const std::string again = dir_.file(adx ? "again.adx" : "again.adi");
    const std::string copy = dir_.file(adx ? "copy_x" : "copy_i");
    osp::test::write_generated_log(copy, 0, kSeed);  // empty, with its master file
    std::vector<std::string> ex = {"export", base_, "--format", "adif", "-o", first};
    if (adx) ex.push_back("--adx");
    ASSERT_EQ(osprey(ex).exit_status, 0);
    const auto im = osprey({"import", copy, first});
    ASSERT_EQ(im.exit_status, 0) << im.out << im.err;
    EXPECT_NE(im.out.find("imported 300, refused 0, duplicates 0; indexes rebuilt"), std::string::npos)
        << im.out;
    ex[1] = copy;
    ex[5] = again;
    ASSERT_EQ(osprey(ex).exit_status, 0);
    // ADX keeps every text; ADI leaves Japanese text out, so its copy lacks
    // those texts and only the ADX export must come back byte for byte.
    if (adx) {
      EXPECT_TRUE(body(slurp(again)) == body(slurp(first)));
    }

    // A second import finds every record in the log already.
    const auto twice = osprey({"import", copy, first});
    EXPECT_NE(twice.out.find("imported 0, refused 0, duplicates 300"), std::string::npos)
        << twice.out;
  }
}

// The contacts of an ADX import are the generated ones with JST times moved
// to UTC, the rest byte for byte.
TEST_F(AdifProgram, ImportedContactsAreTheOriginalsInUtc) {
  const std::string adx = dir_.file("log.adx");
  const std::string copy = dir_.file("copy");
  osp::test::write_generated_log(copy, 0, kSeed);
  ASSERT_EQ(osprey({"export", base_, "--format", "adif", "--adx", "-o", adx}).exit_status, 0);
  ASSERT_EQ(osprey({"import", copy, adx}).exit_status, 0);
  LogHandle log{};
  ASSERT_EQ(OspreyOpen(nullptr, &log, copy.c_str(), 0, 2), 0);
  for (size_t i = 0; i < contacts_.size(); ++i) {
    osp::test::TestContact c = contacts_[i];
    if (!c.utc) {
      std::tm t{};
      t.tm_year = c.year - 1900;
      t.tm_mon = c.month - 1;
      t.tm_mday = c.day;
      t.tm_hour = c.hour - 9;
      t.tm_min = c.minute;
      const std::time_t when = timegm(&t);
      gmtime_r(&when, &t);
      c.year = t.tm_year + 1900;
      c.month = t.tm_mon + 1;
      c.day = t.tm_mday;
      c.hour = t.tm_hour;
      c.utc = true;
    }
    ASSERT_EQ(OSP_read(&log, static_cast<int32_t>(i + 1), 3), 0);
    EXPECT_EQ(osp::test::view_difference(log.view, osp::test::expected_view(c)), "")
        << "contact " << i + 1;
  }
  OspreyClose(&log, 2);
}

TEST_F(AdifProgram, ImportReportsRefusedDuplicateAndUnknown) {
  const std::string adi = dir_.file("in.adi");
  const std::string copy = dir_.file("copy");
  osp::test::write_generated_log(copy, 0, kSeed);
  std::ofstream(adi) << "hand made\n<EOH>\n"
                        "<CALL:6>QA1ABC<QSO_DATE:8>20030507<TIME_ON:4>1200<FREQ:1>7<MODE:2>CW<MY_RIG:3>FT1<EOR>\n"
                        "<CALL:6>QA1ABC<QSO_DATE:8>20030507<TIME_ON:4>1200<FREQ:5>7.020<MODE:2>CW<EOR>\n"
                        "<CALL:6>QA1ABC<QSO_DATE:8>20039999<TIME_ON:4>1200<EOR>\n"
                        "<CALL:6>QA2ABC<QSO_DATE:8>20030507<TIME_ON:4>12";
  const auto r = osprey({"import", copy, adi});
  EXPECT_EQ(r.exit_status, 1);  // the file ends inside a field
  EXPECT_NE(r.out.find("refused record 3: QSO_DATE:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("duplicate record 2:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("skipped 1 values of fields the log does not keep: MY_RIG"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("imported 1, refused 1, duplicates 1; indexes rebuilt"), std::string::npos)
      << r.out;
  EXPECT_NE(r.err.find("damaged in record 4"), std::string::npos) << r.err;
}

// What the log cannot hold as given is said per kind with the first records
// named; a last record without <EOR> is refused with the rest imported (exit
// 5); Japanese stations go into JST unless --keep-utc; Shift-JIS text is
// read as such; a message shows a control character, never prints it.
TEST_F(AdifProgram, ImportSaysWhatItCouldNotKeep) {
  const std::string ja = "<QSO_DATE:8>20231231<TIME_ON:4>2030<FREQ:5>7.050<MODE:2>CW";
  const struct {
    std::string file;
    std::vector<std::string> options;
    int exit_status;
    std::vector<std::string> said;
    const char* time;  // of the first contact, or nullptr
  } cases[] = {
      {"<CALL:6>QA1ABC<QSO_DATE:8>20030507<TIME_ON:6>120530<FREQ:10>14.0745678<RST_SENT:3>-10<EOR>\n"
       "<CALL:6>QA1ABD<QSO_DATE:8>20030507<TIME_ON:4>1200<MODE:5>PSK31<EOR>\n"
       "<CALL:6>QA1ABE<QSO_DATE:8>20030507<TIME_ON:4>1201<FREQ:1>7",
       {}, 5,
       {"refused record 3: EOR: the file ends before the record's <EOR>",
        "times with seconds were kept to the minute: 1 record (1)",
        "frequencies over the log's 7 characters were rounded: 1 record (1)",
        "reports not in RS or RST form (a signed report: \"-10\") were left out: 1 record (1)",
        "modes are stored under a name that exports as another MODE/SUBMODE: 1 record (2)",
        "read 3 records: imported 2, refused 1"},
       "12:05U"},
      {"<CALL:6>JA1ABC" + ja + "<EOR>", {}, 0,
       {"contacts with Japanese stations were stored in JST (--keep-utc keeps UTC): 1 record (1)"}, "05:30J"},
      {"<CALL:6>JA1ABC" + ja + "<EOR>", {"--keep-utc"}, 0, {"imported 1"}, "20:30U"},
      {"<CALL:6>QA1ABC" + ja + "<NAME:4>\x8E\x52\x93\x63<EOR>", {}, 0,
       {"the file's text was read as Shift-JIS"}, "20:30U"},
      {"<CALL:7>QA1\nABC" + ja + "<EOR>", {"--encoding", "latin1"}, 5,
       {"refused record 1: CALL: \"QA1\\nABC\" does not fit"}, nullptr},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string adi = dir_.file("in" + std::to_string(++n) + ".adi");
    const std::string copy = dir_.file("said" + std::to_string(n));
    osp::test::write_generated_log(copy, 0, kSeed);
    std::ofstream(adi, std::ios::binary) << c.file;
    std::vector<std::string> args = {"import", copy, adi};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto r = osprey(args);
    SCOPED_TRACE(c.file);
    EXPECT_EQ(r.exit_status, c.exit_status) << r.out << r.err;
    for (const std::string& s : c.said) EXPECT_NE(r.out.find(s), std::string::npos) << s << "\n" << r.out;
    if (c.time == nullptr) continue;
    LogHandle log{};
    ASSERT_EQ(OspreyOpen(nullptr, &log, copy.c_str(), 0, 2), 0);
    ASSERT_EQ(OSP_read(&log, 1, 3), 0);
    EXPECT_STREQ(log.view.time, c.time);
    OspreyClose(&log, 2);
  }
}

// The import copies the log's files before it writes (the copies hold the
// log as it was), takes .ADI in capitals for ADIF, and refused records give
// exit status 5.
TEST_F(AdifProgram, ImportBacksUpTheLogFirst) {
  const std::string adi = dir_.file("IN.ADI");
  std::ofstream(adi) << "<EOH>\n"
                        "<CALL:6>QA1ZZZ<QSO_DATE:8>20030507<TIME_ON:4>1200<FREQ:5>7.020<MODE:2>CW<EOR>\n"
                        "<CALL:6>QA1ZZY<QSO_DATE:8>20031307<TIME_ON:4>1200<EOR>\n";
  const std::vector<uint8_t> contacts = osp::test::read_file(base_ + ".dbs");
  const std::vector<uint8_t> remarks = osp::test::read_file(base_ + ".dbr");
  const auto r = osprey({"import", base_, adi});
  EXPECT_EQ(r.exit_status, 5) << r.out << r.err;
  EXPECT_NE(r.out.find("imported 1, refused 1, duplicates 0; indexes rebuilt"), std::string::npos)
      << r.out;
  EXPECT_TRUE(osp::test::read_file(base_ + ".dbs.bak") == contacts);
  EXPECT_TRUE(osp::test::read_file(base_ + ".dbr.bak") == remarks);
  EXPECT_NE(osp::test::read_file(base_ + ".dbs"), contacts);
  // A second import keeps the first copies and makes new ones.
  osprey({"import", base_, adi});
  EXPECT_TRUE(osp::test::read_file(base_ + ".dbs.bak") == contacts);
  EXPECT_TRUE(osp::test::file_exists(base_ + ".dbs.bak2"));
}

// The export's range and deleted contacts; options that do not go together.
TEST_F(AdifProgram, ExportWritesTheLiveContactsOfTheRange) {
  ASSERT_EQ(osprey({"delete", base_, "12", "--yes"}).exit_status, 0);
  const struct {
    std::vector<std::string> args;
    int exit_status;
    size_t records;  // <EOR> or <RECORD> in the output
  } cases[] = {
      {{"--format", "adif"}, 0, kContacts - 1},
      {{"--format", "adif", "--from", "10", "--to", "19"}, 0, 9},
      {{"--format", "adif", "--adx", "--from", "290"}, 0, 11},
      {{"--format", "adif", "--from", "400"}, 0, 0},
      {{"--format", "fixed", "--from", "11", "--to", "13"}, 0, 0},
      {{"--format", "fixed", "--adx"}, 2, 0},
      {{"--format", "adif", "--encoding", "cp932"}, 2, 0},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"export", base_};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = osprey(args);
    SCOPED_TRACE(args[3]);
    EXPECT_EQ(r.exit_status, c.exit_status) << r.err;
    size_t records = 0;
    for (const char* end : {"<EOR>", "<RECORD>"})
      for (size_t at = r.out.find(end); at != std::string::npos; at = r.out.find(end, at + 1))
        ++records;
    EXPECT_EQ(records, c.records);
  }
  // The fixed-column export of 11 to 13 leaves the deleted contact out.
  const auto fixed = osprey({"export", base_, "--format", "fixed", "--from", "11", "--to", "13"});
  EXPECT_EQ(std::count(fixed.out.begin(), fixed.out.end(), '\n'), 2) << fixed.out;
  const auto plain = osprey({"import", base_, dir_.file("lines.txt"), "--keep-utc"});
  EXPECT_EQ(plain.exit_status, 2) << plain.err;
  // A log that does not open leaves the output file as it was.
  const std::string kept = dir_.file("kept.adi");
  std::ofstream(kept) << "kept";
  for (const char* format : {"adif", "csv"}) {
    EXPECT_EQ(osprey({"export", dir_.file("missing"), "--format", format, "-o", kept}).exit_status, 1);
    EXPECT_EQ(slurp(kept), "kept") << format;
  }
}

}  // namespace
}  // namespace osprey_tool
