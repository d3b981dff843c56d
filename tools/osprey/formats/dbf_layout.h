// A record file's layout as its bytes show it: the field descriptors behind
// the first 32 header bytes, and whether the file's size agrees with what the
// header declares (header size + record count x record size, then the 0x1A
// end-of-file mark).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace osprey_tool {

// The header fields the library reports through an open DbfHandle.
struct HeaderFacts {
  int32_t record_count = 0;
  int32_t header_size = 0;
  int32_t record_size = 0;
};

struct FieldDescriptor {
  std::string name;   // printable (bytes outside printable ASCII as \xNN)
  uint8_t type = 0;   // descriptor byte 11
  int length = 0;     // descriptor byte 16
  int decimals = 0;   // descriptor byte 17
  int offset = 0;     // first byte within the record (byte 0 is the mark)
};

struct RecordFileLayout {
  int64_t file_size = 0;
  std::vector<FieldDescriptor> fields;
  // Header bytes between the 0x0D that ends the descriptors and record 1.
  int64_t header_slack = 0;
  // header + count x record size, and that plus the end-of-file mark.
  int64_t records_end = 0;
  bool end_mark_present = false;
  // Disagreements, one sentence each; empty when the file is consistent.
  std::vector<std::string> problems;
};

// Reads the header bytes and the size of the file at path and checks them
// against facts. Returns false, with a sentence in *error, when the file's
// bytes cannot be read at all; a short or malformed file is not an error here
// but yields problems.
bool read_layout(const std::string& path, const HeaderFacts& facts, RecordFileLayout* out,
                 std::string* error);

// True when the descriptors are those of a contact file (13 fields from CALLS
// to OFS with the contact record's lengths).
bool is_contact_layout(const std::vector<FieldDescriptor>& fields);

}  // namespace osprey_tool
