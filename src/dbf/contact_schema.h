// The contact-file schema that every record file the library creates has
// (dbf::create in record_file.h writes it; both in contact_schema.cpp).
#pragma once

#include <cstdint>

namespace osp::dbf {

struct FieldSpec {
  const char* name;
  uint8_t length;
};

inline constexpr int kContactFieldCount = 13;
extern const FieldSpec kContactFields[kContactFieldCount];

inline constexpr int16_t kContactHeaderSize = 449;  // 32 + 32 * 13 + 1
inline constexpr int16_t kContactRecordSize = 58;   // mark + 57 data bytes
inline constexpr int32_t kNewContactFileSize = 450;  // header and the end mark

}  // namespace osp::dbf
