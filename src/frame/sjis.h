// Shift-JIS (code page 932) character boundaries.
#pragma once

#include <cstddef>

namespace osp {

// True when byte b begins a double-byte character (0x81-0x9F, 0xE0-0xFC).
inline bool sjis_lead_byte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// True when byte b may follow a lead byte as the second half of a
// double-byte character (0x40-0x7E, 0x80-0xFC).
inline bool sjis_trail_byte(unsigned char b) {
  return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// The length of the longest prefix of text (length bytes) that is at most
// limit bytes and does not end in the middle of a double-byte character.
size_t sjis_prefix_length(const char* text, size_t length, size_t limit);

}  // namespace osp
