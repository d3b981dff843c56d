// osprey serve's answers at scale, its handlers called as functions (the
// server time of a request, without sockets or the browser), against SQLite
// answering the same questions from the same contacts in the same run, its
// rows turned into the same kind of JSON text:
//   - the first page of 250 contacts in call-sign order: the call-sign index
//     / SELECT ... ORDER BY callsign, id LIMIT 250 over an index on callsign;
//   - the next page: from where the first ended / the same with a keyset
//     WHERE (callsign, id) > (?, ?);
//   - worked-before for a call sign: the call-sign index / SELECT ... WHERE
//     callsign = ?, for 200 call signs of the log;
//   - an ADIF upload of 10^5 contacts into an empty log (import and index
//     rebuild) / SQLite inserting the same contacts in one transaction.
// Prints a Markdown table for docs/performance.md; times are medians.
//
//   serve_bench [--sizes N] [--repeat N]   (default 1000000 contacts, 5 runs)
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "bench_common.h"
#include "osprey32.h"
#include "serve/served_log.h"
#include "support/contact_file_builder.h"
#include "support/log_generator.h"
#include "support/master_file_builder.h"
#include "support/temp_dir.h"

// The command's exit status, which main.cpp keeps in the command.
namespace osprey_tool {
namespace {
int g_status = 0;
}
void set_exit_status(int status) { g_status = status; }
int exit_status() { return g_status; }
}  // namespace osprey_tool

namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;
using osprey_tool::ServedLog;
using osprey_tool::ServeReply;
using osprey_tool::ServeRequest;
using osp::bench::human;

constexpr size_t kUploaded = 100000;
constexpr int kWorkedCalls = 200;

void check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "serve_bench: %s failed\n", what);
    std::exit(1);
  }
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <typename F>
double timed(F f) {
  const auto start = Clock::now();
  f();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

ServeReply get(ServedLog& log, const std::string& path, std::map<std::string, std::string> p) {
  ServeReply r = log.handle(ServeRequest{"GET", path, std::move(p), ""});
  check(r.status == 200, path.c_str());
  return r;
}

void exec(sqlite3* db, const char* sql) {
  check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK, sql);
}

sqlite3_stmt* prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  check(sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK, sql);
  return st;
}

