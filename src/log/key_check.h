// The key check of the cursor: before a record that a move reached is
// accepted, the key field of the loaded record must still carry the key that
// led to it, so that an index out of step with its record file is noticed.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// True when the record just loaded into log's image for mode agrees with the
// length bytes at key, compared as unsigned bytes, or when mode is not one of
// the six checked values (16, 17, 21, 34, 35, 36). The record's bytes are
// those from the mode's key field onward: CALLS, CODE or GL of the contact;
// CODE, FLG followed by CODE (assembled in the library's 8-byte key buffer,
// NUL included) or FLG onward of the master entry. A length that reaches
// beyond those bytes fails the check: the record cannot carry such a key.
bool record_carries_key(const LogHandle* log, int32_t mode, const char* key, int32_t length);

}  // namespace osp::log
