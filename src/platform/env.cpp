#include "platform/env.h"

namespace osp::platform {

namespace {
Env* g_current = nullptr;
}  // namespace

Env* env() { return g_current != nullptr ? g_current : default_env(); }

void set_env(Env* e) { g_current = e; }

}  // namespace osp::platform
