// Loads OSPREY32.DLL with LoadLibraryA and GetProcAddress and drives the log
// exports against real Win32 files in a temporary directory: a log made from
// nothing but its master file, contacts appended through the view, seeks and
// walks in index and record order, the profile of file times written at the
// close, and a reopen that finds the indexes current.
//
//   osprey_log_test [path of the DLL]     (default: OSPREY32.DLL beside it)
//
// Prints one line per check and "N passed, N failed"; exits non-zero when a
// check fails or the DLL cannot be loaded. The checks run in order on one log.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "contact_log.h"
#include "osprey32.h"
#include "stdcall_probe.h"

namespace {

using osp::wintest::Check;
using osp::wintest::Checker;
using osp::wintest::file_size;
using osp::wintest::TempDir;
using osp::wintest::write_file;
using osp::wintest::Entry;
using osp::wintest::MasterRow;
using osp::wintest::fill_view;
using osp::wintest::master_file;
using osp::wintest::padded;
using osp::wintest::set_field;
using osp::wintest::text;
using osp::wintest::trimmed;
using Bytes = std::vector<uint8_t>;

#define OSP_LOG_EXPORTS(X)                                                                  \
  X(OspSetHooks) X(OspreyOpen) X(OspreyClose) X(OSP_append) X(OSP_seek) X(OSP_top)         \
  X(OSP_skip) X(Idx_ReadKey) X(DupIndexRead)

struct Api {
#define OSP_API_MEMBER(name) decltype(&::name) name = nullptr;
  OSP_LOG_EXPORTS(OSP_API_MEMBER)
#undef OSP_API_MEMBER
};

#define OSP_API_NAME(name) #name,
const char* const kExportNames[] = {OSP_LOG_EXPORTS(OSP_API_NAME)};
#undef OSP_API_NAME

constexpr int32_t kFullOpen = 5;  // master file, indexes, viewer, file times
constexpr int32_t kByCall = 16;
constexpr int32_t kRecordOrder = 24;
constexpr int32_t kEndOfOrder = 12;
constexpr int32_t kPastLastRecord = 10;
constexpr int32_t kYes = IDYES;
constexpr uint32_t kQuestionStyle = MB_YESNO | MB_ICONQUESTION;

// Record n is kEntries[n - 1]; QA1AAA is worked twice.
const Entry kEntries[] = {
    {"QA3CCC ", "26/03/14", "10:20J", "7.025  ", "CW ", "1001  ", "FIRST", ""},
    {"QA1AAA ", "26/03/14", "10:25J", "14.050 ", "CW ", "1002  ", "SECOND", "TWO PARTS"},
    {"QA2BBB ", "26/03/15", "01:00U", "1.9    ", "SSB", "100101", "", ""},
    {"QA1AAA ", "26/03/16", "22:05J", "144.50 ", "FM ", "1001  ", "AGAIN", ""},
};
constexpr int kEntryCount = static_cast<int>(std::size(kEntries));

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
  OspLocalTime clock{2026, 3, 14, 10, 20, 30};
  int dc = 0;  // stands for the caller's device context
  int boxes = 0;
  std::vector<std::string> box_texts;
  std::vector<uint32_t> box_styles;
  std::vector<std::string> progress;  // non-blank texts of the second progress line
  bool foreign_dc = false;
  LogHandle log{};
};

// Every box is counted and answered Yes (or OK for an OK box).
int32_t answer_yes(void* ctx, int32_t, const char* text, const char*, uint32_t style) {
  auto* x = static_cast<Context*>(ctx);
  ++x->boxes;
  x->box_texts.push_back(text != nullptr ? text : "");
  x->box_styles.push_back(style);
  return (style & 0x0F) == MB_OK ? IDOK : kYes;
}

