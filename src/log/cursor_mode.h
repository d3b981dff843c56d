// The mode word of the cursor moves: which index slot (or record order),
// which record file, and the options of a move.
#pragma once

#include <cstdint>

namespace osp::log {

namespace mode {
inline constexpr int32_t kSlotBits = 7;          // index slot 0 to 5
inline constexpr int32_t kRecordOrder = 8;       // only within the two exact values below
inline constexpr int32_t kContacts = 16;         // else the master file
inline constexpr int32_t kMasterKeyCheck = 32;
inline constexpr int32_t kNoRemarks = 64;        // contacts: leave the remark buffer alone
inline constexpr int32_t kPassLettered = 256;    // skip: pass entries lettered above 'A'
inline constexpr int32_t kTellDuplicate = 512;   // seek on contacts: beep when the next matches

// The mode values in use.
inline constexpr int32_t kContactsByCall = 16;
inline constexpr int32_t kContactsByCode = 17;
inline constexpr int32_t kContactsByGrid = 21;
inline constexpr int32_t kContactsInRecordOrder = 24;
inline constexpr int32_t kMastersByCode = 34;
inline constexpr int32_t kMastersByFlgCode = 35;
inline constexpr int32_t kMastersByFlgHedEria = 36;
inline constexpr int32_t kMastersInRecordOrder = 41;
}  // namespace mode

inline constexpr int32_t slot_of_mode(int32_t m) { return m & mode::kSlotBits; }
inline constexpr bool is_record_order(int32_t m) {
  return m == mode::kContactsInRecordOrder || m == mode::kMastersInRecordOrder;
}
inline constexpr bool is_contact_mode(int32_t m) { return (m & mode::kContacts) != 0; }

// The type of the default message beep that a seek sounds for a duplicate.
inline constexpr uint32_t kSimpleBeep = 0xFFFF;

}  // namespace osp::log
