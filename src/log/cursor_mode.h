// The mode word of the cursor moves: which index slot (or record order),
// which record file, and the options of a move.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

namespace mode {
inline constexpr int32_t kSlotBits = 7;          // index slot 0 to 5
inline constexpr int32_t kRecordOrder = 8;       // only within the two exact values below
inline constexpr int32_t kContacts = OSP_MODE_CONTACTS;         // else the master file
inline constexpr int32_t kMasterKeyCheck = OSP_MODE_MASTER_KEY_CHECK;
inline constexpr int32_t kNoRemarks = OSP_MODE_NO_REMARKS;        // contacts: leave the remark buffer alone
inline constexpr int32_t kPassLettered = OSP_MODE_PASS_LETTERED;    // skip: pass entries lettered above 'A'
inline constexpr int32_t kTellDuplicate = OSP_MODE_TELL_DUPLICATE;   // seek on contacts: beep when the next matches

// The mode values in use.
inline constexpr int32_t kContactsByCall = OSP_MODE_CONTACTS_BY_CALL;
inline constexpr int32_t kContactsByCode = OSP_MODE_CONTACTS_BY_CODE;
inline constexpr int32_t kContactsByGrid = OSP_MODE_CONTACTS_BY_GRID;
inline constexpr int32_t kContactsInRecordOrder = OSP_MODE_CONTACTS_IN_RECORD_ORDER;
inline constexpr int32_t kMastersByCode = OSP_MODE_MASTERS_BY_CODE;
inline constexpr int32_t kMastersByFlgCode = OSP_MODE_MASTERS_BY_FLG_CODE;
inline constexpr int32_t kMastersByFlgHedEria = OSP_MODE_MASTERS_BY_FLG_HED_ERIA;
inline constexpr int32_t kMastersInRecordOrder = OSP_MODE_MASTERS_IN_RECORD_ORDER;
}  // namespace mode

inline constexpr int32_t slot_of_mode(int32_t m) { return m & mode::kSlotBits; }
inline constexpr bool is_record_order(int32_t m) {
  return m == mode::kContactsInRecordOrder || m == mode::kMastersInRecordOrder;
}
inline constexpr bool is_contact_mode(int32_t m) { return (m & mode::kContacts) != 0; }

// The type of the default message beep that a seek sounds for a duplicate.
inline constexpr uint32_t kSimpleBeep = 0xFFFF;

}  // namespace osp::log
