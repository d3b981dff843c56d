// Making a log's changes durable without closing it: header write-back of the
// record files and the remarks file, index headers, and the platform's flush.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// OSP_flush: the master file, the contact file, the remarks-file header (when
// dirty: stamped with today's date and written; then the file is flushed)
// and index slots 0 to 4, each when it is open; every one is tried even when
// an earlier one failed. Returns 5 when the contact file is not open (null
// log included), else the first failure (22 from a record file or the
// remarks file, 5 or 8 from an index, which reports its own), else 0. A file
// whose header could not be written back stays dirty, so that the next flush
// or the close tries again.
int32_t flush_log(LogHandle* log);

}  // namespace osp::log
