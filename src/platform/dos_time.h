// DOS date and time packing shared by the platform backends.
#pragma once

#include <cstdint>

namespace osp::platform {

// Packs a local calendar time into the file-time number: DOS date in the high
// 16 bits (years since 1980, month, day), DOS time in the low 16 bits (hour,
// minute, seconds / 2). Years outside 1980..2107 give 0, as the platform's
// conversion fails for them.
inline uint32_t pack_dos_time(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1980 || year > 2107) return 0;
  const uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) |
                        (static_cast<uint32_t>(month) << 5) | static_cast<uint32_t>(day);
  const uint32_t time = (static_cast<uint32_t>(hour) << 11) |
                        (static_cast<uint32_t>(minute) << 5) | static_cast<uint32_t>(second / 2);
  return (date << 16) | time;
}

}  // namespace osp::platform
