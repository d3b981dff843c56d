// The band string of a master entry: its two 15-bit band masks (confirmed,
// worked) as 15 characters and a NUL. Place b stands for band b: 'C'
// confirmed, 'W' worked, ' ' neither; an entry that takes no part in the
// bookkeeping (bit 15 of its worked mask) shows 15 '-'.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::contact {

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
