#include "log/log_guard.h"

#include <cstring>

#include "frame/file.h"
#include "frame/report.h"
#include "frame/status.h"
#include "log/log_paths.h"
#include "platform/env.h"

namespace osp::log {

namespace {

constexpr int32_t kSlotCount = kLogSlotCount;

bool slot_open(const LogHandle* log, int32_t slot) {
  return platform::is_open(log->index_slot[slot].file) && log->index_slot[slot].state != nullptr;
}

int32_t refuse(const char* path_field) {
  report_path_status(status::kCannotOpen, path_field);
  return status::kCannotOpen;
}

}  // namespace

void report_path_status(int32_t code, const char* path_field) {
  char subject[kPathSize + 1];
  const size_t n = strnlen(path_field, kPathSize);
  std::memcpy(subject, path_field, n);
  subject[n] = '\0';
  report_status(code, subject);
}

int32_t require_open(const LogHandle* log, uint32_t needs) {
  if (log == nullptr) return status::kCannotOpen;
  if ((needs & need::kContacts) != 0 && !platform::is_open(log->dbs.handle.file))
    return refuse(log->dbs.path);
  if ((needs & need::kContacts) != 0 && (needs & need::kMayHold) == 0)
    file_settle(log->dbs.handle.file);
  if ((needs & need::kMasters) != 0 && !platform::is_open(log->mst.handle.file))
    return refuse(log->mst.path);
  bool slots[kSlotCount] = {};
  if ((needs & need::kContactIndexes) != 0) slots[0] = slots[1] = true;
  if ((needs & need::kMasterCodeIndex) != 0) slots[2] = true;
  if ((needs & need::kMasterIndexes) != 0) slots[2] = slots[3] = slots[4] = true;
  for (int32_t slot = 0; slot < kSlotCount; ++slot) {
    if (slots[slot] && !slot_open(log, slot)) return refuse(log->index_slot[slot].path);
  }
  return status::kOk;
}

int32_t require_slot_open(const LogHandle* log, int32_t slot) {
  if (log == nullptr || slot < 0 || slot >= kSlotCount) return status::kCannotOpen;
  if (!slot_open(log, slot)) return refuse(log->index_slot[slot].path);
  return status::kOk;
}

}  // namespace osp::log
