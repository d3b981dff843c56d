// osprey idx info / dump, run as a program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/hooks_fixture.h"
#include "support/index_pages.h"
#include "support/temp_dir.h"

namespace osp::test {
namespace {

struct ToolRun {
  int status;
  std::string out;  // standard output and standard error together
};

ToolRun osprey(const std::string& args) {
  const std::string tool = OSP_TOOL_PATH;
  ToolRun r{-1, {}};
  FILE* p = ::popen((tool + " " + args + " 2>&1").c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int w = ::pclose(p);
  r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
  return r;
}

class OspreyIdx : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(OSP_TOOL_PATH).empty()) GTEST_SKIP() << "the osprey command is not built";
    // 40 entries over two leaves: Shift-JIS keys, plain ones and one that is
    // not text at all.
    std::vector<IndexEntry> sorted;
    for (int i = 0; i < 38; ++i) {
      char key[8];
      std::snprintf(key, sizeof key, "JA%04d", i);
      sorted.push_back({key, 100 + i});
    }
    sorted.push_back({sjis("ＪＡ") + "1 ", 7});  // 0x82 lead bytes sort last
    sorted.push_back({std::string("\xFD\x00\x01\x02\x03\x04", 6), 8});
    IndexLayout l;
    l.expression = sjis("コール");
    write_file(path_, packed_index(sorted, l));
  }
  TempDir dir_;
  std::string path_ = dir_.file("log.dx0");
};

TEST_F(OspreyIdx, InfoShowsTheHeaderAndTheTree) {
  const ToolRun r = osprey("idx info " + path_);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("root page        3\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("next free page   4\n"), std::string::npos);
  EXPECT_NE(r.out.find("key length       6\n"), std::string::npos);
  EXPECT_NE(r.out.find("keys per page    31\n"), std::string::npos);
  EXPECT_NE(r.out.find("entry size       16\n"), std::string::npos);
  EXPECT_NE(r.out.find("expression       \"コール\"\n"), std::string::npos);
  EXPECT_NE(r.out.find("tree height      2\n"), std::string::npos);
  EXPECT_NE(r.out.find("pages            3 in the tree, 0 unused, 4 in the file\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("entries          40\n"), std::string::npos);
}

TEST_F(OspreyIdx, DumpListsEntriesInKeyOrderAsTextOrHex) {
  const ToolRun r = osprey("idx dump " + path_);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("       100  \"JA0000\"\n"), 0u) << r.out;
  EXPECT_NE(r.out.find("       137  \"JA0037\"\n         7  \"ＪＡ1 \"\n         8  x'FD0001020304'\n"),
            std::string::npos)
      << r.out;
}

// An unusable index exits with 1 and names the library's status.
TEST_F(OspreyIdx, FailuresExitAsUnusableNamingTheStatus) {
  ToolRun r = osprey("idx dump " + dir_.file("none.dx0"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("cannot open the index (status 5)"), std::string::npos) << r.out;

  std::vector<uint8_t> bytes = read_file(path_);
  bytes[23] = 1;
  write_file(path_, bytes);
  r = osprey("idx info " + path_);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("(status 3)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("インデックスの構造が違う"), std::string::npos) << r.out;

  bytes[23] = 0;
  store_u32(bytes.data() + 3 * 512 + 4, 3);  // the root is its own first child
  write_file(path_, bytes);
  r = osprey("idx dump " + path_);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("damaged tree: page 3 is reached twice"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace osp::test
