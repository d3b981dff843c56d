// Index file operations against SQLite on the same keys: search for a key,
// step to the next entry in key order, insert a key, on indexes of 10^4 to
// 10^6 entries.
//
// The keys are six characters, like the call signs of a log, with
// duplicates. Our index is laid out two thirds full, as random insertions
// leave it. SQLite's peer is a table (recno INTEGER PRIMARY KEY, key TEXT)
// with an index on key, which holds (key, recno) just as our index does; it
// runs with synchronous=OFF and journal_mode=OFF and commits each insert on
// its own, so that, like ours, every insert reaches the file at once and
// nothing is synced.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "index/index_file.h"
#include "osprey32.h"
#include "support/index_pages.h"

namespace {

namespace fs = std::filesystem;
using osp::test::IndexEntry;

struct Data {
  std::vector<std::string> keys;  // in record order: record i + 1 has keys[i]
  std::string index_path;
  std::string sqlite_path;
};

const std::string& work_dir() {
  static const std::string dir = [] {
    std::string templ = (fs::temp_directory_path() / "osprey-bench-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) std::abort();
    std::atexit([] { fs::remove_all(work_dir()); });
    return templ;
  }();
  return dir;
}

std::string random_key(std::mt19937& rng) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string k(6, ' ');
  for (auto& c : k) c = kAlphabet[rng() % 36];
  return k;
}

void exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", err != nullptr ? err : "?");
    std::abort();
  }
}

sqlite3* open_db(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) std::abort();
  exec(db, "PRAGMA synchronous=OFF; PRAGMA journal_mode=OFF;");
  return db;
}

// Builds (once per size) the index file and the SQLite database.
const Data& data_for(int64_t n) {
  static std::map<int64_t, Data> cache;
  auto found = cache.find(n);
  if (found != cache.end()) return found->second;
  Data d;
  std::mt19937 rng(static_cast<uint32_t>(n));
  // About n / 3 distinct keys: most keys recur.
  std::vector<std::string> pool;
  for (int64_t i = 0; i < std::max<int64_t>(1, n / 3); ++i) pool.push_back(random_key(rng));
  for (int64_t i = 0; i < n; ++i) d.keys.push_back(pool[rng() % pool.size()]);

  std::vector<IndexEntry> sorted;
  sorted.reserve(d.keys.size());
  for (size_t i = 0; i < d.keys.size(); ++i)
    sorted.push_back({d.keys[i], static_cast<int32_t>(i + 1)});
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const IndexEntry& a, const IndexEntry& b) { return a.key < b.key; });
  osp::test::IndexLayout layout;
  layout.leaf_fill = 21;
  layout.interior_fill = 21;
  const std::vector<uint8_t> bytes = osp::test::packed_index(sorted, layout);
  d.index_path = work_dir() + "/base" + std::to_string(n) + ".ndx";
  FILE* f = std::fopen(d.index_path.c_str(), "wb");
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);

  d.sqlite_path = work_dir() + "/base" + std::to_string(n) + ".db";
  sqlite3* db = open_db(d.sqlite_path);
  exec(db, "CREATE TABLE t(recno INTEGER PRIMARY KEY, key TEXT NOT NULL);");
  exec(db, "BEGIN;");
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t(recno, key) VALUES(?1, ?2)", -1, &ins, nullptr);
  for (size_t i = 0; i < d.keys.size(); ++i) {
    sqlite3_bind_int64(ins, 1, static_cast<int64_t>(i + 1));
    sqlite3_bind_text(ins, 2, d.keys[i].data(), 6, SQLITE_STATIC);
    sqlite3_step(ins);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  exec(db, "COMMIT; CREATE INDEX t_key ON t(key);");
  sqlite3_close(db);
  return cache.emplace(n, std::move(d)).first->second;
}

// A scratch copy of a base file, for the benchmarks that change it.
std::string scratch_copy(const std::string& base, const char* suffix) {
  const std::string path = work_dir() + "/scratch" + suffix;
  fs::copy_file(base, path, fs::copy_options::overwrite_existing);
  return path;
}

