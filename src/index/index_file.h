// An open index file: a B-tree of 512-byte pages that maps fixed-length
// character keys, compared as unsigned bytes, to record numbers, duplicates
// allowed and kept in insertion order. The caller owns the IdxHandle; the
// library owns the state that open creates and close releases.
//
// Implemented in index_file.cpp (open, close, the write-backs, the header),
// cursor_moves.cpp (search and the moves) and tree_edits.cpp (insert and
// remove), over the page cache of index_state.h.
//
// Every operation takes a handle that open filled in. Page reads that fail
// are reported as 7, page writes as 8, memory that cannot be had as 6, each
// through report_status with the handle's path as the subject; the operation
// then returns 0 (no entry) and leaves the cursor unpositioned. A damaged file
// (a page count above the maximum, a child or root page at or beyond the next
// free page, a cycle of pages) is reported as a read error the same way.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::index {

// Opens the index file at path for reading and writing, exclusively, fills
// in h (state, file, header_dirty 0; path is the caller's) and positions the
// cursor on the first entry. Returns 0; 5 when the file cannot be opened (no
// message); 6 when memory cannot be had; 7 when fewer than 24 header bytes
// can be read; 3 when the header is not one this library can use: a key type
// or unique flag other than 0, a key length below 0 or above 256, an entry
// size other than the key length's, a maximum keys per page of 0 or more
// than fit a page, or a root page of 0 or at or beyond the next free page
// (what a build that did not finish leaves). 6, 7 and 3 are reported; every failure leaves no file open,
// no state allocated and h->file at -1.
int32_t open(const char* path, IdxHandle* h);

// The same, opened for reading only (still exclusively): for viewing an
// index that may not be written. Searches and moves work; an insertion or
// removal fails with 8, a header write-back at close is not attempted.
int32_t open_read_only(const char* path, IdxHandle* h);

// Writes the pages changed and kept (index_state.h; one that cannot be
// written is reported as 8 and forgotten, the file then lacking it, and the
// header then gets root and next free page 0, so that the next open refuses
// the tree as one whose build did not finish), else the root and next free
// page back when header_dirty; then closes the file,
// releases the state and marks h closed (file -1, header_dirty 0). When the
// seek to the header fails, or the header write comes out short (reported
// as 8), the file stays open and the state in place. Does nothing for a handle
// whose file is 0 or below. Returns 1 when the handle was closed, else 0.
int32_t close(IdxHandle* h);

// Writes the pages changed and kept, then, when header_dirty, the root and
// next free page, without the platform's flush (a write-through edit: what
// the tree holds is in the operating system when the edit returns). Returns
// 0, or 8 (reported) when a page or the header could not be written; what
// was not written stays kept (header_dirty set) for a later try.
int32_t write_back(IdxHandle* h);

// Writes the pages changed and kept (8, reported, when one comes out short);
// then, when header_dirty: writes the root and next free page back and flushes the
// file to disk, then clears header_dirty. Returns 0 (also when nothing was
// dirty or the handle is closed); a failed seek is reported and returned as
// 5, a short write or a failed platform flush as 8; header_dirty then stays
// set, so that a later flush or the close tries again.
int32_t flush(IdxHandle* h);

// Writes the pages changed and kept, in page order. Returns 0, or 8 when
// one could not be written (reported; it stays kept for another try).
int32_t write_changed_pages(IdxHandle* h);

// True when pages changed in the open index could not be written yet (a
// flush or close failed on them): the file is then out of step with what
// the handle holds.
bool has_unwritten_pages(const IdxHandle* h);

// Forgets the changed pages not yet written and the header's changes, for a
// file about to be deleted.
void forget_changes(IdxHandle* h);

// Finds the first entry in key order whose key begins with the length bytes
// at key (a length of 0 or below: the length of key as a NUL-terminated
// string; a length above the key length counts as the key length).
// Returns its record number, or 0 when there is none; then the cursor stands
// in the leaf where key would go, on the first greater entry (or one past the
// leaf's last), as if that entry had just been returned.
int32_t search(IdxHandle* h, const char* key, int32_t length);

// Move the cursor to the first / last entry and return its record number;
// 0 for an empty index.
int32_t top(IdxHandle* h);
int32_t bottom(IdxHandle* h);

// Move the cursor one entry forward / backward and return that entry's
// record number. 0 when there is none; the cursor is then unpositioned and
// both return 0 until search, top or bottom positions it again.
int32_t next(IdxHandle* h);
int32_t back(IdxHandle* h);

// Inserts an entry for the key-length bytes at key and record number recno
// (non-zero) after every entry with an equal key, splitting full pages on the
// way up. Changed pages are kept as copies and written when their slot is
// wanted, by flush or by close (index_state.h); a new root or new pages
// change the header, which flush or close writes back after them. Leaves the cursor unpositioned.
// Returns 0 when the entry is in; else the failure, already reported: 7 a
// page could not be read, memory could not be had or the tree is damaged
// (nothing was written), 8 a page could not be written (a read-only index,
// or a kept copy written to make room; the tree may then hold part of the
// change). A closed
// handle, a null key or a record number of 0: 5, nothing done.
int32_t insert(IdxHandle* h, const char* key, int32_t recno);

// Removes the entry under the cursor (placed there by search and next) and
// brings the separators above it up to date; emptied pages stay in the file.
// Does nothing when the cursor is not on an entry. Leaves the cursor
// unpositioned. Returns 0 (removed, or nothing to remove; 5 for a closed
// handle), or 8 when a page could not be written (reported; the tree may then
// hold part of the change).
int32_t remove(IdxHandle* h);

// The key of the entry the cursor last stood on (key_length bytes, not
// NUL-terminated; all zero when the cursor has stood on no entry yet), or null
// for a closed handle. The bytes stay valid until the next operation on h.
const char* current_key(const IdxHandle* h);

// The record number of the entry the cursor stands on (the one the last
// search, top, bottom, next or back returned, or after a search that found
// nothing the first greater entry); 0 when it stands on none or the handle
// is closed.
int32_t current_recno(const IdxHandle* h);

// True when the open index was built for expression with keys of key_length
// bytes: its header's key length is key_length and the expression text at
// offset 24 (up to the first blank or NUL, within 100 bytes) equals
// expression without regard to letter case. False for a closed handle or a
// header that cannot be read. An index that another index file was copied
// over answers for the wrong key however well its file time agrees.
bool built_for(const IdxHandle* h, const char* expression, int32_t key_length);

// The index's key length in bytes; 0 for a closed handle.
int32_t key_length(const IdxHandle* h);

}  // namespace osp::index
