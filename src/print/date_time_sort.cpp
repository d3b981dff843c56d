// The contact file rewritten in date and time order.
#include <cstring>

#include "dbf/record_file.h"
#include "frame/report.h"
#include "frame/status.h"
#include "index/index_builder.h"
#include "index/index_file.h"
#include "log/log_guard.h"
#include "log/log_paths.h"
#include "platform/env.h"
#include "print/log_sorts.h"
#include "print/sort_rewrite.h"

namespace osp::print {

namespace {

// The key of the temporary index: year byte, month, day, hour, minute byte.
constexpr char kDateTimeExpression[] = "DATE+TIME";

// Builds the date-and-time index at index_path over the contact file, held
// open (its header written back first, so that the build reads the count the
// log has), then opens it; after a failure no index is open.
int32_t build_date_time_order(DbfSlot* contacts, const char* index_path, IdxHandle* order) {
  int32_t r = dbf::write_back_header(&contacts->handle);
  if (r == status::kOk) r = index::build(&contacts->handle, kDateTimeExpression, index_path);
  if (r == status::kOk) r = index::open(index_path, order);
  return r;
}

}  // namespace

int32_t date_time_sort(LogHandle* log) {
  if (log::require_open(log, log::need::kContacts | log::need::kContactIndexes) != status::kOk)
    return status::kWorkFileError;
  char copy_path[log::kPathSize];
  char index_path[log::kPathSize];
  if (!sort_work_path(log->dbs.path, kSortedCopyName, copy_path) ||
      !sort_work_path(log->dbs.path, kSortIndexName, index_path)) {
    report_status(status::kWorkFileError, kSortedCopyName);
    return status::kWorkFileError;
  }
  IdxHandle order{};
  order.file = OSP_NO_FILE;
  std::memcpy(order.path, index_path, sizeof order.path);
  int32_t r = build_date_time_order(&log->dbs, index_path, &order);
  if (r == status::kOk) r = write_sorted_copy(&log->dbs.handle, &order, copy_path);
  drop_slot(&order);
  platform::env()->remove(index_path);
  if (r == status::kOk) r = install_sorted_copy(log, &log->dbs, 0, 1, copy_path);
  if (r == status::kOk) return status::kOk;
  platform::env()->remove(copy_path);
  report_status(status::kWorkFileError, copy_path);
  return status::kWorkFileError;
}

}  // namespace osp::print
