// A contact file made the way the application makes one (a new log opened
// with Yes to the question, then contacts written through the record-file
// calls) read by an independent dBASE reader: Python's dbfread.
#include <gtest/gtest.h>


#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "dbf/record_file.h"
#include "log/log_test_util.h"
#include "osprey32.h"
#include "support/run_program.h"

namespace osp::test {
namespace {

const char* const kPython = "/usr/bin/python3";

// Every record as its deletion state and its fields in hex, in file order;
// then the names of the live records as UTF-8.
const char* const kReader = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], raw=True, load=True)
out = ["version %02x" % t.header.dbversion, "date " + t.date.isoformat(),
       "count %d" % t.header.numrecords,
       "fields " + " ".join("%s:%s%d" % (f.name, f.type, f.length) for f in t.fields)]
out += ["live " + "".join(v.hex() for v in r.values()) for r in t.records]
out += ["deleted " + "".join(v.hex() for v in r.values()) for r in t.deleted]
out += ["name " + r["NAME"].decode("cp932").rstrip(" ") for r in t.records]
sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
)";

std::string hex(const std::vector<uint8_t>& bytes) {
  std::string s;
  char b[3];
  for (uint8_t v : bytes) {
    std::snprintf(b, sizeof b, "%02x", v);
    s += b;
  }
  return s;
}

std::string utf8_of(const std::string& cp932) { return utf8(cp932, "(not code page 932)"); }

class ContactFileInteropTest : public LogTest {};

TEST_F(ContactFileInteropTest, DbfreadReadsAContactFileTheLibraryMadeAndFilled) {
  if (run_program(kPython, {"-c", "import dbfread"}).exit_status != 0)
    GTEST_SKIP() << "python3-dbfread is not installed";

  // A new log beside a master file: Yes makes the contact file.
  LogGenerator g(11);
  write_master_file(path(".mst"), g.masters());
  hooks_.answer({kYes});
  ASSERT_EQ(open(0), 0);
  OspreyClose(&log_, 0);

  // Contacts appended, one rewritten whole, QSL marks set in place, two
  // deleted, as the log's writes do through the record file.
  std::vector<TestContact> contacts = g.contacts(40);
  std::vector<std::vector<uint8_t>> data;
  std::vector<bool> deleted(contacts.size(), false);
  DbfHandle h{};
  ASSERT_EQ(dbf_open(path(".dbs").c_str(), &h), 0);
  for (size_t i = 0; i < contacts.size(); ++i) {
    data.push_back(contact_data(contacts[i], i % 3 == 0 ? 0 : 256 + 17 * static_cast<uint32_t>(i)));
    ASSERT_EQ(dbf::append(&h, data.back().data()), 0);
  }
  TestContact replaced = g.next();
  replaced.name = sjis("ソニー 表");  // 0x5C as a second byte, twice
  data[4] = contact_data(replaced, 0);
  ASSERT_EQ(dbf_write(&h, 5, data[4].data()), 0);
  const uint8_t marks[3] = {'J', '*', '*'};
  ASSERT_EQ(dbf_write2(&h, 9, marks, 42, 3), 0);
  std::copy(marks, marks + 3, data[8].begin() + 41);
  for (int32_t recno : {2, 40}) {
    ASSERT_EQ(dbf_delete(&h, recno), 0);
    deleted[static_cast<size_t>(recno - 1)] = true;
  }
  ASSERT_GT(dbf_close(&h), 0);

  std::string expected =
      "version 1a\ndate 2026-03-07\ncount 40\nfields CALLS:C6 IGN:C1 POTBL:C3 CODE:C6 GL:C6 "
      "FREQ:C4 MODE:C3 NAME:C12 QSL:C3 DATE:C3 TIME:C2 RST:C4 OFS:C4\n";
  for (size_t i = 0; i < data.size(); ++i)
    if (!deleted[i]) expected += "live " + hex(data[i]) + "\n";
  for (size_t i = 0; i < data.size(); ++i)
    if (deleted[i]) expected += "deleted " + hex(data[i]) + "\n";
  for (size_t i = 0; i < data.size(); ++i) {
    if (deleted[i]) continue;
    std::string name(reinterpret_cast<const char*>(data[i].data()) + 29, 12);
    name.erase(name.find_last_not_of(' ') + 1);
    expected += "name " + utf8_of(name) + "\n";
  }
  const ProgramResult r = run_program(kPython, {"-c", kReader, path(".dbs")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, expected);

  // The log still opens over what was written, with every index built anew.
  std::filesystem::remove(path(".dx0"));
  std::filesystem::remove(path(".dx1"));
  hooks_.boxes.clear();
  hooks_.answer({kYes});  // the remarks file accounts for none of them
  ASSERT_EQ(open(0), 0);
  EXPECT_EQ(+log_.dbs.handle.record_count, 40);
  int entries = 0;
  for (int32_t recno = idx_top(&log_.index_slot[0]); recno != 0;
       recno = idx_next(&log_.index_slot[0]))
    ++entries;
  EXPECT_EQ(entries, 40);
  OspreyClose(&log_, 0);
}

}  // namespace
}  // namespace osp::test
