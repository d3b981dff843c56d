// The whole-log sorts against SQLite on the same generated contacts, in the
// same run:
//  - JARL_sort (bureau order) of 10,000 contacts beside SQLite ordering the
//    same rows by the same computed key (a function registered with SQLite
//    that makes each row's key from its stored fields and remarks);
//  - DateTimeSort of 10^5 (and 10^6 when asked) contacts, its index rebuild
//    included, beside SQLite's CREATE TABLE ... AS SELECT ... ORDER BY date,
//    time over the same 13 columns.
// Every measured operation runs in a forked child of a small parent, so that
// its peak resident memory can be read; times are medians of --repeat runs.
//
// Usage: sort_bench [--sizes 100000[,1000000]] [--repeat 3] [--dir DIRECTORY]
// Prints Markdown tables.
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_common.h"
#include "osprey32.h"
#include "print/bureau_sort.h"
#include "platform/env.h"
#include "support/forwarding_env.h"
#include "support/log_generator.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kBureauContacts = 10000;
constexpr char kLists[3][16] = {"7K1 7L1 7M1", "8J1 8N1", "JD1"};

using osp::bench::peak_rss_kib;

struct Run {
  double seconds = 0;
  long peak_rss_kib = 0;
};

// Runs work in a forked child; work returns the seconds it measured, or a
// negative value on failure (the benchmark then stops).
Run in_child(const std::function<double()>& work) {
  int fds[2];
  if (::pipe(fds) != 0) std::exit(2);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const Run r{work(), peak_rss_kib()};
    const bool sent = ::write(fds[1], &r, sizeof r) == static_cast<ssize_t>(sizeof r);
    ::_exit(sent && r.seconds >= 0 ? 0 : 1);
  }
  ::close(fds[1]);
  Run r;
  const bool got = ::read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "a measured child failed\n");
    std::exit(3);
  }
  return r;
}

