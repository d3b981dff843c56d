// Index files built by MakeIndex, walked by two independent dBASE readers
// from Debian: Free Pascal's TDbf (fp-compiler, fp-units-fcl) and Perl's
// XBase::Index (libdbd-xbase-perl). Both must see every entry in exactly the
// order our own reader yields.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <sstream>
#include <string>
#include <vector>

#include "osprey32.h"
#include "support/index_reader.h"
#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace osp::index {
namespace {

using test::RecordFileBuilder;
using test::TempDir;

// Runs a shell command and returns its standard output; *status gets its
// exit status.
std::string run(const std::string& command, int* status) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) {
    *status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = ::pclose(p);
  *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

bool have(const std::string& probe) {
  int status;
  run(probe + " >/dev/null 2>&1", &status);
  return status == 0;
}

std::string shell_quoted(const std::string& s) { return "'" + s + "'"; }

// The TDbf walker, compiled into the build tree when it is missing or older
// than its source: its path, or the compiler's complaint in error.
struct Walker {
  std::string path;
  std::string error;
};
const Walker& tdbf_walker() {
  static const Walker walker = [] {
    const std::string dir = std::string(OSP_BINARY_DIR) + "/interop";
    const std::string source = std::string(OSP_SOURCE_DIR) + "/tests/index/interop/builder_walk.pas";
    const std::string program = dir + "/builder_walk";
    std::error_code ec;
    if (std::filesystem::exists(program, ec) &&
        std::filesystem::last_write_time(program, ec) > std::filesystem::last_write_time(source, ec)) {
      return Walker{program, {}};  // built by an earlier run
    }
    int status;
    const std::string out = run("mkdir -p " + shell_quoted(dir + "/units") + " && fpc -O1 -v0 -FE" +
                                    shell_quoted(dir) + " -FU" + shell_quoted(dir + "/units") + " " +
                                    shell_quoted(source) + " 2>&1",
                                &status);
    if (status != 0) return Walker{{}, out};
    return Walker{program, {}};
  }();
  return walker;
}

bool have_fpc() { return have("command -v fpc"); }

bool have_xbase() { return have("perl -MXBase::Index -e 1"); }

std::string hex(const std::string& key) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : key) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

class InteropTest : public ::testing::Test {
 protected:
  // Builds the index and returns our reader's view of it.
  test::IndexTree build(const RecordFileBuilder& b, const char* expression) {
    b.write(dbf_);
    EXPECT_EQ(MakeIndex(dbf_.c_str(), expression, ndx_.c_str()), 0);
    test::IndexTree tree = test::read_index(ndx_);
    EXPECT_TRUE(tree.ok()) << tree.fault_text();
    EXPECT_EQ(tree.entries.size(), static_cast<size_t>(b.count()));
    return tree;
  }

  static bool has_count_zero_interior(const test::IndexTree& tree) {
    for (const auto& p : tree.pages)
      if (!p.leaf() && p.count == 0) return true;
    return false;
  }

  // Record numbers in the order TDbf walks the index.
  std::vector<uint32_t> tdbf_order() {
    // TDbf takes byte 9 of the header (within bytes 8-11, which the layout
    // leaves zero) for the key's type and handles a 0 there as a numeric
    // key. It is given a copy marked "C" (character); the pages it walks are
    // ours unchanged.
    std::vector<uint8_t> copy = test::read_file(ndx_);
    copy[9] = 'C';
    const std::string marked = dir_.file("tdbf.ndx");
    test::write_file(marked, copy);
    int status;
    const std::string out =
        run(shell_quoted(tdbf_walker().path) + " " + shell_quoted(dbf_) + " " + shell_quoted(marked),
            &status);
    EXPECT_EQ(status, 0) << out;
    std::vector<uint32_t> order;
    std::istringstream in(out);
    for (uint32_t r; in >> r;) order.push_back(r);
    return order;
  }

