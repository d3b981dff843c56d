// The osprey command's record-file commands, run as a program on good,
// truncated and corrupted files.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "osprey32.h"
#include "support/run_program.h"
#include "support/sample_log.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::ProgramResult;
using test::read_file;
using test::TempDir;
using test::write_file;

constexpr int kHeader = 449;
constexpr int kRecord = 58;

ProgramResult osprey(const std::vector<std::string>& args) {
  ProgramResult r = test::run_program(OSP_TOOL_PATH, args);
  EXPECT_EQ(r.signal, 0) << "the command was killed by a signal\n" << r.err;
  EXPECT_FALSE(test::has_sanitizer_report(r.err)) << r.err;
  return r;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class OspreyDbfTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
    path_ = dir_.file("LOG.dbs");
    ASSERT_EQ(test::write_sample_contact_file(path_), 0);
  }

  // The sample's bytes after change, written back to the file.
  void rewrite(void (*change)(std::vector<uint8_t>&)) {
    auto bytes = read_file(path_);
    change(bytes);
    write_file(path_, bytes);
  }

  TempDir dir_;
  std::string path_;
};

TEST_F(OspreyDbfTest, InfoShowsHeaderDescriptorsAndAConsistentSize) {
  const ProgramResult r = osprey({"dbf", "info", path_});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  for (const char* expected : {
           "version byte       0x1A (as this library creates)",
           "last update        26-03-07 (year % 100, month, day)",
           "record count       7",
           "header size        449",
           "record size        58",
           "fields             13",
           "    1  CALLS        C          6         0       1",
           "    8  NAME         C         12         0      30",
           "   13  OFS          C          4         0      54",
           "file size          856 bytes",
           "expected size      856 bytes (header 449 + 7 records x 58 + end-of-file mark 1)",
           "verdict            consistent",
       }) {
    EXPECT_TRUE(contains(r.out, std::string(expected) + "\n")) << expected << "\n" << r.out;
  }
}

TEST_F(OspreyDbfTest, DumpShowsTextAsUtf8BinaryAsHexAndDeletedRecordsOnRequest) {
  const ProgramResult live = osprey({"dbf", "dump", path_});
  EXPECT_EQ(live.exit_status, 0) << live.err;
  const auto lines = lines_of(live.out);
  ASSERT_EQ(lines.size(), 6u) << live.out;
  EXPECT_EQ(lines[0],
            "1 [ ] CALLS=\"QA1XYZ\" IGN=\" \" POTBL=\"   \" CODE=\"100105\" GL=\"PM95UQ\" "
            "FREQ=x'84D96AA1' MODE=\"CW \" NAME=\"能登 一郎   \" QSL=\"J  \" DATE=x'9A0103' "
            "TIME=x'090F' RST=x'3B393B39' OFS=x'00000000'");
  // A frequency stored as text is shown as text; 1999 has the year byte 0x63.
  EXPECT_TRUE(contains(lines[5], "FREQ=\"3.5 \"")) << lines[5];
  EXPECT_TRUE(contains(lines[5], "DATE=x'630C1F'")) << lines[5];
  // Half-width katakana and double-byte characters whose second byte is 0x5C.
  EXPECT_TRUE(contains(lines[2], "NAME=\"ﾀﾅｶ         \"")) << lines[2];
  EXPECT_TRUE(contains(lines[3], "NAME=\"表 ソラ     \"")) << lines[3];
  EXPECT_EQ(lines[3].rfind("5 [ ]", 0), 0u);

  const ProgramResult all = osprey({"dbf", "dump", path_, "--deleted"});
  EXPECT_EQ(all.exit_status, 0) << all.err;
  const auto every = lines_of(all.out);
  ASSERT_EQ(every.size(), 7u) << all.out;
  EXPECT_EQ(every[3].rfind("4 [*] CALLS=\"QE6KQT\"", 0), 0u) << every[3];
}

