// Log files for the Windows test programs: the master file the log opens
// from, and contacts as the caller types them into the view.
#pragma once

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "check.h"
#include "osprey32.h"

namespace osp::wintest {

using Bytes = std::vector<uint8_t>;

// A contact as the caller types it into the view.
struct Entry {
  const char* call;  // 7 characters: call sign and its ignored place
  const char* date;  // "YY/MM/DD"
  const char* time;  // "HH:MM" and J (Japan Standard Time) or U (UTC)
  const char* frequency;
  const char* mode;
  const char* code;
  const char* remark1;
  const char* remark2;
};

struct MasterRow {
  const char* code;
  const char* name;
  char flg, hed;
  const char* eria;
};

inline std::string padded(const std::string& text, size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
}

// A master file (a dBASE III table of CODE C6, NAME C28, FLG C1, HED C1,
// ERIA C2, CFM C2, WKD C2, RSV C6) with the rows, as raw bytes.
template <size_t N>
Bytes master_file(const MasterRow (&rows)[N]) {
  struct Field {
    const char* name;
    uint8_t width;
  };
  const Field fields[] = {{"CODE", 6}, {"NAME", 28}, {"FLG", 1}, {"HED", 1},
                          {"ERIA", 2}, {"CFM", 2},   {"WKD", 2}, {"RSV", 6}};
  const size_t header = 32 + 32 * std::size(fields) + 1;
  Bytes b(header, 0);
  b[0] = 0x03;
  b[1] = 26;
  b[2] = 3;
  b[3] = 1;
  b[4] = static_cast<uint8_t>(N);
  b[8] = static_cast<uint8_t>(header);
  b[9] = static_cast<uint8_t>(header >> 8);
  b[10] = 49;
  size_t at = 32;
  for (const Field& f : fields) {
    std::memcpy(&b[at], f.name, std::strlen(f.name));
    b[at + 11] = 'C';
    b[at + 16] = f.width;
    at += 32;
  }
  b[at] = 0x0D;
  for (const MasterRow& m : rows) {
    const std::string r = std::string(" ") + padded(m.code, 6) + padded(m.name, 28) + m.flg +
                          m.hed + padded(m.eria, 2) + std::string(4, '\0') + padded("", 6);
    b.insert(b.end(), r.begin(), r.end());
  }
  b.push_back(0x1A);
  return b;
}

template <size_t N>
void set_field(char (&field)[N], const char* value) {
  const std::string p = padded(value, N - 1);
  std::memcpy(field, p.data(), N - 1);
  field[N - 1] = '\0';
}

template <size_t N>
std::string text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// Remark texts come back without their trailing blanks.
inline std::string trimmed(const std::string& s) {
  const size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

inline void fill_view(ContactView& v, const Entry& e) {
  v = ContactView{};
  set_field(v.callsign, e.call);
  set_field(v.portable, "");
  set_field(v.date, e.date);
  set_field(v.time, e.time);
  set_field(v.his_report, "599");
  set_field(v.my_report, "579");
  set_field(v.frequency, e.frequency);
  set_field(v.mode, e.mode);
  set_field(v.code, e.code);
  set_field(v.grid, "PM95");
  set_field(v.qsl, "J  ");
  set_field(v.name, "TARO");
  set_field(v.remark1, e.remark1);
  set_field(v.remark2, e.remark2);
  set_field(v.remark3, "");
}

// The main of a program that drives a log through the DLL: loads the DLL
// named by the first argument (OSPREY32.DLL beside the program by default),
// binds the exports with bind, sets the base path and the hooks with setup,
// runs the checks and closes the log that a check left open. Returns the exit
// status: 0 when every check passed.
template <typename Context, size_t N>
int run_log_program(int argc, char** argv, Context& x, bool (*bind)(Context&),
                    void (*setup)(Context&), const Check<Context> (&checks)[N]) {
  const char* dll_path = argc > 1 ? argv[1] : "OSPREY32.DLL";
  x.dll = LoadLibraryA(dll_path);
  if (x.dll == nullptr) {
    std::printf("cannot load %s (error %lu)\n0 passed, 1 failed\n", dll_path, GetLastError());
    return 1;
  }
  if (!x.dir.ok()) {
    std::printf("cannot make a temporary directory\n0 passed, 1 failed\n");
    return 1;
  }
  if (!bind(x)) {
    std::printf("0 passed, 1 failed\n");
    return 1;
  }
  x.base = x.dir.file("LOG");
  setup(x);
  x.api.OspSetHooks(&x.hooks);
  const int failed = run_checks(checks, x);
  // A check that stopped half-way must not leave the files held.
  if (x.log.dbs.handle.file > 0 || x.log.viewer != nullptr) x.api.OspreyClose(&x.log, 4);
  x.api.OspSetHooks(nullptr);
  return failed == 0 ? 0 : 1;
}

}  // namespace osp::wintest
