// Index building over generated contact files of 10^4, 10^5 and 10^6 records:
// MakeIndex beside SQLite's CREATE INDEX on the same keys (same data, same
// run) and GNU sort given MakeIndex's memory budget, as an external-sort
// baseline. Each contender runs in a child process of its own, so that its
// peak resident memory can be read; times are medians of --repeat runs.
//
// Usage: index_builder_bench [--sizes 10000,100000,1000000] [--repeat 3]
//                            [--dir DIRECTORY]
// Prints a Markdown table.
#include <spawn.h>
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

#include "osprey32.h"
#include "platform/env.h"
#include "bench_common.h"

extern char** environ;

namespace {

using osp::bench::peak_rss_kib;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---- The data: a log of contacts as the logger stores them. ----

constexpr int kRecordSize = 58;
constexpr int kHeaderSize = 449;

struct Field {
  const char* name;
  uint8_t length;
};
constexpr Field kFields[13] = {{"CALLS", 6}, {"IGN", 1},  {"POTBL", 3}, {"CODE", 6}, {"GL", 6},
                               {"FREQ", 4},  {"MODE", 3}, {"NAME", 12}, {"QSL", 3},  {"DATE", 3},
                               {"TIME", 2},  {"RST", 4},  {"OFS", 4}};

uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Contact r: a call sign from a pool of about n/3 stations (so stations
// repeat), a date that advances through the years (year byte with bit 7 from
// 2000 on) and a time with the UTC bit on about half the contacts.
void contact(int64_t r, int64_t n, uint8_t* rec) {
  std::memset(rec, ' ', kRecordSize);
  const uint64_t station = mix(static_cast<uint64_t>(r)) % static_cast<uint64_t>(n / 3 + 1);
  const uint64_t h = mix(station + 12345);
  static const char* prefixes[] = {"JA", "JE", "JF", "JG", "JH", "JI", "JJ", "JK", "JL",
                                   "JM", "JN", "JO", "JP", "JQ", "JR", "JS", "7K", "7L",
                                   "7M", "7N", "8J", "8N", "JD"};
  char call[8];
  std::snprintf(call, sizeof call, "%s%u%c%c%c", prefixes[h % 23], static_cast<unsigned>((h >> 8) % 10),
                static_cast<char>('A' + (h >> 12) % 26), static_cast<char>('A' + (h >> 17) % 26),
                (h >> 22) % 4 == 0 ? ' ' : static_cast<char>('A' + (h >> 24) % 26));
  std::memcpy(rec + 1, call, 6);
  const uint64_t g = mix(static_cast<uint64_t>(r) * 7 + 1);
  char code[8];
  std::snprintf(code, sizeof code, "%06u", static_cast<unsigned>(100100 + g % 4800));
  std::memcpy(rec + 11, code, 6);
  std::memcpy(rec + 27, (g >> 20) % 2 ? "CW " : "SSB", 3);
  const int64_t day = r * 12000 / (n + 1);  // 1990 onwards, ~33 years
  const int year = 1990 + static_cast<int>(day / 365);
  rec[45] = static_cast<uint8_t>(year >= 2000 ? 0x80 | (year - 2000) : year - 1900);
  rec[46] = static_cast<uint8_t>(1 + (day % 365) / 31);
  rec[47] = static_cast<uint8_t>(1 + (day % 365) % 28);
  rec[48] = static_cast<uint8_t>((g >> 30) % 24);
  rec[49] = static_cast<uint8_t>(((g >> 40) % 2 ? 0x80 : 0) | (g >> 41) % 60);
}

void write_contact_file(const std::string& path, int64_t n) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::exit(2);
  uint8_t header[kHeaderSize] = {};
  header[0] = 0x03;
  header[1] = 26;
  header[2] = 1;
  header[3] = 1;
  for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<uint8_t>(n >> (8 * i));
  header[8] = kHeaderSize & 0xFF;
  header[9] = kHeaderSize >> 8;
  header[10] = kRecordSize;
  for (int i = 0; i < 13; ++i) {
    uint8_t* d = header + 32 + 32 * i;
    std::memcpy(d, kFields[i].name, std::strlen(kFields[i].name));
    d[11] = 'C';
    d[16] = kFields[i].length;
  }
  header[kHeaderSize - 1] = 0x0D;
  std::fwrite(header, 1, sizeof header, f);
  uint8_t rec[kRecordSize];
  for (int64_t r = 1; r <= n; ++r) {
    contact(r, n, rec);
    std::fwrite(rec, 1, kRecordSize, f);
  }
  std::fputc(0x1A, f);
  std::fclose(f);
}

// The same keys in an SQLite table: calls, code and date_time as BLOBs (compared
// bytewise, like the index's keys), rowid = record number.
void write_sqlite(const std::string& path, int64_t n) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::exit(2);
  sqlite3_exec(db, "PRAGMA synchronous=OFF; PRAGMA journal_mode=OFF;"
                   "CREATE TABLE contacts(calls BLOB, date_time BLOB, code BLOB); BEGIN;",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO contacts(rowid, calls, date_time, code) VALUES(?,?,?,?)", -1,
                     &st, nullptr);
  uint8_t rec[kRecordSize];
  for (int64_t r = 1; r <= n; ++r) {
    contact(r, n, rec);
    sqlite3_bind_int64(st, 1, r);
    sqlite3_bind_blob(st, 2, rec + 1, 6, SQLITE_STATIC);
    sqlite3_bind_blob(st, 3, rec + 45, 5, SQLITE_STATIC);
    sqlite3_bind_blob(st, 4, rec + 11, 6, SQLITE_STATIC);
    sqlite3_step(st);
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

// The same keys as text lines for sort: the key (hex for the binary date and
// time), a tab, the record number zero-padded, so that a plain byte-order sort
// of whole lines orders by key, then record number.
void write_sort_input(const std::string& path, int64_t n, bool date_time, int text_offset = 1) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::exit(2);
  uint8_t rec[kRecordSize];
  for (int64_t r = 1; r <= n; ++r) {
    contact(r, n, rec);
    if (date_time) {
      std::fprintf(f, "%02X%02X%02X%02X%02X\t%010lld\n", rec[45], rec[46], rec[47], rec[48], rec[49],
                   static_cast<long long>(r));
    } else {
      std::fprintf(f, "%.6s\t%010lld\n", reinterpret_cast<const char*>(rec + text_offset),
                   static_cast<long long>(r));
    }
  }
  std::fclose(f);
}

// ---- Children. ----

// Counts the library's heap through the platform's allocations.
class CountingEnv final : public osp::platform::Env {
 public:
  explicit CountingEnv(Env* base) : base_(base) {}
  size_t peak = 0;

