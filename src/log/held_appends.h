// Held appends: contacts appended without write-through are gathered in
// memory, their remark blocks and records each in one run, and written in one
// go, blocks first, then records, with one positioned write per file. A run
// is written when it is full, when an append goes to another log, before
// anything else reads or writes the contact or remarks file (the file layer's
// hold), at flush and at close.
//
// While a contact is held it counts in the log (record_count, the remarks
// count) and may have index entries, as a written one does; the headers'
// counts reach the disk at write-back, after the run, as they always did. A
// process that ends without a flush or close loses what it held, which is
// what it already lost of the log (the counts on disk did not cover it).
//
// A run that cannot be written whole is taken back whole: both counts come
// down by its contacts, the remarks file is cut back to where the run began,
// and index slots 0 and 1 are dropped (rebuilt at the next open) when entries
// of its contacts went into them. The failure is reported with the path of
// the file that failed, and returned by the append that wrote the run, or
// else kept for the log and returned by its next write_held_appends.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// Holds the contact in dbs_image with the remark buffer's block (pack_remarks)
// as contact record_count + 1, raising both counts; indexed says that the
// caller will insert its index entries. A run of another log, one whose files
// changed, or one without room is written first. Returns 0; 5 (the remarks
// file is not open for a block, or its end cannot be found) or 22 (a block
// beyond a 32-bit offset), reported with the ".dbr" path; 2 (a record size
// other than a contact's), or 22 (the record cannot be addressed, or the
// file does not hold the records its count claims), reported with the ".dbs"
// path; or the failure of this log's run written first (reported). On a
// failure nothing of the contact is held.
int32_t hold_contact(LogHandle* log, bool indexed);

// Writes what is held for log, if anything. Returns 0, or the failure of
// this run or of an earlier run of log written behind its back (each
// reported when it happened).
int32_t write_held_appends(LogHandle* log);

}  // namespace osp::log
