// Work that a service above the log keeps for one open log, outside the
// caller's LogHandle (whose size is fixed), must end when that log closes.
// Such a service registers a hook here; closing a log runs every hook with
// the handle before the files are closed.
#pragma once

#include "osprey32.h"

namespace osp::log {

using CloseHook = void (*)(LogHandle* log);

// Adds hook to the hooks that close_log runs. Registering the same hook
// again does nothing. At most kMaxCloseHooks distinct hooks are kept;
// returns false (and keeps nothing) when they are all taken.
inline constexpr int kMaxCloseHooks = 8;
bool add_close_hook(CloseHook hook);

// Runs every registered hook with log, in the order they were added.
void run_close_hooks(LogHandle* log);

}  // namespace osp::log
