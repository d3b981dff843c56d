// Text files against SQLite on the same data: importing fixed-column contact
// lines into a log with the rebuild of its indexes (SQLite: the same rows in
// one transaction and the five equivalent indexes), and a user text file of
// 50,000 records opened with its index reused and rebuilt, with lookups.
// Prints a Markdown table for docs/performance.md.
//
//   text_bench [--sizes CONTACTS] [--repeat N]   (default 100000, 3)
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_common.h"
#include "osprey32.h"
#include "support/contact_file_builder.h"
#include "support/log_generator.h"
#include "support/master_file_builder.h"
#include "support/temp_dir.h"
#include "support/user_text_builder.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int32_t answer_yes(void*, int32_t, const char*, const char*, uint32_t) { return 6; }

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "text_bench: %s failed\n", what);
    std::exit(1);
  }
}

std::string fit(const std::string& s, size_t w) { return (s + std::string(w, ' ')).substr(0, w); }

std::string two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v % 100);
  return b;
}

// The contact line of c.
std::string contact_line(const osp::test::TestContact& c) {
  return fit(c.callsign, 7) + fit(c.portable, 3) + fit(c.code, 6) + fit(c.grid, 6) +
         fit(c.frequency, 7) + fit(c.mode, 3) + fit(c.name, 12) + fit(c.qsl, 3) + two(c.year) +
         two(c.month) + two(c.day) + two(c.hour) + two(c.minute) + (c.utc ? "U" : "J") +
         two(c.his_rs) + c.his_t + two(c.my_rs) + c.my_t + fit(c.remarks[0], 28) +
         fit(c.remarks[1], 54) + fit(c.remarks[2], 54);
}

void exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "text_bench: %s: %s\n", sql, error);
    std::exit(1);
  }
}

// Ours: an empty log (its master indexes built beforehand), the lines read
// with T_GetDbs and appended with Text_QFRappend in a bulk run, as the
// command's import does, then the open that rebuilds the contact indexes.
double import_ours(const std::string& dir, const std::string& lines_path,
                   const std::vector<osp::test::MasterEntry>& masters, size_t n) {
  const std::string base = dir + "/IMPORT";
  for (const char* ext : {".dbs", ".dbr", ".mst", ".dx0", ".dx1", ".dx2", ".dx3", ".dx4", ".fdt", ".FDT"})
    fs::remove(base + ext);
  osp::test::write_master_file(base + ".mst", masters);
  check(dbf_create((base + ".dbs").c_str()) == 0, "dbf_create");
  LogHandle log{};
  check(OspreyOpen(nullptr, &log, base.c_str(), 0, 1) == 0, "the first open");
  OspreyClose(&log, 1);

  const auto start = Clock::now();
  check(OspreyOpen(nullptr, &log, base.c_str(), 0, 2) == 0, "the quick open");
  const OspFile h = T_Open(lines_path.c_str());
  char line[219 + 2];
  size_t imported = 0;
  check(OSP_bulk_begin(&log) == 0, "OSP_bulk_begin");
  while (T_GetDbs(line, sizeof line, h) == 0) {
    check(Text_QFRappend(&log, line) == 0, "Text_QFRappend");
    ++imported;
  }
  check(OSP_bulk_end(&log) == 0, "OSP_bulk_end");
  std::fclose(fdopen(static_cast<int>(h), "rb"));
  OspreyClose(&log, 2);
  check(OspreyOpen(nullptr, &log, base.c_str(), 0, 1) == 0, "the rebuilding open");
  OspreyClose(&log, 1);
  const double s = seconds_since(start);
  check(imported == n, "the import's count");
  return s;
}

