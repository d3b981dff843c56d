// A log's index slots 0 to 4: the index files over its contact file (slots
// 0 and 1) and its master file (slots 2 to 4). Every build, open, write-back,
// close and drop of a slot goes through here: the log's open and close, the
// writes and their edits, the bulk run and the sorted rewrites.
//
// An edit that fails after the record was written (its entry cannot be found,
// or a page could not be read or written) leaves that index out of step with
// its record file. The slot is then dropped: closed and its file deleted, so
// that the next open of the log builds it anew; until then moves and writes
// through the slot are refused with 5. Indexes are derived from the record
// files and lose nothing by being rebuilt.
#pragma once

#include <cstdint>

#include "log/log_paths.h"
#include "osprey32.h"

namespace osp::log {

// The key expressions of index slots 0 to 4.
extern const char* const kIndexExpressions[kLogIndexCount];

// True when the index open in slot was built for that slot's expression,
// with the key length the expression gives over the log's record layout. (An
// index file copied over another answers for the wrong key.)
bool slot_built_for(const LogHandle* log, int slot);

// Builds the index of slot anew over the record file the log holds open (as
// it stands on disk) and opens it in the slot. Returns 0, the build's
// failure (silent), or 23 when the index built does not open.
int32_t build_slot(LogHandle* log, int slot);

// Deletes the file of index idx, closing it first when it is open: the
// header's changes are not written (the changed pages are), and a close that
// fails (its file could not be positioned) is tried again, up to three times
// in all. The file is deleted whether or not it was open. False when the
// index is still open.
bool remove_index(IdxHandle* idx);

// Drops index slot: its changes not yet written (pages and header) are
// forgotten, as they need not reach a file about to go, and remove_index
// closes it and deletes its file. Nothing happens to a closed slot.
void drop_index(LogHandle* log, int slot);

// Writes the changed pages and the header of slots first to last (not
// synced), so that the index files hold every entry a write-through write
// made; a slot whose writes fail (reported) is dropped, to be built anew by
// the next open, as an edit that fails drops it.
void write_back_indexes(LogHandle* log, int first, int last);

// Syncs the index open in idx whole (its header written back first); true
// when it is on the disk, or not open. A failure is reported with its path.
bool sync_index(IdxHandle* idx);

// Closes index slot: its changed pages are written first, and when they
// cannot be the slot is dropped (the next open builds it anew). Returns
// index::close's result (1 when the handle was closed).
int32_t close_slot(LogHandle* log, int slot);

// Closes index slots 0 to last (highest first).
void close_index_slots(LogHandle* log, int last);

// Results of reindex besides 15.
inline constexpr int32_t kKeyUnchanged = 0;
inline constexpr int32_t kEntryMoved = 1;

// The index edits of the writes: an entry inserted for a new record, and an
// entry moved when a record's key changed (removed under the old key, the
// new key inserted after every entry with an equal key).
//
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

}  // namespace osp::log
