// The remarks file (".dbr"): a 256-byte header followed by remark blocks
// appended at the end. The header is laid out like a record-file header so
// that other programs take the file for an empty table: byte 0 the marker
// 0x1A; bytes 1-3 the date of the last write (year % 100, month, day);
// bytes 4-7 the number of contacts the file accounts for (32-bit); bytes
// 8-9 the header length 256; bytes 10-11 the record length 28; byte 255 the
// marker again; every other byte 0. A LogHandle mirrors the first 8 bytes in
// dbr_header and writes only those back.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

inline constexpr int32_t kRemarksHeaderSize = 256;
inline constexpr int32_t kRemarksMirrorSize = 8;  // the bytes dbr_header holds
inline constexpr uint8_t kRemarksMarker = 0x1A;
inline constexpr int kRemarksDate = 1;
inline constexpr int kRemarksCount = 4;
inline constexpr int kRemarksHeaderLength = 8;
inline constexpr int kRemarksRecordLength = 10;
inline constexpr int16_t kRemarksNominalRecord = 28;

// Fills out (256 bytes) with a new header dated today, count 0.
void build_remarks_header(uint8_t* out, const OspLocalTime& today);

// The contact count of a header (its first 8 bytes suffice).
int32_t remarks_count(const uint8_t* header);
void set_remarks_count(uint8_t* header, int32_t count);
// Changes the contact count of a header image by change, wrapping as the
// 32-bit field does.
void add_to_remarks_count(uint8_t* header, int32_t change);

// Sets bytes 1-3 of a header to today (year % 100, month, day).
void stamp_remarks_date(uint8_t* header, const OspLocalTime& today);

// Creates the remarks file at path, or empties it when it exists, and
// writes a new header dated today, flushed to disk. Returns 0; 5 (cannot
// create); 22 (the header could not be written whole or flushed). Leaves no
// file open.
int32_t create_remarks_file(const char* path);

// Opens log->dbr_name for reading and writing with no sharing and reads its
// first 8 bytes into dbr_header. Returns 0 with the file open in dbr_file
// and dbr_dirty 0; else closes it again, sets dbr_file to OSP_NO_FILE and
// returns 5 (cannot open), 21 (fewer than 8 bytes) or 2 (byte 0 is not the
// marker). A dbr_name without a NUL in its 260 bytes cannot be opened (5).
// With read_only the file is opened for reading only (still exclusively).
int32_t open_remarks_file(LogHandle* log, bool read_only = false);

// When dbr_dirty is set and the file is open: stamps today into dbr_header,
// writes its 8 bytes at offset 0 and clears dbr_dirty. Returns 0, or 22
// when the bytes could not be written (dbr_dirty then stays set, so that a
// later write-back tries again).
int32_t write_back_remarks_header(LogHandle* log);

// Writes the header back when dirty, closes the file and leaves dbr_file
// OSP_NO_FILE and dbr_dirty 0. Nothing happens when dbr_file is 0 or below.
// Returns the write-back's result.
int32_t close_remarks_file(LogHandle* log);

}  // namespace osp::log
