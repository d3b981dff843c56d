// The write protocol of a log: the one place that owns the order in which a
// change reaches the files of a log, so that a log stays consistent whatever
// step fails and wherever the power goes. Every writer of a log goes through
// it: updates, appends (with or without index entries), master copy, the
// open's dropping of remark links, and writers that add or rewrite contacts
// in bulk.
//
// Invariants, kept by every function below:
//  1. Stale mark first. Before the first change to a record file since its
//     header was last written back, the profile's time of that file is
//     cleared (the profile file is synced before it is renamed into place,
//     and its folder after), so that an open with the time check rebuilds
//     the indexes over it should the process end in the middle of the change.
//     Changes that touch no key (remark links only) need no mark. The mark
//     holds until a close stores the times again, which syncs the record
//     files and every index first; what the profile holds is remembered from
//     the first change on, so later changes do not read it again.
//  2. Block before record. A contact's remark block is written before the
//     record that points at it; with write_through, when the record is to
//     link to a block at a new place (an append, a block moved to the end of
//     the file), the remarks file (its blocks and its header) is synced before
//     the record is written, and the contact file after it (data syncs:
//     the files' times are not needed). No record on disk
//     points at a block that did not reach the disk. A block rewritten where
//     it stood adds no link: both files are synced after the record, so that
//     the moment in which the record and its block disagree stays short.
//  3. Record before index. Index entries are inserted or moved only after
//     their record was written. Without write_through changed index pages
//     may stay kept in memory until flush or close (the stale mark, 1, has
//     the next open with the time check rebuild the indexes should the
//     process end first). With write_through every changed page and the
//     header's root and next free page are written before the call returns,
//     but not synced: the indexes can be rebuilt from the record files, so a
//     durable write costs two syncs, the remarks file's and the contact
//     file's.
//  4. Taken back on failure. A block that could not be written leaves the
//     remarks file as it was; a record that could not be written takes its
//     block (and, for an append, the raised contact count) back, so that no
//     record points at a block that is not its own and no count covers a
//     contact that is not there. An index edit that fails after its record
//     was written drops the slot (it is rebuilt at the next open).
//  5. Links before a new remarks file. A remarks file made anew for an
//     existing contact file is made under a temporary name and takes the old
//     one's place (by rename, the folder synced) only after every contact's
//     link was dropped and the contact file synced; when a link cannot be
//     dropped, the new file is deleted and the old one stays.
//  6. Counts in the headers reach the disk at write-back (flush, close, or
//     each write with write_through); a write-back that fails is returned and
//     leaves its file dirty, so that the next flush or the close tries again.
//  7. Acknowledged means written. When an append or update returns 0 its
//     remark block and record are in the operating system (positioned
//     writes; synced only with write_through), so a process that ends right
//     after loses nothing that the count repair of the next open cannot
//     bring back. Contacts are held in memory only inside a bulk run that
//     the caller asked for (held_appends.h): their blocks and records are
//     written in runs, blocks first, before anything else reads or writes
//     those files and before any header write-back, so 2 and 6 hold for
//     them; a run that cannot be written is taken back whole (both files
//     cut back, counts, slots 0 and 1 when it had entries there) and its
//     failure returned by the bulk end, the next flush or the close.
//
// Failures are reported (report_status with the path of the file concerned)
// by the functions that say so; the others return their status silently.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log::protocol {

// Before a change to the contact file that the indexes over it follow.
void begin_contact_change(LogHandle* log);
// Before a change to the master file that the indexes over it follow.
void begin_master_change(LogHandle* log);

// Whether an appended contact gets its entries in index slots 0 and 1.
enum class Indexing { kWithIndexes, kWithoutIndexes };

// Appends the contact in dbs_image with the remark block of the remark
// buffer (pack_remarks) as contact number record_count + 1: the block at the
// end of the remarks file (its count raised by one), the record, and with
// kWithIndexes the keys in slots 0 and 1. Inside a bulk run and without
// write_through the contact is held (invariant 7); otherwise what is held is
// written first and the contact written at once, with write_through (with
// indexes only) synced as invariant 2 says and its index pages written as 3
// says. kWithoutIndexes neither indexes nor syncs (the caller has the indexes
// rebuilt). Sets the stale mark first. Returns 0; 5 or 22 from the block
// (reported with the ".dbr" path); the record append's failure (reported with
// the ".dbs" path; block and count taken back); a held run's failure; 22 when
// a write-through sync failed (reported with that file's path; the contact is
// in the files).
int32_t append_contact(LogHandle* log, Indexing indexing);

// Rewrites contact recno, whose bytes as stored are stored (57 data bytes),
// with dbs_image: with rewrite_remarks the remark buffer's block is written
// against the stored OFS first and its offset goes into OFS, else the stored
// OFS is kept; the entries of slots 0 and 1 whose keys changed are moved;
// write_through syncs as invariant 2 says. Sets the stale mark first.
// Returns 0; the block's failure (5, 11, 21, 22, reported with the ".dbr"
// path); the record write's (reported with the ".dbs" path; the stored bytes
// and the old block put back); 22 from a failed sync (reported). A missing
// index entry is reported as 15 and not returned.
int32_t update_contact(LogHandle* log, int32_t recno, const uint8_t* stored,
                       bool rewrite_remarks);

// Points contact recno at the remark buffer's block, written against
// old_offset: the block, then only the record's OFS field; write_through
// syncs as in update_contact. On success stores the new OFS in *offset.
// Returns 0 or the failure, silently, with the block taken back when the
// link could not be written.
int32_t relink_contact_remarks(LogHandle* log, int32_t recno, uint32_t old_offset,
                               uint32_t* offset);

// Drops the remark link (OFS = 0) of every contact, 1 to record_count, and
// syncs the contact file. Returns 0, or 22 (silently) when a link could not
// be written or the file not synced; the links before it stay dropped.
int32_t clear_remark_links(LogHandle* log);

// Appends mst_image as a master entry and inserts its keys into slots 2, 3
// and 4. Sets the stale mark first. Returns 0 or the record append's failure
// (reported with the ".mst" path; no index touched).
int32_t append_master(LogHandle* log);

// Rewrites master entry recno, whose bytes as stored are stored (48 data
// bytes), with mst_image, and moves the entries of slots 2, 3 and 4 whose
// keys changed. Sets the stale mark first. Returns the record write's failure
// (reported with the ".mst" path; the stored bytes put back), else the result
// of re-indexing slot 4: 0 its key did not change, 1 moved, 15 missing.
int32_t update_master(LogHandle* log, int32_t recno, const uint8_t* stored);

// Puts a file rewritten whole (a sorted contact or master file) in place of
// path: the new file at temp_path, which the caller has written, flushed to
// disk and closed, is renamed over path and the folder synced, so that a
// crash leaves either the old file or the new one whole, never part of each.
// Returns 0; 5 when the rename failed (the old file and temp_path stay as
// they were); 22 when the folder could not be synced (the new file is in
// place). Silent.
int32_t replace_by_rename(const char* temp_path, const char* path);

// The write-through syncs, for writers that change the files in their own
// way: the remarks file (header written back when dirty, then the platform's
// data sync) and the contact file (header write-back and data sync), in this
// order. Returns 0 or the first failure, silently.
int32_t sync_remarks_file(LogHandle* log);
int32_t sync_contact_file(LogHandle* log);

}  // namespace osp::log::protocol
