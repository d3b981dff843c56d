// The contact services against SQLite on the same generated contacts, in the
// same run and directory:
//   - a full DBS_Xread pass (every contact unpacked with its remarks) against
//     SQLite scanning the same rows in rowid order and reading every column;
//   - a full WkdCfmCheck walk (progress drawn, master masks raised and
//     written) against SQLite doing the same raising row by row in one
//     transaction (look the area up, update its masks, then its parent's);
//   - the award recompute (OSP_award_recompute: the tables cleared, then
//     raised from the live contacts) against SQLite clearing with one UPDATE
//     and raising row by row, both in one transaction and both timed.
// Prints a Markdown table for docs/performance.md; times are the median of
// --repeat runs, each starting from empty band tables.
//
//   contact_bench [--sizes N,N,...] [--repeat N]   (default 100000, 5 runs)
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_common.h"
#include "osprey32.h"
#include "support/contact_file_builder.h"
#include "support/log_generator.h"
#include "support/master_file_builder.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using osp::bench::human;

constexpr const char* kExcluded = "D";
constexpr char kNotReceived = 'N';

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "contact_bench: %s failed\n", what);
    std::exit(1);
  }
}

int32_t answer_yes(void*, int32_t, const char*, const char*, uint32_t) { return 6; }
void draw_nothing(void*, void*, int32_t, int32_t, const char*, int32_t) {}

void exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "contact_bench: %s: %s\n", sql, error);
    std::exit(1);
  }
}

sqlite3_stmt* prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  check(sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK, sql);
  return st;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The view's fields as SQLite columns: every text field of a contact.
constexpr int kColumns = 15;
const char* field(const ContactView& v, int i) {
  const char* fields[kColumns] = {v.callsign,  v.portable,  v.date,    v.time,    v.his_report,
                                  v.my_report, v.frequency, v.mode,    v.code,    v.grid,
                                  v.qsl,       v.name,      v.remark1, v.remark2, v.remark3};
  return fields[i];
}

// ---- the log ----

double log_pass(LogHandle* log, uint64_t* sum) {
  const auto start = Clock::now();
  log->dbs.handle.current_recno = 0;
  int32_t n = 0;
  while (DBS_Xread(log) == 0) {
    *sum +=
        static_cast<uint8_t>(log->view.callsign[0]) + static_cast<uint8_t>(log->view.remark3[0]);
    ++n;
  }
  const double s = seconds_since(start);
  check(n == log->dbs.handle.record_count, "the pass");
  return s;
}

void clear_masks(LogHandle* log) {
  uint8_t data[49];
  const uint8_t zero[4] = {};
  for (int32_t r = 1; dbf_read(&log->mst.handle, r, data) == 0; ++r)
    if ((data[41] & 0x80) == 0) dbf_write2(&log->mst.handle, r, zero, 39, 4);
}

double log_walk(LogHandle* log) {
  clear_masks(log);
  int dc = 0;
  int32_t recno = 1;
  const auto start = Clock::now();
  const int32_t r = WkdCfmCheck(&dc, log, &recno, kExcluded, kNotReceived);
  const double s = seconds_since(start);
  check(r == 10, "the walk");
  return s;
}

// The tables recomputed from full ones: the clearing is timed too.
double log_recompute(LogHandle* log) {
  int dc = 0;
  const auto start = Clock::now();
  const int32_t r = OSP_award_recompute(&dc, log, kExcluded, kNotReceived);
  const double s = seconds_since(start);
  check(r == 0, "the recompute");
  return s;
}

// ---- SQLite ----

double sqlite_scan(sqlite3* db, uint64_t* sum) {
  sqlite3_stmt* st = prepare(db, "SELECT * FROM contacts ORDER BY rowid");
  const auto start = Clock::now();
  while (sqlite3_step(st) == SQLITE_ROW) {
    for (int c = 1; c <= kColumns; ++c) {
      const unsigned char* t = sqlite3_column_text(st, c);
      *sum += static_cast<uint64_t>(sqlite3_column_bytes(st, c)) + (t != nullptr ? t[0] : 0);
    }
  }
  const double s = seconds_since(start);
  sqlite3_finalize(st);
  return s;
}

