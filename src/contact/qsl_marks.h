// The QSL marks of a stored contact: the route mark, the sent mark and the
// received mark, the three characters of its QSL field (record bytes 42,
// 43 and 44). The sent and received marks are written straight into the
// contact file, without reading the contact first.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::contact {

// QSL_Send / QSL_Rcv: writes the low byte of mark as the sent mark (record
// byte 43) / the received mark (record byte 44) of contact recno of log's
// contact file. Touches nothing else: not dbs_image, not view, no index, no
// flush (the header's date is renewed at the next flush or close). Returns
// 0, or the failure after reporting it with the contact file's path: 10 or
// 11 (recno above the count or below 1; the file is unchanged), 22 (short
// write); 5 when the log or its contact file is not open (reported unless
// the log is null).
int32_t write_sent_mark(LogHandle* log, int32_t recno, int32_t mark);
int32_t write_received_mark(LogHandle* log, int32_t recno, int32_t mark);

}  // namespace osp::contact
