// The log cursor: walks an open log in the order of one of its index slots or
// in record order, looks a contact or master entry up by key, and loads the
// record it lands on: into dbs_image, then the remark block and the unpacked
// view, for the contact file; into mst_image for the master file. The cursor
// has no position of its own: it is the cursor of the index slot and the
// current record number of the record file.
//
// Common to the moves (skip, seek, top, bottom): the mode word (cursor_mode.h)
// chooses the slot and the record file. A record reached through an index must
// carry the entry's key (log_keys.h), and an entry that points outside its
// record file or whose record does not carry its key gives 15: the index must
// be rebuilt. A failure before the record was read leaves the images, the
// remark buffer and the view as they were; 15 from the key check leaves the
// record read in the image but the view unchanged. Every move refuses, with 5
// reported, a log whose record file or index slot for the mode is not open.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// OSP_read: reads contact recno into dbs_image; on success reads its remark
// block when options has bit value 2 and unpacks into view with options (1
// separators, 2 remarks). Touches no index. Returns 0; 10 or 11 (recno above
// the count or below 1, silent); 21 (reported).
int32_t read_contact(LogHandle* log, int32_t recno, int32_t options);

// OSP_skip: moves count entries (backward when negative) in the mode's order
// and loads the record. In record order (modes 24 and 41) the record file's
// current record number moves by count even when the read then fails (10 or
// 11, silent). In index order a move off an end gives 12 or 13 (silent) and
// loads nothing; with bit value 256 entries whose key byte at position
// slot + 1 is above 'A' are passed over. A count of 0 reloads the record the
// index cursor stands on. Other failures (15, 21) are reported.
int32_t skip(LogHandle* log, int32_t count, int32_t mode);

// OSP_seek: finds the first entry of the mode's slot whose key begins with
// the NUL-terminated key and loads its record, checking it against key. No
// entry: 12, silent; other failures are reported. With bit value 512 on the
// contact file, when the entry after the found one begins with key too, the
// default beep sounds and key[0] becomes NUL; the index cursor stays on the
// found entry.
int32_t seek(LogHandle* log, char* key, int32_t mode);

// OSP_top / OSP_btm: the first / last entry (record 1 / the last record in
// record order), loaded. Every failure is reported; an empty index or record
// file gives 15.
int32_t top(LogHandle* log, int32_t mode);
int32_t bottom(LogHandle* log, int32_t mode);

// OSP_idxrmv: puts the cursor of the mode's slot on the entry that carries
// key and record number recno, without loading anything. Returns 0 when it
// stands there, 12 when there is no such entry (or the slot is not open). No
// message.
int32_t position_on(LogHandle* log, int32_t recno, int32_t mode, const char* key);

// Idx_ReadKey: a NUL-terminated copy of the key under the cursor of slot
// (which & 7): the index's key length in bytes (at most 63). Empty for a slot
// that is not open, for slots 6 and 7 and for a null log. The library's
// 64-byte buffer is overwritten by the next call. Reads no file.
char* read_key(LogHandle* log, int32_t which);

}  // namespace osp::log
