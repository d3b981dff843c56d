// ADIF export and import against SQLite on the same contacts. Export: our
// export of the whole log to ADI against SQLite producing the same record
// text with one query over a table of the ADI values. Import: our import of
// that file into an empty log (indexes rebuilt at the end) against reading
// the same file with the same reader and inserting the rows into SQLite in
// one transaction, then indexing call and area code. Prints a Markdown table.
//
//   adif_bench [--sizes N] [--repeat N]   (default 100000 contacts)
// Each time is the best of the runs, by the wall clock and in processor time.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "adif/adif_contact.h"
#include "adif/adif_export.h"
#include "adif/adif_import.h"
#include "adif/adif_reader.h"
#include "bench_common.h"
#include "support/contact_file_builder.h"
#include "support/log_generator.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace osprey_tool;

// The ADI fields in the order our export writes them.
const char* const kFields[] = {
    "CALL", "QSO_DATE", "TIME_ON", "BAND", "FREQ", "MODE", "SUBMODE", "RST_SENT", "RST_RCVD",
    "QSL_SENT", "QSL_RCVD", "QSL_SENT_VIA", "GRIDSQUARE", "CNTY", "NAME", "COMMENT", "NOTES",
    "APP_OSPREY_CODE", "APP_OSPREY_QSL", "APP_OSPREY_FREQ", "APP_OSPREY_PORTABLE"};
constexpr int kFieldCount = sizeof kFields / sizeof kFields[0];

// A moment by the wall clock and by the processor time of this process. The
// machine the benches run on is shared: the processor time is what the work
// itself took, and with other work running it is the steadier of the two.
struct Stamp {
  Clock::time_point wall = Clock::now();
  double cpu = cpu_seconds();

  static double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }
};

// The best time of the runs, both ways.
struct Best {
  double wall = 1e9;
  double cpu = 1e9;
  void take(const Stamp& start) {
    wall = std::min(wall, std::chrono::duration<double>(Clock::now() - start.wall).count());
    cpu = std::min(cpu, Stamp::cpu_seconds() - start.cpu);
  }
};

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "adif_bench: %s failed\n", what);
    std::exit(1);
  }
}

void exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::fprintf(stderr, "adif_bench: %s: %s\n", sql.c_str(), error);
    std::exit(1);
  }
}

std::string table_sql() {
  std::string sql = "CREATE TABLE contacts (";
  for (int i = 0; i < kFieldCount; ++i) sql += std::string(i ? ", " : "") + "f" + std::to_string(i) + " TEXT";
  return sql + ")";
}

// Reads the ADI file and inserts its records, one transaction.
void sqlite_load(sqlite3* db, const std::string& text) {
  exec(db, "BEGIN");
  std::string sql = "INSERT INTO contacts VALUES (";
  for (int i = 0; i < kFieldCount; ++i) sql += i ? ", ?" : "?";
  sql += ")";
  sqlite3_stmt* insert = nullptr;
  check(sqlite3_prepare_v2(db, sql.c_str(), -1, &insert, nullptr) == SQLITE_OK, "prepare");
  AdifReader reader(text);
  AdifRecord r;
  while (reader.next(&r) == AdifRead::kRecord) {
    sqlite3_reset(insert);
    sqlite3_clear_bindings(insert);
    for (const AdifField& f : r.fields)
      for (int i = 0; i < kFieldCount; ++i)
        if (f.name == kFields[i])
          sqlite3_bind_text(insert, i + 1, f.value.data(), static_cast<int>(f.value.size()),
                            SQLITE_STATIC);
    check(sqlite3_step(insert) == SQLITE_DONE, "insert");
  }
  sqlite3_finalize(insert);
  exec(db, "COMMIT");
}

