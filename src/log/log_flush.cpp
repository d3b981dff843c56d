#include "log/log_flush.h"

#include "dbf/record_file.h"
#include "frame/status.h"
#include "index/index_file.h"
#include "log/held_appends.h"
#include "log/index_edits.h"
#include "log/log_paths.h"
#include "log/log_write_protocol.h"
#include "platform/env.h"

namespace osp::log {

namespace {

int32_t flush_record_file(DbfHandle* h) {
  return platform::is_open(h->file) ? dbf::flush(h) : status::kOk;
}

// Keeps the first failure.
void keep_first(int32_t* first, int32_t result) {
  if (*first == status::kOk) *first = result;
}

}  // namespace

int32_t flush_log(LogHandle* log) {
  if (log == nullptr) return status::kCannotOpen;
  // A flush ends a bulk run: what it holds is written first.
  int32_t first = end_bulk(log);
  keep_first(&first, flush_record_file(&log->mst.handle));
  keep_first(&first, flush_record_file(&log->dbs.handle));
  keep_first(&first, protocol::sync_remarks_file(log));
  for (int i = 0; i < kLogIndexCount; ++i) {
    keep_first(&first, index::flush(&log->index_slot[i]));
    // An index whose changed pages cannot reach its file is out of step
    // with it: dropped, as an edit that fails drops it, and built anew by
    // the next open.
    if (index::has_unwritten_pages(&log->index_slot[i])) drop_index(log, i);
  }
  return platform::is_open(log->dbs.handle.file) ? first : status::kCannotOpen;
}

}  // namespace osp::log
