// Helpers shared by the tests of the cursor and the writes: small logs made
// of chosen contacts and master entries, and a log opened for one test.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "osprey32.h"
#include "support/contact_file_builder.h"
#include "support/log_walk.h"
#include "support/master_file_builder.h"

namespace osp::test {

// A plain contact with the given call sign, code and remarks.
inline TestContact contact(const std::string& call, const std::string& code = "1001",
                           std::array<std::string, 3> remarks = {}) {
  TestContact c;
  c.callsign = call;
  c.code = code;
  c.grid = "PM95";
  c.name = "TARO";
  c.remarks = remarks;
  return c;
}

inline MasterEntry master(const std::string& code, const std::string& name, char flg = '1',
                          char hed = 'A', const std::string& eria = "01") {
  MasterEntry e;
  e.code = code;
  e.name = name;
  e.flg = flg;
  e.hed = hed;
  e.eria = eria;
  return e;
}

inline std::vector<MasterEntry> plain_masters() {
  return {master("1001", "CHIYODA", '2', 'B', "10"), master("100101", "KOJIMACHI", '1', 'C', "20"),
          master("1002", "CHUO", '3', 'A', "05"), master("2501", "NAGOYA", '1', 'A', "30")};
}

// Writes base.dbs, base.dbr and base.mst. Returns the contacts' OFS values.
inline std::vector<uint32_t> write_log(const std::string& base,
                                       const std::vector<TestContact>& contacts,
                                       const std::vector<MasterEntry>& masters = plain_masters()) {
  ContactFileBuilder b;
  std::vector<uint32_t> ofs;
  for (const TestContact& c : contacts) ofs.push_back(b.add(c));
  b.write_log(base);
  write_master_file(base + ".mst", masters);
  return ofs;
}

// A LogHandle opened fully (flags 5) on base for the scope, closed at its end.
struct OpenedLog {
  LogHandle log{};
  int32_t status = -1;
  explicit OpenedLog(const std::string& base, int32_t flags = 5) {
    status = OspreyOpen(nullptr, &log, base.c_str(), 0, flags);
  }
  ~OpenedLog() {
    if (log.dbs.handle.file > 0) OspreyClose(&log, 5);
  }
  OpenedLog(const OpenedLog&) = delete;
  OpenedLog& operator=(const OpenedLog&) = delete;
  LogHandle* operator->() { return &log; }
  LogHandle* get() { return &log; }
  int32_t reopen(int32_t flags = 5) {
    OspreyClose(&log, 5);
    return status = OspreyOpen(nullptr, &log, nullptr, 0, flags);
  }
};

// A view field as a string, up to its NUL.
template <size_t N>
std::string text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// Fills a view field with text, padded with blanks to its width.
template <size_t N>
void set_field(char (&field)[N], const std::string& value) {
  const std::string p = padded(value, N - 1);
  std::memcpy(field, p.data(), N - 1);
  field[N - 1] = '\0';
}

// The record numbers of slot's entries in index order.
inline std::vector<int32_t> recnos(LogHandle* log, int slot) {
  std::vector<int32_t> out;
  for (const SlotEntry& e : slot_entries(log, slot)) out.push_back(e.recno);
  return out;
}

}  // namespace osp::test
