// osprey sort LOG --date | --master, run as a program: the file rewritten in
// order, a backup of every file it rewrites made first, the log consistent
// afterwards, and the command line refused without exactly one order.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/contact_file_builder.h"
#include "support/master_file_builder.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osp::test {
namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The width bytes at offset of each record of a record file.
std::vector<std::string> keys_of(const std::string& path, size_t offset, size_t width) {
  const std::vector<uint8_t> bytes = read_file(path);
  int32_t count = 0;
  std::memcpy(&count, bytes.data() + 4, 4);
  const size_t header = bytes[8] | bytes[9] << 8;
  const size_t size = bytes[10] | bytes[11] << 8;
  std::vector<std::string> out;
  for (int32_t r = 0; r < count; ++r)
    out.emplace_back(reinterpret_cast<const char*>(bytes.data() + header + r * size + offset), width);
  return out;
}

class OspreySortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
    ContactFileBuilder b;
    const int years[] = {2026, 1999, 2010, 1999, 2051};
    for (int i = 0; i < 5; ++i) {
      TestContact t;
      t.callsign = "QA" + std::to_string(i + 1) + "ABC";
      t.code = "1001";
      t.year = years[i];
      t.deleted = i == 2;
      t.remarks[0] = "R" + std::to_string(i);
      b.add(t);
    }
    b.write_log(base_);
    std::vector<MasterEntry> masters;
    for (const char* code : {"2501", "1001", "100101", "1002"}) {
      MasterEntry m;
      m.code = code;
      m.name = "AREA";
      masters.push_back(m);
    }
    write_master_file(base_ + ".mst", masters);
  }

  ProgramResult osprey(const std::vector<std::string>& args) {
    ProgramResult r = run_program(OSP_TOOL_PATH, args);
    EXPECT_EQ(r.signal, 0) << r.err;
    EXPECT_FALSE(has_sanitizer_report(r.err)) << r.err;
    return r;
  }

  TempDir dir_;
  std::string base_ = dir_.file("LOG");
};

TEST_F(OspreySortTest, SortsByDateAfterBackingUpWhatItRewrites) {
  ASSERT_EQ(osprey({"open", base_, "--yes"}).exit_status, 0);  // indexes and times in place
  const std::vector<uint8_t> before = read_file(base_ + ".dbs");
  ProgramResult r = osprey({"sort", base_, "--date"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, "backed up " + base_ + ".dbs to " + base_ + ".dbs.bak")) << r.out;
  EXPECT_TRUE(contains(r.out, base_ + ".dx1.bak")) << r.out;
  EXPECT_TRUE(contains(r.out, "sorted 5 contacts by date and time")) << r.out;
  EXPECT_EQ(read_file(base_ + ".dbs.bak"), before);
  const std::vector<std::string> years = keys_of(base_ + ".dbs", 45, 1);
  const std::vector<std::string> want = {"c", "c", "\x8A", "\x9A", "\xB3"};  // 1999, 1999, 2010, 2026, 2051
  EXPECT_EQ(years, want);
  EXPECT_EQ(keys_of(base_ + ".dbs", 0, 1)[2], "*") << "2010 is still deleted";
  r = osprey({"check", base_});
  EXPECT_EQ(r.exit_status, 0) << r.out << r.err;

  // Again, twice: the first backup stays, the latest takes ".bak2" and
  // replaces the one before; backups do not pile up.
  for (int again = 0; again < 2; ++again) {
    r = osprey({"sort", base_, "--date"});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, base_ + ".dbs.bak2")) << r.out;
  }
  EXPECT_EQ(read_file(base_ + ".dbs.bak"), before);
  EXPECT_FALSE(file_exists(base_ + ".dbs.bak3"));
  EXPECT_FALSE(file_exists(base_ + ".dbs.bak2.part"));
}

TEST_F(OspreySortTest, SortsTheMasterFileByCode) {
  ProgramResult r = osprey({"sort", base_, "--master", "--yes"});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_TRUE(contains(r.out, base_ + ".mst.bak")) << r.out;
  EXPECT_TRUE(contains(r.out, "sorted 4 master entries by area code")) << r.out;
  EXPECT_EQ(keys_of(base_ + ".mst", 1, 6),
            (std::vector<std::string>{"1001  ", "100101", "1002  ", "2501  "}));
  EXPECT_EQ(osprey({"check", base_}).exit_status, 0);
}

TEST_F(OspreySortTest, WantsExactlyOneOrder) {
  const std::vector<uint8_t> before = read_file(base_ + ".dbs");
  EXPECT_EQ(osprey({"sort", base_}).exit_status, 2);
  EXPECT_EQ(osprey({"sort", base_, "--date", "--master"}).exit_status, 2);
  EXPECT_EQ(read_file(base_ + ".dbs"), before);
  EXPECT_FALSE(file_exists(base_ + ".dbs.bak"));
}

}  // namespace
}  // namespace osp::test
