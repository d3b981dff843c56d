// `osprey check` over generated logs of 10^5 and 10^6 contacts (10^7 when
// asked), run as the program a user runs, beside SQLite's PRAGMA
// integrity_check over the same contacts in a table with the same two
// indexes (call sign, area code): each proves every index entry against its
// row and every row against the indexes. The log is generated, its indexes
// are built by a first, untimed check, then each timed check must find it
// consistent. Figures are medians of --repeat runs on files in the page
// cache; the command's peak resident memory is its own (wait4).
//
// Usage: check_bench [--sizes 100000,1000000] [--repeat 3] [--dir DIRECTORY]
//                    [--tool PATH] [--keep 1] [--peer 0]
// --tool: the osprey command to time (default: the one of this build).
// --keep 1: the logs stay in DIRECTORY/osprey-check-N/ and a later run
// reuses them, so that two builds of the command can be timed on the same
// files without generating 10^7 contacts twice.
// --peer 0: without SQLite (at 10^7 its load and check take minutes).
// Prints a Markdown table.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_common.h"
#include "support/log_generator.h"
#include "support/temp_dir.h"

#ifndef OSP_TOOL_PATH
#define OSP_TOOL_PATH ""
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using osp::bench::human;

struct Run {
  double wall = 0;
  double cpu = 0;
  long peak_rss_kib = 0;
};

Run median(std::vector<Run> runs) {
  std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.wall < b.wall; });
  return runs[runs.size() / 2];
}

double seconds_of(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// Runs `tool check base` with its output to out_path; the exit status must
// be 0. Its time, CPU time and peak memory.
Run run_check(const std::string& tool, const std::string& base, const std::string& out_path) {
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0) ::_exit(126);
    ::execl(tool.c_str(), tool.c_str(), "check", base.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) std::exit(2);
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s check %s failed (status %d); its output is in %s\n", tool.c_str(),
                 base.c_str(), status, out_path.c_str());
    std::exit(3);
  }
  return {wall, seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime), usage.ru_maxrss};
}

// ---- The peer: the same contacts in SQLite. ----

void check(int rc, sqlite3* db, const char* what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return;
  std::fprintf(stderr, "sqlite: %s: %s\n", what, sqlite3_errmsg(db));
  std::exit(3);
}

double cpu_seconds() {
  struct rusage u {};
  ::getrusage(RUSAGE_SELF, &u);
  return seconds_of(u.ru_utime) + seconds_of(u.ru_stime);
}

// The contact file's records as rows (rowid = record number): the call
// sign, the area code and the other data bytes, with an index on each key.
sqlite3* load_sqlite(const std::string& base) {
  const std::string path = base + ".sqlite";
  fs::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::exit(3);
  check(sqlite3_exec(db,
                     "PRAGMA synchronous=OFF; PRAGMA journal_mode=OFF;"
                     "CREATE TABLE dbs(calls BLOB, code BLOB, rest BLOB); BEGIN;",
                     nullptr, nullptr, nullptr),
        db, "create");
  const std::vector<uint8_t> bytes = osp::test::read_file(base + ".dbs");
  const auto count = static_cast<int32_t>(bytes[4] | bytes[5] << 8 | bytes[6] << 16 |
                                          static_cast<uint32_t>(bytes[7]) << 24);
  const int header = bytes[8] | bytes[9] << 8;
  const int record = bytes[10] | bytes[11] << 8;
  sqlite3_stmt* st = nullptr;
  check(sqlite3_prepare_v2(db, "INSERT INTO dbs(rowid, calls, code, rest) VALUES(?,?,?,?)", -1,
                           &st, nullptr),
        db, "prepare");
  for (int32_t r = 1; r <= count; ++r) {
    const uint8_t* rec = bytes.data() + header + static_cast<size_t>(r - 1) * record;
    uint8_t rest[45];
    std::memcpy(rest, rec + 7, 4);        // IGN, POTBL
    std::memcpy(rest + 4, rec + 17, 41);  // GL to OFS
    sqlite3_bind_int64(st, 1, r);
    sqlite3_bind_blob(st, 2, rec + 1, 6, SQLITE_STATIC);
    sqlite3_bind_blob(st, 3, rec + 11, 6, SQLITE_STATIC);
    sqlite3_bind_blob(st, 4, rest, sizeof rest, SQLITE_TRANSIENT);
    check(sqlite3_step(st), db, "insert");
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  check(sqlite3_exec(db, "COMMIT; CREATE INDEX dx0 ON dbs(calls); CREATE INDEX dx1 ON dbs(code);",
                     nullptr, nullptr, nullptr),
        db, "index");
  return db;
}

Run integrity_check(sqlite3* db) {
  const double cpu = cpu_seconds();
  const auto start = Clock::now();
  sqlite3_stmt* st = nullptr;
  check(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr), db, "prepare");
  check(sqlite3_step(st), db, "integrity_check");
  const std::string verdict = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  if (verdict != "ok") {
    std::fprintf(stderr, "sqlite: integrity_check: %s\n", verdict.c_str());
    std::exit(3);
  }
  return {std::chrono::duration<double>(Clock::now() - start).count(), cpu_seconds() - cpu, 0};
}