void record_text(void* ctx, void* dc, int32_t, int32_t y, const char* text, int32_t length) {
  auto* x = static_cast<Context*>(ctx);
  if (dc != &x->dc) x->foreign_dc = true;
  const std::string t(text != nullptr ? text : "", text != nullptr ? static_cast<size_t>(length) : 0);
  if (y == 160 && t.find_first_not_of(' ') != std::string::npos) x->progress.push_back(t);
}

void fixed_clock(void* ctx, OspLocalTime* now) { *now = static_cast<Context*>(ctx)->clock; }

// The view shows entry e: every field the caller filled comes back.
void expect_view(Checker& c, const ContactView& v, const Entry& e, int line) {
  auto same = [&](const std::string& got, const std::string& want, const char* what) {
    if (got != want)
      c.fail(__FILE__, line, std::string(what) + " is [" + got + "], expected [" + want + "]");
  };
  same(text(v.callsign), e.call, "callsign");
  same(text(v.date), e.date, "date");
  same(text(v.time), e.time, "time");
  same(text(v.his_report), "599", "his report");
  same(text(v.my_report), "579", "my report");
  same(trimmed(text(v.frequency)), trimmed(e.frequency), "frequency");
  same(text(v.mode), e.mode, "mode");
  same(text(v.code), e.code, "code");
  same(trimmed(text(v.grid)), "PM95", "grid");
  same(trimmed(text(v.name)), "TARO", "name");
  same(trimmed(text(v.remark1)), e.remark1, "remark 1");
  same(trimmed(text(v.remark2)), e.remark2, "remark 2");
  same(trimmed(text(v.remark3)), "", "remark 3");
}

bool file_exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ---- checks ----

void check_handle_sizes(Context&, Checker& c) {
  WCHECK_EQ(c, 2946, sizeof(LogHandle));
  WCHECK_EQ(c, 218, sizeof(ContactView));
}

// With only the master file there, the open asks once to create the contact
// file, makes it and the remarks file, and builds the five indexes, showing
// each one's path as it goes.
void check_open_from_master_file(Context& x, Checker& c) {
  WCHECK(c, write_file(x.base + ".mst", master_file(kMasters)));
  WCHECK_EQ(c, 0, x.api.OspreyOpen(&x.dc, &x.log, x.base.c_str(), 0, kFullOpen));
  WCHECK_EQ(c, 1, x.boxes);
  if (x.boxes == 1) {
    WCHECK(c, x.box_texts[0].rfind(x.base + ".dbs", 0) == 0);
    WCHECK_EQ(c, kQuestionStyle, x.box_styles[0]);
  }
  const std::vector<std::string> built = {x.base + ".dx0", x.base + ".dx1", x.base + ".dx2",
                                          x.base + ".dx3", x.base + ".dx4"};
  WCHECK(c, x.progress == built);
  WCHECK(c, !x.foreign_dc);
  for (const char* ext : {".dbs", ".dbr", ".dx0", ".dx1", ".dx2", ".dx3", ".dx4"})
    if (!file_exists(x.base + ext)) c.fail(__FILE__, __LINE__, std::string("no ") + ext + " file");
  WCHECK(c, x.log.dbs.handle.file > 0);
  WCHECK(c, x.log.mst.handle.file > 0);
  WCHECK_EQ(c, 0, x.log.dbs.handle.record_count);
  WCHECK_EQ(c, static_cast<int>(std::size(kMasters)), x.log.mst.handle.record_count);
  for (int i = 0; i < 5; ++i) WCHECK(c, x.log.index_slot[i].file > 0);
  // An empty contact index has no first entry.
  WCHECK_EQ(c, 15, x.api.OSP_top(&x.log, kByCall));
}

void check_append(Context& x, Checker& c) {
  const int boxes = x.boxes;
  for (int n = 1; n <= kEntryCount; ++n) {
    fill_view(x.log.view, kEntries[n - 1]);
    int32_t confirm = 0;
    WCHECK_EQ(c, 0, x.api.OSP_append(&x.log, kByCall, &confirm));
    WCHECK_EQ(c, kYes, confirm);
    WCHECK_EQ(c, n, x.log.dbs.handle.record_count);
  }
  WCHECK_EQ(c, boxes, x.boxes);  // a confirm word of 0 writes without asking
}

