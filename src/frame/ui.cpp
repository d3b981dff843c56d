#include "frame/ui.h"

#include <cstdio>
#include <cstring>

#include "platform/env.h"

namespace osp {

namespace {
OspHooks g_hooks{};
}  // namespace

int32_t message_box(int32_t use_active, const char* text, const char* caption, uint32_t style) {
  if (g_hooks.message_box != nullptr)
    return g_hooks.message_box(g_hooks.ctx, use_active, text, caption, style);
  return platform::env()->message_box(use_active, text, caption, style);
}

void text_out(void* device_context, int32_t x, int32_t y, const char* text, int32_t length) {
  if (g_hooks.text_out != nullptr) {
    g_hooks.text_out(g_hooks.ctx, device_context, x, y, text, length);
    return;
  }
  platform::env()->text_out(device_context, x, y, text, length);
}

void draw_file_progress(void* device_context, int32_t notice_x, const char* notice,
                        int32_t notice_length, const char* path) {
  if (device_context == nullptr) return;
  char blanks[201];
  std::snprintf(blanks, sizeof blanks, "%200s", "");
  text_out(device_context, 0, 136, blanks, 200);
  text_out(device_context, 0, 160, blanks, 200);
  text_out(device_context, notice_x, 136, notice, notice_length);
  const auto length = static_cast<int32_t>(std::strlen(path));
  text_out(device_context, (360 - 9 * length) / 2, 160, path, length);
}

void beep(uint32_t type) {
  if (g_hooks.beep != nullptr) {
    g_hooks.beep(g_hooks.ctx, type);
    return;
  }
  platform::env()->beep(type);
}

OspLocalTime local_time() {
  OspLocalTime now{};
  if (g_hooks.local_time != nullptr) {
    g_hooks.local_time(g_hooks.ctx, &now);
  } else {
    platform::env()->local_time(&now);
  }
  return now;
}

void set_hooks(const OspHooks* hooks) { g_hooks = hooks != nullptr ? *hooks : OspHooks{}; }

}  // namespace osp