  // "recno hexkey" lines in the order XBase::Index walks the index.
  std::vector<std::string> xbase_order() {
    int status;
    const std::string script = std::string(OSP_SOURCE_DIR) + "/tests/index/interop/builder_walk.pl";
    const std::string out = run("perl " + shell_quoted(script) + " " + shell_quoted(ndx_), &status);
    EXPECT_EQ(status, 0) << out;
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static std::vector<uint32_t> recnos(const std::vector<test::IndexEntry>& entries) {
    std::vector<uint32_t> out;
    for (const auto& e : entries) out.push_back(e.recno);
    return out;
  }
  static std::vector<std::string> lines(const std::vector<test::IndexEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(std::to_string(e.recno) + " " + hex(e.key));
    return out;
  }

  TempDir dir_;
  std::string dbf_ = dir_.file("log.dbf");
  std::string ndx_ = dir_.file("log.ndx");
};

// A log of n contacts: call signs with many repeats, area codes, and dates
// and times as stored (year byte with bit 7 for 2000 on, minute byte with bit
// 7 for UTC), so DATE+TIME keys hold 0x00 and bytes of 0x80 and above.
RecordFileBuilder contacts(int n) {
  RecordFileBuilder b = RecordFileBuilder::contacts();
  for (int r = 1; r <= n; ++r) {
    const unsigned h = static_cast<unsigned>(r) * 2654435761u;
    char call[8];
    std::snprintf(call, sizeof call, "J%c%u%c%c%c", "AEFHR"[h % 5], (h >> 3) % 10,
                  'A' + (h >> 7) % 26, 'A' + (h >> 11) % 26, 'A' + (h >> 15) % 4);
    char code[8];
    std::snprintf(code, sizeof code, "%06u", 100000 + (h >> 9) % 300);
    std::string date(3, '\0');
    date[0] = static_cast<char>((h >> 5) % 2 ? 0x80 | ((h >> 6) % 27) : 70 + (h >> 6) % 29);
    date[1] = static_cast<char>(1 + (h >> 12) % 12);
    date[2] = static_cast<char>(1 + (h >> 16) % 28);
    std::string time(2, '\0');
    time[0] = static_cast<char>((h >> 20) % 24);
    time[1] = static_cast<char>(((h >> 25) % 2 ? 0x80 : 0) | (h >> 26) % 60);
    b.add({call, "", "", code, "", "", "", "", "", date, time}, r % 11 == 0);
  }
  return b;
}

TEST_F(InteropTest, XBaseIndexWalksOurTreesInOurOrder) {
  if (!have_xbase()) GTEST_SKIP() << "perl XBase::Index not installed";
  // Three levels, with duplicates; several runs; binary keys; one leaf.
  // XBase::Index does not follow an interior page of count 0, so these trees
  // have none.
  struct Case {
    int n;
    const char* expression;
  };
  for (const Case c : {Case{5000, "CALLS"}, Case{12000, "CODE+CALLS"}, Case{5000, "DATE+TIME"},
                       Case{2, "CALLS"}}) {
    const test::IndexTree ours = build(contacts(c.n), c.expression);
    ASSERT_FALSE(has_count_zero_interior(ours)) << c.n;
    EXPECT_EQ(xbase_order(), lines(ours.entries)) << c.n << " " << c.expression;
  }
}

TEST_F(InteropTest, TdbfWalksOurTreesInOurOrder) {
  if (!have_fpc()) GTEST_SKIP() << "Free Pascal not installed";
  ASSERT_TRUE(tdbf_walker().error.empty()) << "builder_walk.pas does not compile:\n"
                                           << tdbf_walker().error;
  struct Case {
    int n;
    const char* expression;
  };
  // 993 = K(K+1)+1 and 2000 entries end in interior pages of count 0.
  for (const Case c : {Case{993, "CALLS"}, Case{2000, "DATE+TIME"}, Case{12000, "CODE+CALLS"},
                       Case{31, "CALLS"}, Case{1, "DATE+TIME"}}) {
    const test::IndexTree ours = build(contacts(c.n), c.expression);
    if (c.n == 993 || c.n == 2000) {
      EXPECT_TRUE(has_count_zero_interior(ours)) << c.n;
    }
    EXPECT_EQ(tdbf_order(), recnos(ours.entries)) << c.n << " " << c.expression;
  }
}

}  // namespace
}  // namespace osp::index
