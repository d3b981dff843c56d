// Builds contact files (".dbs") and their remarks files (".dbr") from
// contacts described as a user sees them. The stored bytes are encoded here
// on their own, without the library's packing code, so that tests can hold
// the library's unpacking against them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "osprey32.h"
#include "support/log_file_builder.h"

namespace osp::test {

// One contact. Texts are Shift-JIS and are cut or padded with blanks to
// their widths. The frequency is the 7-character text the library shows:
// places 4 and 5 blank for the short text form ("1.9    ", "1200   "),
// otherwise a decimal text without leading zeros or inner blanks ("7.050  ",
// "144.50 ", "1295.0 ").
struct TestContact {
  std::string callsign;  // 7: CALLS and IGN
  std::string portable;  // 3
  std::string code;      // 6
  std::string grid;      // 6
  std::string frequency = "7.050  ";
  std::string mode = "CW ";
  std::string name;              // 12
  std::string qsl = "   ";       // route, sent and received marks
  int year = 2003, month = 5, day = 7;  // 1952-2051
  int hour = 21, minute = 5;
  bool utc = false;
  int his_rs = 59;
  char his_t = '9';
  int my_rs = 59;
  char my_t = '9';
  std::array<std::string, 3> remarks;  // 28, 54, 54 bytes at most
  bool deleted = false;
};

// The contact file's fields.
const std::vector<FieldDef>& contact_fields();

// The 57 data bytes of c's record with the remark offset ofs.
std::vector<uint8_t> contact_data(const TestContact& c, uint32_t ofs);

// c's remark block as stored (three lengths, then the texts without their
// trailing blanks); empty when c has no remark text.
std::vector<uint8_t> remark_block_of(const TestContact& c);

// The view the library shows for c when it unpacks with separators and
// remarks.
ContactView expected_view(const TestContact& c);

// Empty when the two views are equal byte for byte; else names the first
// field that differs, with both texts.
std::string view_difference(const ContactView& got, const ContactView& want);

// The remarks file's 256-byte header with the given count and date.
std::vector<uint8_t> remarks_header(int32_t count, const std::array<uint8_t, 3>& date);

class ContactFileBuilder {
 public:
  ContactFileBuilder();

  // Appends c; its remark block, if it has one, goes to the end of the
  // remarks file. Returns the contact's OFS (0 without remarks).
  uint32_t add(const TestContact& c);
  // Appends c with OFS set to ofs as given; no block is written (for
  // dangling or damaged links).
  void add_linked(const TestContact& c, uint32_t ofs);
  // Appends bytes to the remarks file (a damaged block, say) and returns
  // their offset.
  uint32_t add_remark_bytes(const std::vector<uint8_t>& bytes);

  int count() const { return table_.count(); }
  // The contact file's header fields may be changed through the table.
  TableBuilder& table() { return table_; }

  // The remarks file header's count; by default the number of contacts.
  std::optional<int32_t> remarks_count;
  std::array<uint8_t, 3> remarks_date{26, 3, 7};

  std::vector<uint8_t> dbs_bytes() const { return table_.bytes(); }
  std::vector<uint8_t> dbr_bytes() const;
  void write(const std::string& dbs_path, const std::string& dbr_path) const;
  // Writes base.dbs and base.dbr.
  void write_log(const std::string& base) const;

 private:
  TableBuilder table_;
  std::vector<uint8_t> remarks_;  // the blocks after the header
};

}  // namespace osp::test