// Inserts the contacts in one transaction (callsign, date, time, frequency,
// mode as the view holds them).
void insert_contacts(sqlite3* db, const std::vector<osp::test::TestContact>& contacts) {
  sqlite3_stmt* insert =
      prepare(db, "INSERT INTO contacts VALUES (NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  exec(db, "BEGIN");
  for (const osp::test::TestContact& c : contacts) {
    const ContactView v = osp::test::expected_view(c);
    const char* fields[] = {v.callsign, v.portable, v.date, v.time, v.frequency,
                            v.mode,     v.code,     v.qsl,  v.name};
    sqlite3_reset(insert);
    for (int f = 0; f < 9; ++f) sqlite3_bind_text(insert, f + 1, fields[f], -1, SQLITE_STATIC);
    check(sqlite3_step(insert) == SQLITE_DONE, "insert");
  }
  exec(db, "COMMIT");
  sqlite3_finalize(insert);
}

// Writes the log files (contact, remarks and master) of base.
void write_log(const std::string& base, const std::vector<osp::test::TestContact>& contacts,
               const std::vector<osp::test::MasterEntry>& masters) {
  osp::test::ContactFileBuilder b;
  for (const osp::test::TestContact& c : contacts) b.add(c);
  b.write_log(base);
  osp::test::write_master_file(base + ".mst", masters);
}

// Steps through a page's rows and answers them as the server does, as JSON
// text (one object of the row's columns each); returns the rows and keeps
// the last row's call sign and id.
int page(sqlite3_stmt* st, std::string* last_call, int64_t* last_id) {
  static const char* const kNames[] = {"id",   "call", "portable", "date", "time",
                                       "freq", "mode", "code",     "qsl",  "name"};
  json rows = json::array();
  while (sqlite3_step(st) == SQLITE_ROW) {
    json row;
    *last_id = sqlite3_column_int64(st, 0);
    row[kNames[0]] = *last_id;
    for (int c = 1; c < 10; ++c) {
      const unsigned char* t = sqlite3_column_text(st, c);
      row[kNames[c]] = t != nullptr ? reinterpret_cast<const char*>(t) : "";
    }
    *last_call = row["call"].get<std::string>();
    rows.push_back(std::move(row));
  }
  sqlite3_reset(st);
  const std::string text = json{{"rows", rows}}.dump(-1, ' ', false, json::error_handler_t::replace);
  return text.empty() ? 0 : static_cast<int>(rows.size());
}

void run(int64_t count, int repeat) {
  osp::test::TempDir dir;
  const std::string base = dir.file("LOG");
  std::fprintf(stderr, "generating %lld contacts...\n", static_cast<long long>(count));
  osp::test::LogGenerator g(20261208);
  const std::vector<osp::test::TestContact> contacts = g.contacts(static_cast<size_t>(count));
  write_log(base, contacts, g.masters());
  sqlite3* db = nullptr;
  check(sqlite3_open(dir.file("serve.sqlite").c_str(), &db) == SQLITE_OK, "sqlite3_open");
  const char* schema =
      "CREATE TABLE contacts (id INTEGER PRIMARY KEY, callsign TEXT, portable TEXT, date TEXT, "
      "time TEXT, frequency TEXT, mode TEXT, code TEXT, qsl TEXT, name TEXT)";
  exec(db, schema);
  insert_contacts(db, contacts);
  exec(db, "CREATE INDEX by_call ON contacts (callsign, id)");

  std::fprintf(stderr, "opening the log (indexes built)...\n");
  ServedLog log(base, {}, nullptr);
  check(log.ok(), "the open");
  sqlite3_stmt* first = prepare(db, "SELECT * FROM contacts ORDER BY callsign, id LIMIT 250");
  sqlite3_stmt* next = prepare(db,
                               "SELECT * FROM contacts WHERE (callsign, id) > (?, ?) "
                               "ORDER BY callsign, id LIMIT 250");
  sqlite3_stmt* worked = prepare(db, "SELECT * FROM contacts WHERE callsign = ?");
  std::vector<std::string> calls;
  for (int i = 0; i < kWorkedCalls; ++i)
    calls.push_back(contacts[static_cast<size_t>(i) * contacts.size() / kWorkedCalls].callsign);

  std::vector<double> ours_first, ours_next, ours_worked, sql_first, sql_next, sql_worked;
  for (int i = 0; i < repeat; ++i) {
    std::fprintf(stderr, "run %d of %d...\n", i + 1, repeat);
    json page1;
    ours_first.push_back(timed([&] {
      page1 = json::parse(get(log, "/api/contacts", {{"order", "call"}}).body);
    }));
    check(page1["rows"].size() == 250, "our first page");
    const std::string after = page1["next"].get<std::string>();
    ours_next.push_back(timed([&] {
      check(json::parse(get(log, "/api/contacts", {{"order", "call"}, {"after", after}}).body)
                    ["rows"].size() == 250, "our next page");
    }));
    ours_worked.push_back(timed([&] {
      for (const std::string& c : calls) get(log, "/api/worked", {{"call", c}});
    }) / kWorkedCalls);

    std::string last_call;
    int64_t last_id = 0;
    sql_first.push_back(timed([&] { check(page(first, &last_call, &last_id) == 250, "first"); }));
    sql_next.push_back(timed([&] {
      sqlite3_bind_text(next, 1, last_call.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int64(next, 2, last_id);
      check(page(next, &last_call, &last_id) == 250, "next");
    }));
    sql_worked.push_back(timed([&] {
      for (const std::string& c : calls) {
        sqlite3_bind_text(worked, 1, osp::test::padded(c, 7).c_str(), -1, SQLITE_TRANSIENT);
        check(page(worked, &last_call, &last_id) > 0, "worked");
      }
    }) / kWorkedCalls);
  }

  // The upload: the first 10^5 contacts as ADI, from this log's export.
  const std::string adi = get(log, "/api/export", {{"format", "adi"}}).body;
  std::vector<double> ours_upload, sql_upload;
  const std::vector<osp::test::TestContact> uploaded(
      contacts.begin(), contacts.begin() + static_cast<std::ptrdiff_t>(
                                               std::min(kUploaded, contacts.size())));
  // Cut the export after its 10^5th record.
  size_t cut = 0;
  for (size_t n = 0; n < uploaded.size() && cut != std::string::npos; ++n)
    cut = adi.find("<EOR>", cut + 1);
  const std::string file = adi.substr(0, cut == std::string::npos ? adi.size() : cut + 5);
  for (int i = 0; i < repeat; ++i) {
    const std::string empty = dir.file("UP" + std::to_string(i));
    write_log(empty, {}, g.masters());
    ServedLog fresh(empty, {}, nullptr);
    check(fresh.ok(), "the empty log");
    ServeReply r;
    ours_upload.push_back(
        timed([&] { r = fresh.handle(ServeRequest{"POST", "/api/import", {}, file}); }));
    check(r.status == 200, "the upload");
    sqlite3* up = nullptr;
    check(sqlite3_open(dir.file("up" + std::to_string(i) + ".sqlite").c_str(), &up) == SQLITE_OK,
          "sqlite3_open");
    exec(up, schema);
    exec(up, "CREATE INDEX by_call ON contacts (callsign, id)");
    sql_upload.push_back(timed([&] { insert_contacts(up, uploaded); }));
    sqlite3_close(up);
  }
  sqlite3_finalize(first);
  sqlite3_finalize(next);
  sqlite3_finalize(worked);
  sqlite3_close(db);

  const struct {
    const char* what;
    long long n;
    double ours, theirs;
  } rows[] = {
      {"first page, 250 in call-sign order", count, median(ours_first), median(sql_first)},
      {"next page", count, median(ours_next), median(sql_next)},
      {"worked-before, one call sign", count, median(ours_worked), median(sql_worked)},
      {"ADIF upload into an empty log / INSERT in one transaction",
       static_cast<long long>(uploaded.size()), median(ours_upload), median(sql_upload)},
  };
  for (const auto& r : rows)
    std::printf("| %s | %lld | %s | %s | %.2f |\n", r.what, r.n, human(r.ours).c_str(),
                human(r.theirs).c_str(), r.theirs / r.ours);
}

}  // namespace

int main(int argc, char** argv) {
  const osp::bench::Options o = osp::bench::parse_options(argc, argv, {{1000000}, 5, ""});
  std::printf("| Request (server time) | contacts | osprey serve | SQLite | ratio (SQLite / ours) |\n");
  std::printf("|---|---:|---:|---:|---:|\n");
  for (int64_t n : o.sizes) run(n, o.repeat);
  return 0;
}
