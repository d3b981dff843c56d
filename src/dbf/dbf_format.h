// The record file layout: a 32-byte header, one 32-byte descriptor per field,
// the 0x0D that ends the descriptors, then the records (each a deletion mark
// and the fields' bytes), then the 0x1A end mark. Little-endian throughout.
// Shared by the record file, its creation, the field descriptors' reader and
// the log's sorted copy.
#pragma once

#include <cstdint>

#include "frame/bytes.h"

namespace osp::dbf {

// Header offsets.
inline constexpr int kHdrVersion = 0;      // u8: kVersionCreated or kVersionDbase3
inline constexpr int kHdrDate = 1;         // u8 x 3: year % 100, month, day of the last write
inline constexpr int kHdrDateBytes = 3;
inline constexpr int kHdrRecordCount = 4;  // i32
inline constexpr int kHdrHeaderSize = 8;   // i16: the offset of record 1
inline constexpr int kHdrRecordSize = 10;  // i16: bytes per record, mark included
// The bytes from the version to the record size, mirrored by a DbfHandle.
inline constexpr int kHeaderMirrorBytes = 12;
inline constexpr int kFileHeaderSize = 32;

// The version byte: a file this library created, or one another dBASE III
// writer made.
inline constexpr uint8_t kVersionCreated = 0x1A;
inline constexpr uint8_t kVersionDbase3 = 0x03;

// Field descriptors, from byte kFileHeaderSize on, one per field.
inline constexpr int kDescriptorSize = 32;
inline constexpr int kFieldNameBytes = 11;    // descriptor bytes 0-10, NUL-padded
inline constexpr int kDescriptorType = 11;    // the type character
inline constexpr int kDescriptorLength = 16;  // the field length, unsigned 8-bit
inline constexpr uint8_t kCharacterField = 'C';
// The byte after the last descriptor; the header holds at least it.
inline constexpr uint8_t kDescriptorsEnd = 0x0D;
inline constexpr int kSmallestHeader = kFileHeaderSize + 1;

// Records: byte 0 is the deletion mark.
inline constexpr int kRecordMark = 0;
inline constexpr uint8_t kLiveMark = ' ';
inline constexpr uint8_t kDeletedMark = '*';
// The byte after the last record.
inline constexpr uint8_t kEndOfFileMark = 0x1A;

// The header's fields over its bytes (at least kHeaderMirrorBytes of them).
inline int32_t header_record_count(const uint8_t* header) {
  return load_i32(header + kHdrRecordCount);
}
inline int16_t header_header_size(const uint8_t* header) {
  return load_i16(header + kHdrHeaderSize);
}
inline int16_t header_record_size(const uint8_t* header) {
  return load_i16(header + kHdrRecordSize);
}
inline void put_record_count(uint8_t* header, int32_t count) {
  store_i32(header + kHdrRecordCount, count);
}
inline void put_header_size(uint8_t* header, int16_t size) {
  store_i16(header + kHdrHeaderSize, size);
}
inline void put_record_size(uint8_t* header, int16_t size) {
  store_i16(header + kHdrRecordSize, size);
}
// The date as year % 100, month, day.
inline void put_date(uint8_t* header, int year, int month, int day) {
  header[kHdrDate] = static_cast<uint8_t>(year % 100);
  header[kHdrDate + 1] = static_cast<uint8_t>(month);
  header[kHdrDate + 2] = static_cast<uint8_t>(day);
}

}  // namespace osp::dbf
