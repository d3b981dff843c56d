#pragma once

#include <cstdint>

namespace osp {

// The library's version constant.
inline constexpr int32_t kVersion = 0x00043400;

}  // namespace osp
