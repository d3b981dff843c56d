// The three whole-log orderings: the order in which the QSL bureau sorts
// cards (an array of entries, no record moves), and the rewrites of the
// contact file in date and time order and of the master file in code order.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::print {

// One entry of the bureau order, compared as 12 unsigned bytes: the group,
// the 7 characters of the call key, the record number (32-bit, little-endian).
inline constexpr int32_t kSortEntrySize = 12;
// The caller's array holds this many entries, all set to zero first; at most
// kMaxSortedContacts of them are filled.
inline constexpr int32_t kSortEntryCount = 10001;
inline constexpr int32_t kMaxSortedContacts = 10000;

// Sort modes besides "odd: bureau order ascending, even: descending".
inline constexpr int32_t kRecordOrderAscending = 3;
inline constexpr int32_t kRecordOrderDescending = 4;

// Groups of the bureau order.
inline constexpr uint8_t kGroupAreaZero = 10;
inline constexpr uint8_t kGroupSevenJ = 100;
inline constexpr uint8_t kGroupList1 = 110;
inline constexpr uint8_t kGroupList2 = 120;
inline constexpr uint8_t kGroupList3 = 130;
inline constexpr uint8_t kGroupEight = 140;
inline constexpr uint8_t kGroupForeignLetter = 200;
inline constexpr uint8_t kGroupForeignDigit = 210;

// Makes the bureau-order entry of the contact whose data bytes are record
// (57 bytes, as in dbs_image) and whose unpacked view (with remarks) is view:
// the call key (CALLS + IGN, or with route mark 'M' the call sign after a
// qualifying '@' in remark 2, else remark 3), adjusted and grouped; lists are
// the three prefix lists (a null list matches nothing). The key changes are
// made in record's first 7 bytes. Writes 12 bytes to entry.
void make_bureau_entry(uint8_t* record, const ContactView& view, const char* const lists[3],
                       int32_t recno, uint8_t* entry);

// JARL_sort: fills entries (kSortEntryCount entries, all zeroed first) for
// the contacts first to last (clamped to the contact file) in the order of
// mode. Returns 0; -1 (after the message "印字件数は１万以内です") when the
// range holds more than 10,000 contacts; 10 when a contact could not be read
// (the entries made so far stay unsorted), or when log or entries is null or
// the contact file is not open (reported with 5). A range of fewer than two
// contacts puts first into entry 0 and reads nothing. Leaves the last contact
// read in view and dbs_image, the latter with its call-key changes.
int32_t jarl_sort(LogHandle* log, void* entries, int32_t first, int32_t last, const char* list1,
                  const char* list2, const char* list3, int32_t mode);

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

}  // namespace osp::print
