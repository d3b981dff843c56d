// The state of a sequential pass over a log's contact file (DBS_Xread), kept
// per LogHandle outside the caller's structure, so that passes over two
// logs never mix. A pass holds a batch of consecutive contact records and a
// window on the tail of the remarks file; both are read once per batch or
// per pass and released when the pass ends or the log is closed.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::contact {

inline constexpr int32_t kBatchRecords = 2000;
inline constexpr int32_t kBatchSlack = 2;  // the batch buffer holds 2002 records
inline constexpr int32_t kBatchRecordSize = 58;
inline constexpr int32_t kBatchBytes = kBatchRecords * kBatchRecordSize;  // 116,000 per read
inline constexpr int64_t kWindowMargin = 560;
inline constexpr int32_t kWindowSlack = 140;  // one remark block copied past the window's end

struct PassState {
  const LogHandle* log = nullptr;
  uint8_t* batch = nullptr;   // (kBatchRecords + kBatchSlack) * 58 bytes, zero-filled
  int32_t batch_index = 0;    // the record of the batch that the next call delivers
  int32_t batch_valid = 0;    // bytes of the batch really read
  int32_t next_recno = 0;     // the record the batch delivers next
  uint8_t* window = nullptr;  // window_length + kWindowSlack bytes, zero-filled
  int64_t window_offset = 0;  // remarks-file offset of window[0]
  int64_t window_length = 0;  // bytes the window was sized for
  int64_t window_valid = 0;   // bytes of the window really read
  PassState* next = nullptr;
};

// The active pass of log, or null when it has none.
PassState* find_pass(const LogHandle* log);

// Starts a pass for log: allocates the state and its batch buffer, with a
// window of window_length bytes. Returns null, with nothing allocated, when
// memory cannot be had. log must have no active pass.
PassState* start_pass(const LogHandle* log, int64_t window_length);

// Ends log's pass, if it has one, and releases its buffers. Registered as a
// close hook of the log, so closing a log ends its pass.
void end_pass(LogHandle* log);

// The number of passes under way in the process (for tests).
int32_t active_pass_count();

}  // namespace osp::contact
