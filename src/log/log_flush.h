// Making a log's changes durable without closing it: header write-back of the
// record files and the remarks file, index headers, and the platform's flush.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// OSP_flush: the master file, the contact file, the remarks-file header (when
// dirty: stamped with today's date and written; then the file is flushed)
// and index slots 0 to 4, each when it is open. Returns 0, or 5 when the
// contact file is not open (null log included).
int32_t flush_log(LogHandle* log);

// The write-through flush after a contact write: the remarks file first (its
// blocks and header), then the contact file, then index slots 0 and 1, so
// that a record that reaches the disk never points at a block that did not.
void flush_contact_files(LogHandle* log);

// The remarks file's part of both: when dbr_dirty, the header written back
// and the file flushed.
void flush_remarks_file(LogHandle* log);

}  // namespace osp::log
