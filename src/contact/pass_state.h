// The state of a sequential pass over a log's contact file (DBS_Xread), kept
// per LogHandle outside the caller's structure, so that passes over two
// logs never mix. A pass holds a batch of consecutive contact records and a
// window on the tail of the remarks file; both are read once per batch or
// per pass and released when the pass ends or the log is closed.
#pragma once

#include <cstdint>

#include "log/log_state.h"
#include "osprey32.h"

namespace osp::contact {

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

}  // namespace osp::contact
