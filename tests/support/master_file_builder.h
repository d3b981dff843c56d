// Builds master files (".mst"), which the library reads and updates but
// never creates. Fields CODE 6, NAME 28, FLG 1, HED 1, ERIA 2, CFM 2, WKD 2,
// RSV 6 (all character fields): record size 49, the data offsets the
// library expects (CODE 0, name 6, FLG 34, HED and ERIA 35-37, confirmed
// mask 38, worked mask 40).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/log_file_builder.h"

namespace osp::test {

struct MasterEntry {
  std::string code;  // padded to 6
  std::string name;  // Shift-JIS, padded to 28
  char flg = ' ';
  char hed = ' ';
  std::string eria = "  ";
  uint16_t confirmed = 0;
  uint16_t worked = 0;
  std::string reserved;  // padded to 6
  bool deleted = false;
};

// The master file's fields.
const std::vector<FieldDef>& master_fields();

// The 48 data bytes of an entry (the record without its mark).
std::vector<uint8_t> master_data(const MasterEntry& e);

// A table of the entries, in their order; header fields may be changed
// before writing.
TableBuilder master_table(const std::vector<MasterEntry>& entries);

// Writes a master file of the entries to path.
void write_master_file(const std::string& path, const std::vector<MasterEntry>& entries);

}  // namespace osp::test
