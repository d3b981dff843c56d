// Loads OSPREY32.DLL with LoadLibraryA and GetProcAddress and drives the
// contact services and the text-file exports against real Win32 files: the
// value checks (numbers, bands, dates, prefixes, Shift-JIS search), QSL marks,
// the sequential pass, a contact line appended, the worked and confirmed walk
// over the master file, line reading and writing, and a user text file; then
// every log and index export that no other program calls, once each.
//
//   osprey_services_test [path of the DLL]     (default: OSPREY32.DLL beside it)
//
// Prints one line per check and "N passed, N failed"; exits non-zero when a
// check fails or the DLL cannot be loaded. The log checks run in order on one
// log.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "contact_log.h"
#include "osprey32.h"
#include "stdcall_probe.h"
#include "support/user_text_builder.h"

namespace {

using osp::wintest::Check;
using osp::wintest::Checker;
using osp::wintest::Entry;
using osp::wintest::fill_view;
using osp::wintest::master_file;
using osp::wintest::MasterRow;
using osp::wintest::read_file;
using osp::wintest::TempDir;
using osp::wintest::text;
using osp::wintest::write_file;
using Bytes = std::vector<uint8_t>;

// The exports this program drives, and the log exports it needs around them.
#define OSP_SERVICE_EXPORTS(X)                                                                \
  X(DBS_Xread) X(QSL_Send) X(QSL_Rcv) X(StrToLong) X(FreqPCheck) X(Wget_bit) X(Wput_bit)     \
  X(WkdCfmCheck) X(DateComp) X(isExPrefix) X(User_open) X(User_Seek) X(User_Read)            \
  X(User_close) X(T_Open) X(T_Gets) X(T_GetDbs) X(T_Puts) X(JStrStr) X(Text_QFRappend)
// The sorts and print formats, driven on the same log.
#define OSP_SORT_PRINT_EXPORTS(X) \
  X(JARL_sort) X(DateTimeSort) X(MasterSort) X(PrintDataFmt) X(PrintQslFmt)
#define OSP_HELPER_EXPORTS(X) \
  X(OspSetHooks) X(OspreyOpen) X(OspreyClose) X(OSP_append) X(OSP_top) X(OSP_skip) X(OSP_read) \
  X(OSP_flush) X(dbf_read)

struct Api {
#define OSP_API_MEMBER(name) decltype(&::name) name = nullptr;
  OSP_SERVICE_EXPORTS(OSP_API_MEMBER)
  OSP_SORT_PRINT_EXPORTS(OSP_API_MEMBER)
  OSP_HELPER_EXPORTS(OSP_API_MEMBER)
#undef OSP_API_MEMBER
};

#define OSP_API_NAME(name) #name,
const char* const kServiceNames[] = {OSP_SERVICE_EXPORTS(OSP_API_NAME)};
#undef OSP_API_NAME

constexpr int32_t kFullOpen = 5;
constexpr int32_t kByCall = 16;
constexpr int32_t kRecordOrder = 24;
constexpr int32_t kPassEnded = 10;

// Record n is kEntries[n - 1].
const Entry kEntries[] = {
    {"QA3CCC ", "26/03/14", "10:20J", "7.025  ", "CW ", "1001  ", "FIRST", ""},
    {"QA1AAA ", "26/03/14", "10:25J", "14.050 ", "CW ", "1002  ", "", ""},
    {"QA2BBB ", "26/03/15", "01:00U", "1.9    ", "SSB", "100101", "", ""},
};

// Record 2 is an area of record 1.
const MasterRow kMasters[] = {
    {"1001", "CHIYODA", '2', 'B', "10"},
    {"100101", "KOJIMACHI", '1', 'C', "20"},
    {"1002", "CHUO", '3', 'A', "05"},
};

struct Context {
  HMODULE dll = nullptr;
  Api api;
  TempDir dir;
  std::string base;
  OspHooks hooks{};
  int boxes = 0;
  LogHandle log{};
};

int32_t answer_yes(void* ctx, int32_t, const char*, const char*, uint32_t style) {
  ++static_cast<Context*>(ctx)->boxes;
  return (style & 0x0F) == MB_OK ? IDOK : IDYES;
}

void fixed_clock(void*, OspLocalTime* now) { *now = OspLocalTime{2026, 3, 14, 10, 20, 30}; }

void put(const std::string& path, const std::string& bytes) {
  write_file(path, Bytes(bytes.begin(), bytes.end()));
}

// ---- value services, no files ----

void check_numbers_and_bands(Context& x, Checker& c) {
  const struct {
    const char* text;
    int32_t value;
  } numbers[] = {{" \t-42abc", -42}, {"12.5", 12}, {"", 0}, {"2147483648", INT32_MIN}};
  for (const auto& n : numbers) WCHECK_EQ(c, n.value, x.api.StrToLong(n.text));

  const struct {
    const char* text;
    int32_t band;
  } bands[] = {{"1.9", 0}, {"7.050", 2}, {"14", 4}, {"144.0", 10}, {"5760", 14}, {"3500", 15}};
  for (const auto& b : bands) WCHECK_EQ(c, b.band, x.api.FreqPCheck(b.text));

  // A band string into the masks of the master image and back.
  LogHandle log{};
  x.api.Wput_bit(&log, "CWC  W         ");
  WCHECK_EQ(c, 0x0005, log.mst_image[38] | log.mst_image[39] << 8);
  WCHECK_EQ(c, 0x0022, log.mst_image[40] | log.mst_image[41] << 8);
  char out[16];
  std::memset(out, 'x', sizeof out);
  x.api.Wget_bit(out, log.mst_image);
  WCHECK(c, std::string(out) == "CWC  W         ");
}

void check_dates_prefixes_and_search(Context& x, Checker& c) {
  const struct {
    const char* first;
    const char* second;
    int32_t order;
  } dates[] = {{"99/12/31", "00/01/01", -1}, {"51/01/01", "52/01/01", 1},
               {"05/03/01", "05/03/01", 0}};
  for (const auto& d : dates) WCHECK_EQ(c, d.order, x.api.DateComp(d.first, d.second));

  const struct {
    const char* list;
    const char* call;
    int32_t found;
  } prefixes[] = {{"QA1,QB2", "QA1ABC", 1}, {"QA1,QB2", "QB3XYZ", 1}, {"QA1,QB2", "QC1ABC", 0}};
  for (const auto& p : prefixes) WCHECK_EQ(c, p.found, x.api.isExPrefix(p.list, p.call) & 0xFF);

  const struct {
    const char* text;
    const char* pattern;
    int32_t at;
  } searches[] = {{"QSL VIA BURO", "VIA", 4},
                  {"\x82\xA0\xA0X", "\xA0X", 2},       // after the double-byte character
                  {"\x82\xA0\xA0X", "\xA0\xA0X", -1},  // never inside it
                  {"\x95\x5C\\", "\\", 2}};
  for (const auto& s : searches) WCHECK_EQ(c, s.at, x.api.JStrStr(s.text, s.pattern));
}

// ---- text files ----

void check_line_reading_and_writing(Context& x, Checker& c) {
  const std::string lines = x.dir.file("LINES.TXT");
  put(lines, "A\r\n\r\nB\nC");
  const OspFile in = x.api.T_Open(lines.c_str());
  WCHECK(c, in > 0);
  std::vector<std::string> got;
  char buffer[16];
  while (in > 0 && got.size() < 10 && x.api.T_Gets(buffer, sizeof buffer, in) == 0)
    got.push_back(buffer);
  WCHECK(c, got == (std::vector<std::string>{"A", "", "B", "C"}));
  if (in > 0) CloseHandle(reinterpret_cast<HANDLE>(in));

  // T_GetDbs skips the empty line and fills what it read with blanks.
  const OspFile again = x.api.T_Open(lines.c_str());
  std::memset(buffer, '#', sizeof buffer);
  WCHECK_EQ(c, 0, x.api.T_GetDbs(buffer, sizeof buffer, again));
  WCHECK(c, std::string(buffer, 3) == "A  ");
  WCHECK_EQ(c, 0, x.api.T_GetDbs(buffer, sizeof buffer, again));
  WCHECK(c, buffer[0] == 'B');
  if (again > 0) CloseHandle(reinterpret_cast<HANDLE>(again));
  WCHECK_EQ(c, OSP_NO_FILE, x.api.T_Open(x.dir.file("NONE.TXT").c_str()));

  const std::string written = x.dir.file("OUT.TXT");
  HANDLE out = CreateFileA(written.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  WCHECK(c, out != INVALID_HANDLE_VALUE);
  const auto h = reinterpret_cast<OspFile>(out);
  WCHECK_EQ(c, 7, x.api.T_Puts("SHORT", h));
  WCHECK_EQ(c, 2, x.api.T_Puts("", h));
  CloseHandle(out);
  const Bytes bytes = read_file(written);
  WCHECK(c, std::string(bytes.begin(), bytes.end()) == "SHORT\r\n\r\n");
}

std::string trimmed(const char* field) {
  std::string s(field);
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

void check_user_text_file(Context& x, Checker& c) {
  using osp::test::record_columns;
  const std::string path = x.dir.file("AREA.TXT");
  put(path, osp::test::variable_text(
                "AREA LIST 2026 EDITION.B",
                {record_columns("JA1AAA", "TOKYO", "100200", "CHIYODA"),
                 record_columns("AB0001", "OSAKA", "250100", "KITA"),
                 record_columns("ZZ9ZZZ", "LAST", "999999")}));
  UserTextFile file{};
  WCHECK_EQ(c, 0, x.api.User_open(nullptr, 1, &file, path.c_str()));
  WCHECK_EQ(c, 3, file.entry_count);
  WCHECK(c, std::strcmp(file.header_text, "AREA LIST 2026 EDITION.") == 0);
  WCHECK_EQ(c, 1, x.api.User_Seek(nullptr, 1, &file, "AB0001"));
  WCHECK(c, trimmed(file.info1) == "OSAKA" && trimmed(file.info2) == "KITA");
  WCHECK_EQ(c, -1, x.api.User_Seek(nullptr, 1, &file, "QQ0000"));
  std::vector<std::string> keys;
  for (int32_t i = 1; keys.size() < 10 && x.api.User_Read('C', i, &file) == 0; ++i)
    keys.push_back(trimmed(file.c_key));
  WCHECK(c, keys == (std::vector<std::string>{"AB0001", "JA1AAA", "ZZ9ZZZ"}));
  WCHECK_EQ(c, 10, x.api.User_Read('C', 4, &file));
  x.api.User_close(1, &file);
  WCHECK_EQ(c, -1, file.entry_count);
  WCHECK(c, file.c_order == nullptr && file.file_order == nullptr);
}

// ---- the log: one log, the checks in order ----

void check_open_and_append(Context& x, Checker& c) {
  WCHECK(c, write_file(x.base + ".mst", master_file(kMasters)));
  WCHECK_EQ(c, 0, x.api.OspreyOpen(nullptr, &x.log, x.base.c_str(), 0, kFullOpen));
  int32_t n = 0;
  for (const Entry& e : kEntries) {
    fill_view(x.log.view, e);
    int32_t confirm = 0;
    WCHECK_EQ(c, 0, x.api.OSP_append(&x.log, kByCall, &confirm));
    WCHECK_EQ(c, ++n, x.log.dbs.handle.record_count);
  }
}

// The pass from before the first contact delivers every contact once, in
// record order, then ends.
void check_sequential_pass(Context& x, Checker& c) {
  x.log.dbs.handle.current_recno = 0;
  std::vector<std::string> calls;
  int32_t r = 0;
  while (calls.size() < 10 && (r = x.api.DBS_Xread(&x.log)) == 0)
    calls.push_back(text(x.log.view.callsign));
  WCHECK_EQ(c, kPassEnded, r);
  WCHECK(c, calls == (std::vector<std::string>{"QA3CCC ", "QA1AAA ", "QA2BBB "}));
}

void check_qsl_marks(Context& x, Checker& c) {
  WCHECK_EQ(c, 0, x.api.QSL_Send(&x.log, 1, 'Y'));
  WCHECK_EQ(c, 0, x.api.QSL_Rcv(&x.log, 1, 'Y'));
  WCHECK_EQ(c, 0, x.api.OSP_top(&x.log, kRecordOrder));
  WCHECK(c, text(x.log.view.qsl) == "JYY");
  WCHECK_EQ(c, 0, x.api.OSP_skip(&x.log, 1, kRecordOrder));
  WCHECK(c, text(x.log.view.qsl) == "J  ");
  // A record outside the file is reported in one box and returned.
  const int boxes = x.boxes;
  WCHECK_EQ(c, 11, x.api.QSL_Send(&x.log, 0, 'Y'));
  WCHECK_EQ(c, boxes + 1, x.boxes);
}

// A contact line: the fields at their columns, the rest blank.
std::string contact_line() {
  std::string line(219, ' ');
  auto at = [&line](size_t column, const std::string& s) { line.replace(column, s.size(), s); };
  at(0, "QA1ABC/");
  at(10, "1001");
  at(22, "7.050");
  at(29, "CW");
  at(44, "JY ");
  at(47, "2603162105U");
  at(58, "599");
  at(61, "57 ");
  return line;
}

// A fixed-column contact line becomes contact 4.
void check_contact_line(Context& x, Checker& c) {
  WCHECK_EQ(c, 0, x.api.Text_QFRappend(&x.log, contact_line().c_str()));
  WCHECK_EQ(c, 4, x.log.dbs.handle.record_count);
  int32_t r = x.api.OSP_top(&x.log, kRecordOrder);
  for (int i = 1; r == 0 && i < 4; ++i) r = x.api.OSP_skip(&x.log, 1, kRecordOrder);
  WCHECK_EQ(c, 0, r);
  WCHECK_EQ(c, 4, x.log.dbs.handle.current_recno);
  WCHECK(c, text(x.log.view.callsign) == "QA1ABC/");
  WCHECK(c, text(x.log.view.date) == "26/03/16" && text(x.log.view.time) == "21:05U");
}

// The walk raises each contact's band in its area and in the area's parent:
// confirmed where both marks are Y, else worked.
void check_worked_confirmed(Context& x, Checker& c) {
  int32_t recno = 1;
  for (int i = 0; i < 4; ++i) WCHECK_EQ(c, 0, x.api.WkdCfmCheck(nullptr, &x.log, &recno, "D", 'N'));
  WCHECK_EQ(c, 5, recno);
  WCHECK_EQ(c, kPassEnded, x.api.WkdCfmCheck(nullptr, &x.log, &recno, "D", 'N'));
  const char* const expected[] = {"W C            ", "W              ", "    W          "};
  for (int32_t r = 1; r <= 3; ++r) {
    uint8_t data[49] = {};
    WCHECK_EQ(c, 0, x.api.dbf_read(&x.log.mst.handle, r, data));
    char bands[16];
    x.api.Wget_bit(bands, data);
    if (std::string(bands) != expected[r - 1])
      c.fail(__FILE__, __LINE__, "master " + std::to_string(r) + " has [" + bands + "], expected [" +
                                     expected[r - 1] + "]");
  }
}

// Every export above is found by its plain name only and pops exactly its
// own arguments. The arguments are ones each call refuses or reads only.
// The calls of every contact in record order, through the sequential pass.
std::vector<std::string> calls_in_record_order(Context& x) {
  x.log.dbs.handle.current_recno = 0;
  std::vector<std::string> calls;
  while (calls.size() < 100 && x.api.DBS_Xread(&x.log) == 0) calls.push_back(text(x.log.view.callsign));
  return calls;
}

// Bureau order over every contact, a log line and a label line expanded
// from the first contact, and both rewrites, after which every contact and
// master entry is there once and the log still opens.
void check_sorts_and_prints(Context& x, Checker& c) {
  const int32_t count = x.log.dbs.handle.record_count;
  std::vector<uint8_t> entries(10001 * 12, 0);
  WCHECK_EQ(c, 0, x.api.JARL_sort(&x.log, entries.data(), 1, count, "", "", "", 1));
  std::vector<int32_t> recnos;
  for (int32_t i = 0; i < count; ++i) {
    int32_t recno = 0;
    std::memcpy(&recno, &entries[static_cast<size_t>(i) * 12 + 8], 4);
    recnos.push_back(recno);
  }
  std::sort(recnos.begin(), recnos.end());
  std::vector<int32_t> every(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) every[static_cast<size_t>(i)] = i + 1;
  WCHECK(c, recnos == every);

  char line[2048] = {};
  WCHECK_EQ(c, 0, x.api.OSP_read(&x.log, 1, 3));
  WCHECK_EQ(c, 1, x.api.PrintDataFmt(&x.log, line, "[!c]"));
  WCHECK(c, std::string(line).rfind("[QA3CCC", 0) == 0);
  WCHECK_EQ(c, 1, x.api.PrintQslFmt(&x.log, line, "!cp"));
  WCHECK(c, std::string(line).rfind("QA3CCC", 0) == 0);

  std::vector<std::string> before = calls_in_record_order(x);
  const int32_t masters = x.log.mst.handle.record_count;
  WCHECK_EQ(c, 0, x.api.DateTimeSort(&x.log));
  WCHECK_EQ(c, 0, x.api.MasterSort(&x.log));
  std::vector<std::string> after = calls_in_record_order(x);
  WCHECK_EQ(c, count, x.log.dbs.handle.record_count);
  WCHECK_EQ(c, masters, x.log.mst.handle.record_count);
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  WCHECK(c, before == after);
  WCHECK(c, x.log.index_slot[0].file > 0 && x.log.index_slot[2].file > 0);
}

void check_calling_convention(Context& x, Checker& c) {
  auto p = [](const void* q) { return reinterpret_cast<uintptr_t>(q); };
  constexpr int32_t kAny = osp::wintest::kAnyResult;
  const uintptr_t no_file = static_cast<uintptr_t>(OSP_NO_FILE);
  LogHandle scratch{};
  UserTextFile closed{};
  closed.entry_count = -1;
  closed.text_file = OSP_NO_FILE;
  char buffer[32] = {};
  uint8_t master[49] = {};
  int32_t recno = 0;
  const std::string none = x.dir.file("NONE.TXT");
  const std::string line = contact_line();
  // The pass starts after the last contact and ends at once.
  x.log.dbs.handle.current_recno = x.log.dbs.handle.record_count;

  using Row = osp::wintest::ProbeRow;
  const Row rows[] = {
      {"DBS_Xread", kPassEnded, 1, {p(&x.log)}},
      {"QSL_Send", 11, 3, {p(&x.log), 0, 'Y'}},
      {"QSL_Rcv", 10, 3, {p(&x.log), 99, 'Y'}},
      {"StrToLong", 77, 1, {p("77")}},
      {"FreqPCheck", 2, 1, {p("7.0")}},
      {"Wget_bit", kAny, 2, {p(buffer), p(master)}},
      {"Wput_bit", kAny, 2, {p(&scratch), p("C              ")}},
      {"WkdCfmCheck", 11, 5, {0, p(&x.log), p(&recno), p(""), 'N'}},
      {"DateComp", -1, 2, {p("00/01/01"), p("00/01/02")}},
      {"isExPrefix", 1, 2, {p("QA1"), p("QA1ABC")}},
      {"User_Seek", -1, 4, {0, 1, p(&closed), p("QA1AAA")}},
      {"User_Read", kAny, 3, {'C', 1, p(&closed)}},
      {"User_open", kAny, 4, {0, 1, p(&closed), p(none.c_str())}},
      {"User_close", kAny, 2, {1, p(&closed)}},
      {"T_Open", OSP_NO_FILE, 1, {p(none.c_str())}},
      {"T_Gets", -1, 3, {p(buffer), sizeof buffer, no_file}},
      {"T_GetDbs", -1, 3, {p(buffer), sizeof buffer, no_file}},
      {"T_Puts", -1, 2, {p("X"), no_file}},
      {"JStrStr", 1, 2, {p("ABC"), p("BC")}},
      {"Text_QFRappend", 0, 2, {p(&x.log), p(line.c_str())}},
  };
  osp::wintest::check_probe_rows(x.dll, kServiceNames, rows, c);
}

// The log and index exports the other programs leave alone, each called
// once on the open log (the index calls on its call-sign index), the file
// calls on files that are not there; the zap, which empties the log, last.
#define OSP_REST_EXPORTS(X)                                                                  \
  X(ChosonCheck) X(OSP_read) X(OSP_update) X(OSP_btm) X(OSP_idxrmv) X(OSP_flush)             \
  X(idx_search) X(idx_next) X(idx_back) X(idx_top) X(idx_bottom) X(idx_open) X(idx_close)    \
  X(idx_open_readonly) X(dbf_open_readonly) X(MakeIndex) X(Get_lupdate) X(DB_append)         \
  X(CopyFromMAS) X(OSP_zap)
#define OSP_API_NAME(name) #name,
const char* const kRestNames[] = {OSP_REST_EXPORTS(OSP_API_NAME)};
#undef OSP_API_NAME

void check_other_log_exports(Context& x, Checker& c) {
  auto p = [](const void* q) { return reinterpret_cast<uintptr_t>(q); };
  constexpr int32_t kAny = osp::wintest::kAnyResult;
  constexpr int32_t kRead = 3;  // the record and its view
  WCHECK_EQ(c, 0, x.api.OSP_read(&x.log, 1, kRead));
  static LogHandle before;  // the record as read, for the update's comparison
  before = x.log;
  int32_t no_question = 0;
  IdxHandle idle{};
  idle.file = OSP_NO_FILE;
  IdxHandle scratch{};
  DbfHandle scratch_dbf{};
  IdxHandle* calls = &x.log.index_slot[0];
  const std::string missing = x.dir.file("NONE.DBS");
  const std::string made = x.dir.file("NONE.NDX");
  const uint8_t header[32] = {0x03, 26, 3, 14};
  const int32_t count = x.log.dbs.handle.record_count;

  using Row = osp::wintest::ProbeRow;
  const Row rows[] = {
      {"ChosonCheck", kAny, 1, {p("1001  ")}},
      {"OSP_read", 0, 3, {p(&x.log), 1, kRead}},
      {"OSP_update", 0, 5, {p(&x.log), p(&before), 1, kByCall, p(&no_question)}},
      {"OSP_btm", 0, 2, {p(&x.log), kRecordOrder}},
      {"OSP_idxrmv", 12, 4, {p(&x.log), 99, kByCall, p("ZZZZZZ")}},
      {"OSP_flush", 0, 1, {p(&x.log)}},
      {"idx_search", 3, 3, {p(calls), p("QA2BBB"), 0}},
      {"idx_next", 1, 1, {p(calls)}},
      {"idx_back", 3, 1, {p(calls)}},
      {"idx_top", 2, 1, {p(calls)}},
      {"idx_bottom", 1, 1, {p(calls)}},
      {"idx_open", OSP_CANNOT_OPEN, 2, {p(missing.c_str()), p(&scratch)}},
      {"idx_close", 0, 1, {p(&idle)}},
      {"idx_open_readonly", OSP_CANNOT_OPEN, 2, {p(missing.c_str()), p(&scratch)}},
      {"dbf_open_readonly", OSP_CANNOT_OPEN, 2, {p(missing.c_str()), p(&scratch_dbf)}},
      {"MakeIndex", kAny, 3, {p(missing.c_str()), p("CALLS"), p(made.c_str())}},
      {"Get_lupdate", kAny, 1, {p(header)}},
      {"DB_append", 0, 1, {p(&x.log)}},
      {"CopyFromMAS", kAny, 1, {p(&x.log)}},
      {"OSP_zap", kAny, 1, {p(&x.log)}},
  };
  osp::wintest::check_probe_rows(x.dll, kRestNames, rows, c);
  WCHECK(c, count > 0);
  WCHECK_EQ(c, 0, x.log.dbs.handle.record_count);
}

void check_close(Context& x, Checker& c) {
  x.api.OspreyClose(&x.log, kFullOpen);
  WCHECK(c, x.log.dbs.handle.file <= 0);
}

// A log opened for reading only has nothing to write back: its flush
// succeeds without a box.
void check_read_only_flush(Context& x, Checker& c) {
  constexpr int32_t kReadOnlyOpen = OSP_OPEN_READ_ONLY;  // the master file and indexes too
  WCHECK_EQ(c, 0, x.api.OspreyOpen(nullptr, &x.log, x.base.c_str(), 0, kReadOnlyOpen));
  WCHECK(c, x.log.mst.handle.file > 0);
  const int boxes = x.boxes;
  WCHECK_EQ(c, 0, x.api.OSP_flush(&x.log));
  WCHECK_EQ(c, boxes, x.boxes);
  x.api.OspreyClose(&x.log, 0);
  WCHECK(c, x.log.dbs.handle.file <= 0);
}

const Check<Context> kChecks[] = {
    {"numbers, bands and band strings", check_numbers_and_bands},
    {"dates, prefixes and Shift-JIS search", check_dates_prefixes_and_search},
    {"lines read and written", check_line_reading_and_writing},
    {"a user text file looked up and walked", check_user_text_file},
    {"a log opened from its master file takes three contacts", check_open_and_append},
    {"the sequential pass reads every contact once", check_sequential_pass},
    {"QSL marks are written and reported", check_qsl_marks},
    {"a contact line becomes the last contact", check_contact_line},
    {"the worked and confirmed walk raises the master file", check_worked_confirmed},
    {"sorts and print formats over the same log", check_sorts_and_prints},
    {"service exports are plain standard-call names", check_calling_convention},
    {"the other log and index exports are plain standard-call names", check_other_log_exports},
    {"the log closes", check_close},
    {"a log opened for reading only flushes", check_read_only_flush},
};

bool bind(Context& x) {
  bool ok = true;
#define OSP_BIND(name) ok = osp::wintest::bind_export(x.dll, #name, &x.api.name) && ok;
  OSP_SERVICE_EXPORTS(OSP_BIND)
  OSP_SORT_PRINT_EXPORTS(OSP_BIND)
  OSP_HELPER_EXPORTS(OSP_BIND)
#undef OSP_BIND
  return ok;
}

void set_up(Context& x) {
  x.hooks.message_box = answer_yes;
  x.hooks.local_time = fixed_clock;
  x.hooks.ctx = &x;
}

}  // namespace

int main(int argc, char** argv) {
  Context x;
  return osp::wintest::run_log_program(argc, argv, x, bind, set_up, kChecks);
}
