// The worked/confirmed tables of a log's master file, recomputed: every
// entry that takes part cleared, then raised again from the live contacts
// (recompute_tables), or only raised from them (walk_live_contacts).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "award/award_table.h"

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

// The tables recomputed by the library in one call (OSP_award_recompute):
// every entry that takes part cleared, then raised from the live contacts,
// both files read in batches. device_context is handed to the library, which
// draws the record number it has reached through the hooks. counts tells the
// live and deleted contacts. False, with a sentence in *error, when the
// library's status or a read of the deletion marks says a file failed.
bool recompute_tables(LogHandle* log, void* device_context, const std::string& excluded,
                      uint8_t not_received, WalkCounts* counts, std::string* error);

// The master entries that take part (their band string not "-"), in code
// order, with the bands as the walk left them. 0, or the status of the
// master file's read that failed.
int32_t award_rows(LogHandle* log, std::vector<AwardRow>* rows);

}  // namespace osprey_tool
