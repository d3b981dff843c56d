// Showing a status code's message to the user.
#pragma once

#include <cstdint>

namespace osp {

// The caption of every box the library shows: "OSPREY32.DLL".
extern const char kCaption[];

// The largest composed message text, terminating NUL included.
inline constexpr int kReportTextSize = 200;

// Composes " <message>（<subject>）" for code into out (kReportTextSize
// bytes). A subject too long to fit is cut at a character boundary so that
// the closing parenthesis always follows; a double-byte character is never
// split. A null subject counts as empty.
void compose_status_text(int32_t code, const char* subject, char* out);

// Shows code's message with subject (by convention the path of the file
// concerned) in a box captioned "OSPREY32.DLL" with an OK button and the
// error icon, owned by the parent of the active window when there is one.
// Returns 0 without a box when code is 0, else the box's result (1 for OK,
// 0 when no box could be shown).
int32_t report_status(int32_t code, const char* subject);

}  // namespace osp
