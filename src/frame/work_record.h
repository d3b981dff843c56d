// The library-wide work buffer in which new record-file headers, new remarks-
// file headers and appended records are built.
#pragma once

#include <cstdint>

namespace osp {

inline constexpr int kWorkRecordSize = 608;
extern uint8_t work_record[kWorkRecordSize];

}  // namespace osp
