// The library's user interface and clock: the caller's hooks (OspSetHooks)
// where set, else the platform's own calls.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp {

// Shows a modal message box and returns the button pressed (IDOK 1, IDCANCEL 2,
// IDYES 6, IDNO 7), or 0 when no box can be shown. The owner is the active
// window; with use_active 0 and an active window that has a parent, the parent.
int32_t message_box(int32_t use_active, const char* text, const char* caption, uint32_t style);

// Draws progress text into the caller's device context.
void text_out(void* device_context, int32_t x, int32_t y, const char* text, int32_t length);

// Draws the progress of a long step on a file: the two lines (y 136 and 160,
// 200 places each) cleared, the notice (notice_length bytes) at notice_x on
// the upper one and the file's path centred on the lower (9 units a
// character in a width of 360). Nothing without a device context.
void draw_file_progress(void* device_context, int32_t notice_x, const char* notice,
                        int32_t notice_length, const char* path);

// Sounds the platform's beep of the given type.
void beep(uint32_t type);

// The local date and time.
OspLocalTime local_time();

// OspSetHooks: the caller's hooks (copied), or the platform's own for null.
void set_hooks(const OspHooks* hooks);

}  // namespace osp
