// The keys of a log's records outside its indexes: the library's key buffers
// and the cursor's key check.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// The library's process-wide key buffers: the 8-byte buffer in which a
// master entry's FLG and CODE are assembled into the key of index 3 (with a
// NUL after the 7 bytes), and the 64-byte buffer in which Idx_ReadKey hands
// out the key under an index cursor. Each is overwritten by its next use.

inline constexpr int32_t kFlgCodeKeySize = 8;
inline constexpr int32_t kReadKeySize = 64;

extern char flg_code_key_buffer[kFlgCodeKeySize];
extern char read_key_buffer[kReadKeySize];

// Assembles FLG followed by CODE of the master data bytes (48 bytes) into
// flg_code_key_buffer, NUL after them, and returns the buffer.
char* assemble_flg_code_key(const uint8_t* master_data);

// The key check of the cursor: before a record that a move reached is
// accepted, the key field of the loaded record must still carry the key that
// led to it, so that an index out of step with its record file is noticed.

// True when the record just loaded into log's image for mode agrees with the
// length bytes at key, compared as unsigned bytes, or when mode is not one of
// the six checked values (16, 17, 21, 34, 35, 36). The record's bytes are
// those from the mode's key field onward: CALLS, CODE or GL of the contact;
// CODE, FLG followed by CODE (assembled in the library's 8-byte key buffer,
// NUL included) or FLG onward of the master entry. A length that reaches
// beyond those bytes fails the check: the record cannot carry such a key.
bool record_carries_key(const LogHandle* log, int32_t mode, const char* key, int32_t length);

}  // namespace osp::log
