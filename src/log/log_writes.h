// Changing a log while keeping its index slots in step with its record files.
// The files change through the write protocol (log_write_protocol.h).
// The caller edits the view (contacts) or mst_image (masters) of the
// LogHandle; an update also takes a copy of the handle as it was before the
// edit. Bit value 16 of flags chooses the contact file, else the master file.
//
// Every write refuses, with 5 reported, a log whose files it needs are not
// open: the contact file and index slots 0 and 1 for contacts, the master
// file and index slots 2 to 4 for masters (the remarks file only when a
// remark block is to be written: 5 from the block write). A write that fails
// part-way leaves the log consistent: no index entry for a record that was
// not written, no record pointing at a remark block that was not written, no
// count raised for a contact that was not appended.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

inline constexpr int32_t kWriteContacts = OSP_WRITE_CONTACTS;  // flags: the contact file
inline constexpr int32_t kWriteSuppressed = OSP_CONFIRM_FIND_ONLY;  // confirmation word: find the change only

// OSP_update. Packs the view (contacts) and compares with old_copy: the 53
// data bytes before OFS and the three remarks of its view (masters: the 48
// data bytes of mst_image, after the not-applicable masks were set for codes
// from 5 with a fourth character above 'A'). Without a change: 0, nothing
// asked. With bit 16 in *confirm: 0, nothing written. Else asks (contacts:
// owned by the active window when bits 0-3 of *confirm are non-zero, else by
// its parent; masters: the active window) and stores the answer in *confirm;
// anything but Yes: 0.
//
// Then the record is read as stored (10, 11, 21 reported with the record
// file's path and returned, nothing written), its remark block rewritten when
// a remark changed (failures reported with the ".dbr" path), the record
// written (22 reported), and the index entries whose key changed against the
// stored record moved (a missing entry is reported as 15). Contacts: OFS
// comes from the stored record or the block write, whatever dbs_image held;
// with write_through the files are synced in the write protocol's order (a
// failed sync is reported and returned as 22, the viewer left alone); the
// viewer entry showing recno is refreshed; returns 0. Masters: the old copy's first 7 bytes of mst_image
// become its FLG and CODE (the old key of index 3); returns the result of
// re-indexing slot 4: 0 unchanged, 1 moved, 15 entry missing.
// A null confirm reads as 0 and receives nothing.
int32_t update(LogHandle* log, LogHandle* old_copy, int32_t recno, int32_t flags,
               int32_t* confirm);

// OSP_append. With a non-zero *confirm asks first (captioned for an append)
// and stores the answer; anything but Yes: 0. Sets *confirm to 6 before
// anything is written. Contacts: packs the view and its remarks, appends the
// remark block (raising the remarks file's count; 5 or 22 reported with the
// ".dbr" path), appends the record (failure reported with the ".dbs" path;
// the block and the count are taken back), inserts its keys into slots 0 and
// 1, and with write_through syncs the files in the write protocol's order (a
// failed sync reported and returned as 22). Masters: sets the not-applicable masks
// (0x80008000 for codes from 5 with a fourth character above 'A', else 0),
// appends mst_image (failure reported with the ".mst" path) and inserts its
// keys into slots 2, 3 and 4.
int32_t append(LogHandle* log, int32_t flags, int32_t* confirm);

// DB_append: appends the view as a contact, with its remark block, without a
// question, without index entries and without write-through. Returns 0, or
// 5 or 22 from the remark block (reported with the ".dbr" path), or the
// record append's failure (reported with the ".dbs" path; the block and the
// count taken back). The caller has the indexes over the contact file
// rebuilt afterwards.
int32_t append_without_index(LogHandle* log);

// OSP_zap: empties the contact file (count 0, header written back at once,
// the file cut after the header and its end mark), the remarks file (cut to
// its header, count 0, header written back) and index slots 0 and 1. The
// master file, its indexes and the viewer buffer stay as they are. Does
// nothing when the contact file is not open.
void zap(LogHandle* log);

// OSP_flush: the master file, the contact file, the remarks-file header (when
// dirty: stamped with today's date and written; then the file is flushed)
// and index slots 0 to 4, each when it is open; every one is tried even when
// an earlier one failed. Returns 5 when the contact file is not open (null
// log included), else the first failure (22 from a record file or the
// remarks file, 5 or 8 from an index, which reports its own), else 0. A file
// whose header could not be written back stays dirty, so that the next flush
// or the close tries again.
int32_t flush_log(LogHandle* log);


}  // namespace osp::log
