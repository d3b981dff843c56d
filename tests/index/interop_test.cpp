// Index files shared with two independent dBASE implementations from Debian:
// Free Pascal's TDbf component (fp-compiler, fp-units-fcl) and Perl's
// XBase::Index (libdbd-xbase-perl). An index TDbf builds must open and walk
// here in TDbf's order; an index this library built or edited (inserts,
// splits, removals) must walk in both of them exactly as idx_* walks it.
//
// Where their headers differ from the ones this library writes:
// - TDbf fills bytes 8-11, which this library's files leave zero and never
//   read: byte 8 with 0x10 and byte 9 with the key type 'C'. TDbf needs that
//   'C': an index whose byte 9 is 0 it walks as a single entry. The files
//   this library makes for TDbf here therefore carry 'C' in byte 9 (idx_*
//   writes only bytes 0-7 of the header and leaves it alone).
// - TDbf also sets byte 20 to 2 (zero here) and stores the key expression
//   without the trailing blank that this library's builder writes; idx_open
//   reads neither, and TDbf accepts ours with the blank.
// - XBase::Index cuts the expression at its first blank or NUL, so it reads
//   both forms alike. It reads an interior page as count + 1 entries and
//   takes the record number field after the last child slot for a record
//   number: the bytes after the last child must be zero, which is what this
//   library writes. It also reads an interior page with no keys (one child)
//   as an empty leaf, so the trees walked here keep at least one key in
//   every interior page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>

#include "index/index_test_util.h"
#include "support/hooks_fixture.h"