  osp::platform::Handle open_existing(const char* p, unsigned a, unsigned s) override {
    return base_->open_existing(p, a, s);
  }
  osp::platform::Handle create_always(const char* p) override { return base_->create_always(p); }
  osp::platform::Handle create_new(const char* p) override { return base_->create_new(p); }
  int32_t read(osp::platform::Handle h, void* b, int32_t c) override { return base_->read(h, b, c); }
  int32_t write(osp::platform::Handle h, const void* b, int32_t c) override {
    return base_->write(h, b, c);
  }
  int64_t seek(osp::platform::Handle h, int64_t o) override { return base_->seek(h, o); }
  bool set_end(osp::platform::Handle h) override { return base_->set_end(h); }
  bool flush(osp::platform::Handle h) override { return base_->flush(h); }
  bool close(osp::platform::Handle h) override { return base_->close(h); }
  int64_t size(osp::platform::Handle h) override { return base_->size(h); }
  uint32_t file_time_number(osp::platform::Handle h) override { return base_->file_time_number(h); }
  bool remove(const char* p) override { return base_->remove(p); }
  bool rename(const char* f, const char* t) override { return base_->rename(f, t); }
  bool copy(const char* f, const char* t, bool x) override { return base_->copy(f, t, x); }
  bool exists(const char* p) override { return base_->exists(p); }
  int32_t profile_int(const char* s, const char* k, int32_t d, const char* f) override {
    return base_->profile_int(s, k, d, f);
  }
  bool profile_write_string(const char* s, const char* k, const char* v, const char* f) override {
    return base_->profile_write_string(s, k, v, f);
  }
  void local_time(OspLocalTime* now) override { base_->local_time(now); }
  int32_t message_box(int32_t u, const char* t, const char* c, uint32_t s) override {
    return base_->message_box(u, t, c, s);
  }
  void text_out(void* dc, int32_t x, int32_t y, const char* t, int32_t l) override {
    base_->text_out(dc, x, y, t, l);
  }
  void beep(uint32_t t) override { base_->beep(t); }
  void* allocate(size_t count) override {
    auto* p = static_cast<size_t*>(base_->allocate(count + sizeof(size_t) * 2));
    if (p == nullptr) return nullptr;
    p[0] = count;
    live_ += count;
    peak = std::max(peak, live_);
    return p + 2;
  }
  void release(void* q) override {
    if (q == nullptr) return;
    size_t* p = static_cast<size_t*>(q) - 2;
    live_ -= p[0];
    base_->release(p);
  }