TEST_F(OspreyDbfTest, DumpShowsBytesThatAreNotTextAsHexAndEscapesQuotes) {
  DbfHandle h{};
  ASSERT_EQ(dbf_open(path_.c_str(), &h), 0);
  const uint8_t name[12] = {'A', '"', 'B', '\\', 'C', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  ASSERT_EQ(dbf_write2(&h, 1, name, 30, 12), 0);
  const uint8_t calls[6] = {'J', 'A', 0x01, '1', 0x81, 0x00};  // a control byte, a cut character
  ASSERT_EQ(dbf_write2(&h, 2, calls, 1, 6), 0);
  const uint8_t mark = 0x00;  // any mark other than a blank counts as deleted
  ASSERT_EQ(dbf_write2(&h, 3, &mark, 0, 1), 0);
  dbf_close(&h);

  const ProgramResult r = osprey({"dbf", "dump", path_, "--deleted"});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  const auto lines = lines_of(r.out);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_TRUE(contains(lines[0], R"(NAME="A\"B\\C       ")")) << lines[0];
  EXPECT_TRUE(contains(lines[1], "CALLS=x'4A4101318100'")) << lines[1];
  EXPECT_EQ(lines[2].rfind("3 [\\x00] ", 0), 0u) << lines[2];
  EXPECT_EQ(lines_of(osprey({"dbf", "dump", path_}).out).size(), 5u);
}

TEST_F(OspreyDbfTest, TruncatedFileIsReportedAndDumpStopsAtTheFirstMissingRecord) {
  rewrite([](std::vector<uint8_t>& b) { b.resize(kHeader + 3 * kRecord + 20); });

  const ProgramResult info = osprey({"dbf", "info", path_});
  EXPECT_EQ(info.exit_status, 5);  // a check found problems
  EXPECT_TRUE(contains(info.out, "verdict            inconsistent\n")) << info.out;
  EXPECT_TRUE(contains(info.out, "the file ends 212 bytes short of its 7 records: only 3 whole "
                                 "records are present"))
      << info.out;
  EXPECT_TRUE(contains(info.err, "does not agree with its header")) << info.err;

  const ProgramResult dump = osprey({"dbf", "dump", path_, "--deleted"});
  EXPECT_EQ(dump.exit_status, 1);
  EXPECT_EQ(lines_of(dump.out).size(), 3u) << dump.out;
  EXPECT_TRUE(contains(dump.err, "record 4: status 21: data read error")) << dump.err;
}

TEST_F(OspreyDbfTest, SizeVerdictsForAMissingMarkAndUncountedBytes) {
  rewrite([](std::vector<uint8_t>& b) { b.pop_back(); });
  ProgramResult r = osprey({"dbf", "info", path_});
  EXPECT_EQ(r.exit_status, 0) << r.out;
  EXPECT_TRUE(contains(r.out, "consistent (no end-of-file mark after the last record)")) << r.out;

  // A record left behind the mark, as a pack that did not cut the file leaves it.
  rewrite([](std::vector<uint8_t>& b) {
    b.push_back(0x1A);
    b.insert(b.end(), kRecord, ' ');
  });
  r = osprey({"dbf", "info", path_});
  EXPECT_EQ(r.exit_status, 5);
  EXPECT_TRUE(contains(r.out, "58 bytes follow the last counted record and its end mark (room "
                              "for 1 more records"))
      << r.out;

  rewrite([](std::vector<uint8_t>& b) {
    b.resize(kHeader + 7 * kRecord + 1);
    b.back() = 'X';
  });
  r = osprey({"dbf", "info", path_});
  EXPECT_EQ(r.exit_status, 5);
  EXPECT_TRUE(contains(r.out, "the byte after the last record is 0x58, not the end-of-file mark"))
      << r.out;
}

TEST_F(OspreyDbfTest, DescriptorsThatDisagreeWithTheRecordSizeAreReported) {
  rewrite([](std::vector<uint8_t>& b) { b[32 * 8 + 16] = 13; });  // NAME 13 bytes long
  const ProgramResult info = osprey({"dbf", "info", path_});
  EXPECT_EQ(info.exit_status, 5);  // a check found problems
  EXPECT_TRUE(contains(info.out, "the fields add up to 59 bytes with the mark, but the record "
                                 "size is 58"))
      << info.out;
  // The records still dump, the last field clipped to the record.
  const ProgramResult dump = osprey({"dbf", "dump", path_});
  EXPECT_EQ(dump.exit_status, 0) << dump.err;
  EXPECT_EQ(lines_of(dump.out).size(), 6u);

  rewrite([](std::vector<uint8_t>& b) { b[kHeader - 1] = 0; });  // the 0x0D end of descriptors
  EXPECT_TRUE(contains(osprey({"dbf", "info", path_}).out,
                       "the field descriptors have no 0x0D end mark within the header"));
}

TEST_F(OspreyDbfTest, HeadersTheLibraryRejectsGiveTheirStatus) {
  const struct {
    const char* what;
    void (*change)(std::vector<uint8_t>&);
    const char* message;
  } cases[] = {
      {"unknown version", [](std::vector<uint8_t>& b) { b[0] = 0x83; },
       "status 2: the data file's structure is different (version byte 0x83"},
      {"record size 0", [](std::vector<uint8_t>& b) { b[10] = b[11] = 0; },
       "status 2: the data file's structure is different (record size 0, header size 449)"},
      {"header size 10", [](std::vector<uint8_t>& b) { b[8] = 10, b[9] = 0; },
       "status 2: the data file's structure is different (record size 58, header size 10)"},
      {"five bytes", [](std::vector<uint8_t>& b) { b.resize(5); }, "status 21: data read error"},
  };
  const auto good = read_file(path_);
  for (const auto& c : cases) {
    auto bytes = good;
    c.change(bytes);
    write_file(path_, bytes);
    for (const char* command : {"info", "dump"}) {
      const ProgramResult r = osprey({"dbf", command, path_});
      EXPECT_EQ(r.exit_status, 1) << c.what << " " << command;
      EXPECT_EQ(r.out, "") << c.what << " " << command;
      EXPECT_TRUE(contains(r.err, c.message)) << c.what << " " << command << ": " << r.err;
    }
  }
  const ProgramResult missing = osprey({"dbf", "info", dir_.file("NONE.dbs")});
  EXPECT_EQ(missing.exit_status, 1);
  EXPECT_TRUE(contains(missing.err, "status 5: the file cannot be opened")) << missing.err;
}

TEST_F(OspreyDbfTest, AbsurdHeaderFieldsNeverCrashTheCommand) {
  // A huge record count and record size over a short file, then the header's
  // size fields, a descriptor's name, type, length and decimals, the
  // descriptors' end and the first mark each set to 0xFF in turn.
  rewrite([](std::vector<uint8_t>& b) {
    b[4] = b[5] = b[6] = 0xFF, b[7] = 0x7F;
    b[10] = 0xFF, b[11] = 0x7F;
  });
  ProgramResult r = osprey({"dbf", "dump", path_, "--deleted"});
  EXPECT_EQ(r.exit_status, 1);
  EXPECT_TRUE(contains(r.err, "record 1: status 21")) << r.err;
  r = osprey({"dbf", "info", path_});
  EXPECT_EQ(r.exit_status, 5);
  EXPECT_TRUE(contains(r.out, "only 0 whole records are present")) << r.out;

  const auto good = [] {
    TempDir d;
    test::write_sample_contact_file(d.file("x"));
    return read_file(d.file("x"));
  }();
  for (int at : {0, 3, 7, 8, 9, 10, 11, 32, 43, 48, 49, kHeader - 1, kHeader}) {
    auto bytes = good;
    bytes[static_cast<size_t>(at)] = 0xFF;
    write_file(path_, bytes);
    for (const char* command : {"info", "dump"}) {
      r = osprey({"dbf", command, path_});
      EXPECT_TRUE(r.exit_status == 0 || r.exit_status == 1 || r.exit_status == 5) << "byte " << at << " " << command;
    }
  }
}

TEST_F(OspreyDbfTest, ShippedSampleIsWhatTheGeneratorWrites) {
  EXPECT_EQ(read_file(std::string(OSP_SOURCE_DIR) + "/samples/SAMPLE.dbs"), read_file(path_))
      << "regenerate with: osprey_make_sample samples/SAMPLE.dbs";
}

}  // namespace
}  // namespace osp