Run median(std::vector<Run> runs) {
  std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
  return runs[runs.size() / 2];
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The contacts of an open log into an SQLite table: the 13 stored fields as
// BLOBs (compared bytewise, like the library's keys), the whole record and
// remarks 2 and 3 for the bureau key, rowid = record number.
bool copy_to_sqlite(LogHandle* log, const std::string& path, bool with_bureau_columns) {
  fs::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  exec(db, "PRAGMA synchronous=OFF; PRAGMA journal_mode=OFF;");
  exec(db, with_bureau_columns
               ? "CREATE TABLE contacts(record BLOB, remark2 BLOB, remark3 BLOB)"
               : "CREATE TABLE contacts(calls, ign, potbl, code, gl, freq, mode, name, qsl, "
                 "date, time, rst, ofs)");
  exec(db, "BEGIN");
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     with_bureau_columns
                         ? "INSERT INTO contacts(rowid, record, remark2, remark3) VALUES(?,?,?,?)"
                         : "INSERT INTO contacts(rowid, calls, ign, potbl, code, gl, freq, mode, "
                           "name, qsl, date, time, rst, ofs) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                     -1, &st, nullptr);
  static constexpr int kWidths[13] = {6, 1, 3, 6, 6, 4, 3, 12, 3, 3, 2, 4, 4};
  for (int32_t r = 1; r <= log->dbs.handle.record_count; ++r) {
    if (OSP_read(log, r, OSP_READ_FULL) != 0) return false;
    sqlite3_bind_int64(st, 1, r);
    if (with_bureau_columns) {
      sqlite3_bind_blob(st, 2, log->dbs_image, 57, SQLITE_TRANSIENT);
      sqlite3_bind_blob(st, 3, log->view.remark2, sizeof log->view.remark2, SQLITE_TRANSIENT);
      sqlite3_bind_blob(st, 4, log->view.remark3, sizeof log->view.remark3, SQLITE_TRANSIENT);
    } else {
      int at = 0;
      for (int f = 0; f < 13; ++f) {
        sqlite3_bind_blob(st, 2 + f, log->dbs_image + at, kWidths[f], SQLITE_TRANSIENT);
        at += kWidths[f];
      }
    }
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  const bool ok = exec(db, "COMMIT");
  sqlite3_close(db);
  return ok;
}

// bureau_key(record, remark2, remark3): the group and call key that
// JARL_sort gives the row, 8 bytes.
void bureau_key(sqlite3_context* ctx, int, sqlite3_value** argv) {
  uint8_t record[58] = {};
  ContactView view{};
  std::memcpy(record, sqlite3_value_blob(argv[0]), 57);
  std::memcpy(view.remark2, sqlite3_value_blob(argv[1]), sizeof view.remark2);
  std::memcpy(view.remark3, sqlite3_value_blob(argv[2]), sizeof view.remark3);
  const char* const lists[3] = {kLists[0], kLists[1], kLists[2]};
  uint8_t entry[osp::print::kSortEntrySize];
  osp::print::make_bureau_entry(record, view, lists, 0, entry);
  sqlite3_result_blob(ctx, entry, 8, SQLITE_TRANSIENT);
}

// The platform without its syncs: what DateTimeSort costs when, like SQLite
// with synchronous OFF, nothing waits for the disk.
class NoSyncEnv final : public osp::test::ForwardingEnv {
 public:
  NoSyncEnv() : ForwardingEnv(osp::platform::default_env()) {}
  bool flush(osp::platform::Handle) override { return true; }
  bool sync_folder(const char*) override { return true; }
};

void copy_file(const std::string& from, const std::string& to) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

}  // namespace

int main(int argc, char** argv) {
  const osp::bench::Options options = osp::bench::parse_options(
      argc, argv, {{100000}, 3, fs::temp_directory_path().string()});
  char templ[4096];
  std::snprintf(templ, sizeof templ, "%s/osprey-sort-bench-XXXXXX", options.dir.c_str());
  if (::mkdtemp(templ) == nullptr) return 2;
  const std::string dir = templ;
  using osp::bench::human;

  // ---- The bureau order of 10,000 contacts. ----
  const std::string base = dir + "/bureau";
  in_child([&] {
    osp::test::write_generated_log(base, kBureauContacts, 7);
    LogHandle log{};
    if (OspreyOpen(nullptr, &log, base.c_str(), 0, 5) != 0) return -1.0;
    const bool ok = copy_to_sqlite(&log, dir + "/bureau.sqlite", true);
    OspreyClose(&log, 5);
    return ok ? 0.0 : -1.0;
  });
  std::vector<Run> ours, theirs;
  for (int i = 0; i < options.repeat; ++i) {
    ours.push_back(in_child([&] {
      LogHandle log{};
      if (OspreyOpen(nullptr, &log, base.c_str(), 0, 5) != 0) return -1.0;
      std::vector<uint8_t> entries(osp::print::kSortEntryCount * osp::print::kSortEntrySize);
      const auto start = Clock::now();
      const int32_t r = JARL_sort(&log, entries.data(), 1, kBureauContacts, kLists[0], kLists[1],
                                  kLists[2], 1);
      const double t = seconds_since(start);
      OspreyClose(&log, 5);
      return r == 0 ? t : -1.0;
    }));
    theirs.push_back(in_child([&] {
      sqlite3* db = nullptr;
      if (sqlite3_open((dir + "/bureau.sqlite").c_str(), &db) != SQLITE_OK) return -1.0;
      sqlite3_create_function(db, "bureau_key", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                              bureau_key, nullptr, nullptr);
      sqlite3_stmt* st = nullptr;
      const auto start = Clock::now();
      sqlite3_prepare_v2(db,
                         "SELECT rowid FROM contacts ORDER BY "
                         "bureau_key(record, remark2, remark3), rowid",
                         -1, &st, nullptr);
      std::vector<int64_t> order;
      while (sqlite3_step(st) == SQLITE_ROW) order.push_back(sqlite3_column_int64(st, 0));
      const double t = seconds_since(start);
      sqlite3_finalize(st);
      sqlite3_close(db);
      return order.size() == kBureauContacts ? t : -1.0;
    }));
  }
  const Run o = median(ours);
  const Run s = median(theirs);
  std::printf("| contacts | JARL_sort (bureau order) | SQLite ORDER BY computed key | SQLite / "
              "JARL_sort |\n|---:|---:|---:|---:|\n");
  std::printf("| %d | %s | %s | %.2f |\n\n", kBureauContacts, human(o.seconds).c_str(),
              human(s.seconds).c_str(), s.seconds / o.seconds);
  std::fflush(stdout);

  // ---- DateTimeSort. ----
  std::printf("| contacts | DateTimeSort (A) | A without syncs (B) | rebuild of slots 0 and "
              "1 (in A and B) | SQLite CREATE TABLE AS ... ORDER BY date, time, synchronous OFF "
              "(S) | S / A | S / B | the same, synchronous FULL (F) | F / A | DateTimeSort peak "
              "RSS | SQLite peak RSS (S) |\n|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const int64_t n : options.sizes) {
    const std::string log_base = dir + "/dates";
    in_child([&] {
      osp::test::write_generated_log(log_base, static_cast<size_t>(n), 11);
      LogHandle log{};
      if (OspreyOpen(nullptr, &log, log_base.c_str(), 0, 5) != 0) return -1.0;
      const bool ok = copy_to_sqlite(&log, dir + "/dates.sqlite", false);
      OspreyClose(&log, 5);
      return ok ? 0.0 : -1.0;
    });
    for (const char* ext : {".dbs", ".dbr", ".mst", ".dx0", ".dx1", ".dx2", ".dx3", ".dx4", ".fdt"})
      copy_file(log_base + ext, log_base + ext + std::string(".orig"));
    std::vector<Run> mine, unsynced, rebuild, peer, peer_durable;
    for (int i = 0; i < options.repeat; ++i) {
      // Each run sorts the same unsorted log.
      for (const char* ext : {".dbs", ".dbr", ".mst", ".dx0", ".dx1", ".dx2", ".dx3", ".dx4", ".fdt"})
        copy_file(log_base + ext + std::string(".orig"), log_base + ext);
      for (const bool synced : {true, false}) {
        for (const char* ext : {".dbs", ".dx0", ".dx1", ".fdt"})
          copy_file(log_base + ext + std::string(".orig"), log_base + ext);
        (synced ? mine : unsynced).push_back(in_child([&] {
          NoSyncEnv no_sync;
          if (!synced) osp::platform::set_env(&no_sync);
          LogHandle log{};
          if (OspreyOpen(nullptr, &log, log_base.c_str(), 0, 5) != 0) return -1.0;
          const auto start = Clock::now();
          const int32_t r = DateTimeSort(&log);
          const double t = seconds_since(start);
          OspreyClose(&log, 5);
          return r == 0 ? t : -1.0;
        }));
      }
      rebuild.push_back(in_child([&] {
        // What the index rebuild after the sort costs: slots 0 and 1 anew.
        const auto start = Clock::now();
        const bool ok = MakeIndex((log_base + ".dbs").c_str(), "CALLS", (dir + "/x0").c_str()) == 0 &&
                        MakeIndex((log_base + ".dbs").c_str(), "CODE", (dir + "/x1").c_str()) == 0;
        return ok ? seconds_since(start) : -1.0;
      }));
      for (const bool durable : {false, true}) {
        (durable ? peer_durable : peer).push_back(in_child([&] {
          sqlite3* db = nullptr;
          if (sqlite3_open((dir + "/dates.sqlite").c_str(), &db) != SQLITE_OK) return -1.0;
          exec(db, durable ? "PRAGMA synchronous=FULL; PRAGMA journal_mode=DELETE;"
                           : "PRAGMA synchronous=OFF; PRAGMA journal_mode=OFF;");
          exec(db, "DROP TABLE IF EXISTS sorted;");
          const auto start = Clock::now();
          const bool ok =
              exec(db, "CREATE TABLE sorted AS SELECT * FROM contacts ORDER BY date, time");
          const double t = seconds_since(start);
          sqlite3_close(db);
          return ok ? t : -1.0;
        }));
      }
    }
    const Run m = median(mine);
    const Run u = median(unsynced);
    const Run b = median(rebuild);
    const Run p = median(peer);
    const Run d = median(peer_durable);
    std::printf("| %lld | %s | %s | %s | %s | %.2f | %.2f | %s | %.2f | %.1f MiB | %.1f MiB |\n",
                static_cast<long long>(n), human(m.seconds).c_str(), human(u.seconds).c_str(),
                human(b.seconds).c_str(), human(p.seconds).c_str(), p.seconds / m.seconds,
                p.seconds / u.seconds, human(d.seconds).c_str(), d.seconds / m.seconds,
                static_cast<double>(m.peak_rss_kib) / 1024, static_cast<double>(p.peak_rss_kib) / 1024);
    std::fflush(stdout);
  }
  fs::remove_all(dir);
  return 0;
}
