// The log's rewrites: DateTimeSort and MasterSort, and the protocol they share.
// Rewriting a record file of a log in another order: the sorted copy is
// written whole beside the file and flushed, the indexes over the file are
// dropped, the copy takes the file's place by rename, and the indexes are
// built anew. A crash at any moment leaves either the old file or the new
// one whole, and never an index that points into the other one.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// The name of the sorted copy and of the temporary date-and-time index.
inline constexpr char kSortedCopyName[] = "LOGTMP.DB$";
inline constexpr char kSortIndexName[] = "LOGTMP.ND$";

// Forms the path of the work file name in the folder of path into out
// (kPathSize bytes). False when it does not fit.
bool sort_work_path(const char* path, const char* name, char* out);

// Writes to work_path a copy of the open record file source with its records
// in the order of order (from its first entry on): the source's header
// (header_size bytes, the count set to the records written and the date to
// today), each record whole with its deletion mark, the end mark; then
// flushes and closes it. order must name every record 1 to record_count
// exactly once, and an empty order is refused. The records are placed a
// batch of about 2 MiB at a time, each batch read in file order in spans of
// up to 64 KiB; memory: the batch, its positions, one span and one bit per
// record, whatever the file's size. Returns 0, or 5 (the copy cannot be created),
// 6 (no memory), 15 (order names a record twice, one outside the file, or
// not all of them), 21 (a record cannot be read), 22 (the copy cannot be
// written or flushed). On failure the copy is removed. Silent.
int32_t write_sorted_copy(DbfHandle* source, IdxHandle* order, const char* work_path);

// Opens the record file of file (a contact or master file slot of a log,
// closed) again into its handle, trying twice. Returns 0 or dbf::open's
// failure.
int32_t reopen_record_file(DbfSlot* file);

// Puts the sorted copy at work_path in the place of the record file of file
// (the contact or master file of log) and rebuilds index slots first_slot
// to last_slot over it: marks those indexes stale in the profile, closes the
// slots and removes their files, closes the record file, renames the copy
// over it, builds each index anew and reopens it in its slot, flushed to
// disk, and reopens the record file. Returns 0 when the copy is in place and every slot open
// again; 5 when the rename failed (the old file stays, reopened with its
// indexes built anew, and the copy is removed); 23 when an index could not
// be built, opened or flushed to disk (its slot stays closed and its file
// missing or unusable, so that the next open builds it); 5 from the record
// file's reopen. Silent.
int32_t install_sorted_copy(LogHandle* log, DbfSlot* file, int first_slot, int last_slot,
                            const char* work_path);


// DateTimeSort: rewrites the contact file of a fully open log so that its
// records stand in "DATE+TIME" order (equal keys in old record order), each
// with its deletion mark and its OFS. The work files "LOGTMP.ND$" (the
// temporary date-and-time index) and "LOGTMP.DB$" (the sorted copy) are made
// in the contact file's folder; the copy is written whole and flushed, index
// slots 0 and 1 are closed and their files removed, and the copy takes the
// contact file's place by rename; then both indexes are built anew and
// reopened in their slots. A crash at any point leaves the old file or the
// new one whole, with indexes that are missing (rebuilt by the next open) or
// right. Returns 0, or 25 reported with the work file's path; after a
// failure the contact file is open again in its handle, unchanged, and no
// work file remains.
int32_t date_time_sort(LogHandle* log);

// MasterSort: rewrites the master file of a fully open log in the order of
// index slot 2 (CODE), each record with its deletion mark, by the same
// protocol in the master file's folder; slots 2 to 4 are built anew and
// reopened. An index that does not name every master record exactly once
// (an empty or stale one) replaces nothing. Returns 0, or 1 without a
// message; after a failure the master file is open again, unchanged, and no
// work file remains.
int32_t master_sort(LogHandle* log);

}  // namespace osp::log