// Raises the area code on band to standing (1 worked, 2 confirmed); true
// when it rose.
bool sqlite_raise(sqlite3_stmt* get, sqlite3_stmt* put, const char* code, int band, int standing) {
  sqlite3_reset(get);
  sqlite3_bind_text(get, 1, code, 6, SQLITE_STATIC);
  if (sqlite3_step(get) != SQLITE_ROW) return false;
  int cfm = sqlite3_column_int(get, 0);
  int wkd = sqlite3_column_int(get, 1);
  if ((wkd & 0x8000) != 0) return false;
  const int bit = 1 << band;
  if ((cfm & bit) != 0 || ((wkd & bit) != 0 && standing == 1)) return false;
  // As the log stores it: a confirmed band keeps only its confirmed bit.
  if (standing == 2) {
    cfm |= bit;
    wkd &= ~bit;
  } else {
    wkd |= bit;
  }
  sqlite3_reset(put);
  sqlite3_bind_int(put, 1, cfm);
  sqlite3_bind_int(put, 2, wkd);
  sqlite3_bind_text(put, 3, code, 6, SQLITE_STATIC);
  check(sqlite3_step(put) == SQLITE_DONE, "update");
  return true;
}

// The walk from cleared tables; with clear_timed the clearing is part of
// the time and of the transaction (the recompute), else it comes before.
double sqlite_walk(sqlite3* db, bool clear_timed = false) {
  const char* clear = "UPDATE masters SET cfm = 0, wkd = 0 WHERE wkd < 32768";
  if (!clear_timed) exec(db, clear);
  sqlite3_stmt* scan = prepare(db, "SELECT code, frequency, qsl FROM contacts ORDER BY rowid");
  sqlite3_stmt* get = prepare(db, "SELECT cfm, wkd FROM masters WHERE code = ?");
  sqlite3_stmt* put = prepare(db, "UPDATE masters SET cfm = ?, wkd = ? WHERE code = ?");
  const auto start = Clock::now();
  exec(db, "BEGIN");
  if (clear_timed) exec(db, clear);
  while (sqlite3_step(scan) == SQLITE_ROW) {
    const char* code = reinterpret_cast<const char*>(sqlite3_column_text(scan, 0));
    const char* freq = reinterpret_cast<const char*>(sqlite3_column_text(scan, 1));
    const char* qsl = reinterpret_cast<const char*>(sqlite3_column_text(scan, 2));
    if ((code[0] == ' ' && code[1] == ' ') || qsl[0] == '\0' || std::strchr(kExcluded, qsl[0]))
      continue;
    const int band = FreqPCheck(freq);
    if (band == 15) continue;
    const int standing = qsl[2] == ' ' || qsl[2] == kNotReceived ? 1 : 2;
    if (!sqlite_raise(get, put, code, band, standing)) continue;
    const int32_t kind = ChosonCheck(code);
    if (kind != 6 && kind != 7) continue;
    char parent[7];
    std::memcpy(parent, code, 6);
    parent[5] = ' ';
    if (kind == 6) parent[4] = ' ';
    parent[6] = '\0';
    sqlite_raise(get, put, parent, band, standing);
  }
  exec(db, "COMMIT");
  const double s = seconds_since(start);
  sqlite3_finalize(scan);
  sqlite3_finalize(get);
  sqlite3_finalize(put);
  return s;
}

// True when SQLite's masks equal the master file's.
bool same_tables(sqlite3* db, LogHandle* log) {
  sqlite3_stmt* get = prepare(db, "SELECT cfm, wkd FROM masters WHERE code = ?");
  uint8_t data[49];
  bool same = true;
  for (int32_t r = 1; dbf_read(&log->mst.handle, r, data) == 0; ++r) {
    sqlite3_reset(get);
    sqlite3_bind_text(get, 1, reinterpret_cast<const char*>(data), 6, SQLITE_STATIC);
    if (sqlite3_step(get) != SQLITE_ROW) return false;
    same = same && sqlite3_column_int(get, 0) == (data[38] | data[39] << 8) &&
           sqlite3_column_int(get, 1) == (data[40] | data[41] << 8);
  }
  sqlite3_finalize(get);
  return same;
}

