// DBS_Xread: the whole contact file of an open log in record-number order,
// one contact per call, without a seek and a read per contact. The contact
// file is read 2000 records at a time; the remark blocks of the contacts
// still to come are read in one piece from the tail of the remarks file
// (blocks are appended there), and only a block outside that window is read
// on its own.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::contact {

// Delivers the contact after the one that current_recno of log->dbs names:
// current_recno is raised by one, then the contact's record goes to
// dbs_image (57 data bytes), its remark block to the remark buffer, and both,
// unpacked with separators and remarks, to view; exactly what OSP_read with
// both options gives for that record.
// Returns:
//   0  delivered;
//   10 current_recno had reached the record count: nothing read, the pass
//      (if any) released, current_recno left one above the count;
//   11 current_recno was below 0 (a pass starts at record 1 at the
//      earliest): nothing read, no pass begun;
//   6  memory for the batch or the window could not be had (reported with
//      the contact file's path); nothing stays allocated;
//   21 the contact file holds fewer bytes than its count says, or cannot be
//      read, at this record (reported); the pass is released;
//   2  the contact file's record size is not 58 (reported);
//   5  the log or its contact file is not open (reported unless the log is
//      null).
// The pass state belongs to log: passes over different logs do not mix, and
// closing the log releases its pass. When current_recno was moved during a
// pass, the next call reads a fresh batch from the record it names. A log
// whose remarks file is not open delivers its contacts without remarks.
// The contact and remarks files must not change during a pass.
int32_t read_next_contact(LogHandle* log);

}  // namespace osp::contact
