// ADIF export and import against SQLite on the same contacts. Export: our
// export of the whole log to ADI against SQLite producing the same record
// text with one query over a table of the ADI values. Import: our import of
// that file into an empty log (indexes rebuilt at the end) against reading
// the same file with the same reader and inserting the rows into SQLite in
// one transaction, then indexing call and area code. Prints a Markdown table.
//
//   adif_bench [--sizes N] [--repeat N]   (default 100000 contacts)
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "adif_contact.h"
#include "adif_export.h"
#include "adif_import.h"
#include "adif_reader.h"
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

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

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
double sqlite_export(sqlite3* db, const std::string& path) {
  std::string sql = "SELECT ";
  for (int i = 0; i < kFieldCount; ++i) {
    const std::string f = "f" + std::to_string(i);
    sql += std::string(i ? " || " : "") + "CASE WHEN " + f + " IS NULL THEN '' ELSE '<" +
           kFields[i] + ":' || length(CAST(" + f + " AS BLOB)) || '>' || " + f + " || ' ' END";
  }
  sql += " || '<EOR>' FROM contacts ORDER BY rowid";
  const auto start = Clock::now();
  std::FILE* out = std::fopen(path.c_str(), "wb");
  sqlite3_stmt* q = nullptr;
  check(sqlite3_prepare_v2(db, sql.c_str(), -1, &q, nullptr) == SQLITE_OK, "prepare query");
  while (sqlite3_step(q) == SQLITE_ROW) {
    std::fwrite(sqlite3_column_text(q, 0), 1, static_cast<size_t>(sqlite3_column_bytes(q, 0)), out);
    std::fputc('\n', out);
  }
  sqlite3_finalize(q);
  std::fclose(out);
  return seconds_since(start);
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

  double ours_export = 1e9, theirs_export = 1e9, ours_import = 1e9, theirs_import = 1e9;
  for (int rep = 0; rep < o.repeat; ++rep) {
    auto start = Clock::now();
    std::FILE* out = std::fopen(adi.c_str(), "wb");
    LogHandle log{};
    check(OspreyOpen(nullptr, &log, base.c_str(), 0, 2) == 0, "open for export");
    const AdifExportResult ex = export_adif(&log, {}, "20260101 000000", "bench", out);
    OspreyClose(&log, 2);
    std::fclose(out);
    ours_export = std::min(ours_export, seconds_since(start));
    check(ex.status == 0 && ex.records == count, "our export");
    const std::string text = slurp(adi);

    const std::string copy = dir.file("copy" + std::to_string(rep));
    osp::test::write_generated_log(copy, 0, 7);
    start = Clock::now();
    const AdifImportResult im = import_adif_file(copy, adi, {});
    ours_import = std::min(ours_import, seconds_since(start));
    check(im.status == 0 && im.error.empty() && im.imported + im.duplicates.size() == count,
          "our import");

    const std::string db_path = dir.file("peer" + std::to_string(rep) + ".db");
    sqlite3* db = nullptr;
    check(sqlite3_open(db_path.c_str(), &db) == SQLITE_OK, "sqlite open");
    exec(db, "PRAGMA journal_mode=WAL");
    exec(db, table_sql());
    start = Clock::now();
    const std::string file_text = slurp(adi);
    sqlite_load(db, file_text);
    exec(db, "CREATE INDEX by_call ON contacts (substr(f0, 1, 6))");
    exec(db, "CREATE INDEX by_code ON contacts (f17)");
    theirs_import = std::min(theirs_import, seconds_since(start));
    const std::string peer = dir.file("peer.adi");
    theirs_export = std::min(theirs_export, sqlite_export(db, peer));
    // The same records, byte for byte.
    check(slurp(peer) == text.substr(text.find("<EOH>\n") + 6), "the same text from SQLite");
    sqlite3_close(db);
  }
  std::printf("| ADIF, %zu contacts | osprey | SQLite | ratio |\n|---|---|---|---|\n", count);
  std::printf("| export to ADI | %s | %s | %.2fx |\n", osp::bench::human(ours_export).c_str(),
              osp::bench::human(theirs_export).c_str(), theirs_export / ours_export);
  std::printf("| import (indexes rebuilt) | %s | %s | %.2fx |\n",
              osp::bench::human(ours_import).c_str(), osp::bench::human(theirs_import).c_str(),
              theirs_import / ours_import);
  return 0;
}
