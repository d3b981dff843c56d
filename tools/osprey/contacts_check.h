// The consistency check of an open log that `osprey check` reports: every
// index against its record file, the remarks file's contact count against
// the contact file's, and every contact's link into the remarks file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "osprey32.h"

namespace osprey_tool {

struct IndexSummary {
  int slot = 0;
  std::string path;  // UTF-8
  int64_t entries = 0;
};

struct LogCheck {
  std::vector<IndexSummary> indexes;
  std::vector<std::string> problems;  // one sentence each, UTF-8
};

// Walks index slots 0 to 4 of the open log entry by entry. An entry is wrong
// when its record number lies outside its record file, when the record does
// not carry the entry's key (what the cursor reports as 15: the index must be
// rebuilt), or when its key is below the one before; a record with no entry
// or more than one is wrong too. Then the remarks file's count against the
// contact file's, and each contact's remark link: 0, or the offset of a
// whole block after the 256-byte header with lengths within 28, 54 and 54.
// The contact and master files are each read once, in record order, and the
// remarks file whole, through the handles the library holds them open with
// (after a library read has it write what it held); the walks then look up
// what that pass kept: 8 bytes a record for each open index over the file.
LogCheck check_log(LogHandle* log);

}  // namespace osprey_tool
