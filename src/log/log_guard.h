// The checks that every cursor move and every write makes before it touches a
// file of a log: the files it needs must be open in the LogHandle. A handle
// that was never opened, or was closed, holds no file (0 or below), and its
// stale fields must never reach the platform. And the question a write asks
// before it goes ahead.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// What an operation needs open, as bits.
namespace need {
inline constexpr uint32_t kContacts = 1;        // the ".dbs" file
inline constexpr uint32_t kMasters = 2;         // the ".mst" file
inline constexpr uint32_t kContactIndexes = 4;  // index slots 0 and 1
inline constexpr uint32_t kMasterCodeIndex = 8; // index slot 2
inline constexpr uint32_t kMasterIndexes = 16;  // index slots 2, 3 and 4
// An append that may join a bulk run: the contacts held stay held. Without
// it, a check that needs the contact file has a bulk run's held contacts
// written first, so that the operation reads the count and records that the
// files hold (a run that fails lowers the count).
inline constexpr uint32_t kMayHold = 32;
}  // namespace need

// Returns 0 when every file that needs names is open in log (contact-file
// held writes settled unless needs has kMayHold). Otherwise
// reports status 5 with the path of the first closed file (contact file,
// master file, then the index slots in order) and returns 5. A null log is
// refused with 5 without a message.
int32_t require_open(const LogHandle* log, uint32_t needs);

// The same for one index slot of log (0 to 5); a slot number outside the six
// is refused with 5 without a message.
int32_t require_slot_open(const LogHandle* log, int32_t slot);

// Reports code through report_status with a path field of a LogHandle as the
// subject, never reading past the field's 260 bytes.
void report_path_status(int32_t code, const char* path_field);

// The question that a contact or master write asks before it goes ahead:
// "データを登録してよろしいですか？" (may the data be registered?) with Yes, No and
// Cancel and the question icon. Only Yes (6) lets the write go ahead.

enum class WriteKind { kUpdate, kAppend };

// Asks, captioned "データの修正" (modify data) for an update or "データの追加" (add
// data) for an append, owned by the active window (use_active non-zero) or
// the parent of the active window when it has one. Returns the answer (6
// Yes, 7 No, 2 Cancel; 0 when no box could be shown).
int32_t ask_to_register(WriteKind kind, int32_t use_active);

}  // namespace osp::log