struct OpenIndex {
  IdxHandle h{};
  explicit OpenIndex(const std::string& path) {
    std::snprintf(h.path, sizeof h.path, "%s", path.c_str());
    if (idx_open(h.path, &h) != 0) std::abort();
  }
  ~OpenIndex() { idx_close(&h); }
};

std::vector<std::string> probes(const Data& d, size_t count) {
  std::mt19937 rng(99);
  std::vector<std::string> out;
  for (size_t i = 0; i < count; ++i) out.push_back(d.keys[rng() % d.keys.size()]);
  return out;
}

void BM_IndexSearch(benchmark::State& state) {
  const Data& d = data_for(state.range(0));
  OpenIndex idx(d.index_path);
  const auto keys = probes(d, 4096);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(idx_search(&idx.h, keys[i++ & 4095].data(), 6));
  }
}

void BM_SqliteSearch(benchmark::State& state) {
  const Data& d = data_for(state.range(0));
  sqlite3* db = open_db(d.sqlite_path);
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(db, "SELECT recno FROM t WHERE key = ?1 ORDER BY key LIMIT 1", -1, &q,
                     nullptr);
  const auto keys = probes(d, 4096);
  size_t i = 0;
  for (auto _ : state) {
    sqlite3_bind_text(q, 1, keys[i++ & 4095].data(), 6, SQLITE_STATIC);
    if (sqlite3_step(q) == SQLITE_ROW) benchmark::DoNotOptimize(sqlite3_column_int(q, 0));
    sqlite3_reset(q);
  }
  sqlite3_finalize(q);
  sqlite3_close(db);
}

void BM_IndexNext(benchmark::State& state) {
  const Data& d = data_for(state.range(0));
  OpenIndex idx(d.index_path);
  idx_top(&idx.h);
  for (auto _ : state) {
    int32_t r = idx_next(&idx.h);
    if (r == 0) r = idx_top(&idx.h);
    benchmark::DoNotOptimize(r);
  }
}

void BM_SqliteNext(benchmark::State& state) {
  const Data& d = data_for(state.range(0));
  sqlite3* db = open_db(d.sqlite_path);
  sqlite3_stmt* q = nullptr;
  sqlite3_prepare_v2(db, "SELECT recno FROM t ORDER BY key", -1, &q, nullptr);
  for (auto _ : state) {
    if (sqlite3_step(q) != SQLITE_ROW) {
      sqlite3_reset(q);
      sqlite3_step(q);
    }
    benchmark::DoNotOptimize(sqlite3_column_int(q, 0));
  }
  sqlite3_finalize(q);
  sqlite3_close(db);
}

void BM_IndexInsert(benchmark::State& state) {
  const Data& d = data_for(state.range(0));
  OpenIndex idx(scratch_copy(d.index_path, ".ndx"));
  std::mt19937 rng(5);
  int32_t recno = static_cast<int32_t>(d.keys.size());
  for (auto _ : state) {
    const std::string key = random_key(rng);
    osp::index::insert(&idx.h, key.data(), ++recno);
  }
}

void BM_SqliteInsert(benchmark::State& state) {
  const Data& d = data_for(state.range(0));
  sqlite3* db = open_db(scratch_copy(d.sqlite_path, ".db"));
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t(recno, key) VALUES(?1, ?2)", -1, &ins, nullptr);
  std::mt19937 rng(5);
  int64_t recno = static_cast<int64_t>(d.keys.size());
  for (auto _ : state) {
    const std::string key = random_key(rng);
    sqlite3_bind_int64(ins, 1, ++recno);
    sqlite3_bind_text(ins, 2, key.data(), 6, SQLITE_TRANSIENT);
    sqlite3_step(ins);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  sqlite3_close(db);
}

void sizes(benchmark::internal::Benchmark* b) {
  for (int64_t n : {10000, 100000, 1000000}) b->Arg(n);
}

BENCHMARK(BM_IndexSearch)->Apply(sizes);
BENCHMARK(BM_SqliteSearch)->Apply(sizes);
BENCHMARK(BM_IndexNext)->Apply(sizes);
BENCHMARK(BM_SqliteNext)->Apply(sizes);
BENCHMARK(BM_IndexInsert)->Apply(sizes);
BENCHMARK(BM_SqliteInsert)->Apply(sizes);

}  // namespace

BENCHMARK_MAIN();