// One query giving each record's ADI text.
void sqlite_export(sqlite3* db, const std::string& path, Best* best) {
  std::string sql = "SELECT ";
  for (int i = 0; i < kFieldCount; ++i) {
    const std::string f = "f" + std::to_string(i);
    sql += std::string(i ? " || " : "") + "CASE WHEN " + f + " IS NULL THEN '' ELSE '<" +
           kFields[i] + ":' || length(CAST(" + f + " AS BLOB)) || '>' || " + f + " || ' ' END";
  }
  sql += " || '<EOR>' FROM contacts ORDER BY rowid";
  const Stamp start;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  sqlite3_stmt* q = nullptr;
  check(sqlite3_prepare_v2(db, sql.c_str(), -1, &q, nullptr) == SQLITE_OK, "prepare query");
  while (sqlite3_step(q) == SQLITE_ROW) {
    std::fwrite(sqlite3_column_text(q, 0), 1, static_cast<size_t>(sqlite3_column_bytes(q, 0)), out);
    std::fputc('\n', out);
  }
  sqlite3_finalize(q);
  std::fclose(out);
  best->take(start);
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

int main(int argc, char** argv) {
  const osp::bench::Options o = osp::bench::parse_options(argc, argv, {{100000}, 3, ""});
  const size_t count = static_cast<size_t>(o.sizes.at(0));
  osp::test::TempDir dir;
  const std::string base = dir.file("log");
  osp::test::write_generated_log(base, count, 7);
  const std::string adi = dir.file("log.adi");

  Best ours_export, theirs_export, ours_import, theirs_import;
  for (int rep = 0; rep < o.repeat; ++rep) {
    Stamp start;
    std::FILE* out = std::fopen(adi.c_str(), "wb");
    LogHandle log{};
    check(OspreyOpen(nullptr, &log, base.c_str(), 0, 2) == 0, "open for export");
    const AdifExportResult ex = export_adif(&log, {}, "20260101 000000", "bench", out);
    OspreyClose(&log, 2);
    std::fclose(out);
    ours_export.take(start);
    check(ex.status == 0 && ex.records == count, "our export");
    const std::string text = slurp(adi);

    const std::string copy = dir.file("copy" + std::to_string(rep));
    osp::test::write_generated_log(copy, 0, 7);
    start = Stamp();
    const AdifImportResult im = import_adif_file(copy, adi, {});
    ours_import.take(start);
    check(im.status == 0 && im.error.empty() && im.imported + im.duplicates.size() == count,
          "our import");

    const std::string db_path = dir.file("peer" + std::to_string(rep) + ".db");
    sqlite3* db = nullptr;
    check(sqlite3_open(db_path.c_str(), &db) == SQLITE_OK, "sqlite open");
    exec(db, "PRAGMA journal_mode=WAL");
    exec(db, table_sql());
    start = Stamp();
    const std::string file_text = slurp(adi);
    sqlite_load(db, file_text);
    exec(db, "CREATE INDEX by_call ON contacts (substr(f0, 1, 6))");
    exec(db, "CREATE INDEX by_code ON contacts (f17)");
    theirs_import.take(start);
    const std::string peer = dir.file("peer.adi");
    sqlite_export(db, peer, &theirs_export);
    // The same records, byte for byte.
    check(slurp(peer) == text.substr(text.find("<EOH>\n") + 6), "the same text from SQLite");
    sqlite3_close(db);
  }
  std::printf("| ADIF, %zu contacts | osprey | SQLite | ratio | osprey CPU | SQLite CPU | CPU ratio |\n"
              "|---|---|---|---|---|---|---|\n",
              count);
  const auto row = [](const char* what, const Best& ours, const Best& theirs) {
    std::printf("| %s | %s | %s | %.2fx | %s | %s | %.2fx |\n", what,
                osp::bench::human(ours.wall).c_str(), osp::bench::human(theirs.wall).c_str(),
                theirs.wall / ours.wall, osp::bench::human(ours.cpu).c_str(),
                osp::bench::human(theirs.cpu).c_str(), theirs.cpu / ours.cpu);
  };
  row("export to ADI", ours_export, theirs_export);
  row("import (indexes rebuilt)", ours_import, theirs_import);
  return 0;
}
