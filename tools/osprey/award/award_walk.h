// The worked/confirmed tables of a log's master file, recomputed: every
// entry that takes part cleared, then raised again from the live contacts
// by the library's walk, one contact at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "osprey32.h"

namespace osprey_tool {

// Clears the worked and confirmed tables of every master entry that takes
// part (an entry whose worked mask has bit 15 set keeps its masks), writing
// only the entries that had a band set. *cleared counts them. False, with a
// sentence in *error, when a master record cannot be read or written.
bool clear_band_tables(LogHandle* log, int32_t* cleared, std::string* error);

struct WalkCounts {
  int32_t walked = 0;   // live contacts handed to the walk
  int32_t deleted = 0;  // deleted contacts passed over
};

// Raises the tables from every live contact in record order with the
// library's walk (excluded: route marks not counted; not_received: the
// received mark that means no card yet). progress is told the record
// number every 1000 contacts. False, with a sentence in *error, when a
// contact cannot be read.
bool walk_live_contacts(LogHandle* log, const std::string& excluded, uint8_t not_received,
                        const std::function<void(int32_t)>& progress, WalkCounts* counts,
                        std::string* error);

}  // namespace osprey_tool
