// One record of a user text file: 106 columns after the record's start,
// which fill the five text fields of a UserTextFile (c_key 0-5, info1 6-17,
// j_key 18-23, info2 24-51, info3 52-105). A record ends at its line end:
// from the first control byte on, every column reads as a blank.
#pragma once

#include <cstdint>

#include "frame/file.h"
#include "osprey32.h"

namespace osp::text {

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