 private:
  Env* base_;
  size_t live_ = 0;
};

// CPU time (user and system) this process has used, in seconds.
double cpu_seconds() {
  struct rusage u {};
  ::getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int child(int argc, char** argv) {
  const std::string mode = argv[2];
  if (mode == "idle") {
    std::printf("0 0 0 %ld\n", peak_rss_kib());
    return 0;
  }
  if (mode == "generate" && argc == 5) {
    // The data is made in a child so that the parent stays small.
    const std::string dir = argv[3];
    const int64_t n = std::strtoll(argv[4], nullptr, 10);
    write_contact_file(dir + "/log.dbs", n);
    write_sqlite(dir + "/log.sqlite", n);
    write_sort_input(dir + "/calls.txt", n, false);
    write_sort_input(dir + "/date_time.txt", n, true);
    write_sort_input(dir + "/code.txt", n, false, 11);
    std::printf("0 0 0 0\n");
    return 0;
  }
  if (mode == "makeindex" && argc == 6) {
    CountingEnv env(osp::platform::default_env());
    osp::platform::set_env(&env);
    const double cpu = cpu_seconds();
    const auto start = Clock::now();
    const int32_t status = MakeIndex(argv[3], argv[4], argv[5]);
    const double t = seconds_since(start);
    const double used = cpu_seconds() - cpu;
    osp::platform::set_env(nullptr);
    std::printf("%.6f %.6f %zu %ld\n", t, used, env.peak, peak_rss_kib());
    return status == 0 ? 0 : 1;
  }
  if (mode == "sqlite" && argc == 5) {
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[3], &db) != SQLITE_OK) return 1;
    sqlite3_exec(db, "PRAGMA synchronous=OFF; DROP INDEX IF EXISTS k;", nullptr, nullptr, nullptr);
    const std::string sql = std::string("CREATE INDEX k ON contacts(") + argv[4] + ")";
    const double cpu = cpu_seconds();
    const auto start = Clock::now();
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    const double t = seconds_since(start);
    const double used = cpu_seconds() - cpu;
    std::printf("%.6f %.6f %lld %ld\n", t, used,
                static_cast<long long>(sqlite3_memory_highwater(0)), peak_rss_kib());
    sqlite3_exec(db, "DROP INDEX k;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : 1;
  }
  return 2;
}

struct Run {
  double seconds = 0;     // as the child measured it, or the wall time around it
  double cpu = 0;         // user and system CPU seconds
  long peak_rss_kib = 0;  // the child's peak resident memory
  long long heap = 0;     // the child's own heap accounting, when it has one
};

// Spawns args with standard output and error read back. A child of this
// program prints "seconds cpu-seconds heap peak-RSS"; any other program is
// timed from here and run under /usr/bin/time, which gives its CPU time and
// peak RSS.
//
// (The peak RSS that wait4 reports for a spawned child starts from the
// spawning process's own size, so it is not used.)
Run spawn(std::vector<std::string> args, bool ours) {
  if (!ours) args.insert(args.begin(), {"/usr/bin/time", "-f", "%U %S %M"});
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipe_fd[2];
  if (::pipe(pipe_fd) != 0) std::exit(2);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fd[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipe_fd[1], 2);
  posix_spawn_file_actions_addclose(&actions, pipe_fd[0]);
  const auto start = Clock::now();
  pid_t pid;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "cannot run %s\n", argv[0]);
    std::exit(2);
  }
  ::close(pipe_fd[1]);
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = ::read(pipe_fd[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  ::close(pipe_fd[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double wall = seconds_since(start);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed: %s: %s\n", args[ours ? 2 : 3].c_str(), out.c_str());
    std::exit(3);
  }
  Run r;
  if (ours) {
    std::sscanf(out.c_str(), "%lf %lf %lld %ld", &r.seconds, &r.cpu, &r.heap, &r.peak_rss_kib);
  } else {
    r.seconds = wall;
    const size_t last = out.find_last_of('\n', out.size() >= 2 ? out.size() - 2 : 0);
    double user = 0;
    double sys = 0;
    std::sscanf(out.c_str() + (last == std::string::npos ? 0 : last + 1), "%lf %lf %ld", &user,
                &sys, &r.peak_rss_kib);
    r.cpu = user + sys;
  }
  return r;
}

Run median(std::vector<Run> runs) {
  std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
  return runs[runs.size() / 2];
}

using osp::bench::human;

std::string mib(long kib) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f MiB", static_cast<double>(kib) / 1024.0);
  return buf;
}

std::string kib(long long bytes) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f KiB", static_cast<double>(bytes) / 1024.0);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "--child") == 0) return child(argc, argv);
  const osp::bench::Options options = osp::bench::parse_options(argc, argv, {{10000, 100000, 1000000}, 3, std::filesystem::temp_directory_path().string()});
  const std::vector<int64_t>& sizes = options.sizes;
  const int repeat = options.repeat;
  const std::string base = options.dir;
  const std::string self = std::filesystem::canonical("/proc/self/exe").string();
  char templ[4096];
  std::snprintf(templ, sizeof templ, "%s/osprey-bench-XXXXXX", base.c_str());
  if (::mkdtemp(templ) == nullptr) return 2;
  const std::string dir = templ;

  const Run idle = spawn({self, "--child", "idle"}, true);
  std::printf("An idle child process of the benchmark peaks at %s resident; every MakeIndex and "
              "SQLite figure includes that.\n\n",
              mib(idle.peak_rss_kib).c_str());
  std::printf("Times are wall clock, CPU (user + system) in parentheses; ratios are the "
              "other's time over MakeIndex's.\n\n");
  std::printf("| records | key | MakeIndex | SQLite CREATE INDEX | SQLite / MakeIndex | "
              "GNU sort -S 48K | sort / MakeIndex | MakeIndex peak RSS (heap) | "
              "SQLite peak RSS (heap) | sort peak RSS |\n");
  std::printf("|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
  for (const int64_t n : sizes) {
    spawn({self, "--child", "generate", dir, std::to_string(n)}, true);
    struct Key {
      const char* expression;
      const char* column;
      const char* text;
    };
    for (const Key k : {Key{"CALLS", "calls", "calls.txt"}, Key{"CODE", "code", "code.txt"},
                        Key{"DATE+TIME", "date_time", "date_time.txt"}}) {
      std::vector<Run> ours, sqlite, sorted;
      for (int i = 0; i < repeat; ++i) {
        ours.push_back(spawn({self, "--child", "makeindex", dir + "/log.dbs", k.expression,
                              dir + "/log.dx0"},
                             true));
        sqlite.push_back(spawn({self, "--child", "sqlite", dir + "/log.sqlite", k.column}, true));
        sorted.push_back(spawn({"/usr/bin/env", "LC_ALL=C", "sort", "-S", "48K", "--parallel=1",
                                "-T", dir, "-o", dir + "/sorted.txt", dir + "/" + k.text},
                               false));
      }
      const Run o = median(ours);
      const Run s = median(sqlite);
      const Run g = median(sorted);
      // /usr/bin/time gives CPU times in hundredths of a second.
      const bool sort_cpu_known = g.cpu >= 0.01;
      char sort_cpu_ratio[16] = "-";
      if (sort_cpu_known) std::snprintf(sort_cpu_ratio, sizeof sort_cpu_ratio, "%.1f", g.cpu / o.cpu);
      std::printf("| %lld | %s | %s (%s) | %s (%s) | %.1f (%.1f) | %s (%s) | %.1f (%s) | "
                  "%s (%s) | %s (%s) | %s |\n",
                  static_cast<long long>(n), k.expression, human(o.seconds).c_str(),
                  human(o.cpu).c_str(), human(s.seconds).c_str(), human(s.cpu).c_str(),
                  s.seconds / o.seconds, s.cpu / o.cpu, human(g.seconds).c_str(),
                  sort_cpu_known ? human(g.cpu).c_str() : "< 10 ms", g.seconds / o.seconds,
                  sort_cpu_ratio,
                  mib(o.peak_rss_kib).c_str(), kib(o.heap).c_str(), mib(s.peak_rss_kib).c_str(),
                  kib(s.heap).c_str(), mib(g.peak_rss_kib).c_str());
      std::fflush(stdout);
    }
  }
  std::filesystem::remove_all(dir);
  return 0;
}
