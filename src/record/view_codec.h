// The two conversions between a stored contact and its view: unpack (the
// record's data bytes and remark buffer into the 15 text fields of a
// ContactView) and pack (the view back into the record's data bytes).
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

// Unpack options (bit values).
inline constexpr int32_t kUnpackSeparators = OSP_READ_SEPARATORS;  // '/' in the date, ':' in the time
inline constexpr int32_t kUnpackRemarks = OSP_READ_REMARKS;     // fill the remarks from the remark buffer
inline constexpr int32_t kUnpackBoth = OSP_READ_FULL;        // what the cursor uses

// Unpacks the 57 data bytes of a contact (data) into view. The three remark
// fields are first filled with blanks; with kUnpackRemarks the remark texts
// are copied in from remark_text (remark 1 first, then 2, then 3) with the
// lengths remark_len, each capped at its field's width (28, 54, 54) so that
// damaged lengths never reach past the buffer. remark_len and remark_text
// are not read without kUnpackRemarks and may then be null. Every field
// ends in its NUL. Bits of options other than 1 and 2 are ignored.
void unpack_contact(const uint8_t* data, const uint8_t* remark_len, const char* remark_text,
                    int32_t options, ContactView* view);

// Unpacks log->dbs_image and log's remark buffer into log->view.
void unpack_view(LogHandle* log, int32_t options);

// Packs view into the data bytes of a contact (data), leaving OFS alone.
// First tidies view itself: the frequency text (see clean_frequency) and,
// for a code of kind 3, the code's fourth character, which becomes 'A'.
// Text fields are copied up to their NUL or their stored width, whichever
// comes first; record bytes beyond a shorter text keep what they held, so a
// caller fills each view field to its width. Date, time and reports are read
// at fixed places (yy/mm/dd, hh:mmZ, RST).
void pack_contact(ContactView* view, uint8_t* data);

// Packs log->view into log->dbs_image.
void pack_view(LogHandle* log);

}  // namespace osp::log
