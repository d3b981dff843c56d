// The user text file: a plain text file of the user's choosing, looked up by
// a six-character key through the library's own index of it, kept in a file
// beside it (the text file's path cut at its last '.', with ".HDX", or with
// ".IDX" for type 3). The index is reused while the index file carries the
// text file's current file time, and rebuilt otherwise.
//
// Types (one per file, passed to every call): 0 to 2 the variable layout
// (a header line, then records wherever a line feed is followed by an
// apostrophe, at most 50000, keys may repeat; 0 also reads a lead count from
// the header and keeps a marker), 3 and above the fixed layout (a 26-byte
// header line, then 26-byte records in strictly rising key order; 3 fills
// info2 from the log's master file, 4 and above look up an already packed
// key).
//
// A UserTextFile is closed (entry_count -1, no file, no lists) or open (the
// text file held with read sharing, the lists or the key array allocated).
#pragma once

#include <cstdint>

#include "frame/file.h"
#include "osprey32.h"

namespace osp::text {

inline constexpr int32_t kMaxEntries = 50000;
inline constexpr int32_t kFirstFixedType = 3;
inline constexpr int32_t kMasterNameType = 3;
inline constexpr int32_t kFirstPackedKeyType = 4;
inline constexpr int32_t kLeadCountType = 0;

// The two marker keys: an open that rebuilds the index of a variable-layout
// file sets marker to 1 when its first record's key is "000000" or its
// second record's key is "999999" (lists that begin with such a sentinel
// record).
inline constexpr uint32_t kFirstMarkerKey = 0x0CD20CD2;   // packed "000000"
inline constexpr uint32_t kSecondMarkerKey = 0x46834683;  // packed "999999"

// User_open. Copies path (unless null) into file_name, draws the progress
// text into device_context (when given), opens the text file with read
// sharing and its index file, reuses or rebuilds the index, and leaves the
// file open with its lists (variable layout: entry_count entries in
// file_order, c_order and j_order) or its key array (fixed layout:
// lead_count keys in fixed_keys, entry_count 1). Returns 0, or with the
// status reported (subject in parentheses): 5 the text file cannot be opened
// (text path); 8 the index file cannot be opened or created, or written
// (index path); 6 no memory (text path); 2 no record found, or a fixed
// header line that is not 25 bytes long (text path); 29 fixed keys that do
// not rise strictly (index path); 22 the fixed key stream written short
// (index path); 7 the stored lists cannot be read (index path); 21 the text
// file cannot be read while the index is built (text path). A failed
// open leaves file closed, every file closed, nothing allocated, and no
// index file that it could not finish.
int32_t user_open(void* device_context, int32_t type, UserTextFile* file, const char* path);

// User_Seek. Finds the record whose key is key (six bytes; with type 4 and
// above a pointer to a packed key) and fills the five text fields with its
// columns. Returns the found entry's 1-based place in c_order (variable
// layout; the first of equal keys), 1 (fixed layout), or -1 when the key is
// not there or file is not open. Type 0 also sets marker to the place of
// the key among the first lead_count records in file order (0: none). Type
// 3 fills info2 with the name of the master whose code is j_key, when
// j_key does not begin with two blanks and log finds it.
int32_t user_seek(LogHandle* log, int32_t type, UserTextFile* file, const void* key);

// User_Read. Fills the text fields with record position (1-based) of the
// list chosen by the low byte of selector: 'C' c_order, 'J' j_order, else
// file_order. Returns 0; 10 position above entry_count (or a file without
// lists); 11 below 1.
int32_t user_read(int32_t selector, int32_t position, UserTextFile* file);

// User_close. Closes the text file and frees the lists or the key array of
// an open file (lead_count 0 for types below 3); entry_count becomes -1.
void user_close(int32_t type, UserTextFile* file);

// One record of a user text file: 106 columns after the record's start,
// which fill the five text fields of a UserTextFile (c_key 0-5, info1 6-17,
// j_key 18-23, info2 24-51, info3 52-105). A record ends at its line end:
// from the first control byte on, every column reads as a blank.

inline constexpr int32_t kRecordColumns = 106;
inline constexpr int32_t kJKeyColumn = 18;
inline constexpr int32_t kInfo2Column = 24;
inline constexpr int32_t kInfo2Width = 28;

// Turns the bytes of a record as read into its columns: bytes from got on
// (not read) become blanks, and so does every byte from the first one below
// 0x20 at or after column from.
void clean_record(uint8_t* record, int32_t got, int32_t from);

// Reads the kRecordColumns bytes at position of text into record and
// returns how many came (0 when the file cannot be positioned or read).
int32_t read_record(FileHandle text, uint32_t position, uint8_t* record);

// Copies the columns of a cleaned record into the five text fields of file,
// each followed by its NUL.
void fill_fields(const uint8_t* record, UserTextFile* file);

}  // namespace osp::text
