// osprey check over a generated log larger than one read of its pass over
// the contact file: each kind of damage it finds, in the first read and in
// a later one, with nothing else reported beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/index_pages.h"
#include "support/log_generator.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osp::test {
namespace {

constexpr int kContacts = 20000;  // the pass reads 18078 contacts at a time
constexpr int kContactHeader = 449;
constexpr int kContactRecord = 58;

// Record recno's byte at (0 is the deletion mark) in a record file's bytes.
uint8_t* record_byte(std::vector<uint8_t>& file, int recno, int at) {
  const int header = file[8] | file[9] << 8;
  const int size = file[10] | file[11] << 8;
  return file.data() + header + static_cast<size_t>(recno - 1) * size + at;
}

class OspreyCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::strlen(OSP_TOOL_PATH) == 0) GTEST_SKIP() << "the osprey command is not built";
    write_generated_log(base_, kContacts, 7);
    ASSERT_EQ(run_program(OSP_TOOL_PATH, {"check", base_}).exit_status, 0) << "builds the indexes";
  }

  void patch(const std::string& extension, int recno, int at, const std::string& bytes) {
    std::vector<uint8_t> file = read_file(base_ + extension);
    std::memcpy(record_byte(file, recno, at), bytes.data(), bytes.size());
    write_file(base_ + extension, file);
  }

  // Index 0 anew over the contact file: its entries (CALLS and record
  // number, in key order) as edit leaves them.
  void rewrite_index_0(const std::function<void(std::vector<IndexEntry>&)>& edit) {
    const std::vector<uint8_t> dbs = read_file(base_ + ".dbs");
    std::vector<IndexEntry> entries;
    for (int r = 1; r <= kContacts; ++r) {
      const char* at = reinterpret_cast<const char*>(dbs.data()) + kContactHeader +
                       static_cast<size_t>(r - 1) * kContactRecord + 1;
      entries.push_back({std::string(at, 6), r});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const IndexEntry& a, const IndexEntry& b) { return a.key < b.key; });
    edit(entries);
    IndexLayout layout;
    layout.expression = "CALLS";
    write_file(base_ + ".dx0", packed_index(entries, layout));
  }

  TempDir dir_;
  std::string base_ = dir_.file("LOG");
};

std::string u32_bytes(uint32_t v) {
  std::string b(4, '\0');
  for (int i = 0; i < 4; ++i) b[static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
  return b;
}

TEST_F(OspreyCheckTest, ReportsEachDamageAndNothingElse) {
  struct Case {
    const char* what;
    std::function<void()> damage;
    std::vector<std::string> problems;  // each one listed problem, and no other
  };
  const auto dbr_size = static_cast<uint32_t>(read_file(base_ + ".dbr").size());
  const std::vector<Case> cases = {
      {"an area code changed behind index 1, past the pass's first read",
       [&] { patch(".dbs", 19000, 11, "999999"); },
       {".dx1): record 19000 carries \"999999\" but its entry"}},
      {"a master's FLG changed behind the two indexes whose keys begin with it",
       [&] { patch(".mst", 5, 35, "Z"); },
       {".dx3): record 5 carries \"Z", ".dx4): record 5 carries \"Z"}},
      {"remark links into the header, past the first read, and to the file's last byte",
       [&] {
         patch(".dbs", 18079, 54, u32_bytes(100));
         patch(".dbs", 5, 54, u32_bytes(dbr_size - 1));
       },
       {"contact 5 links to offset " + std::to_string(dbr_size - 1) + " of the remarks file",
        "contact 18079 links to offset 100 of the remarks file, where no whole block stands"}},
      {"index entries doubled, missing, out of order and beyond the file",
       [&] {
         rewrite_index_0([](std::vector<IndexEntry>& e) {
           const auto of = [&e](int recno) {
             return std::find_if(e.begin(), e.end(),
                                 [recno](const IndexEntry& x) { return x.recno == recno; });
           };
           const IndexEntry two = *of(2);
           e.insert(of(2), two);
           e.erase(of(3));
           e.insert(e.begin(), {"ZZZZZZ", 4000});  // the record's second entry, another key
           e.push_back({"ZZZZZZ", kContacts + 1});
         });
       },
       {"record 4000 carries", ") stands after \"ZZZZZZ\"",
        "an entry points at record 20001, outside the file's 20000 records",
        ".dx0): record 2 has more than one entry", ".dx0): record 3 has no entry",
        ".dx0): record 4000 has more than one entry"}},
  };
  const std::vector<std::string> files = {".dbs", ".dbr", ".mst", ".dx0", ".dx1", ".dx3", ".dx4"};
  std::vector<std::vector<uint8_t>> intact;
  for (const std::string& e : files) intact.push_back(read_file(base_ + e));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (size_t i = 0; i < files.size(); ++i) write_file(base_ + files[i], intact[i]);
    c.damage();
    const ProgramResult r = run_program(OSP_TOOL_PATH, {"check", base_, "--all"});
    EXPECT_EQ(r.exit_status, 5) << r.out << r.err;
    size_t listed = 0;
    for (size_t at = r.out.find("\n  - "); at != std::string::npos;
         at = r.out.find("\n  - ", at + 1))
      ++listed;
    EXPECT_EQ(listed, c.problems.size()) << r.out;
    for (const std::string& p : c.problems) EXPECT_NE(r.out.find(p), std::string::npos) << p;
  }
}

}  // namespace
}  // namespace osp::test