std::string option(int argc, char** argv, const char* name, const std::string& otherwise) {
  for (int i = 1; i + 1 < argc; i += 2)
    if (std::strcmp(argv[i], name) == 0) return argv[i + 1];
  return otherwise;
}

}  // namespace

int main(int argc, char** argv) {
  const osp::bench::Options options = osp::bench::parse_options(
      argc, argv, {{100000, 1000000}, 3, fs::temp_directory_path().string()});
  const std::string tool = option(argc, argv, "--tool", OSP_TOOL_PATH);
  const bool keep = option(argc, argv, "--keep", "0") != "0";
  const bool with_peer = option(argc, argv, "--peer", "1") != "0";
  if (tool.empty()) {
    std::fprintf(stderr, "no osprey command: give --tool PATH\n");
    return 2;
  }

  std::printf("| contacts | contact file | osprey check | CPU | peak RSS | SQLite integrity_check "
              "| CPU | SQLite / osprey check |\n");
  std::printf("|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const int64_t n : options.sizes) {
    std::string dir = options.dir + "/osprey-check-" + std::to_string(n);
    if (!keep) {
      char templ[4096];
      std::snprintf(templ, sizeof templ, "%s/osprey-check-XXXXXX", options.dir.c_str());
      if (::mkdtemp(templ) == nullptr) return 2;
      dir = templ;
    }
    fs::create_directories(dir);
    const std::string base = dir + "/LOG";
    const std::string out = dir + "/check.out";
    if (!fs::exists(base + ".dx4")) {
      std::fprintf(stderr, "generating %lld contacts in %s\n", static_cast<long long>(n),
                   dir.c_str());
      osp::test::write_generated_log(base, static_cast<size_t>(n), 42);
      run_check(tool, base, out);  // builds the five indexes
    }
    std::vector<Run> ours;
    for (int i = 0; i < options.repeat; ++i) ours.push_back(run_check(tool, base, out));
    const std::vector<uint8_t> verdict = osp::test::read_file(out);
    const std::string said(verdict.begin(), verdict.end());
    if (said.find("\nconsistent\n") == std::string::npos) {
      std::fprintf(stderr, "the check did not find the log consistent:\n%s", said.c_str());
      return 3;
    }

    std::string peer_columns = "| - | - | - |";
    const Run o = median(ours);
    if (with_peer) {
      std::fprintf(stderr, "loading %lld contacts into SQLite\n", static_cast<long long>(n));
      sqlite3* db = load_sqlite(base);
      std::vector<Run> peer;
      for (int i = 0; i < options.repeat; ++i) peer.push_back(integrity_check(db));
      sqlite3_close(db);
      fs::remove(base + ".sqlite");
      const Run s = median(peer);
      char ratio[32];
      std::snprintf(ratio, sizeof ratio, "%.2f", s.wall / o.wall);
      peer_columns = "| " + human(s.wall) + " | " + human(s.cpu) + " | " + ratio + " |";
    }
    std::printf("| %lld | %.0f MiB | %s | %s | %.0f MiB %s\n", static_cast<long long>(n),
                static_cast<double>(fs::file_size(base + ".dbs")) / (1024.0 * 1024.0),
                human(o.wall).c_str(), human(o.cpu).c_str(),
                static_cast<double>(o.peak_rss_kib) / 1024.0, peer_columns.c_str());
    std::fflush(stdout);
    if (!keep) fs::remove_all(dir);
  }
  return 0;
}
