// The library's process-wide key buffers: the 8-byte buffer in which a
// master entry's FLG and CODE are assembled into the key of index 3 (with a
// NUL after the 7 bytes), and the 64-byte buffer in which Idx_ReadKey hands
// out the key under an index cursor. Each is overwritten by its next use.
#pragma once

#include <cstdint>

namespace osp::log {

inline constexpr int32_t kFlgCodeKeySize = 8;
inline constexpr int32_t kReadKeySize = 64;

extern char flg_code_key_buffer[kFlgCodeKeySize];
extern char read_key_buffer[kReadKeySize];

// Assembles FLG followed by CODE of the master data bytes (48 bytes) into
// flg_code_key_buffer, NUL after them, and returns the buffer.
char* assemble_flg_code_key(const uint8_t* master_data);

}  // namespace osp::log