double import_sqlite(const std::string& dir, const std::vector<osp::test::TestContact>& contacts,
                     const std::vector<osp::test::MasterEntry>& masters) {
  const std::string path = dir + "/import.sqlite";
  fs::remove(path);
  sqlite3* db = nullptr;
  check(sqlite3_open(path.c_str(), &db) == SQLITE_OK, "sqlite3_open");
  exec(db, "CREATE TABLE contacts(call TEXT, portable TEXT, code TEXT, grid TEXT, freq TEXT, "
           "mode TEXT, name TEXT, qsl TEXT, date INTEGER, time INTEGER, rst TEXT, remark1 TEXT, "
           "remark2 TEXT, remark3 TEXT)");
  exec(db, "CREATE TABLE masters(code TEXT, name TEXT, flg TEXT, hed TEXT, eria TEXT)");
  exec(db, "BEGIN");
  sqlite3_stmt* m = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO masters VALUES(?,?,?,?,?)", -1, &m, nullptr);
  for (const auto& e : masters) {
    sqlite3_reset(m);
    const std::string flg(1, e.flg), hed(1, e.hed);
    sqlite3_bind_text(m, 1, e.code.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(m, 2, e.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(m, 3, flg.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(m, 4, hed.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(m, 5, e.eria.c_str(), -1, SQLITE_TRANSIENT);
    check(sqlite3_step(m) == SQLITE_DONE, "master insert");
  }
  sqlite3_finalize(m);
  exec(db, "COMMIT");

  const auto start = Clock::now();
  exec(db, "BEGIN");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO contacts VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &st, nullptr);
  for (const auto& c : contacts) {
    sqlite3_reset(st);
    const std::string rst = two(c.his_rs) + c.his_t + two(c.my_rs) + c.my_t;
    const std::string* texts[] = {&c.callsign, &c.portable, &c.code, &c.grid,
                                  &c.frequency, &c.mode, &c.name, &c.qsl};
    for (int i = 0; i < 8; ++i) sqlite3_bind_text(st, i + 1, texts[i]->c_str(), -1, SQLITE_STATIC);
    sqlite3_bind_int(st, 9, c.year * 10000 + c.month * 100 + c.day);
    sqlite3_bind_int(st, 10, c.hour * 100 + c.minute + (c.utc ? 10000 : 0));
    sqlite3_bind_text(st, 11, rst.c_str(), -1, SQLITE_TRANSIENT);
    for (int i = 0; i < 3; ++i) sqlite3_bind_text(st, 12 + i, c.remarks[i].c_str(), -1, SQLITE_STATIC);
    check(sqlite3_step(st) == SQLITE_DONE, "insert");
  }
  sqlite3_finalize(st);
  exec(db, "COMMIT");
  // The log's five: call sign and code of the contacts; code, flag and code,
  // and flag, head and area of the masters.
  exec(db, "CREATE INDEX i0 ON contacts(call)");
  exec(db, "CREATE INDEX i1 ON contacts(code)");
  exec(db, "CREATE INDEX i2 ON masters(code)");
  exec(db, "CREATE INDEX i3 ON masters(flg, code)");
  exec(db, "CREATE INDEX i4 ON masters(flg, hed, eria)");
  const double s = seconds_since(start);
  sqlite3_close(db);
  return s;
}

// A user text file of n records of full width, keys in random order.
std::vector<std::string> write_user_text(const std::string& path, size_t n) {
  osp::test::LogGenerator g(3);
  std::vector<std::string> keys;
  std::vector<std::string> records;
  for (size_t i = 0; i < n; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "%c%05u", 'A' + static_cast<int>(g.below(26)),
                  static_cast<unsigned>(g.below(100000)));
    keys.push_back(key);
    records.push_back(osp::test::record_columns(key, "AREA NAME", key, "INFORMATION TWO",
                                                "INFORMATION THREE OF THE RECORD", false));
  }
  const std::string text = osp::test::variable_text("USER TEXT FILE FOR TIMES", records);
  std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
  return keys;
}

}  // namespace

int main(int argc, char** argv) {
  const osp::bench::Options o = osp::bench::parse_options(argc, argv, {{100000}, 3, ""});
  const size_t n = static_cast<size_t>(o.sizes.front());
  static const OspHooks hooks{&answer_yes, nullptr, nullptr, nullptr, nullptr};
  OspSetHooks(&hooks);
  osp::test::TempDir dir;

  osp::test::LogGenerator g(21);
  const std::vector<osp::test::TestContact> contacts = g.contacts(n);
  const auto masters = g.masters();
  const std::string lines_path = dir.file("CONTACTS.TXT");
  {
    std::string all;
    for (const auto& c : contacts) all += contact_line(c) + "\r\n";
    std::ofstream(lines_path, std::ios::binary).write(all.data(), static_cast<std::streamsize>(all.size()));
  }
  double ours = 1e9, theirs = 1e9;
  for (int r = 0; r < o.repeat; ++r) {
    ours = std::min(ours, import_ours(dir.path(), lines_path, masters, n));
    theirs = std::min(theirs, import_sqlite(dir.path(), contacts, masters));
  }

  constexpr size_t kRecords = 50000;
  const std::string text = dir.file("USER.TXT");
  const std::vector<std::string> keys = write_user_text(text, kRecords);
  double reuse = 1e9, rebuild = 1e9;
  UserTextFile file{};
  for (int r = 0; r < o.repeat * 3; ++r) {
    fs::remove(dir.file("USER.HDX"));
    auto start = Clock::now();
    check(User_open(nullptr, 1, &file, text.c_str()) == 0, "User_open (rebuild)");
    rebuild = std::min(rebuild, seconds_since(start));
    User_close(1, &file);
    start = Clock::now();
    check(User_open(nullptr, 1, &file, text.c_str()) == 0, "User_open (reuse)");
    reuse = std::min(reuse, seconds_since(start));
    User_close(1, &file);
  }
  check(User_open(nullptr, 1, &file, text.c_str()) == 0, "User_open");
  const size_t lookups = 200000;
  auto start = Clock::now();
  for (size_t i = 0; i < lookups; ++i) check(User_Seek(nullptr, 1, &file, keys[(i * 7919) % keys.size()].c_str()) > 0, "User_Seek");
  const double seek = seconds_since(start) / lookups;
  User_close(1, &file);

  std::printf("| Operation | OSPREY32 | SQLite | Ratio |\n|---|---|---|---|\n");
  std::printf("| import of %zu contact lines with the index rebuild | %s | %s | %.2fx |\n", n,
              osp::bench::human(ours).c_str(), osp::bench::human(theirs).c_str(), theirs / ours);
  std::printf("\n| User text file, %zu records | time |\n|---|---|\n", kRecords);
  std::printf("| User_open, index rebuilt | %s |\n", osp::bench::human(rebuild).c_str());
  std::printf("| User_open, index reused | %s (%.1fx faster) |\n", osp::bench::human(reuse).c_str(),
              rebuild / reuse);
  std::printf("| User_Seek (lookup and record read) | %.2f us |\n", seek * 1e6);
  return 0;
}
