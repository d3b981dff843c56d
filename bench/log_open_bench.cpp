// Opening a log whose five indexes are missing: OspreyOpen builds them all
// (with its progress text drawn), beside SQLite building the same five
// indexes with CREATE INDEX over the same contacts and master entries loaded
// into two tables. Generated logs of 10^5 and 10^6 contacts; the figure is
// the median of --repeat runs, each on files in the page cache.
//
// Usage: log_open_bench [--sizes 100000,1000000] [--repeat 3] [--dir DIRECTORY]
// Prints a Markdown table.
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "osprey32.h"
#include "support/log_generator.h"
#include "support/temp_dir.h"
#include "bench_common.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Times {
  double wall = 0;
  double cpu = 0;
};

double cpu_seconds() {
  struct rusage u {};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

template <typename F>
Times timed(F&& f) {
  const double cpu = cpu_seconds();
  const auto start = Clock::now();
  f();
  return {std::chrono::duration<double>(Clock::now() - start).count(), cpu_seconds() - cpu};
}

Times median(std::vector<Times> runs) {
  std::sort(runs.begin(), runs.end(), [](const Times& a, const Times& b) { return a.wall < b.wall; });
  return runs[runs.size() / 2];
}

using osp::bench::human;

// The hooks of a quiet application: progress text is counted, no question
// is expected (one would be answered No).
int g_progress_texts = 0;
int32_t no_box(void*, int32_t, const char*, const char*, uint32_t) { return 7; }
void count_text(void*, void*, int32_t, int32_t, const char*, int32_t) { ++g_progress_texts; }

// ---- The peer: the same records in SQLite. ----

void check(int rc, sqlite3* db, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
  std::fprintf(stderr, "sqlite: %s: %s\n", what, sqlite3_errmsg(db));
  std::exit(3);
}

// A record file's header fields, read raw.
struct Table {
  int32_t count;
  int32_t header;
  int32_t record;
  std::vector<uint8_t> bytes;
};

Table read_table(const std::string& path) {
  Table t;
  const auto bytes = osp::test::read_file(path);
  t.count = static_cast<int32_t>(bytes[4] | bytes[5] << 8 | bytes[6] << 16 |
                                 static_cast<uint32_t>(bytes[7]) << 24);
  t.header = bytes[8] | bytes[9] << 8;
  t.record = bytes[10] | bytes[11] << 8;
  t.bytes = bytes;
  return t;
}

// Loads the contact and master files into tables whose rows hold the same
// data bytes, split into the key columns and the rest, rowid = record
// number (so that equal keys come in record order, as in our indexes).
sqlite3* load_sqlite(const std::string& base) {
  const std::string path = base + ".sqlite";
  fs::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::exit(3);
  check(sqlite3_exec(db,
                     "PRAGMA synchronous=OFF; PRAGMA journal_mode=OFF;"
                     "CREATE TABLE dbs(calls BLOB, code BLOB, rest BLOB);"
                     "CREATE TABLE mst(code BLOB, flg BLOB, hed BLOB, eria BLOB, rest BLOB);"
                     "BEGIN;",
                     nullptr, nullptr, nullptr),
        db, "create");
  sqlite3_stmt* st = nullptr;
  const Table dbs = read_table(base + ".dbs");
  check(sqlite3_prepare_v2(db, "INSERT INTO dbs(rowid, calls, code, rest) VALUES(?,?,?,?)", -1,
                           &st, nullptr),
        db, "prepare");
  for (int32_t r = 1; r <= dbs.count; ++r) {
    const uint8_t* rec = dbs.bytes.data() + dbs.header + static_cast<size_t>(r - 1) * dbs.record;
    uint8_t rest[58];
    std::memcpy(rest, rec + 7, 4);        // IGN, POTBL
    std::memcpy(rest + 4, rec + 17, 41);  // GL to OFS
    sqlite3_bind_int64(st, 1, r);
    sqlite3_bind_blob(st, 2, rec + 1, 6, SQLITE_STATIC);
    sqlite3_bind_blob(st, 3, rec + 11, 6, SQLITE_STATIC);
    sqlite3_bind_blob(st, 4, rest, 45, SQLITE_TRANSIENT);
    check(sqlite3_step(st), db, "insert");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  const Table mst = read_table(base + ".mst");
  check(sqlite3_prepare_v2(db, "INSERT INTO mst(rowid, code, flg, hed, eria, rest) "
                               "VALUES(?,?,?,?,?,?)",
                           -1, &st, nullptr),
        db, "prepare");
  for (int32_t r = 1; r <= mst.count; ++r) {
    const uint8_t* rec = mst.bytes.data() + mst.header + static_cast<size_t>(r - 1) * mst.record;
    uint8_t rest[48];
    std::memcpy(rest, rec + 7, 28);
    std::memcpy(rest + 28, rec + 39, 10);
    sqlite3_bind_int64(st, 1, r);
    sqlite3_bind_blob(st, 2, rec + 1, 6, SQLITE_STATIC);
    sqlite3_bind_blob(st, 3, rec + 35, 1, SQLITE_STATIC);
    sqlite3_bind_blob(st, 4, rec + 36, 1, SQLITE_STATIC);
    sqlite3_bind_blob(st, 5, rec + 37, 2, SQLITE_STATIC);
    sqlite3_bind_blob(st, 6, rest, 38, SQLITE_TRANSIENT);
    check(sqlite3_step(st), db, "insert");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  check(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), db, "commit");
  return db;
}

// The five indexes of a log, keyed as the log keys them.
constexpr const char* kCreateIndexes =
    "CREATE INDEX dx0 ON dbs(calls);"
    "CREATE INDEX dx1 ON dbs(code);"
    "CREATE INDEX dx2 ON mst(code);"
    "CREATE INDEX dx3 ON mst(flg, code);"
    "CREATE INDEX dx4 ON mst(flg, hed, eria);";
constexpr const char* kDropIndexes =
    "DROP INDEX IF EXISTS dx0; DROP INDEX IF EXISTS dx1; DROP INDEX IF EXISTS dx2;"
    "DROP INDEX IF EXISTS dx3; DROP INDEX IF EXISTS dx4;";

}  // namespace

int main(int argc, char** argv) {
  const osp::bench::Options options = osp::bench::parse_options(argc, argv, {{100000, 1000000}, 3, fs::temp_directory_path().string()});
  const std::vector<int64_t>& sizes = options.sizes;
  const int repeat = options.repeat;
  const std::string where = options.dir;
  const OspHooks hooks{&no_box, &count_text, nullptr, nullptr, nullptr};
  OspSetHooks(&hooks);

  std::printf("| contacts | master entries | OspreyOpen, five indexes built | SQLite, five "
              "CREATE INDEX | ratio (SQLite / OspreyOpen) |\n");
  std::printf("|---:|---:|---:|---:|---:|\n");
  for (const int64_t n : sizes) {
    char templ[4096];
    std::snprintf(templ, sizeof templ, "%s/osprey-open-XXXXXX", where.c_str());
    if (::mkdtemp(templ) == nullptr) return 2;
    const std::string dir = templ;
    const std::string base = dir + "/LOG";
    osp::test::write_generated_log(base, static_cast<size_t>(n), 42);
    sqlite3* db = load_sqlite(base);
    const int32_t masters = read_table(base + ".mst").count;

    std::vector<Times> ours, peer;
    int dc = 0;
    for (int i = 0; i < repeat; ++i) {
      for (const char* e : {".dx0", ".dx1", ".dx2", ".dx3", ".dx4"}) fs::remove(base + e);
      auto log = std::make_unique<LogHandle>();
      g_progress_texts = 0;
      int32_t result = -1;
      ours.push_back(timed([&] { result = OspreyOpen(&dc, log.get(), base.c_str(), 0, 5); }));
      if (result != 0 || g_progress_texts != 20) {
        std::fprintf(stderr, "OspreyOpen: %d, %d progress texts\n", result, g_progress_texts);
        return 3;
      }
      OspreyClose(log.get(), 4);

      check(sqlite3_exec(db, kDropIndexes, nullptr, nullptr, nullptr), db, "drop");
      peer.push_back(timed([&] {
        check(sqlite3_exec(db, kCreateIndexes, nullptr, nullptr, nullptr), db, "create index");
      }));
    }
    sqlite3_close(db);
    fs::remove_all(dir);
    const Times o = median(ours);
    const Times s = median(peer);
    std::printf("| %lld | %d | %s (CPU %s) | %s (CPU %s) | %.2f (CPU %.2f) |\n",
                static_cast<long long>(n), static_cast<int>(masters), human(o.wall).c_str(),
                human(o.cpu).c_str(), human(s.wall).c_str(), human(s.cpu).c_str(),
                s.wall / o.wall, s.cpu / o.cpu);
    std::fflush(stdout);
  }
  OspSetHooks(nullptr);
  return 0;
}
