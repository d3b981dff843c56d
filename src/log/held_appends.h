// Bulk runs: a caller that appends many contacts in a row (an import) may ask
// for them to be gathered in memory, their remark blocks and records each in
// one run, and written in one go, blocks first, then records, with one
// positioned write per file. Outside a bulk run every append is written at
// once (log_write_protocol.h); a run is only ever held because its caller
// asked for it.
//
// A run is written when it is full, when an append goes to another log or
// needs write-through, before anything else reads or writes the contact or
// remarks file (the file layer's hold, owned by the log's state), before any
// header write-back, and at the bulk run's end, flush and close, which end
// the bulk run. While a contact is held it counts in the log (record_count,
// the remarks count) and may have index entries, as a written one does.
//
// What a bulk run risks: a process that ends while contacts are held loses
// them (they never reached the files); the run's caller learns what landed
// from the end call.
//
// A run that cannot be written whole is taken back whole: both counts come
// down by its contacts, the remarks file and the contact file are cut back to
// where the run began, and index slots 0 and 1 are dropped (rebuilt at the
// next open) when entries of its contacts went into them. The failure is
// reported with the path of the file that failed, and returned by the append
// that wrote the run, or else kept for the log (its state) and returned by
// its next write_held_appends.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// Begins a bulk run for log. Returns 0 (also when one is under way); 5 when
// the contact file is not open; 6 when the run's buffers cannot be had.
int32_t begin_bulk(LogHandle* log);

// Writes what is held and ends log's bulk run (if any). Returns 0, or the
// failure of this run or of an earlier run of log (each reported when it
// happened).
int32_t end_bulk(LogHandle* log);

// True while log has a bulk run under way.
bool in_bulk(const LogHandle* log);

// Holds the contact in dbs_image with the remark buffer's block (pack_remarks)
// as contact record_count + 1, raising both counts; indexed says that the
// caller will insert its index entries. Only in a bulk run. A run of another
// log, one whose files changed, or one without room is written first. Returns
// 0; 5 (the remarks file is not open for a block, or its end cannot be
// found) or 22 (a block beyond a 32-bit offset), reported with the ".dbr"
// path; 2 (a record size other than a contact's), or 22 (the record cannot be
// addressed, or the file does not hold the records its count claims),
// reported with the ".dbs" path; or the failure of this log's run written
// first (reported). On a failure nothing of the contact is held.
int32_t hold_contact(LogHandle* log, bool indexed);

// Writes what is held for log, if anything; the bulk run stays on. Returns 0,
// or the failure of this run or of an earlier run of log written behind its
// back (each reported when it happened).
int32_t write_held_appends(LogHandle* log);

}  // namespace osp::log
