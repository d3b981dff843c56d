// DBS_Xread: the whole contact file of an open log in record-number order,
// one contact per call, without a seek and a read per contact. The contact
// file is read 2000 records at a time; the remark blocks of the contacts
// still to come are read in one piece from the tail of the remarks file
// (blocks are appended there), and only a block outside that window is read
// on its own. Also the pass's state, and the batch of consecutive records
// that the pass and the worked/confirmed walk read at once.
#pragma once

#include <cstdint>

#include "log/log_state.h"
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

// The state of a sequential pass over a log's contact file (DBS_Xread), kept
// per LogHandle outside the caller's structure, so that passes over two
// logs never mix. A pass holds a batch of consecutive contact records and a
// window on the tail of the remarks file; both are read once per batch or
// per pass and released when the pass ends or the log is closed.
inline constexpr int32_t kBatchRecords = 2000;
inline constexpr int32_t kBatchSlack = 2;  // the batch buffer holds 2002 records
inline constexpr int32_t kBatchRecordSize = 58;
inline constexpr int32_t kBatchBytes = kBatchRecords * kBatchRecordSize;  // 116,000 per read
inline constexpr int64_t kWindowMargin = 560;
inline constexpr int32_t kWindowSlack = 140;  // one remark block copied past the window's end

// The pass's buffers and positions live in the log's state (log_state.h),
// which ends the pass when the log closes.
using PassState = log::SequentialPass;

// The active pass of log, or null when it has none.
PassState* find_pass(const LogHandle* log);

// Starts a pass for log: allocates the state and its batch buffer, with a
// window of window_length bytes. Returns null, with nothing allocated, when
// memory cannot be had. log must have no active pass.
PassState* start_pass(LogHandle* log, int64_t window_length);

// Ends log's pass, if it has one, and releases its buffers. Closing a log
// ends its pass too (its state goes).
void end_pass(LogHandle* log);

// The number of passes under way in the process (for tests).
int32_t active_pass_count();

// Consecutive records of a record file held in memory after one read, so
// that a walk over many records costs one read per batch instead of one
// per record. A batch only ever hands out records whose bytes were really
// read; for anything else the caller reads the record itself (and gets
// the record file's own status).
class RecordBatch {
 public:
  RecordBatch() = default;
  ~RecordBatch();
  RecordBatch(const RecordBatch&) = delete;
  RecordBatch& operator=(const RecordBatch&) = delete;

  // Reads up to count records of h from record first (at least 1; records
  // past the record count are not read). Returns false, with the batch
  // empty, when no memory can be had or nothing could be read.
  bool load(const DbfHandle* h, int32_t first, int32_t count);

  // The data bytes (record size - 1, without the mark) of record recno, or
  // null when the batch does not hold all of them.
  const uint8_t* data(int32_t recno) const;
  // The same, writable, so that a caller that writes a record keeps the
  // batch in step.
  uint8_t* mutable_data(int32_t recno);
  // The deletion mark of record recno ('*' deleted), or '\0' when the batch
  // does not hold the record.
  char mark(int32_t recno) const;

 private:
  uint8_t* bytes_ = nullptr;
  int64_t capacity_ = 0;  // bytes allocated
  int32_t first_ = 0;
  int32_t held_ = 0;  // whole records read
  int32_t record_size_ = 0;
};

}  // namespace osp::contact
