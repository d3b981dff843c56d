#include "log/log_guard.h"

#include <cstring>

#include "frame/file.h"
#include "frame/report.h"
#include "frame/status.h"
#include "frame/ui.h"
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

namespace {

// "データを登録してよろしいですか？": may the data be registered?
constexpr char kRegisterQuestion[] =
    "\x83\x66\x81\x5B\x83\x5E\x82\xF0\x93\x6F\x98\x5E\x82\xB5\x82\xC4\x82\xE6\x82\xEB\x82\xB5"
    "\x82\xA2\x82\xC5\x82\xB7\x82\xA9\x81\x48";
// "データの修正": modify data.
constexpr char kUpdateCaption[] = "\x83\x66\x81\x5B\x83\x5E\x82\xCC\x8F\x43\x90\xB3";
// "データの追加": add data.
constexpr char kAppendCaption[] = "\x83\x66\x81\x5B\x83\x5E\x82\xCC\x92\xC7\x89\xC1";

}  // namespace

int32_t ask_to_register(WriteKind kind, int32_t use_active) {
  return message_box(use_active, kRegisterQuestion,
                     kind == WriteKind::kUpdate ? kUpdateCaption : kAppendCaption,
                     platform::kMbYesNoCancel | platform::kMbIconQuestion);
}

}  // namespace osp::log
