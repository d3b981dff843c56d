// Master entries that take no part in the worked/confirmed bookkeeping: those
// whose area code begins with '5' or above and has a fourth character above
// 'A' (unsigned bytes). Their two band masks hold only the not-applicable bit.
#pragma once

#include <cstdint>

namespace osp::log {

// True when the master data bytes (48) are of such an entry.
bool master_not_applicable(const uint8_t* master_data);

// Sets both masks of such an entry to the not-applicable bit (0x8000 each)
// and returns true; leaves any other entry alone and returns false.
bool mark_not_applicable(uint8_t* master_data);

}  // namespace osp::log