namespace osp::test {
namespace {

const std::string kSourceDir = OSP_SOURCE_DIR;
const std::string kBinaryDir = OSP_BINARY_DIR;

// Runs a shell command; its standard output, and whether it exited with 0.
bool run(const std::string& command, std::string* out) {
  out->clear();
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return false;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
  return ::pclose(p) == 0;
}

std::vector<int32_t> recnos_in(const std::string& text) {
  std::vector<int32_t> out;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end == std::string::npos ? end : end - at);
    if (!line.empty()) out.push_back(std::stoi(line));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return out;
}

// The Pascal program, compiled into the build directory when it is missing
// or older than its source; empty when the Free Pascal compiler is not
// installed. Test processes may run side by side: each compiles into a
// directory of its own and moves the program into place in one step.
const std::string& pascal_tool() {
  static std::string tool;
  static std::once_flag once;
  std::call_once(once, [] {
    namespace fs = std::filesystem;
    std::string out;
    if (!run("command -v fpc >/dev/null 2>&1", &out)) return;
    const fs::path source = kSourceDir + "/tests/index/interop/ndx_interop.pas";
    const fs::path dir = kBinaryDir + "/interop";
    const fs::path program = dir / "ndx_interop";
    std::error_code ec;
    if (fs::exists(program, ec) && fs::last_write_time(program, ec) >= fs::last_write_time(source, ec)) {
      tool = program.string();
      return;
    }
    const fs::path own = dir / ("build-" + std::to_string(std::random_device{}()));
    fs::create_directories(own, ec);
    const std::string cmd = "fpc -O1 -FE'" + own.string() + "' -FU'" + own.string() + "' '" +
                            source.string() + "' 2>&1";
    if (!run(cmd, &out)) {
      ADD_FAILURE() << "the interoperability program does not compile:\n" << out;
    } else {
      fs::rename(own / "ndx_interop", program, ec);
      if (ec) {
        ADD_FAILURE() << "cannot move the interoperability program into place: " << ec.message();
      } else {
        tool = program.string();
      }
    }
    fs::remove_all(own, ec);
  });
  return tool;
}

bool perl_xbase_present() {
  std::string out;
  return run("perl -MXBase::Index -e 1 2>/dev/null", &out);
}

std::vector<int32_t> tdbf_walk(const std::string& dir, const std::string& ndx) {
  std::string out;
  EXPECT_TRUE(run("'" + pascal_tool() + "' walk '" + dir + "' " + ndx, &out)) << out;
  return recnos_in(out);
}

std::vector<int32_t> perl_walk(const std::string& path) {
  std::string out;
  EXPECT_TRUE(run("perl '" + kSourceDir + "/tests/index/interop/ndx_walk.pl' '" + path + "'", &out))
      << out;
  return recnos_in(out);
}

// 700 records over 90 keys, some shorter than the field (TDbf pads them with
// blanks), in no particular order: key (blank-padded) and record number.
std::vector<IndexEntry> sample_records() {
  std::mt19937 rng(7);
  std::vector<std::string> pool;
  for (int i = 0; i < 90; ++i) {
    std::string k = "J";
    k += static_cast<char>('A' + rng() % 4);
    const int len = i % 9 == 0 ? 3 : 6;
    while (static_cast<int>(k.size()) < len) k += static_cast<char>('0' + rng() % 10);
    pool.push_back(k);
  }
  std::vector<IndexEntry> out;
  for (int r = 1; r <= 700; ++r) {
    std::string k = pool[rng() % pool.size()];
    k.resize(6, ' ');
    out.push_back({k, r});
  }
  return out;
}

// Removes entry (key, recno) as the log's writes do.
void remove_entry(IdxHandle* h, const IndexEntry& e) {
  int32_t r = idx_search(h, e.key.c_str(), 6);
  while (r != 0 && r != e.recno) r = idx_next(h);
  ASSERT_EQ(r, e.recno);
  index::remove(h);
}

// Edits an open index holding the 700 entries of order: takes out 60
// neighbouring entries in the middle of the order (emptying whole leaves) and
// 100 scattered ones, and puts 120 of them back, each after the entries with
// its key.
void edit(IdxHandle* h, std::vector<IndexEntry> order) {
  ASSERT_EQ(order.size(), 700u);
  std::mt19937 rng(11);
  std::vector<IndexEntry> removed(order.begin() + 300, order.begin() + 360);
  order.erase(order.begin() + 300, order.begin() + 360);
  for (int i = 0; i < 100; ++i) {
    const size_t at = rng() % order.size();
    removed.push_back(order[at]);
    order.erase(order.begin() + static_cast<long>(at));
  }
  for (const IndexEntry& e : removed) remove_entry(h, e);
  std::shuffle(removed.begin(), removed.end(), rng);
  for (size_t i = 0; i < 120; ++i) index::insert(h, removed[i].key.c_str(), removed[i].recno);
}

class NdxInterop : public ::testing::Test {
 protected:
  // Has TDbf create t.dbf over the records and build t.ndx on it.
  void build_with_tdbf() {
    std::ofstream keys(dir_.file("keys.txt"));
    for (const IndexEntry& e : records_) {
      std::string k = e.key;
      while (!k.empty() && k.back() == ' ') k.pop_back();
      keys << k << "\n";
    }
    keys.close();
    std::string out;
    ASSERT_TRUE(run("'" + pascal_tool() + "' build '" + dir_.path() + "' '" +
                        dir_.file("keys.txt") + "'",
                    &out))
        << out;
    tdbf_built_order_ = recnos_in(out);
  }

  // Builds lib.ndx here: every record inserted in shuffled order (so equal
  // keys stand in the order of insertion, not of record number), then
  // edited. Returns its order as idx_* walks it.
  std::vector<int32_t> build_here() {
    const std::string path = dir_.file("lib.ndx");
    std::vector<uint8_t> bytes = empty_index();
    bytes[9] = 'C';  // the key type byte that TDbf reads
    write_file(path, bytes);
    std::vector<IndexEntry> shuffled = records_;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
    OpenIndex idx(path);
    EXPECT_EQ(idx.status, 0);
    for (const IndexEntry& e : shuffled) index::insert(idx.get(), e.key.c_str(), e.recno);
    edit(idx.get(), check_open(idx, path).entries);
    std::vector<int32_t> order = walk_forward(idx.get());
    EXPECT_EQ(idx_close(idx.get()), 1);
    EXPECT_EQ(order.size(), 700u - 160u + 120u);
    EXPECT_EQ(read_file(path)[9], 'C');
    const IndexCheck check = check_index_file(path);
    EXPECT_TRUE(check.ok()) << check.error;
    EXPECT_EQ(recnos_of(check.entries), order);
    // The removals emptied whole leaves, which stay in the file unreached.
    EXPECT_LT(check.pages + 1, load_u32(read_file(path).data() + 4));
    return order;
  }

