// The fixed-column contact line: one contact as a line of text, the form in
// which contacts are imported into a log. Columns, counted from 0:
//   0-6 call sign, 7-9 portable designation, 10-15 area code, 16-21 grid
//   locator, 22-28 frequency text, 29-31 mode, 32-43 name, 44-46 QSL marks,
//   47-52 date (yymmdd), 53-56 time (hhmm), 57 zone ("J" Japan Standard
//   Time, anything else UTC), 58-60 his report (two digits and the T
//   character), 61-63 my report, 64-91 remark 1, 92-145 remark 2, 146-199
//   remark 3.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::text {

inline constexpr int32_t kContactLineColumns = 200;
// The buffer a caller hands over holds at least this many bytes (columns
// 200 to 218 are not used).
inline constexpr int32_t kContactLineBuffer = 219;

// The columns of the fields, in the order of the line.
namespace line_column {
inline constexpr int32_t kCallsign = 0, kPortable = 7, kCode = 10, kGrid = 16, kFrequency = 22,
                         kMode = 29, kName = 32, kQsl = 44, kDate = 47, kTime = 53, kZone = 57,
                         kHisReport = 58, kMyReport = 61, kRemark1 = 64, kRemark2 = 92,
                         kRemark3 = 146;
}  // namespace line_column

// Text_QFRappend: appends the contact of line (its first 200 columns, which
// are only read) to the open log as its last contact, with its remark block.
// The record is built from the line's columns as they stand, NULs included:
// the texts are copied unchanged (an area code of kind 3 keeps its fourth
// character), the frequency's seven columns are packed as written (a
// trailing point is not tidied away; a NUL among them counts as a blank),
// and date, time and reports become their binary bytes by the two-character
// rule. Only the three remarks pass through the view, each ending at its
// first NUL, to be packed into the block. The block is written first (5 or
// 22 reported with the ".dbr" path), then the record (a failure reported
// with the ".dbs" path, the block and the remarks file's count taken back),
// through the log's write protocol as DB_append writes. The log's indexes are
// not updated; they are marked stale, and the caller has them rebuilt after a
// run of appends. Returns 0 or the status; 5 for a null log or line, or a
// log whose contact file is not open.
int32_t append_contact_line(LogHandle* log, const char* line);

}  // namespace osp::text
