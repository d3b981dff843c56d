// Record files against independent dBASE readers and writers from Debian:
// Perl's XBase and Python's dbfread must read what the library writes, and
// the library must read what XBase writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dbf/record_file.h"
#include "osprey32.h"
#include "support/contact_builder.h"
#include "support/hooks_fixture.h"
#include "support/run_program.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::ContactData;
using test::ContactSpec;
using test::ProgramResult;
using test::run_program;
using test::TempDir;

const char* const kPerl = "/usr/bin/perl";
const char* const kPython = "/usr/bin/python3";

const char* const kFieldNames[13] = {"CALLS", "IGN",  "POTBL", "CODE", "GL",  "FREQ", "MODE",
                                     "NAME",  "QSL",  "DATE",  "TIME", "RST", "OFS"};
const int kFieldLengths[13] = {6, 1, 3, 6, 6, 4, 3, 12, 3, 3, 2, 4, 4};

std::string hex(const uint8_t* p, size_t n) {
  std::string s;
  char b[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02x", p[i]);
    s += b;
  }
  return s;
}

// What the file should hold: each record's deletion state and data bytes.
struct Model {
  struct Record {
    bool deleted = false;
    ContactData data{};
    std::string name;  // the NAME as UTF-8, without trailing blanks
  };
  std::vector<Record> records;
};

// The data bytes of one field of a record, as hex.
std::vector<std::string> field_hex(const ContactData& d) {
  std::vector<std::string> fields;
  size_t at = 0;
  for (int len : kFieldLengths) {
    fields.push_back(hex(d.data() + at, static_cast<size_t>(len)));
    at += static_cast<size_t>(len);
  }
  return fields;
}

std::string join(const std::vector<std::string>& parts) {
  std::string s;
  for (const auto& p : parts) s += (s.empty() ? "" : " ") + p;
  return s;
}

ContactSpec nth_contact(int i) {
  static const char* const kNames[] = {"能登 一郎", "佐藤 花子", "ﾀﾅｶ",   "表 ソラ",
                                       "鈴木 健",   "山本 美咲", "古川",   "高橋 ﾋﾛｼ",
                                       "",          "渡辺",      "伊藤 誠", "中村 ゆい"};
  static const char* const kFreqs[] = {"7.025", "14.050", "144.50", "1.9", "430.00", "3.5"};
  ContactSpec c;
  c.callsign = "JA" + std::to_string(i % 10) + "Q" + std::string(1, static_cast<char>('A' + i));
  c.code = std::to_string(1000 + 37 * i);
  c.grid = "PM95";
  c.frequency = kFreqs[i % 6];
  c.mode = i % 2 == 0 ? "CW" : "SSB";
  c.name = kNames[i % 12];
  c.qsl = i % 3 == 0 ? "J**" : "J  ";
  c.year = i % 5 == 0 ? 1999 : 2026;
  c.month = 1 + i % 12;
  c.day = 1 + i % 28;
  c.hour = i % 24;
  c.minute = (7 * i) % 60;
  c.utc = i % 2 == 1;
  c.his_rs = 59;
  c.his_t = i % 2 == 0 ? '9' : ' ';
  c.my_rs = 50 + i % 10;
  c.my_t = c.his_t;
  c.remarks_offset = i % 4 == 0 ? 0 : 256u + 100u * static_cast<uint32_t>(i);
  return c;
}

class DbfInteropTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = dir_.file("LOG.dbs"); }

  // A contact file made by dbf_create and filled through the library: twelve
  // appends, a whole-record write, a field write, deletions and an undeletion.
  Model build() {
    Model m;
    EXPECT_EQ(dbf_create(path_.c_str()), 0);
    DbfHandle h{};
    EXPECT_EQ(dbf_open(path_.c_str(), &h), 0);
    for (int i = 0; i < 12; ++i) {
      const ContactSpec c = nth_contact(i);
      Model::Record r;
      r.data = test::contact_data(c);
      r.name = c.name;
      EXPECT_EQ(dbf::append(&h, r.data.data()), 0);
      m.records.push_back(r);
    }
    ContactSpec replaced = nth_contact(20);
    replaced.name = "ソニー 太郎";  // 0x5C as a second byte, twice
    m.records[2].data = test::contact_data(replaced);
    m.records[2].name = replaced.name;
    EXPECT_EQ(dbf_write(&h, 3, m.records[2].data.data()), 0);
    const uint8_t qsl[3] = {'D', '*', '*'};
    EXPECT_EQ(dbf_write2(&h, 5, qsl, 42, 3), 0);
    std::copy(qsl, qsl + 3, m.records[4].data.begin() + 41);
    for (int recno : {2, 7, 11, 12}) {
      EXPECT_EQ(dbf_delete(&h, recno), 0);
      m.records[static_cast<size_t>(recno - 1)].deleted = true;
    }
    const uint8_t live = ' ';
    EXPECT_EQ(dbf_write2(&h, 7, &live, 0, 1), 0);
    m.records[6].deleted = false;
    EXPECT_GT(dbf_close(&h), 0);
    return m;
  }

  // Marks the last count records deleted in a session of their own.
  void delete_last(Model* m, int32_t count) {
    DbfHandle h{};
    ASSERT_EQ(dbf_open(path_.c_str(), &h), 0);
    for (int32_t i = 0; i < count; ++i) {
      ASSERT_EQ(dbf_delete(&h, h.record_count - i), 0);
      m->records[m->records.size() - 1 - static_cast<size_t>(i)].deleted = true;
    }
    EXPECT_GT(dbf_close(&h), 0);
  }

  // Reopens the file and packs it, as a later session would.
  void pack(Model* m, int32_t buffer_records) {
    DbfHandle h{};
    ASSERT_EQ(dbf_open(path_.c_str(), &h), 0);
    std::vector<uint8_t> buffer(static_cast<size_t>(buffer_records) * 58);
    ASSERT_EQ(dbf_packwk(&h, buffer.data(), static_cast<int32_t>(buffer.size())), 0);
    EXPECT_GT(dbf_close(&h), 0);
    std::erase_if(m->records, [](const Model::Record& r) { return r.deleted; });
  }

  test::HookRecorder hooks_;  // fixes the clock at 2026-03-07
  TempDir dir_;
  std::string path_;
};

