// The log cursor and writes against SQLite on the same contacts: appends with
// index maintenance (half of them one by one, each in the operating system
// when it returns; half in a bulk run with a flush at the end; and more, each
// made durable on its own), seeks by call sign, and full walks in call-sign
// order and in record order. Prints a Markdown table for docs/performance.md.
//
//   log_bench [CONTACTS]   (default 1000000)
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "osprey32.h"
#include "support/contact_file_builder.h"
#include "support/log_generator.h"
#include "support/master_file_builder.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The process's CPU time (user and system), which other work on a shared
// machine does not inflate as it does the wall clock.
double cpu_seconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Contact {
  ContactView view;
  std::vector<uint8_t> record;  // the 57 data bytes without a remark link
  std::string call;             // the 6 bytes of the call-sign key
  std::string code;
  std::string remarks[3];
};

int32_t answer_yes(void*, int32_t, const char*, const char*, uint32_t) { return 6; }

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "log_bench: %s failed\n", what);
    std::exit(1);
  }
}

struct Row {
  std::string what;
  double ours;    // operations per second
  double theirs;  // operations per second
  std::string note;
};

// ---- SQLite ----

void exec(sqlite3* db, const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "log_bench: %s: %s\n", sql, error);
    std::exit(1);
  }
}

void insert_row(sqlite3_stmt* st, const Contact& c) {
  sqlite3_reset(st);
  sqlite3_bind_text(st, 1, c.call.data(), static_cast<int>(c.call.size()), SQLITE_STATIC);
  sqlite3_bind_text(st, 2, c.code.data(), static_cast<int>(c.code.size()), SQLITE_STATIC);
  sqlite3_bind_blob(st, 3, c.record.data(), static_cast<int>(c.record.size()), SQLITE_STATIC);
  for (int i = 0; i < 3; ++i)
    sqlite3_bind_text(st, 4 + i, c.remarks[i].data(), static_cast<int>(c.remarks[i].size()),
                      SQLITE_STATIC);
  check(sqlite3_step(st) == SQLITE_DONE, "insert");
}

}  // namespace

