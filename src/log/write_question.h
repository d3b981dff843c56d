// The question that a contact or master write asks before it goes ahead:
// "データを登録してよろしいですか？" (may the data be registered?) with Yes, No and
// Cancel and the question icon. Only Yes (6) lets the write go ahead.
#pragma once

#include <cstdint>

namespace osp::log {

enum class WriteKind { kUpdate, kAppend };

// Asks, captioned "データの修正" (modify data) for an update or "データの追加" (add
// data) for an append, owned by the active window (use_active non-zero) or
// the parent of the active window when it has one. Returns the answer (6
// Yes, 7 No, 2 Cancel; 0 when no box could be shown).
int32_t ask_to_register(WriteKind kind, int32_t use_active);

}  // namespace osp::log
