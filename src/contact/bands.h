// The amateur bands of the worked/confirmed tables: the band a frequency
// falls in, and the band string of a master entry.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::contact {

// The amateur bands of the worked/confirmed tables, 0 to 14 (1.9 MHz to
// 5600 MHz), and the band a frequency text in MHz falls in.
inline constexpr int32_t kBandCount = 15;  // the places of a band string, the bits of a mask
inline constexpr int32_t kNotABand = 15;

// FreqPCheck: the band of a frequency text in MHz (the view's 7-character
// frequency), from its first two or three characters:
//   '1' '.' 0 (1.9)      '3' '.' 1 (3.5)      '7' 2 (7)        '1' '0' 3 (10)
//   '1' '4' then not '4'/'5' 4 (14)            '1' '8' 5 (18)   '2' '1' 6 (21)
//   '2' '4' then a non-digit 7 (24)            '2' '8'/'9' 8 (28)
//   '5' then a byte up to '5' 9 (50)           '1' '4' '4'/'5' 10 (144)
//   '4' '3' 11 (430)     '1' '2' 12 (1200)     '2' '4' then a digit 13 (2400)
//   '5' then a byte above '5' 14 (5600)        anything else 15 (not a band).
// Reads at most 3 bytes and never one after a NUL; a null text is 15.
int32_t frequency_band(const char* text);

// The band string of a master entry: its two 15-bit band masks (confirmed,
// worked) as 15 characters and a NUL. Place b stands for band b: 'C'
// confirmed, 'W' worked, ' ' neither; an entry that takes no part in the
// bookkeeping (bit 15 of its worked mask) shows 15 '-'.
inline constexpr int32_t kBandStringLength = 15;
inline constexpr char kConfirmed = 'C';
inline constexpr char kWorked = 'W';
inline constexpr char kNeither = ' ';
inline constexpr char kTakesNoPart = '-';

// Wget_bit: writes the band string of the master data bytes (48, as in
// mst_image) into out (16 bytes): all '-' when bit 15 of the worked mask is
// set; else 'C' where the confirmed bit is set, 'W' where only the worked
// bit is, ' ' elsewhere. Null arguments: nothing is done.
void band_string(const uint8_t* master_data, char* out);

// Wput_bit: sets the two masks in mst_image of log from the first 15
// characters of bands (no NUL is looked for): 'C' sets the confirmed bit
// only, 'W' the worked bit, and a '-' anywhere makes both masks exactly
// 0x8000 (the characters after it are not read). Other characters set
// nothing. Writes no file. Null arguments: nothing is done.
void set_band_masks(LogHandle* log, const char* bands);

}  // namespace osp::contact
