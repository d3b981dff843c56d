// Conversions between the texts of a contact's view fields and the binary
// fields of its stored record: date, time, reports and frequency.
#pragma once

#include <cstdint>

namespace osp::log {

// Text lengths of the converted view fields (their NUL not counted).
inline constexpr int kDateTextLength = 8;       // yy/mm/dd
inline constexpr int kTimeTextLength = 6;       // hh:mmZ
inline constexpr int kReportTextLength = 3;     // RST
inline constexpr int kFrequencyTextLength = 7;  // e.g. "144.50 "

// The number two characters stand for: the first character's digit value
// (0 when it is not a digit), then, when the second is a digit, ten times
// that plus the second's value. So "59" is 59, "5 " and " 5" are 5, "x9" is
// 9 and "  " is 0. Reads both characters.
uint8_t pair_value(const char* two);

// DATE. Packs places 0-1, 3-4 and 6-7 of text (the separators are skipped
// whatever they are) into year byte, month and day; reads 8 bytes.
void pack_date(const char* text, uint8_t* out);
// Writes yy/mm/dd (separators) or yymmdd and a NUL into out: 9 or 7 bytes.
// Each number is written as its last two decimal digits.
void unpack_date(const uint8_t* in, bool separators, char* out);

// TIME. Packs hour (places 0-1) and minute (places 3-4); the minute byte
// gets the UTC bit unless place 5 is 'J'. Reads 6 bytes.
void pack_time(const char* text, uint8_t* out);
// Writes hh:mmZ (separators) or hhmmZ and a NUL, Z = 'U' for UTC, 'J' for
// Japan Standard Time: 7 or 6 bytes.
void unpack_time(const uint8_t* in, bool separators, char* out);

// One report of RST: the RS number from places 0-1 and the T character
// from place 2. Reads 3 bytes, writes 2.
void pack_report(const char* text, uint8_t* out);
// Writes the report's 3 characters and a NUL: tens digit (blank when 0),
// units digit (blank when 0), T character.
void unpack_report(const uint8_t* in, char* out);

// Tidies a frequency text in place before packing: from the first '.' that
// is not followed by a digit, that '.' and every character after it become
// blanks. Looks at up to 7 characters and stops at a NUL.
void clean_frequency(char* text);

// FREQ. Packs a 7-character frequency text (a NUL ends the text early; the
// places from it on count as blanks). Places 4 and 5 both blank: places 0-3
// are stored as text. Otherwise the 7 places, every non-digit read as '0',
// form a decimal number stored in 3 bytes, and the fourth byte is
// 0x80 | L << 3 | P, with L the last non-blank place among 6, 5 and 4 and P
// the place of the first '.' (7 when there is none). Writes 4 bytes.
void pack_frequency(const char* text, uint8_t* out);
// Writes the 7-character frequency text and a NUL (8 bytes): text form, its
// 4 characters and 3 blanks; packed form, the number left-justified, places
// from L + 1 blanked, '.' at place P.
void unpack_frequency(const uint8_t* in, char* out);

}  // namespace osp::log