void check_seek_and_walk(Context& x, Checker& c) {
  char key[] = "QA2BBB";
  WCHECK_EQ(c, 0, x.api.OSP_seek(&x.log, key, kByCall));
  WCHECK_EQ(c, 3, x.log.dbs.handle.current_recno);
  expect_view(c, x.log.view, kEntries[2], __LINE__);
  const char* read_key = x.api.Idx_ReadKey(&x.log, 0);
  WCHECK(c, read_key != nullptr && std::strcmp(read_key, "QA2BBB") == 0);
  char missing[] = "QA9ZZZ";
  WCHECK_EQ(c, kEndOfOrder, x.api.OSP_seek(&x.log, missing, kByCall));

  // Index order: call signs, equal ones in record order.
  std::vector<int32_t> order;
  if (x.api.OSP_top(&x.log, kByCall) == 0) {
    order.push_back(x.log.dbs.handle.current_recno);
    while (x.api.OSP_skip(&x.log, 1, kByCall) == 0) order.push_back(x.log.dbs.handle.current_recno);
  }
  WCHECK(c, order == (std::vector<int32_t>{2, 4, 3, 1}));

  // Record order, then one step past the last record.
  order.clear();
  if (x.api.OSP_top(&x.log, kRecordOrder) == 0) {
    order.push_back(x.log.dbs.handle.current_recno);
    expect_view(c, x.log.view, kEntries[0], __LINE__);
    int32_t r = 0;
    while ((r = x.api.OSP_skip(&x.log, 1, kRecordOrder)) == 0)
      order.push_back(x.log.dbs.handle.current_recno);
    WCHECK_EQ(c, kPastLastRecord, r);
  }
  WCHECK(c, order == (std::vector<int32_t>{1, 2, 3, 4}));

  std::vector<int32_t> results(1001, -1);
  WCHECK_EQ(c, 2, x.api.DupIndexRead(&x.log.index_slot[0], "QA1AAA", results.data()));
  WCHECK_EQ(c, 2, results[0]);
  WCHECK_EQ(c, 4, results[1]);
  WCHECK_EQ(c, 0, results[2]);
  WCHECK_EQ(c, 0, results[1000]);
  WCHECK_EQ(c, 1, x.api.DupIndexRead(&x.log.index_slot[0], "QA3CCC", results.data()));
  WCHECK_EQ(c, 1, results[0]);
  WCHECK_EQ(c, 0, x.api.DupIndexRead(&x.log.index_slot[0], "QA1AA", results.data()));
}

// Every export this program drives is found by its plain name only and pops
// exactly its own arguments. The calls are harmless on the open log; the two
// that are given a log they cannot use each report it in one box.
void check_calling_convention(Context& x, Checker& c) {
  LogHandle closed{};
  closed.dbs.handle.file = OSP_NO_FILE;
  std::strcpy(closed.dbs.path, "GONE.dbs");
  LogHandle never{};
  int32_t confirm = 0;
  char key[] = "QA3CCC";
  std::vector<int32_t> results(1001);
  const std::string no_master = x.dir.file("NONE");
  auto p = [](const void* q) { return reinterpret_cast<uintptr_t>(q); };
  constexpr int32_t kAny = osp::wintest::kAnyResult;

  using Row = osp::wintest::ProbeRow;
  const Row rows[] = {
      {"OspSetHooks", kAny, 1, {p(&x.hooks)}},
      {"OspreyOpen", 42, 5, {p(&x.dc), p(&never), p(no_master.c_str()), 0, kFullOpen}},
      {"OspreyClose", kAny, 2, {p(&never), kFullOpen}},
      {"OSP_append", 5, 3, {p(&closed), kByCall, p(&confirm)}},
      {"OSP_seek", 0, 3, {p(&x.log), p(key), kByCall}},
      {"OSP_top", 0, 2, {p(&x.log), kRecordOrder}},
      {"OSP_skip", 0, 3, {p(&x.log), 1, kRecordOrder}},
      {"Idx_ReadKey", kAny, 2, {p(&x.log), 0}},
      {"DupIndexRead", 1, 3, {p(&x.log.index_slot[0]), p(key), p(results.data())}},
  };

  const int boxes = x.boxes;
  osp::wintest::check_probe_rows(x.dll, kExportNames, rows, c);
  WCHECK_EQ(c, boxes + 2, x.boxes);
  WCHECK_EQ(c, 2, x.log.dbs.handle.current_recno);  // the skip after the top
}

