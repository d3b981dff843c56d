// The index edits of the writes: an entry inserted for a new record, and an
// entry moved when a record's key changed (removed under the old key, the
// new key inserted after every entry with an equal key).
//
// An edit that fails after the record was written (its entry cannot be found,
// or a page could not be read or written) leaves that index out of step with
// its record file. The slot is then dropped: closed and its file deleted, so
// that the next open of the log builds it anew; until then moves and writes
// through the slot are refused with 5. Indexes are derived from the record
// files and lose nothing by being rebuilt.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// Results of reindex besides 15.
inline constexpr int32_t kKeyUnchanged = 0;
inline constexpr int32_t kEntryMoved = 1;

// Moves record recno's entry in index slot from old_key to new_key. Each key
// points at available bytes; the index's key length L of them take part.
// Returns 0 when the keys agree in their first L bytes (nothing is done), 1
// when the entry was moved, 15 when there is no entry for old_key and recno,
// L exceeds available (the index does not fit the record) or the edit
// failed; 15 is reported with the index file's path and the slot dropped.
int32_t reindex(LogHandle* log, int slot, int32_t recno, const uint8_t* old_key,
                const uint8_t* new_key, int32_t available);

// Inserts an entry for key (available bytes, of which the index's key length
// take part) and record recno after every entry with an equal key. When the
// key length exceeds available (15 reported) or the insertion fails, the
// slot is dropped.
void insert_entry(LogHandle* log, int slot, const void* key, int32_t available, int32_t recno);

// Closes index slot and deletes its file. Nothing happens to a closed slot.
void drop_index(LogHandle* log, int slot);

// Writes the changed pages and the header of slots first to last (not
// synced), so that the index files hold every entry a write-through write
// made; a slot whose writes fail (reported) is dropped, to be built anew by
// the next open, as an edit that fails drops it.
void write_back_indexes(LogHandle* log, int first, int last);

}  // namespace osp::log