  TempDir dir_;
  HookRecorder hooks_;
  std::vector<IndexEntry> records_ = sample_records();
  std::vector<int32_t> tdbf_built_order_;
};

TEST_F(NdxInterop, AnIndexBuiltByTdbfOpensAndWalksHereInItsOrder) {
  if (pascal_tool().empty()) GTEST_SKIP() << "Free Pascal (fp-compiler) is not installed";
  build_with_tdbf();
  std::vector<IndexEntry> sorted = records_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const IndexEntry& a, const IndexEntry& b) { return a.key < b.key; });
  ASSERT_EQ(tdbf_built_order_, recnos_of(sorted));

  const std::string path = dir_.file("t.ndx");
  EXPECT_TRUE(check_index_file(path).ok()) << check_index_file(path).error;
  OpenIndex idx(path);
  ASSERT_EQ(idx.status, 0);
  EXPECT_EQ(walk_forward(idx.get()), tdbf_built_order_);
  std::vector<int32_t> reversed = tdbf_built_order_;
  std::reverse(reversed.begin(), reversed.end());
  EXPECT_EQ(walk_backward(idx.get()), reversed);
  for (size_t i = 0; i < sorted.size(); ++i) {
    if (i > 0 && sorted[i - 1].key == sorted[i].key) continue;
    EXPECT_EQ(idx_search(idx.get(), sorted[i].key.c_str(), 6), sorted[i].recno) << sorted[i].key;
  }
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(NdxInterop, AnIndexBuiltAndEditedHereWalksTheSameInTdbf) {
  if (pascal_tool().empty()) GTEST_SKIP() << "Free Pascal (fp-compiler) is not installed";
  build_with_tdbf();
  const std::vector<int32_t> order = build_here();
  EXPECT_EQ(tdbf_walk(dir_.path(), "lib.ndx"), order);
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(NdxInterop, AnIndexBuiltAndEditedHereWalksTheSameInXBaseIndex) {
  if (!perl_xbase_present())
    GTEST_SKIP() << "Perl's XBase::Index (libdbd-xbase-perl) is not installed";
  const std::vector<int32_t> order = build_here();
  EXPECT_EQ(perl_walk(dir_.file("lib.ndx")), order);
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(NdxInterop, AnIndexBuiltByTdbfAndEditedHereWalksTheSameInTdbfAndXBaseIndex) {
  if (pascal_tool().empty()) GTEST_SKIP() << "Free Pascal (fp-compiler) is not installed";
  build_with_tdbf();
  const std::string path = dir_.file("t.ndx");
  std::vector<int32_t> order;
  {
    OpenIndex idx(path);
    ASSERT_EQ(idx.status, 0);
    edit(idx.get(), check_open(idx, path).entries);
    order = walk_forward(idx.get());
  }
  const IndexCheck check = check_index_file(path);
  EXPECT_TRUE(check.ok()) << check.error;
  EXPECT_EQ(recnos_of(check.entries), order);
  EXPECT_EQ(tdbf_walk(dir_.path(), "t.ndx"), order);
  if (perl_xbase_present()) {
    EXPECT_EQ(perl_walk(path), order);
  }
  EXPECT_TRUE(hooks_.boxes.empty());
}

}  // namespace
}  // namespace osp::test
