// Small services over an open log, built from the cursor and the writes:
// copying area names from the master file into contacts, listing the
// entries of an index that share a call sign, and the date a file header
// was last updated.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

inline constexpr int32_t kDuplicateSlots = 1001;  // entries of DupIndexRead's array
inline constexpr int32_t kDuplicatesKept = 1000;  // the last ones kept
inline constexpr int32_t kDuplicateKeyLength = 6;

// CopyFromMAS: for every contact, in record order, whose remark 1 is empty
// (its first two characters blanks), whose code is not blank (its first two
// characters) and whose code finds a master entry through slot 2: the
// master's 28-byte area name becomes remark 1, the remark block is rewritten
// and the contact's OFS updated. Returns the number of the first contact
// changed, 0 when none was. Leaves view, images, remark buffer and the
// cursors where the last step put them. Refuses (5 reported, 0 returned) a
// log whose contact file, master file or slot 2 is not open.
int32_t copy_from_master(LogHandle* log);

// DupIndexRead: fills the 1001 entries of results with 0, then with the
// record numbers of the entries of idx whose key begins with the 6 bytes of
// key, in index order; returns how many matched. With more than 1000 matches
// the array holds the last 1000; entry 1000 is always 0. A key whose first 6
// bytes hold its NUL matches nothing (the NUL takes part in the comparison).
// Leaves the index cursor after the last match. Null results: 0.
int32_t duplicates(IdxHandle* idx, const char* key, int32_t* results);

// Get_lupdate: bytes 1, 2 and 3 of header (year % 100, month, day) as
// "yy/mm/dd", in a library buffer overwritten by the next call. A null
// header gives an empty text.
char* last_update_text(const void* header);

}  // namespace osp::log
