// Loads OSPREY32.DLL the way the application does, with LoadLibraryA and
// GetProcAddress by plain name, and drives its exports against real Win32
// files in a temporary directory.
//
//   osprey_dll_test [path of the DLL]     (default: OSPREY32.DLL beside it)
//
// Prints one line per check and "N passed, N failed"; exits non-zero when a
// check fails or the DLL cannot be loaded.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "osprey32.h"
#include "stdcall_probe.h"

namespace {

using osp::wintest::Check;
using osp::wintest::Checker;
using osp::wintest::read_file;
using osp::wintest::TempDir;
using osp::wintest::write_file;
using Bytes = std::vector<uint8_t>;

// The exports this program drives. A new export joins by its name here and a
// row in the calling-convention table of check_calling_convention.
#define OSP_DLL_EXPORTS(X)                                                                    \
  X(OspSetHooks) X(GetOspdllVersion) X(_Qsorter) X(dbf_create) X(dbf_open) X(dbf_close)      \
  X(dbf_read) X(dbf_write) X(dbf_write2) X(dbf_delete) X(dbf_packwk) X(dbf_rsize) X(dbf_rcount) \
  X(dbf_recno)

// The DLL's entries, typed from the public header.
struct Api {
#define OSP_API_MEMBER(name) decltype(&::name) name = nullptr;
  OSP_DLL_EXPORTS(OSP_API_MEMBER)
#undef OSP_API_MEMBER
};

#define OSP_API_NAME(name) #name,
const char* const kExportNames[] = {OSP_DLL_EXPORTS(OSP_API_NAME)};
#undef OSP_API_NAME

struct Context {
  HMODULE dll = nullptr;
  Api api;
  TempDir dir;
  OspHooks hooks{};
  OspLocalTime clock{2026, 3, 14, 10, 20, 30};
  int boxes = 0;
  std::string last_box;
};

// The hooks keep the run headless and its dates fixed: a message box is
// counted (none is expected) and answered with the default button.
int32_t record_box(void* ctx, int32_t, const char* text, const char* caption, uint32_t style) {
  auto* context = static_cast<Context*>(ctx);
  ++context->boxes;
  context->last_box = std::string(caption != nullptr ? caption : "") + ": " +
                      (text != nullptr ? text : "");
  return (style & 0x0F) == MB_OK ? IDOK : IDNO;
}

void fixed_clock(void* ctx, OspLocalTime* now) { *now = static_cast<Context*>(ctx)->clock; }

constexpr int kHeaderSize = 449;
constexpr int kRecordSize = 58;
constexpr int kDataSize = kRecordSize - 1;

struct Field {
  const char* name;
  uint8_t length;
};
constexpr Field kContactFields[] = {{"CALLS", 6}, {"IGN", 1},  {"POTBL", 3}, {"CODE", 6},
                                    {"GL", 6},    {"FREQ", 4}, {"MODE", 3},  {"NAME", 12},
                                    {"QSL", 3},   {"DATE", 3}, {"TIME", 2},  {"RST", 4},
                                    {"OFS", 4}};

int32_t load_i32(const Bytes& b, size_t at) {
  if (b.size() < at + 4) return -1;
  return static_cast<int32_t>(static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
                              (static_cast<uint32_t>(b[at + 2]) << 16) |
                              (static_cast<uint32_t>(b[at + 3]) << 24));
}
int32_t load_i16(const Bytes& b, size_t at) {
  if (b.size() < at + 2) return -1;
  return static_cast<int16_t>(b[at] | (b[at + 1] << 8));
}
void store_i32(Bytes& b, size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}

// The data bytes of test record n: its number, then a pattern.
Bytes record_data(int n) {
  Bytes d(kDataSize);
  char head[8];
  std::snprintf(head, sizeof head, "R%05d", n);
  std::memcpy(d.data(), head, 6);
  for (int i = 6; i < kDataSize; ++i) d[i] = static_cast<uint8_t>('A' + (n + i) % 26);
  return d;
}

// Record n (mark and data) as it stands in the file bytes; empty when absent.
Bytes stored_record(const Bytes& file, int n) {
  const size_t at = kHeaderSize + static_cast<size_t>(n - 1) * kRecordSize;
  if (file.size() < at + kRecordSize) return {};
  return Bytes(file.begin() + static_cast<ptrdiff_t>(at),
               file.begin() + static_cast<ptrdiff_t>(at + kRecordSize));
}

Bytes live(const Bytes& data) {
  Bytes r{' '};
  r.insert(r.end(), data.begin(), data.end());
  return r;
}

// A contact file made by dbf_create and filled with count test records by
// writing its bytes (the record-file exports have no append); marks gives
// each record's mark byte (" " when shorter). The header date is cleared so
// that a later write-back shows.
bool make_contact_file(Context& x, const std::string& path, int count, const char* marks = "") {
  if (x.api.dbf_create(path.c_str()) != 0) return false;
  Bytes b = read_file(path);
  if (b.size() != kHeaderSize + 1) return false;
  b.pop_back();
  const size_t marks_len = std::strlen(marks);
  for (int n = 1; n <= count; ++n) {
    b.push_back(static_cast<size_t>(n - 1) < marks_len ? static_cast<uint8_t>(marks[n - 1]) : ' ');
    const Bytes d = record_data(n);
    b.insert(b.end(), d.begin(), d.end());
  }
  b.push_back(0x1A);
  store_i32(b, 4, count);
  b[1] = b[2] = b[3] = 0;
  return write_file(path, b);
}

long long expected_size(int records) { return kHeaderSize + records * kRecordSize + 1; }

// ---- checks ----

void check_version(Context& x, Checker& c) {
  WCHECK_EQ(c, 0x00043400, x.api.GetOspdllVersion());
}

// Every export is found by its plain name only, and pops exactly its own
// arguments (the standard calling convention the header declares).
void check_calling_convention(Context& x, Checker& c) {
  DbfHandle idle{};
  idle.version = 0x1A;
  idle.header_size = kHeaderSize;
  idle.record_size = kRecordSize;
  idle.file = OSP_NO_FILE;
  DbfHandle scratch{};
  uint8_t buffer[64] = {};
  const std::string created = x.dir.file("PROBE.DBS");
  const std::string missing = x.dir.file("MISSING.DBS");
  auto p = [](const void* q) { return reinterpret_cast<uintptr_t>(q); };
  constexpr int32_t kAny = osp::wintest::kAnyResult;

  using Row = osp::wintest::ProbeRow;
  const Row rows[] = {
      {"OspSetHooks", kAny, 1, {p(&x.hooks)}},
      {"GetOspdllVersion", 0x00043400, 0, {}},
      {"_Qsorter", kAny, 3, {p(buffer), 0, 4}},
      {"dbf_create", 0, 1, {p(created.c_str())}},
      {"dbf_open", OSP_CANNOT_OPEN, 2, {p(missing.c_str()), p(&scratch)}},
      {"dbf_close", -2, 1, {p(&idle)}},
      {"dbf_read", OSP_RECNO_ABOVE_COUNT, 3, {p(&idle), 1, p(buffer)}},
      {"dbf_write", OSP_RECNO_ABOVE_COUNT, 3, {p(&idle), 1, p(buffer)}},
      {"dbf_write2", OSP_RECNO_ABOVE_COUNT, 5, {p(&idle), 1, p(buffer), 0, 1}},
      {"dbf_delete", OSP_RECNO_ABOVE_COUNT, 2, {p(&idle), 1}},
      {"dbf_packwk", 0, 3, {p(&idle), p(buffer), sizeof buffer}},
      {"dbf_rsize", kRecordSize, 1, {p(&idle)}},
      {"dbf_rcount", 0, 1, {p(&idle)}},
      {"dbf_recno", 0, 1, {p(&idle)}},
  };

  // The probe tells the conventions apart: the C runtime's abs, a
  // C-convention function, leaves its one argument behind.
  if (const FARPROC abs_fn = GetProcAddress(GetModuleHandleA("msvcrt.dll"), "abs")) {
    const uintptr_t minus_five = static_cast<uintptr_t>(-5);
    int32_t left = -1;
    WCHECK_EQ(c, 5, osp_stdcall_probe(reinterpret_cast<const void*>(abs_fn), 1, &minus_five, &left));
    WCHECK_EQ(c, 4, left);
  } else {
    c.fail(__FILE__, __LINE__, "msvcrt.dll has no abs");
  }

  osp::wintest::check_probe_rows(x.dll, kExportNames, rows, c);
}

void check_create(Context& x, Checker& c) {
  const std::string path = x.dir.file("NEW.DBS");
  WCHECK_EQ(c, 0, x.api.dbf_create(path.c_str()));
  const Bytes b = read_file(path);
  WCHECK_EQ(c, 450, b.size());
  if (b.size() != 450) return;
  WCHECK_EQ(c, 0x1A, b[0]);
  WCHECK_EQ(c, 26, b[1]);  // the clock hook's date, year modulo 100
  WCHECK_EQ(c, 3, b[2]);
  WCHECK_EQ(c, 14, b[3]);
  WCHECK_EQ(c, 0, load_i32(b, 4));
  WCHECK_EQ(c, kHeaderSize, load_i16(b, 8));
  WCHECK_EQ(c, kRecordSize, load_i16(b, 10));
  for (size_t i = 0; i < std::size(kContactFields); ++i) {
    const uint8_t* d = &b[32 * (i + 1)];
    char name[12] = {};
    std::memcpy(name, d, 11);
    if (std::strcmp(name, kContactFields[i].name) != 0)
      c.fail(__FILE__, __LINE__, "field " + std::to_string(i + 1) + " is named " + name);
    WCHECK_EQ(c, 'C', d[11]);
    WCHECK_EQ(c, kContactFields[i].length, d[16]);
  }
  WCHECK_EQ(c, 0x0D, b[448]);
  WCHECK_EQ(c, 0x1A, b[449]);

  // Creating over a file with records empties it.
  WCHECK(c, make_contact_file(x, path, 3));
  WCHECK_EQ(c, expected_size(3), osp::wintest::file_size(path));
  WCHECK_EQ(c, 0, x.api.dbf_create(path.c_str()));
  WCHECK_EQ(c, 450, osp::wintest::file_size(path));
}

void check_open_fills_handle(Context& x, Checker& c) {
  const std::string path = x.dir.file("OPEN.DBS");
  WCHECK_EQ(c, 0, x.api.dbf_create(path.c_str()));
  DbfHandle h{};
  h.current_recno = 99;
  h.flags = 3;
  WCHECK_EQ(c, 0, x.api.dbf_open(path.c_str(), &h));
  WCHECK(c, h.file > 0);
  WCHECK_EQ(c, 0x1A, h.version);
  WCHECK_EQ(c, 0, h.record_count);
  WCHECK_EQ(c, kHeaderSize, h.header_size);
  WCHECK_EQ(c, kRecordSize, h.record_size);
  WCHECK_EQ(c, 0, h.current_recno);
  WCHECK_EQ(c, 0, h.flags);
  WCHECK_EQ(c, kRecordSize, x.api.dbf_rsize(&h));
  WCHECK_EQ(c, 0, x.api.dbf_rcount(&h));
  Bytes data(kDataSize);
  WCHECK_EQ(c, OSP_RECNO_ABOVE_COUNT, x.api.dbf_read(&h, 1, data.data()));
  WCHECK_EQ(c, OSP_RECNO_BELOW_ONE, x.api.dbf_read(&h, 0, data.data()));
  WCHECK_EQ(c, 0, x.api.dbf_recno(&h));
  WCHECK(c, x.api.dbf_close(&h) != 0);
  WCHECK_EQ(c, OSP_NO_FILE, h.file);
  WCHECK_EQ(c, -2, x.api.dbf_close(&h));
  // Nothing was written, so the file is as created.
  WCHECK_EQ(c, 450, osp::wintest::file_size(path));
}

// Share mode 0: while a handle holds the file, a second open, a create over
// it and any other opener all fail, and the file keeps its records.
void check_second_open_fails(Context& x, Checker& c) {
  const std::string path = x.dir.file("HELD.DBS");
  WCHECK(c, make_contact_file(x, path, 2));
  DbfHandle first{};
  WCHECK_EQ(c, 0, x.api.dbf_open(path.c_str(), &first));
  DbfHandle second{};
  WCHECK_EQ(c, OSP_CANNOT_OPEN, x.api.dbf_open(path.c_str(), &second));
  WCHECK_EQ(c, OSP_NO_FILE, second.file);
  WCHECK_EQ(c, OSP_CANNOT_OPEN, x.api.dbf_create(path.c_str()));
  HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD why = GetLastError();
  WCHECK(c, other == INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  WCHECK_EQ(c, ERROR_SHARING_VIOLATION, why);
  WCHECK_EQ(c, expected_size(2), osp::wintest::file_size(path));
  WCHECK(c, x.api.dbf_close(&first) != 0);
  // Once closed, the file opens again.
  WCHECK_EQ(c, 0, x.api.dbf_open(path.c_str(), &second));
  WCHECK_EQ(c, 2, second.record_count);
  x.api.dbf_close(&second);
}

void check_records_read_and_written(Context& x, Checker& c) {
  const std::string path = x.dir.file("RW.DBS");
  WCHECK(c, make_contact_file(x, path, 10));
  DbfHandle h{};
  WCHECK_EQ(c, 0, x.api.dbf_open(path.c_str(), &h));
  WCHECK_EQ(c, 10, x.api.dbf_rcount(&h));
  Bytes got(kDataSize);
  for (int n = 1; n <= 10; ++n) {
    WCHECK_EQ(c, 0, x.api.dbf_read(&h, n, got.data()));
    if (got != record_data(n)) c.fail(__FILE__, __LINE__, "record " + std::to_string(n) + " differs");
  }
  WCHECK_EQ(c, 10, x.api.dbf_recno(&h));
  WCHECK_EQ(c, OSP_RECNO_ABOVE_COUNT, x.api.dbf_read(&h, 11, got.data()));

  const Bytes replaced = record_data(50);
  WCHECK_EQ(c, 0, x.api.dbf_write(&h, 5, replaced.data()));
  WCHECK_EQ(c, 0, x.api.dbf_write2(&h, 6, "XY", 1, 2));
  WCHECK_EQ(c, 6, x.api.dbf_recno(&h));
  WCHECK_EQ(c, 1, h.flags & 1);
  WCHECK_EQ(c, 0, x.api.dbf_read(&h, 5, got.data()));
  WCHECK(c, got == replaced);
  WCHECK(c, x.api.dbf_close(&h) != 0);

  const Bytes b = read_file(path);
  WCHECK_EQ(c, expected_size(10), b.size());
  WCHECK(c, stored_record(b, 5) == live(replaced));
  Bytes six = live(record_data(6));
  six[1] = 'X';
  six[2] = 'Y';
  WCHECK(c, stored_record(b, 6) == six);
  WCHECK(c, stored_record(b, 7) == live(record_data(7)));
  // The write-back stamped the date and left the count as it was.
  WCHECK_EQ(c, 26, b[1]);
  WCHECK_EQ(c, 3, b[2]);
  WCHECK_EQ(c, 14, b[3]);
  WCHECK_EQ(c, 10, load_i32(b, 4));
  WCHECK_EQ(c, 0x1A, b.back());
}

void check_deletion_marks_and_pack(Context& x, Checker& c) {
  const std::string path = x.dir.file("PACK.DBS");
  WCHECK(c, make_contact_file(x, path, 10));
  DbfHandle h{};
  WCHECK_EQ(c, 0, x.api.dbf_open(path.c_str(), &h));
  for (int n : {2, 3, 4, 10}) WCHECK_EQ(c, 0, x.api.dbf_delete(&h, n));
  WCHECK_EQ(c, 0, x.api.dbf_write2(&h, 2, " ", 0, 1));  // takes the mark back
  Bytes got(kDataSize);
  WCHECK_EQ(c, 0, x.api.dbf_read(&h, 3, got.data()));  // a deleted record still reads
  WCHECK(c, got == record_data(3));
  WCHECK(c, x.api.dbf_close(&h) != 0);

  Bytes b = read_file(path);
  WCHECK_EQ(c, expected_size(10), b.size());
  std::string marks;
  for (int n = 1; n <= 10; ++n) {
    const Bytes r = stored_record(b, n);
    marks += r.empty() ? '?' : static_cast<char>(r[0]);
  }
  WCHECK(c, marks == "  **     *");

  // Pack with a buffer of 4 records: 1, 2, 5, 6, 7, 8, 9 stay in order.
  WCHECK_EQ(c, 0, x.api.dbf_open(path.c_str(), &h));
  Bytes buffer(4 * kRecordSize);
  WCHECK_EQ(c, 0, x.api.dbf_packwk(&h, buffer.data(), static_cast<int32_t>(buffer.size())));
  WCHECK_EQ(c, 7, x.api.dbf_rcount(&h));
  WCHECK(c, x.api.dbf_close(&h) != 0);
  b = read_file(path);
  WCHECK_EQ(c, expected_size(7), b.size());
  WCHECK_EQ(c, 7, load_i32(b, 4));
  const int kept[] = {1, 2, 5, 6, 7, 8, 9};
  for (int slot = 1; slot <= 7; ++slot) {
    if (stored_record(b, slot) != live(record_data(kept[slot - 1])))
      c.fail(__FILE__, __LINE__, "slot " + std::to_string(slot) + " does not hold record " +
                                     std::to_string(kept[slot - 1]));
  }
  WCHECK_EQ(c, 0x1A, b.back());
}

// A pack that removes records reaches the file even when nothing else was
// written through the handle.
void check_pack_alone_reaches_file(Context& x, Checker& c) {
  const std::string path = x.dir.file("TAIL.DBS");
  WCHECK(c, make_contact_file(x, path, 10, "        **"));
  DbfHandle h{};
  WCHECK_EQ(c, 0, x.api.dbf_open(path.c_str(), &h));
  Bytes buffer(3 * kRecordSize);
  WCHECK_EQ(c, 0, x.api.dbf_packwk(&h, buffer.data(), static_cast<int32_t>(buffer.size())));
  WCHECK_EQ(c, 8, x.api.dbf_rcount(&h));
  WCHECK(c, x.api.dbf_close(&h) != 0);
  const Bytes b = read_file(path);
  WCHECK_EQ(c, expected_size(8), b.size());
  WCHECK_EQ(c, 8, load_i32(b, 4));
  WCHECK(c, stored_record(b, 8) == live(record_data(8)));
  WCHECK_EQ(c, 0x1A, b.back());
}

void check_bad_headers(Context& x, Checker& c) {
  const std::string path = x.dir.file("BAD.DBS");
  DbfHandle h{};
  WCHECK_EQ(c, OSP_CANNOT_OPEN, x.api.dbf_open(x.dir.file("NONE.DBS").c_str(), &h));
  WCHECK_EQ(c, OSP_NO_FILE, h.file);

  WCHECK(c, make_contact_file(x, path, 1));
  Bytes b = read_file(path);
  b[0] = 0x83;
  WCHECK(c, write_file(path, b));
  WCHECK_EQ(c, OSP_BAD_DATA_STRUCTURE, x.api.dbf_open(path.c_str(), &h));
  WCHECK_EQ(c, OSP_NO_FILE, h.file);

  b[0] = 0x03;  // a plain dBASE III table opens
  WCHECK(c, write_file(path, b));
  WCHECK_EQ(c, 0, x.api.dbf_open(path.c_str(), &h));
  x.api.dbf_close(&h);

  b[10] = b[11] = 0;  // record size 0
  WCHECK(c, write_file(path, b));
  WCHECK_EQ(c, OSP_BAD_DATA_STRUCTURE, x.api.dbf_open(path.c_str(), &h));
  WCHECK_EQ(c, OSP_NO_FILE, h.file);

  WCHECK(c, write_file(path, Bytes{0x1A, 26, 3, 14, 0}));  // a header cut short
  WCHECK_EQ(c, OSP_DATA_READ_ERROR, x.api.dbf_open(path.c_str(), &h));
  WCHECK_EQ(c, OSP_NO_FILE, h.file);
  // A failed open leaves the file free for the next opener.
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  WCHECK(c, f != INVALID_HANDLE_VALUE);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}

void check_qsorter(Context& x, Checker& c) {
  char records[] = "CAB\xB0" "AAABCAAA";
  x.api._Qsorter(records, 4, 3);
  WCHECK(c, std::memcmp(records, "AAAABCCAB\xB0" "AA", 12) == 0);
  x.api._Qsorter(records, 4, 0x10003);
  WCHECK(c, std::memcmp(records, "\xB0" "AACABABCAAA", 12) == 0);
}

void check_no_message_box(Context& x, Checker& c) {
  WCHECK_EQ(c, 0, x.boxes);
  if (x.boxes != 0) c.fail(__FILE__, __LINE__, "last box: " + x.last_box);
}

const Check<Context> kChecks[] = {
    {"version", check_version},
    {"exports are plain standard-call names", check_calling_convention},
    {"dbf_create writes the contact-file header", check_create},
    {"dbf_open fills the handle", check_open_fills_handle},
    {"a second open of an open file fails with 5", check_second_open_fails},
    {"records are read and written", check_records_read_and_written},
    {"deletion marks and pack", check_deletion_marks_and_pack},
    {"a pack alone reaches the file", check_pack_alone_reaches_file},
    {"bad headers are refused", check_bad_headers},
    {"_Qsorter sorts both ways", check_qsorter},
    {"no message box was shown", check_no_message_box},
};

// Binds every export by plain name; false (after saying which) when one is
// missing.
bool bind(Context& x) {
  bool ok = true;
#define OSP_BIND(name) ok = osp::wintest::bind_export(x.dll, #name, &x.api.name) && ok;
  OSP_DLL_EXPORTS(OSP_BIND)
#undef OSP_BIND
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const char* dll_path = argc > 1 ? argv[1] : "OSPREY32.DLL";
  Context x;
  x.dll = LoadLibraryA(dll_path);
  if (x.dll == nullptr) {
    std::printf("cannot load %s (error %lu)\n0 passed, 1 failed\n", dll_path, GetLastError());
    return 1;
  }
  char loaded[MAX_PATH] = {};
  GetModuleFileNameA(x.dll, loaded, MAX_PATH);
  std::printf("loaded %s\n", loaded);
  if (!x.dir.ok()) {
    std::printf("cannot make a temporary directory\n0 passed, 1 failed\n");
    return 1;
  }
  if (!bind(x)) {
    std::printf("0 passed, 1 failed\n");
    return 1;
  }
  x.hooks.message_box = record_box;
  x.hooks.local_time = fixed_clock;
  x.hooks.ctx = &x;
  x.api.OspSetHooks(&x.hooks);

  const int failed = osp::wintest::run_checks(kChecks, x);
  x.api.OspSetHooks(nullptr);
  return failed == 0 ? 0 : 1;
}
