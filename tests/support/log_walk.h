// Walking the indexes of an open log through the public interface, and a
// consistency check of a whole log built on it, for tests of the cursor, the
// writes and recovery after a crash. Written from the file layouts, without
// the library's own key code, so that each checks the other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "osprey32.h"

namespace osp::test {

struct SlotEntry {
  std::string key;  // the index's key length in bytes
  int32_t recno = 0;
  bool operator==(const SlotEntry&) const = default;
};

// Every entry of index slot (0 to 5) of log in index order, walked with
// idx_top and idx_next, keys read with Idx_ReadKey.
std::vector<SlotEntry> slot_entries(LogHandle* log, int slot);

// The key that index slot 0 to 4 holds for a record's data bytes (57 for a
// contact, 48 for a master entry): CALLS, CODE, master CODE, FLG followed by
// CODE, FLG with HED and ERIA.
std::string record_key(int slot, const uint8_t* data);

// Everything wrong with an open log, one sentence each (empty when it is
// consistent): for each of slots 0 to 4, every record of its file has
// exactly one entry, each entry carries its record's key, and keys never
// go down; the remarks file counts as many contacts as the contact file;
// every contact's remark link is 0 or points at a whole block after the
// header. Reads the files through dbf_read and the remarks file's bytes.
std::vector<std::string> log_problems(LogHandle* log);

}  // namespace osp::test

namespace osp::test {
// The contact count of a remarks-file header or of dbr_header.
inline int32_t header_count_of(const uint8_t* header) {
  return static_cast<int32_t>(static_cast<uint32_t>(header[4]) |
                              static_cast<uint32_t>(header[5]) << 8 |
                              static_cast<uint32_t>(header[6]) << 16 |
                              static_cast<uint32_t>(header[7]) << 24);
}
}  // namespace osp::test
