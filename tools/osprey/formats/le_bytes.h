// Little-endian fields of the files' bytes. The plain readers take a pointer
// whose bytes the caller has made sure of; the bounded ones read a field
// that does not lie wholly within the bytes as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace osprey_tool {

inline uint16_t get_u16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t get_i16(const uint8_t* p) { return static_cast<int16_t>(get_u16(p)); }
inline uint32_t get_u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t get_i32(const uint8_t* p) { return static_cast<int32_t>(get_u32(p)); }

inline uint32_t get_u32(std::span<const uint8_t> bytes, size_t at) {
  return at <= bytes.size() && bytes.size() - at >= 4 ? get_u32(bytes.data() + at) : 0;
}
inline int16_t get_i16(std::span<const uint8_t> bytes, size_t at) {
  return at <= bytes.size() && bytes.size() - at >= 2 ? get_i16(bytes.data() + at) : 0;
}

}  // namespace osprey_tool
