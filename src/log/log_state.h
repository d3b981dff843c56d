// The side state of one open log: what the library keeps for a LogHandle
// outside the caller's structure (whose layout is fixed). The open makes the
// record (attach_state) and the close ends it (detach_state), so that nothing
// of one log outlives its close or mixes with another log's.
//
// Single caller: the library runs one call at a time; the records are not
// guarded against calls from two threads at once.
//
// What a record holds:
//  - the bulk run (held_appends.h): whether the caller asked for one, the
//    contacts gathered and not yet written, and the failure of a run written
//    behind the log's back, until the log's next bulk end, flush or close
//    returns it;
//  - which profile times the stale mark knows to be cleared (stale_mark.h);
//  - the sequential pass under way (DBS_Xread), with its buffers.
#pragma once

#include <cstdint>

#include "frame/file.h"
#include "osprey32.h"

namespace osp::log {

// A run of held appends: records and remark blocks gathered in memory, to be
// written blocks first, then records, one positioned write per file.
inline constexpr int32_t kRunBytes = 65536;

struct HeldRun {
  uint8_t* records = nullptr;  // kRunBytes each, allocated when a bulk run begins
  uint8_t* blocks = nullptr;
  FileHandle dbs = kNoFile;
  FileHandle dbr = kNoFile;
  int64_t record_at = 0;   // where the first record goes
  int32_t record_bytes = 0;
  int32_t contacts = 0;
  int64_t block_at = 0;  // the remarks file's end when the run began
  int32_t block_bytes = 0;
  int32_t count_before = 0;    // the contact count when the run began
  int32_t remarks_before = 0;  // the remarks file's count then
  bool indexed = false;        // entries of its contacts are in slots 0 and 1
};

// The state of a sequential pass over the contact file (DBS_Xread): a batch of
// consecutive contact records and a window on the tail of the remarks file.
struct SequentialPass {
  uint8_t* batch = nullptr;   // (kBatchRecords + kBatchSlack) * 58 bytes, zero-filled
  int32_t batch_index = 0;    // the record of the batch that the next call delivers
  int32_t batch_valid = 0;    // bytes of the batch really read
  int32_t next_recno = 0;     // the record the batch delivers next
  uint8_t* window = nullptr;  // window_length + kWindowSlack bytes, zero-filled
  int64_t window_offset = 0;  // remarks-file offset of window[0]
  int64_t window_length = 0;  // bytes the window was sized for
  int64_t window_valid = 0;   // bytes of the window really read
};

struct LogState {
  LogHandle* log = nullptr;
  // Bulk run: on from OSP_bulk_begin until OSP_bulk_end, OSP_flush or the
  // close. While on, appends without write_through are held in run.
  bool bulk = false;
  HeldRun run;
  int32_t failure = 0;  // a run written behind the log's back that failed
  // Profile times known to be cleared (read as 0 or cleared since the open).
  bool contact_marked_stale = false;
  bool master_marked_stale = false;
  SequentialPass* pass = nullptr;  // the pass under way, or null
  LogState* next = nullptr;
};

// Makes a fresh record for log (ending one the address had, as an open over
// a handle that was never closed). Returns null when memory cannot be had.
LogState* attach_state(LogHandle* log);

// The record of log, or null when it has none (a handle that was not opened
// through the open, or was closed).
LogState* state_of(const LogHandle* log);

// The record of log, made when it has none: for writers that are handed a
// handle that a caller filled without the open. Null without memory.
LogState* state_for(LogHandle* log);

// Ends log's record, releasing what it holds (what a bulk run still holds is
// dropped: the close writes it first). Does nothing when log has none.
void detach_state(LogHandle* log);

// Releases a pass's buffers and the pass itself; null does nothing.
void release_pass(SequentialPass* pass);

// The records of the open logs, most recent first, linked by next (to write
// other logs' runs, and to count the passes under way).
LogState* first_state();

}  // namespace osp::log
