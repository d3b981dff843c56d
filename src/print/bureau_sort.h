// The order in which the QSL bureau sorts cards: an array of entries, no
// record moves. (The rewrites of the contact and master files in date and
// code order are the log's: log/log_rewrites.h.)
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

}  // namespace osp::print
