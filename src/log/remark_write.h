// Writing a contact's remark block into the remarks file (".dbr"): the block
// of the LogHandle's remark buffer (pack_remarks) goes in place of the old one
// when it fits there, or when the old one is the file's last block, and else
// to the end of the file. Blocks are never freed: one that is replaced by a
// longer one elsewhere stays in the file unreferenced.
//
// A write that fails leaves the remarks file as it was, as far as the file
// allows: the old block is put back and the file cut to its old length. The
// same undo is offered to the caller for when the record write that follows
// fails, so that no record is left pointing at a block that was not written
// and no block changes under a record that was not.
#pragma once

#include <cstdint>

#include "record/remark_block.h"
#include "osprey32.h"

namespace osp::log {

// What a block write changed, so that it can be taken back.
struct RemarkUndo {
  bool wrote = false;     // something was written
  bool in_place = false;  // over the old block (else at the end of the file)
  uint32_t at = 0;        // where the block was written
  int64_t old_end = -1;   // the file's length before
  int32_t old_size = 0;   // bytes of the old block kept in old_bytes (in place)
  uint8_t old_bytes[kRemarkBlockMax] = {};
};

// Writes the block for an existing contact whose block stood at old_offset
// (its OFS). On success stores the new OFS in *offset (0 when the remarks
// are empty: the old block stays in the file unreferenced), sets dbr_dirty
// and returns 0. Failures, with the file as it was and *offset untouched:
//   11  old_offset lies inside the header (1 to 255);
//   21  the old block's lengths could not be read whole;
//    5  the remarks file is not open, or its end cannot be found;
//   22  the block could not be written whole, or would lie beyond what a
//       32-bit offset addresses.
// The old block's size is the sum of its lengths and 3; a block whose lengths
// exceed their limits has an unknown size and is never written over.
int32_t write_remark_block(LogHandle* log, uint32_t old_offset, uint32_t* offset,
                           RemarkUndo* undo);

// Appends the block for a new contact at the end of the remarks file (only
// when it has text; else *offset = 0), then raises the contact count in
// dbr_header by one and sets dbr_dirty, in both cases. Returns 0, or 5 (the
// file is not open, or its end cannot be found) or 22 (short write), with
// the file and the count as they were.
int32_t append_remark_block(LogHandle* log, uint32_t* offset, RemarkUndo* undo);

// Takes back a block write whose record write failed: the old block is put
// back in place, the file is cut to its old length. Best effort: a failure
// here leaves what the failed record write left.
void undo_remark_block(LogHandle* log, const RemarkUndo& undo);

// Takes back an append_remark_block whose record append failed: the block and
// the raised count, which is marked to be written back (dbr_dirty).
void undo_remark_append(LogHandle* log, const RemarkUndo& undo);

}  // namespace osp::log
