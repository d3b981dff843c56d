// Decimal text to a 32-bit integer, as the log reads numbers typed by the
// user.
#pragma once

#include <cstdint>

namespace osp::contact {

// StrToLong: skips blanks and tabs, takes one optional '+' or '-' (no blank
// may follow it), then decimal digits up to the first other character. The
// value is accumulated in 32 bits and wraps silently on overflow. Text
// without digits, and a null text, give 0.
int32_t decimal_value(const char* text);

}  // namespace osp::contact
