// osprey idx build and idx check, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

struct Outcome {
  int status;
  std::string out;
};

Outcome osprey(const std::string& args) {
  Outcome o{-1, {}};
  FILE* p = ::popen((std::string(OSP_TOOL_PATH) + " " + args + " 2>&1").c_str(), "r");
  if (p == nullptr) return o;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) o.out.append(buf, n);
  const int rc = ::pclose(p);
  o.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return o;
}

class IdxBuildCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(OSP_TOOL_PATH).empty()) GTEST_SKIP() << "the osprey command is not built";
    test::RecordFileBuilder b({{"FLG", 1}, {"CODE", 6}, {"NAME", 12}});
    for (int r = 1; r <= 400; ++r) {
      char code[8];
      std::snprintf(code, sizeof code, "%06d", 100000 + (r * 37) % 150);
      b.add({r % 3 ? "A" : "B", code, "\x83\x5e\x83\x8d\x83\x45"});  // タロウ
    }
    b.write(dbf_);
  }

  test::TempDir dir_;
  std::string dbf_ = dir_.file("m.mst");
  std::string ndx_ = dir_.file("m.dx3");
};

TEST_F(IdxBuildCommand, BuildsAndChecks) {
  const Outcome built = osprey("idx build " + dbf_ + " FLG+CODE " + ndx_);
  EXPECT_EQ(built.status, 0) << built.out;
  EXPECT_NE(built.out.find("key length 7"), std::string::npos) << built.out;
  const Outcome checked = osprey("idx check " + dbf_ + " FLG+CODE " + ndx_);
  EXPECT_EQ(checked.status, 0) << checked.out;
  EXPECT_EQ(checked.out.rfind("OK: ", 0), 0u) << checked.out;
  EXPECT_NE(checked.out.find("400 entries"), std::string::npos) << checked.out;
}

TEST_F(IdxBuildCommand, CheckFindsFaults) {
  ASSERT_EQ(osprey("idx build " + dbf_ + " NAME+CODE " + ndx_).status, 0);
  // The wrong expression: keys differ from the records' fields.
  Outcome o = osprey("idx check " + dbf_ + " CODE " + ndx_);
  EXPECT_EQ(o.status, 5) << o.out;
  EXPECT_NE(o.out.find("FAULTY"), std::string::npos) << o.out;

  // A leaf entry pointing at another record: one record twice, one missing.
  std::vector<uint8_t> bytes = test::read_file(ndx_);
  bytes[512 + 4 + 4] ^= 0x01;  // page 1, entry 0, record number
  test::write_file(ndx_, bytes);
  o = osprey("idx check " + dbf_ + " NAME+CODE " + ndx_);
  EXPECT_EQ(o.status, 5) << o.out;
  EXPECT_NE(o.out.find("has no entry"), std::string::npos) << o.out;
  EXPECT_NE(o.out.find("\"タロウ"), std::string::npos) << o.out;  // keys shown as UTF-8

  // A cycle: the root's first child made the root itself.
  bytes = test::read_file(ndx_);
  const uint32_t root = bytes[0] | (bytes[1] << 8);
  bytes[root * 512 + 4] = bytes[0];
  bytes[root * 512 + 5] = bytes[1];
  test::write_file(ndx_, bytes);
  o = osprey("idx check " + dbf_ + " NAME+CODE " + ndx_);
  EXPECT_EQ(o.status, 5) << o.out;
  EXPECT_NE(o.out.find("cycle"), std::string::npos) << o.out;
}

TEST_F(IdxBuildCommand, FailedBuildExitsNonZero) {
  const Outcome o = osprey("idx build " + dbf_ + " code " + ndx_);
  EXPECT_NE(o.status, 0);
  EXPECT_NE(o.out.find("status 26"), std::string::npos) << o.out;
  EXPECT_NE(osprey("idx build " + dir_.file("none.mst") + " CODE " + ndx_).status, 0);
}

}  // namespace
}  // namespace osp
