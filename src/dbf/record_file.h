// The record file: a dBASE III-style table of fixed-size records behind a
// header, used through a caller-allocated DbfHandle. These operations never
// show a message; they return status codes and leave reporting to callers.
#pragma once

#include <cstdint>

#include "dbf/dbf_format.h"
#include "osprey32.h"

namespace osp::dbf {

// DbfHandle flags: the header's date (and with kFlagCountChanged its count
// and the end mark) are to be written back.
inline constexpr uint16_t kFlagWritten = 1;
inline constexpr uint16_t kFlagCountChanged = 2;

// Creates (or empties) the file at path with the contact-file header: 13
// character fields, record size 58, header size 449, no records; 450 bytes.
// Returns 0, 5 (cannot create) or 22 (short write). Leaves no file open.
// (In contact_schema.cpp, beside the schema it writes; everything else here
// in record_file.cpp.)
int32_t create(const char* path);

// Opens an existing record file for reading and writing and fills h.
// Returns 0; 5 (cannot open); 21 (fewer than 12 header bytes); 2 (version
// byte neither 0x03 nor 0x1A, record size below 1 or header size below 33).
// On any failure the file is closed and h->file is OSP_NO_FILE.
int32_t open(const char* path, DbfHandle* h);

// The same, opened for reading only (still exclusively): for viewing a file
// that may not be written. A write through such a handle fails (22).
int32_t open_read_only(const char* path, DbfHandle* h);

// Writes the header back if needed, closes and marks h closed (flags 0).
// Returns 1 when the header (when needed) was written back and the file
// closed, 0 when either failed (a record count that did not reach the file
// is reported, not lost in silence), or h->file - 1 when the handle holds no
// open file (nothing is written then).
int32_t close(DbfHandle* h);

// Copies record recno's data bytes (record size - 1, without the mark) into
// buffer with one positioned read. Returns 0; 10 (recno above the count); 11
// (below 1); 21 (short read, as for a record the header counts but the file
// does not hold, or a position beyond a 32-bit offset).
int32_t read(DbfHandle* h, int32_t recno, void* buffer);

// Writes length bytes at byte offset within record recno (offset 0 is the
// mark). Returns 0, 10, 11, or 22 (short write, a position beyond a 32-bit
// offset, or bytes that would lie past the file's end: a record the header
// counts but the file does not hold is never written, and the file never
// grows here).
// The caller keeps offset + length within the record size.
int32_t write2(DbfHandle* h, int32_t recno, const void* data, int32_t offset, int32_t length);

// Replaces record recno's data bytes and leaves its mark alone.
int32_t write(DbfHandle* h, int32_t recno, const void* data);

// Marks record recno deleted.
int32_t mark_deleted(DbfHandle* h, int32_t recno);

// Removes every record whose mark is not " ", keeping the order of the
// others, using buffer (size bytes, at least one record). Returns 0, 21 or
// 22. When the count went down, the new count and the cut reach the file at
// the next header write-back. A count below 0 or beyond the records the file
// holds gives 21 before anything is read or moved.
int32_t pack(DbfHandle* h, void* buffer, int32_t size);

// The largest record append builds (its mark and data bytes) in one piece.
inline constexpr int32_t kLargestAppendedRecord = 608;

// Appends one live record whose data bytes are at data. Returns 0; 22 (the
// write failed, or the new record would lie past the file's end because the
// count claims records the file does not hold: the count is taken back); 2
// (the record size exceeds kLargestAppendedRecord: nothing is written).
int32_t append(DbfHandle* h, const void* data);

// Writes the header back if needed and flushes the file to disk. Returns 0,
// or 22 when the header could not be written back (flags stay set, nothing
// is flushed) or the platform's flush failed.
int32_t flush(DbfHandle* h);

// The same with the platform's data sync: the records and the header reach
// the disk, the file's times need not. For the write-through syncs, whose
// order matters and whose file time the stale mark makes moot.
int32_t sync_data(DbfHandle* h);

// Writes the header back when flags says so: date (and with bit 1 the count
// and the end mark, the mark only where it does not lie past the file's
// end). Returns 0 with flags cleared, or 22 when any of these bytes could not
// be written: flags then stay set, so that the next flush or the close tries
// again.
int32_t write_back_header(DbfHandle* h);

// Stores today's local date (year % 100, month, day) into h->update_date.
void stamp_date(DbfHandle* h);

// The number of whole records the open file really holds after its header:
// the header's count, but never below 0 nor beyond what the file's size
// leaves room for (0 when the size cannot be had). Whole-file passes stop
// here rather than run on for records a damaged header claims.
int32_t records_held(const DbfHandle* h);

// The byte position of record recno, or -1 when it lies beyond what a 32-bit
// offset can address.
int64_t record_position(const DbfHandle* h, int32_t recno);

}  // namespace osp::dbf
