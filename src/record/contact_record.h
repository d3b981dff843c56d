// The stored contact: a 58-byte record of the contact file (".dbs"). Byte 0
// is the record file's deletion flag; the 57 data bytes after it are what
// dbf::read delivers and what a LogHandle keeps in dbs_image (whose 58th
// byte is spare). This header is the one place that knows where each field
// of the record stands and how its binary fields are encoded.
#pragma once

#include <cstdint>

#include "dbf/contact_schema.h"
#include "frame/bytes.h"

namespace osp::log {

// One field of a stored record: its offset counted from the deletion flag
// (record byte 0) and its width in bytes.
struct RecordField {
  int32_t offset;
  int32_t width;
  // Its offset within the data bytes, which start after the deletion flag
  // (dbs_image, mst_image and the buffers of dbf::read).
  constexpr int32_t data() const { return offset - 1; }
  constexpr int32_t end() const { return offset + width; }
};

namespace contact {

inline constexpr int32_t kRecordSize = dbf::kContactRecordSize;  // deletion flag and data bytes
inline constexpr int32_t kDataSize = kRecordSize - 1;

// The fields, in the order of the contact file's field descriptors.
inline constexpr RecordField kCalls{1, 6};   // call sign, characters 1-6 (key of index 0)
inline constexpr RecordField kIgn{7, 1};     // call sign, character 7
inline constexpr RecordField kPotbl{8, 3};   // portable designation
inline constexpr RecordField kCode{11, 6};   // area code (key of index 1)
inline constexpr RecordField kGl{17, 6};     // grid locator
inline constexpr RecordField kFreq{23, 4};   // frequency: text or packed
inline constexpr RecordField kMode{27, 3};
inline constexpr RecordField kName{30, 12};
inline constexpr RecordField kQsl{42, 3};    // route, sent and received marks
inline constexpr RecordField kDate{45, 3};   // year byte, month, day
inline constexpr RecordField kTime{48, 2};   // hour, minute byte
inline constexpr RecordField kRst{50, 4};    // his RS byte and T, my RS byte and T
inline constexpr RecordField kOfs{54, 4};    // remark block offset in the ".dbr" file

// The three QSL marks, one byte each.
inline constexpr RecordField kRouteMark{42, 1};
inline constexpr RecordField kSentMark{43, 1};
inline constexpr RecordField kReceivedMark{44, 1};

// The call sign as a whole: CALLS and IGN.
inline constexpr RecordField kCallsign{1, 7};

static_assert(kOfs.end() == kRecordSize, "the fields fill the record");

// Year byte: the two-digit year in bits 0-6, bit 7 set for 2000-2051 so that
// year, month and day sort chronologically as unsigned bytes.
inline constexpr uint8_t kYear2000s = 0x80;
inline constexpr int kFirstYearOfCentury = 52;  // two-digit years below it are 20xx
inline constexpr uint8_t year_byte(int two_digit_year) {
  return static_cast<uint8_t>(two_digit_year |
                              (two_digit_year < kFirstYearOfCentury ? kYear2000s : 0));
}

// Minute byte: the minute in bits 0-6, bit 7 set for UTC (clear for JST).
inline constexpr uint8_t kUtc = 0x80;

// FREQ: bit 7 of its fourth byte set means packed (a 24-bit number in bytes
// 0-2, then 0x80 | L << 3 | P); clear means four text characters.
inline constexpr uint8_t kFrequencyPacked = 0x80;

// The remark block offset (OFS) of the data bytes of a contact.
inline uint32_t remark_offset(const uint8_t* data) { return load_u32(data + kOfs.data()); }
inline void set_remark_offset(uint8_t* data, uint32_t offset) {
  store_u32(data + kOfs.data(), offset);
}

}  // namespace contact
}  // namespace osp::log
