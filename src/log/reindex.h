// Keeping one index slot in step after a record's key changed: the entry of
// the record under its old key is removed and the new key inserted, after
// every entry with an equal key.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// Results of reindex besides 15.
inline constexpr int32_t kKeyUnchanged = 0;
inline constexpr int32_t kEntryMoved = 1;

// Moves record recno's entry in idx from old_key to new_key. Each key points
// at available bytes; the index's key length L of them take part. Returns 0
// when the keys agree in their first L bytes (nothing is done), 1 when the
// entry was moved, 15 when there is no entry for old_key and recno, or L
// exceeds available (the index does not fit the record: it must be rebuilt);
// 15 is reported with the index file's path.
int32_t reindex(IdxHandle* idx, int32_t recno, const uint8_t* old_key, const uint8_t* new_key,
                int32_t available);

// Inserts an entry for key (available bytes, of which the index's key length
// take part) and record recno after every entry with an equal key. An index
// whose key length exceeds available does not fit the record: nothing is
// inserted and 15 is reported with the index file's path.
void insert_entry(IdxHandle* idx, const void* key, int32_t available, int32_t recno);

}  // namespace osp::log
