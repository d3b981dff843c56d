// The master file rewritten in the order of its index on CODE.
#include "frame/status.h"
#include "log/log_guard.h"
#include "log/log_paths.h"
#include "platform/env.h"
#include "print/log_sorts.h"
#include "print/sort_rewrite.h"

namespace osp::print {

namespace {

// The index slot that orders the master file by CODE, and the last slot over
// the master file.
constexpr int kMasterCodeSlot = 2;
constexpr int kLastMasterSlot = 4;
constexpr int32_t kMasterSortFailed = 1;

}  // namespace

int32_t master_sort(LogHandle* log) {
  if (log == nullptr || log->mst.handle.file <= 0) return kMasterSortFailed;
  for (int i = kMasterCodeSlot; i <= kLastMasterSlot; ++i) {
    if (log->index_slot[i].file <= 0) return kMasterSortFailed;
  }
  char copy_path[log::kPathSize];
  if (!sort_work_path(log->mst.path, kSortedCopyName, copy_path)) return kMasterSortFailed;
  int32_t r = write_sorted_copy(&log->mst.handle, &log->index_slot[kMasterCodeSlot], copy_path);
  if (r == status::kOk) r = install_sorted_copy(log, &log->mst, kMasterCodeSlot, kLastMasterSlot,
                                                copy_path);
  if (r == status::kOk) return status::kOk;
  platform::env()->remove(copy_path);
  return kMasterSortFailed;
}

}  // namespace osp::print