// ---- Perl's XBase ----

bool xbase_present() { return run_program(kPerl, {"-MXBase", "-e", "1"}).exit_status == 0; }

const char* const kXBaseReader = R"(
use strict; use XBase;
my $t = XBase->new($ARGV[0]) or die XBase->errstr;
$t->{'ChopBlanks'} = 0;
printf "version %02x\n", $t->version;
print "date ", $t->get_last_change, "\n";
print "count ", $t->last_record + 1, "\n";
print "fields ", join(" ", map { $_ . ":" . $t->field_type($_) . $t->field_length($_) }
                            $t->field_names), "\n";
for my $i (0 .. $t->last_record) {
  my ($deleted, @values) = $t->get_record($i) or die XBase->errstr;
  print defined $deleted ? $deleted : "?", " ", join(" ", map { unpack "H*", $_ } @values), "\n";
}
)";

std::string xbase_expected(const Model& m) {
  std::string s = "version 1a\ndate 2026/3/7\ncount " + std::to_string(m.records.size()) +
                  "\nfields";
  for (int i = 0; i < 13; ++i)
    s += std::string(" ") + kFieldNames[i] + ":C" + std::to_string(kFieldLengths[i]);
  s += "\n";
  for (const auto& r : m.records) s += (r.deleted ? "1 " : "0 ") + join(field_hex(r.data)) + "\n";
  return s;
}

TEST_F(DbfInteropTest, XBaseReadsRecordsAndMarksOfAFilledAndAPackedContactFile) {
  if (!xbase_present()) GTEST_SKIP() << "Perl's XBase (libdbd-xbase-perl) is not installed";
  Model m = build();
  ProgramResult r = run_program(kPerl, {"-e", kXBaseReader, path_});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, xbase_expected(m));

  // Packing removes the three deleted records; the count and the cut reach
  // the file although the session that packed wrote nothing else.
  pack(&m, 3);
  r = run_program(kPerl, {"-e", kXBaseReader, path_});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, xbase_expected(m));
}

TEST_F(DbfInteropTest, XBaseSeesTheCountOfAPackThatOnlyDroppedTrailingRecords) {
  if (!xbase_present()) GTEST_SKIP() << "Perl's XBase (libdbd-xbase-perl) is not installed";
  Model m = build();
  pack(&m, 100);
  delete_last(&m, 2);
  pack(&m, 100);  // nothing moves; only the count and the length change
  ASSERT_EQ(m.records.size(), 7u);
  const ProgramResult r = run_program(kPerl, {"-e", kXBaseReader, path_});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, xbase_expected(m));
}

