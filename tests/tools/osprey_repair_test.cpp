// osprey check LOG --repair, run as a program on logs damaged as a crash or
// a careless copy leaves them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/bytes.h"
#include "support/log_generator.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

namespace fs = std::filesystem;
using test::ProgramResult;

constexpr int32_t kContacts = 30;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class OspreyRepairTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
    base_ = dir_.file("LOG");
    test::write_generated_log(base_, kContacts, 11);
    ASSERT_EQ(osprey({"check", base_}).exit_status, 0) << "builds the indexes";
  }

  ProgramResult osprey(const std::vector<std::string>& args, const std::string& input = "") {
    ProgramResult r = test::run_program(OSP_TOOL_PATH, args, input);
    EXPECT_EQ(r.signal, 0) << r.err;
    EXPECT_FALSE(test::has_sanitizer_report(r.err)) << r.err;
    return r;
  }

  // Sets the count at byte 4 of a file of the set.
  void set_count(const std::string& extension, int32_t count) {
    std::vector<uint8_t> bytes = test::read_file(base_ + extension);
    store_i32(&bytes[4], count);
    test::write_file(base_ + extension, bytes);
  }
  int32_t count_of(const std::string& path) { return load_i32(&test::read_file(path)[4]); }

  test::TempDir dir_;
  std::string base_;
};

TEST_F(OspreyRepairTest, RecordsBeyondTheCountAreShownThenCountedAgainAfterBackups) {
  // A crash after three appends reached the file but not its header.
  set_count(".dbs", kContacts - 3);
  set_count(".dbr", kContacts - 5);
  fs::copy_file(base_ + ".dx1", base_ + ".dx0", fs::copy_options::overwrite_existing);
  const auto dbs_before = test::read_file(base_ + ".dbs");

  // Declined: the count stays, the rest is repaired.
  ProgramResult r = osprey({"check", base_, "--repair"}, "n\n");
  EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "3 whole records beyond the header's count of 27")) << r.out;
  EXPECT_TRUE(contains(r.out, "record 28")) << r.out;
  EXPECT_FALSE(contains(r.out, "contact count")) << r.out;
  EXPECT_TRUE(contains(r.out, "remarks file count 25 -> 27")) << r.out;
  EXPECT_EQ(test::read_file(base_ + ".dbs"), dbs_before);
  EXPECT_FALSE(fs::exists(base_ + ".dbs.bak")) << "an unchanged file needs no backup";
  EXPECT_EQ(count_of(base_ + ".dbr.bak"), kContacts - 5);

  r = osprey({"check", base_, "--repair"}, "y\n");
  EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "contact count 27 -> 30")) << r.out;
  EXPECT_TRUE(contains(r.out, "remarks file count 27 -> 30")) << r.out;
  EXPECT_TRUE(contains(r.out, "rebuilt 5 indexes")) << r.out;
  EXPECT_TRUE(contains(r.out, "consistent")) << r.out;
  EXPECT_EQ(test::read_file(base_ + ".dbs.bak"), dbs_before);
  EXPECT_EQ(count_of(base_ + ".dbr.bak2"), kContacts - 3) << "an earlier backup is kept";
  EXPECT_EQ(count_of(base_ + ".dbs"), kContacts);
  EXPECT_EQ(test::read_file(base_ + ".dbs").size(), dbs_before.size());

  r = osprey({"check", base_});
  EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_FALSE(contains(r.out, "has been built")) << "the stored times agree" << r.out;
}

// An unusable remarks file: viewing changes nothing; the repair keeps every
// contact, without remarks 2 and 3, once agreed to, and the old file stays
// in the backup.
TEST_F(OspreyRepairTest, AnUnusableRemarksFileGivesWayToAnEmptyOneKeepingTheContacts) {
  const std::vector<uint8_t> garbage(100, 0xA5);
  test::write_file(base_ + ".dbr", garbage);
  const auto dbs_before = test::read_file(base_ + ".dbs");
  EXPECT_NE(osprey({"list", base_}).exit_status, 0);
  EXPECT_EQ(test::read_file(base_ + ".dbr"), garbage);
  ProgramResult r = osprey({"check", base_, "--repair"}, "n\n");
  EXPECT_NE(r.exit_status, 0) << r.out;
  EXPECT_EQ(test::read_file(base_ + ".dbr"), garbage) << "declined: nothing replaced";

  r = osprey({"check", base_, "--repair", "--yes"});
  EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "remarks 2 and 3 lost")) << r.out;
  EXPECT_TRUE(contains(r.out, "consistent")) << r.out;
  EXPECT_EQ(test::read_file(base_ + ".dbr.bak"), garbage);
  EXPECT_EQ(count_of(base_ + ".dbs"), kContacts);
  EXPECT_EQ(count_of(base_ + ".dbr"), kContacts);
  EXPECT_EQ(osprey({"list", base_}).exit_status, 0);
}

TEST_F(OspreyRepairTest, CountBeyondTheFileComesDownWithYes) {
  set_count(".dbs", 19000000);
  ProgramResult r = osprey({"check", base_, "--repair", "--yes"});
  EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
  EXPECT_TRUE(contains(r.out, "the header counts 19000000 records, the file holds 30")) << r.out;
  EXPECT_TRUE(contains(r.out, "contact count 19000000 -> 30")) << r.out;
  EXPECT_TRUE(contains(r.out, "consistent")) << r.out;
  EXPECT_EQ(count_of(base_ + ".dbs"), kContacts);
  EXPECT_EQ(count_of(base_ + ".dbs.bak"), 19000000);
}

}  // namespace
}  // namespace osp