void run(int64_t count, int repeat) {
  osp::test::TempDir dir;
  const std::string base = dir.file("BENCH");
  std::fprintf(stderr, "generating %lld contacts...\n", static_cast<long long>(count));
  osp::test::LogGenerator g(20260308);
  osp::test::ContactFileBuilder b;
  sqlite3* db = nullptr;
  check(sqlite3_open(dir.file("bench.sqlite").c_str(), &db) == SQLITE_OK, "sqlite3_open");
  exec(db,
       "CREATE TABLE contacts (id INTEGER PRIMARY KEY, callsign TEXT, portable TEXT, "
       "date TEXT, time TEXT, his TEXT, my TEXT, frequency TEXT, mode TEXT, code TEXT, "
       "grid TEXT, qsl TEXT, name TEXT, remark1 TEXT, remark2 TEXT, remark3 TEXT)");
  exec(db, "CREATE TABLE masters (code TEXT PRIMARY KEY, name TEXT, cfm INTEGER, wkd INTEGER)");
  sqlite3_stmt* insert = prepare(db,
                                 "INSERT INTO contacts VALUES (NULL, ?, ?, ?, ?, ?, ?, ?, "
                                 "?, ?, ?, ?, ?, ?, ?, ?)");
  exec(db, "BEGIN");
  for (int64_t i = 0; i < count; ++i) {
    const osp::test::TestContact c = g.next();
    b.add(c);
    const ContactView v = osp::test::expected_view(c);
    sqlite3_reset(insert);
    for (int f = 0; f < kColumns; ++f)
      sqlite3_bind_text(insert, f + 1, field(v, f), -1, SQLITE_TRANSIENT);
    check(sqlite3_step(insert) == SQLITE_DONE, "insert");
  }
  sqlite3_finalize(insert);
  sqlite3_stmt* master = prepare(db, "INSERT INTO masters VALUES (?, ?, ?, ?)");
  const std::vector<osp::test::MasterEntry> masters = g.masters();
  for (const osp::test::MasterEntry& m : masters) {
    const std::string code = osp::test::padded(m.code, 6);
    sqlite3_reset(master);
    sqlite3_bind_text(master, 1, code.c_str(), 6, SQLITE_TRANSIENT);
    sqlite3_bind_text(master, 2, m.name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(master, 3, m.confirmed);
    sqlite3_bind_int(master, 4, m.worked);
    check(sqlite3_step(master) == SQLITE_DONE, "insert master");
  }
  sqlite3_finalize(master);
  exec(db, "COMMIT");
  b.write_log(base);
  osp::test::write_master_file(base + ".mst", masters);

  LogHandle log{};
  check(OspreyOpen(nullptr, &log, base.c_str(), 0, 0) == 0, "OspreyOpen");
  std::vector<double> pass, scan, walk, sql_walk, recompute, sql_recompute;
  uint64_t sum = 0;
  for (int i = 0; i < repeat; ++i) {
    std::fprintf(stderr, "run %d of %d...\n", i + 1, repeat);
    pass.push_back(log_pass(&log, &sum));
    scan.push_back(sqlite_scan(db, &sum));
    walk.push_back(log_walk(&log));
    sql_walk.push_back(sqlite_walk(db));
    recompute.push_back(log_recompute(&log));
    sql_recompute.push_back(sqlite_walk(db, true));
  }
  check(same_tables(db, &log), "the walks' agreement");
  OspreyClose(&log, 0);
  sqlite3_close(db);

  const struct {
    const char* what;
    double ours, theirs;
  } rows[] = {{"full pass: DBS_Xread / SELECT * in rowid order", median(pass), median(scan)},
              {"worked/confirmed walk: WkdCfmCheck / row-by-row updates in one transaction",
               median(walk), median(sql_walk)},
              {"award recompute (tables cleared, then raised): OSP_award_recompute / UPDATE + "
               "row-by-row updates in one transaction",
               median(recompute), median(sql_recompute)}};
  for (const auto& r : rows)
    std::printf("| %s | %lld | %s | %s | %.2f |\n", r.what, static_cast<long long>(count),
                human(r.ours).c_str(), human(r.theirs).c_str(), r.theirs / r.ours);
  std::fprintf(stderr, "(checksum %llu)\n", static_cast<unsigned long long>(sum));
}

}  // namespace

int main(int argc, char** argv) {
  const osp::bench::Options o = osp::bench::parse_options(argc, argv, {{100000}, 5, ""});
  const OspHooks hooks{&answer_yes, &draw_nothing, nullptr, nullptr, nullptr};
  OspSetHooks(&hooks);
  std::printf("| Operation | contacts | OSPREY32 | SQLite | ratio (SQLite / OSPREY32) |\n");
  std::printf("|---|---:|---:|---:|---:|\n");
  for (int64_t n : o.sizes) run(n, o.repeat);
  return 0;
}
