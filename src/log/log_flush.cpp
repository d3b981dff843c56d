#include "log/log_flush.h"

#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/status.h"
#include "index/index_file.h"
#include "log/log_paths.h"
#include "log/remarks_file.h"
#include "platform/env.h"

namespace osp::log {

namespace {

void flush_record_file(DbfHandle* h) {
  if (platform::is_open(h->file)) dbf::flush(h);
}

}  // namespace

void flush_remarks_file(LogHandle* log) {
  if (log->dbr_dirty == 0 || !platform::is_open(log->dbr_file)) return;
  if (write_back_remarks_header(log) == status::kOk) file_flush(log->dbr_file);
}

void flush_contact_files(LogHandle* log) {
  flush_remarks_file(log);
  flush_record_file(&log->dbs.handle);
  index::flush(&log->index_slot[0]);
  index::flush(&log->index_slot[1]);
}

int32_t flush_log(LogHandle* log) {
  if (log == nullptr) return status::kCannotOpen;
  flush_record_file(&log->mst.handle);
  flush_record_file(&log->dbs.handle);
  flush_remarks_file(log);
  for (int i = 0; i < kLogIndexCount; ++i) index::flush(&log->index_slot[i]);
  return platform::is_open(log->dbs.handle.file) ? status::kOk : status::kCannotOpen;
}

}  // namespace osp::log