// A table written by XBase: a plain version-3 header with a numeric field.
TEST_F(DbfInteropTest, LibraryReadsAndExtendsATableXBaseWrote) {
  if (!xbase_present()) GTEST_SKIP() << "Perl's XBase (libdbd-xbase-perl) is not installed";
  const std::string path = dir_.file("OTHER.dbf");
  const std::string name = test::sjis("佐藤 ソラ");
  const char* const writer = R"(
use strict; use XBase;
my $t = XBase->create(name => $ARGV[0], field_names => ['CALL', 'NAME', 'COUNT'],
                      field_types => ['C', 'C', 'N'], field_lengths => [8, 12, 5],
                      field_decimals => [undef, undef, 0]) or die XBase->errstr;
$t->set_record(0, 'JA1ZZZ', pack('H*', $ARGV[1]), 42) or die $t->errstr;
$t->set_record(1, 'JR6ABC', 'OKINAWA', 7) or die $t->errstr;
$t->set_record(2, '7K1XYZ', '', 12345) or die $t->errstr;
$t->delete_record(1) or die $t->errstr;
$t->close;
)";
  ProgramResult r = run_program(kPerl, {"-e", writer, path, hex(reinterpret_cast<const uint8_t*>(
                                                                   name.data()), name.size())});
  ASSERT_EQ(r.exit_status, 0) << r.err;

  DbfHandle h{};
  ASSERT_EQ(dbf_open(path.c_str(), &h), 0);
  EXPECT_EQ(h.version, 0x03);
  EXPECT_EQ(h.record_count, 3);
  EXPECT_EQ(h.header_size, 32 + 3 * 32 + 1);
  EXPECT_EQ(h.record_size, 1 + 8 + 12 + 5);
  char data[25];
  ASSERT_EQ(dbf_read(&h, 1, data), 0);
  EXPECT_EQ(std::string(data, 25), "JA1ZZZ  " + name + std::string(12 - name.size(), ' ') + "   42");
  ASSERT_EQ(dbf_read(&h, 3, data), 0);
  EXPECT_EQ(std::string(data, 25), "7K1XYZ  " + std::string(12, ' ') + "12345");
  EXPECT_EQ(dbf_read(&h, 4, data), OSP_RECNO_ABOVE_COUNT);
  const std::string added = "JH1AAA  " + std::string(12, ' ') + "    1";
  ASSERT_EQ(dbf::append(&h, added.data()), 0);
  EXPECT_GT(dbf_close(&h), 0);

  const auto bytes = test::read_file(path);
  const size_t header = 129, rs = 26;
  ASSERT_EQ(bytes.size(), header + 4 * rs + 1);
  EXPECT_EQ(bytes[header + 0 * rs], ' ');
  EXPECT_EQ(bytes[header + 1 * rs], '*');
  EXPECT_EQ(bytes[header + 3 * rs], ' ');
  EXPECT_EQ(bytes.back(), 0x1A);

  // XBase reads the library's append and its header write-back.
  const char* const reader = R"(
use strict; use XBase;
my $t = XBase->new($ARGV[0]) or die XBase->errstr;
print "date ", $t->get_last_change, "\n";
for my $i (0 .. $t->last_record) { print join("|", $t->get_record($i)), "\n"; }
)";
  r = run_program(kPerl, {"-e", reader, path});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "date 2026/3/7\n0|JA1ZZZ|" + name + "|42\n1|JR6ABC|OKINAWA|7\n0|7K1XYZ||12345\n"
                   "0|JH1AAA||1\n");
}

// ---- Python's dbfread ----

bool dbfread_present() {
  return run_program(kPython, {"-c", "import dbfread"}).exit_status == 0;
}

// Live records, then deleted ones, each as hex fields; then the live names
// decoded from code page 932.
const char* const kDbfreadReader = R"(
import sys, dbfread
t = dbfread.DBF(sys.argv[1], raw=True, load=True)
out = ["version %02x" % t.header.dbversion, "date " + t.date.isoformat(),
       "count %d" % t.header.numrecords,
       "fields " + " ".join("%s:%s%d" % (f.name, f.type, f.length) for f in t.fields)]
out += ["live " + " ".join(v.hex() for v in r.values()) for r in t.records]
out += ["deleted " + " ".join(v.hex() for v in r.values()) for r in t.deleted]
out += ["name " + r["NAME"].decode("cp932").rstrip(" ") for r in t.records]
sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
)";

std::string dbfread_expected(const Model& m) {
  std::string s = "version 1a\ndate 2026-03-07\ncount " + std::to_string(m.records.size()) +
                  "\nfields";
  for (int i = 0; i < 13; ++i)
    s += std::string(" ") + kFieldNames[i] + ":C" + std::to_string(kFieldLengths[i]);
  s += "\n";
  for (const auto& r : m.records)
    if (!r.deleted) s += "live " + join(field_hex(r.data)) + "\n";
  for (const auto& r : m.records)
    if (r.deleted) s += "deleted " + join(field_hex(r.data)) + "\n";
  for (const auto& r : m.records)
    if (!r.deleted) s += "name " + r.name + "\n";
  return s;
}

TEST_F(DbfInteropTest, DbfreadReadsRecordsMarksAndShiftJisNamesOfAFilledAndAPackedContactFile) {
  if (!dbfread_present()) GTEST_SKIP() << "python3-dbfread is not installed";
  Model m = build();
  ProgramResult r = run_program(kPython, {"-c", kDbfreadReader, path_});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, dbfread_expected(m));

  // dbfread reads up to the end-of-file mark rather than by the count, so a
  // pack must cut the file and put the mark right behind the last record.
  pack(&m, 3);
  r = run_program(kPython, {"-c", kDbfreadReader, path_});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, dbfread_expected(m));
}

TEST_F(DbfInteropTest, DbfreadSeesNoStaleRecordsAfterAPackThatOnlyDroppedTrailingRecords) {
  if (!dbfread_present()) GTEST_SKIP() << "python3-dbfread is not installed";
  Model m = build();
  pack(&m, 100);
  delete_last(&m, 2);
  pack(&m, 100);  // nothing moves; only the count and the length change
  ASSERT_EQ(m.records.size(), 7u);
  const ProgramResult r = run_program(kPython, {"-c", kDbfreadReader, path_});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, dbfread_expected(m));
}

}  // namespace
}  // namespace osp
