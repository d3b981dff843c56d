// The amateur bands of the worked/confirmed tables, 0 to 14 (1.9 MHz to
// 5600 MHz), and the band a frequency text in MHz falls in.
#pragma once

#include <cstdint>

namespace osp::contact {

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

}  // namespace osp::contact
