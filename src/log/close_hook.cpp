#include "log/close_hook.h"

namespace osp::log {

namespace {

// The registered hooks; the library runs on one thread at a time.
CloseHook g_hooks[kMaxCloseHooks] = {};
int g_hook_count = 0;

}  // namespace

bool add_close_hook(CloseHook hook) {
  for (int i = 0; i < g_hook_count; ++i) {
    if (g_hooks[i] == hook) return true;
  }
  if (hook == nullptr || g_hook_count == kMaxCloseHooks) return false;
  g_hooks[g_hook_count++] = hook;
  return true;
}

void run_close_hooks(LogHandle* log) {
  for (int i = 0; i < g_hook_count; ++i) g_hooks[i](log);
}

}  // namespace osp::log