int main(int argc, char** argv) {
  const size_t n = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
  const size_t durable_n = std::min<size_t>(1000, n);
  const size_t seek_n = std::min<size_t>(100000, n);
  const OspHooks hooks{&answer_yes, nullptr, nullptr, nullptr, nullptr};
  OspSetHooks(&hooks);

  std::fprintf(stderr, "generating %zu contacts...\n", n + durable_n);
  osp::test::LogGenerator g(20260307);
  std::vector<Contact> contacts(n + durable_n);
  for (Contact& c : contacts) {
    const osp::test::TestContact t = g.next();
    c.view = osp::test::expected_view(t);
    c.record = osp::test::contact_data(t, 0);
    c.call.assign(reinterpret_cast<const char*>(c.record.data()), 6);
    c.code.assign(reinterpret_cast<const char*>(c.record.data()) + 10, 6);
    for (int i = 0; i < 3; ++i) c.remarks[i] = t.remarks[static_cast<size_t>(i)];
  }
  std::mt19937 rng(7);
  std::vector<std::string> seek_keys;
  for (size_t i = 0; i < seek_n; ++i) seek_keys.push_back(contacts[rng() % n].call);

  osp::test::TempDir dir;
  std::vector<Row> rows;

  // ---- the log ----
  const std::string base = dir.file("BENCH");
  osp::test::ContactFileBuilder().write_log(base);
  osp::test::write_master_file(base + ".mst", g.masters());
  LogHandle log{};
  check(OspreyOpen(nullptr, &log, base.c_str(), 0, 1) == 0, "OspreyOpen");

  // The first half one by one, each written when it returns; the second
  // half in a bulk run, ended by the flush.
  const size_t half = n / 2;
  std::fprintf(stderr, "log: %zu appends, each written at once...\n", half);
  auto start = Clock::now();
  double cpu_start = cpu_seconds();
  for (size_t i = 0; i < half; ++i) {
    log.view = contacts[i].view;
    int32_t word = 0;
    check(OSP_append(&log, 16, &word) == 0, "OSP_append");
  }
  const double ours_single = static_cast<double>(half) / seconds_since(start);
  const double ours_single_cpu = static_cast<double>(half) / (cpu_seconds() - cpu_start);
  std::fprintf(stderr, "log: %zu appends in a bulk run...\n", n - half);
  start = Clock::now();
  cpu_start = cpu_seconds();
  check(OSP_bulk_begin(&log) == 0, "OSP_bulk_begin");
  for (size_t i = half; i < n; ++i) {
    log.view = contacts[i].view;
    int32_t word = 0;
    check(OSP_append(&log, 16, &word) == 0, "OSP_append");
  }
  check(OSP_flush(&log) == 0, "OSP_flush");
  const double ours_batch = static_cast<double>(n - half) / seconds_since(start);
  const double ours_batch_cpu = static_cast<double>(n - half) / (cpu_seconds() - cpu_start);

  std::fprintf(stderr, "log: %zu durable appends...\n", durable_n);
  log.write_through = 1;
  start = Clock::now();
  for (size_t i = n; i < n + durable_n; ++i) {
    log.view = contacts[i].view;
    int32_t word = 0;
    check(OSP_append(&log, 16, &word) == 0, "OSP_append");
  }
  const double ours_durable = static_cast<double>(durable_n) / seconds_since(start);
  log.write_through = 0;

  std::fprintf(stderr, "log: %zu seeks...\n", seek_n);
  start = Clock::now();
  cpu_start = cpu_seconds();
  for (const std::string& k : seek_keys) {
    char key[8];
    std::memcpy(key, k.data(), 6);
    key[6] = '\0';
    check(OSP_seek(&log, key, 16) == 0, "OSP_seek");
  }
  const double ours_seek = static_cast<double>(seek_n) / seconds_since(start);
  const double ours_seek_cpu = static_cast<double>(seek_n) / (cpu_seconds() - cpu_start);

  std::fprintf(stderr, "log: walk...\n");
  start = Clock::now();
  cpu_start = cpu_seconds();
  size_t walked = 0;
  for (int32_t r = OSP_top(&log, 16); r == 0; r = OSP_skip(&log, 1, 16)) ++walked;
  const double walk_seconds = seconds_since(start);
  check(walked == n + durable_n, "the walk");
  const double ours_walk = static_cast<double>(walked) / walk_seconds;
  const double ours_walk_cpu = static_cast<double>(walked) / (cpu_seconds() - cpu_start);

  std::fprintf(stderr, "log: walk in record order...\n");
  start = Clock::now();
  cpu_start = cpu_seconds();
  size_t record_walked = 0;
  for (int32_t r = OSP_top(&log, 24); r == 0; r = OSP_skip(&log, 1, 24)) ++record_walked;
  const double ours_record_walk = static_cast<double>(record_walked) / seconds_since(start);
  const double ours_record_walk_cpu =
      static_cast<double>(record_walked) / (cpu_seconds() - cpu_start);
  check(record_walked == walked, "the walk in record order");
  OspreyClose(&log, 1);

  // ---- SQLite ----
  sqlite3* db = nullptr;
  check(sqlite3_open(dir.file("bench.sqlite").c_str(), &db) == SQLITE_OK, "sqlite3_open");
  exec(db, "CREATE TABLE contacts (id INTEGER PRIMARY KEY, calls TEXT, code TEXT, rec BLOB, "
           "r1 TEXT, r2 TEXT, r3 TEXT)");
  exec(db, "CREATE INDEX by_call ON contacts (calls)");
  exec(db, "CREATE INDEX by_code ON contacts (code)");
  sqlite3_stmt* insert = nullptr;
  check(sqlite3_prepare_v2(db, "INSERT INTO contacts (calls, code, rec, r1, r2, r3) VALUES "
                               "(?, ?, ?, ?, ?, ?)", -1, &insert, nullptr) == SQLITE_OK, "prepare");

  // The peer's settings for each half: its write-ahead log, not synced for
  // the batch (as the log's batch is not), synced at every commit for the
  // durable inserts.
  exec(db, "PRAGMA journal_mode=WAL");
  exec(db, "PRAGMA synchronous=OFF");
  std::fprintf(stderr, "sqlite: %zu inserts, a transaction each...\n", half);
  start = Clock::now();
  cpu_start = cpu_seconds();
  for (size_t i = 0; i < half; ++i) insert_row(insert, contacts[i]);
  const double theirs_single = static_cast<double>(half) / seconds_since(start);
  const double theirs_single_cpu = static_cast<double>(half) / (cpu_seconds() - cpu_start);
  std::fprintf(stderr, "sqlite: %zu inserts in one transaction...\n", n - half);
  start = Clock::now();
  cpu_start = cpu_seconds();
  exec(db, "BEGIN");
  for (size_t i = half; i < n; ++i) insert_row(insert, contacts[i]);
  exec(db, "COMMIT");
  const double theirs_batch = static_cast<double>(n - half) / seconds_since(start);
  const double theirs_batch_cpu = static_cast<double>(n - half) / (cpu_seconds() - cpu_start);

  exec(db, "PRAGMA synchronous=FULL");
  std::fprintf(stderr, "sqlite: %zu inserts, a transaction each...\n", durable_n);
  start = Clock::now();
  for (size_t i = n; i < n + durable_n; ++i) insert_row(insert, contacts[i]);
  const double theirs_durable = static_cast<double>(durable_n) / seconds_since(start);
  sqlite3_finalize(insert);

  std::fprintf(stderr, "sqlite: %zu seeks...\n", seek_n);
  sqlite3_stmt* seek = nullptr;
  check(sqlite3_prepare_v2(db, "SELECT rec, r1, r2, r3 FROM contacts WHERE calls = ? "
                               "ORDER BY calls, id LIMIT 1", -1, &seek, nullptr) == SQLITE_OK,
        "prepare");
  start = Clock::now();
  cpu_start = cpu_seconds();
  size_t bytes = 0;
  for (const std::string& k : seek_keys) {
    sqlite3_reset(seek);
    sqlite3_bind_text(seek, 1, k.data(), 6, SQLITE_STATIC);
    check(sqlite3_step(seek) == SQLITE_ROW, "seek");
    bytes += static_cast<size_t>(sqlite3_column_bytes(seek, 0));
  }
  const double theirs_seek = static_cast<double>(seek_n) / seconds_since(start);
  const double theirs_seek_cpu = static_cast<double>(seek_n) / (cpu_seconds() - cpu_start);
  sqlite3_finalize(seek);

  std::fprintf(stderr, "sqlite: walk...\n");
  sqlite3_stmt* walk = nullptr;
  check(sqlite3_prepare_v2(db, "SELECT rec, r1, r2, r3 FROM contacts ORDER BY calls, id", -1,
                           &walk, nullptr) == SQLITE_OK, "prepare");
  start = Clock::now();
  cpu_start = cpu_seconds();
  size_t sql_walked = 0;
  while (sqlite3_step(walk) == SQLITE_ROW) {
    bytes += static_cast<size_t>(sqlite3_column_bytes(walk, 0) + sqlite3_column_bytes(walk, 1));
    ++sql_walked;
  }
  const double theirs_walk = static_cast<double>(sql_walked) / seconds_since(start);
  const double theirs_walk_cpu = static_cast<double>(sql_walked) / (cpu_seconds() - cpu_start);
  sqlite3_finalize(walk);

  std::fprintf(stderr, "sqlite: walk in rowid order...\n");
  check(sqlite3_prepare_v2(db, "SELECT rec, r1, r2, r3 FROM contacts ORDER BY id", -1, &walk,
                           nullptr) == SQLITE_OK, "prepare");
  start = Clock::now();
  cpu_start = cpu_seconds();
  size_t rowid_walked = 0;
  while (sqlite3_step(walk) == SQLITE_ROW) {
    bytes += static_cast<size_t>(sqlite3_column_bytes(walk, 0) + sqlite3_column_bytes(walk, 1));
    ++rowid_walked;
  }
  const double theirs_record_walk = static_cast<double>(rowid_walked) / seconds_since(start);
  const double theirs_record_walk_cpu =
      static_cast<double>(rowid_walked) / (cpu_seconds() - cpu_start);
  sqlite3_finalize(walk);
  check(rowid_walked == walked, "the SQLite rowid walk");
  sqlite3_close(db);
  check(sql_walked == walked, "the SQLite walk");

  rows.push_back({"append, written when it returns / WAL OFF, a transaction each", ours_single,
                  theirs_single, std::to_string(half) + " contacts"});
  rows.push_back({"append in a bulk run, one flush at the end / one transaction", ours_batch,
                  theirs_batch, std::to_string(n - half) + " contacts"});
  rows.push_back({"append made durable each time: write_through / a transaction each",
                  ours_durable, theirs_durable, std::to_string(durable_n) + " contacts"});
  rows.push_back({"seek by call sign, record loaded", ours_seek, theirs_seek,
                  std::to_string(seek_n) + " random keys"});
  rows.push_back({"walk in call-sign order", ours_walk, theirs_walk,
                  std::to_string(walked) + " contacts"});

  rows.push_back({"walk in record order / rowid order", ours_record_walk, theirs_record_walk,
                  std::to_string(record_walked) + " contacts"});

  std::printf("| Operation | OSPREY32 per s | SQLite per s | OSPREY32 / SQLite | Work |\n");
  std::printf("|---|---:|---:|---:|---|\n");
  for (const Row& r : rows)
    std::printf("| %s | %.0f | %.0f | %.2f | %s |\n", r.what.c_str(), r.ours, r.theirs,
                r.ours / r.theirs, r.note.c_str());
  // The batch and the reads again by CPU time, which the machine's other
  // work moves less.
  const Row cpu_rows[] = {
      {"append, written when it returns / WAL OFF, a transaction each", ours_single_cpu,
       theirs_single_cpu, "CPU time"},
      {"append in a bulk run, one flush at the end / one transaction", ours_batch_cpu,
       theirs_batch_cpu, "CPU time"},
      {"seek by call sign, record loaded", ours_seek_cpu, theirs_seek_cpu, "CPU time"},
      {"walk in call-sign order", ours_walk_cpu, theirs_walk_cpu, "CPU time"},
      {"walk in record order / rowid order", ours_record_walk_cpu, theirs_record_walk_cpu,
       "CPU time"}};
  std::printf("\n| Operation (per CPU second) | OSPREY32 | SQLite | OSPREY32 / SQLite | Measure |\n");
  std::printf("|---|---:|---:|---:|---|\n");
  for (const Row& r : cpu_rows)
    std::printf("| %s | %.0f | %.0f | %.2f | %s |\n", r.what.c_str(), r.ours, r.theirs,
                r.ours / r.theirs, r.note.c_str());
  std::fprintf(stderr, "(%zu bytes read)\n", bytes);
  return 0;
}