// The close stores the file times in the profile through the system's own
// profile calls; the reopen with a null base path uses the paths kept in the
// handle, finds every index current and builds none.
void check_close_and_reopen(Context& x, Checker& c) {
  x.api.OspreyClose(&x.log, kFullOpen);
  WCHECK(c, x.log.dbs.handle.file <= 0);
  WCHECK(c, x.log.viewer == nullptr);
  const std::string profile = x.base + ".FDT";
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(profile.c_str(), &found);
  WCHECK(c, search != INVALID_HANDLE_VALUE);
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    WCHECK(c, std::strcmp(found.cFileName, "LOG.FDT") == 0);
  }
  WCHECK(c, file_size(profile) > 0);
  for (const char* name : {"DX0", "DX1", "DX2", "DX3", "DX4", "MST", "DBS"}) {
    char value[32] = {};
    GetPrivateProfileStringA("FileTime", name, "", value, sizeof value, profile.c_str());
    if (value[0] < '0' || value[0] > '9')
      c.fail(__FILE__, __LINE__, std::string("no file time for ") + name + ": [" + value + "]");
  }

  x.progress.clear();
  const int boxes = x.boxes;
  WCHECK_EQ(c, 0, x.api.OspreyOpen(&x.dc, &x.log, nullptr, 0, kFullOpen));
  WCHECK(c, x.progress.empty());
  WCHECK_EQ(c, boxes, x.boxes);
  WCHECK_EQ(c, kEntryCount, x.log.dbs.handle.record_count);
  char key[] = "QA1AAA";
  WCHECK_EQ(c, 0, x.api.OSP_seek(&x.log, key, kByCall));
  WCHECK_EQ(c, 2, x.log.dbs.handle.current_recno);
  expect_view(c, x.log.view, kEntries[1], __LINE__);
  WCHECK_EQ(c, 0, x.api.OSP_skip(&x.log, 1, kByCall));
  WCHECK_EQ(c, 4, x.log.dbs.handle.current_recno);
  expect_view(c, x.log.view, kEntries[3], __LINE__);
  x.api.OspreyClose(&x.log, kFullOpen);
  WCHECK(c, x.log.dbs.handle.file <= 0);
}

const Check<Context> kChecks[] = {
    {"LogHandle and ContactView keep their sizes", check_handle_sizes},
    {"a log with only its master file opens after one question", check_open_from_master_file},
    {"OSP_append adds contacts without asking", check_append},
    {"seeks, walks and duplicates", check_seek_and_walk},
    {"log exports are plain standard-call names", check_calling_convention},
    {"the close writes the profile and a reopen builds nothing", check_close_and_reopen},
};

bool bind(Context& x) {
  bool ok = true;
#define OSP_BIND(name) ok = osp::wintest::bind_export(x.dll, #name, &x.api.name) && ok;
  OSP_LOG_EXPORTS(OSP_BIND)
#undef OSP_BIND
  return ok;
}

void set_up(Context& x) {
  x.hooks.message_box = answer_yes;
  x.hooks.text_out = record_text;
  x.hooks.local_time = fixed_clock;
  x.hooks.ctx = &x;
}

}  // namespace

int main(int argc, char** argv) {
  Context x;
  return osp::wintest::run_log_program(argc, argv, x, bind, set_up, kChecks);
}
