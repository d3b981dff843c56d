// A record file as its bytes show it: the header's first 32 bytes (the date
// of the last update, the record count, the header and record sizes), the
// 32-byte field descriptors behind them up to a 0x0D, then the records (a
// deletion mark and the fields) and a 0x1A end-of-file mark. The contact,
// remarks and master files and the record files an index is built over are
// all laid out so. Read from the bytes alone, without the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace osprey_tool {

// Header offsets.
inline constexpr size_t kDbfDate = 1;         // 3 bytes: year % 100, month, day
inline constexpr size_t kDbfRecordCount = 4;  // u32
inline constexpr size_t kDbfHeaderSize = 8;   // i16, the offset of record 1
inline constexpr size_t kDbfRecordSize = 10;  // i16, the deletion mark included
inline constexpr size_t kDbfFixedHeader = 32;  // then the descriptors

// Descriptor offsets.
inline constexpr size_t kDbfDescriptorSize = 32;
inline constexpr size_t kDbfFieldName = 0;  // up to 11 bytes, NUL-padded
inline constexpr size_t kDbfFieldNameBytes = 11;
inline constexpr size_t kDbfFieldType = 11;
inline constexpr size_t kDbfFieldLength = 16;
inline constexpr size_t kDbfFieldDecimals = 17;

inline constexpr uint8_t kDbfDescriptorEnd = 0x0D;
inline constexpr uint8_t kDbfEndOfFile = 0x1A;

struct RecordFileHeader {
  uint8_t date[3] = {};  // year % 100, month, day
  int32_t record_count = 0;
  int32_t header_size = 0;
  int32_t record_size = 0;
};

// The header's fields from the start of a record file; false when bytes ends
// before the record size.
bool read_record_header(std::span<const uint8_t> bytes, RecordFileHeader* out);

// The header fields the library reports through an open DbfHandle.
struct HeaderFacts {
  int32_t record_count = 0;
  int32_t header_size = 0;
  int32_t record_size = 0;
};

struct FieldDescriptor {
  std::string name;   // read_layout: printable (bytes outside printable ASCII as
                      // \xNN); read_field_descriptor: as stored
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

// The descriptor at d (kDbfDescriptorSize bytes) of a field that starts at
// offset within its record; the name as stored, up to its first NUL.
FieldDescriptor read_field_descriptor(const uint8_t* d, int offset);

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
