// OSP_append and DB_append: adding a contact (with its remark block) or a
// master entry at the end of its record file.
#include "frame/status.h"
#include "log/log_guard.h"
#include "log/log_write_protocol.h"
#include "log/log_writes.h"
#include "log/master_record.h"
#include "log/not_applicable.h"
#include "log/remark_block.h"
#include "log/view_codec.h"
#include "log/write_question.h"
#include "platform/env.h"

namespace osp::log {

namespace {

// A non-zero word asks first; true when the append may go ahead, with the
// word then set to Yes.
bool confirmed(int32_t* confirm, int32_t use_active) {
  if (confirm == nullptr) return true;
  if (*confirm != 0) {
    *confirm = ask_to_register(WriteKind::kAppend, use_active);
    if (*confirm != platform::kIdYes) return false;
  }
  *confirm = platform::kIdYes;
  return true;
}

int32_t append_contact(LogHandle* log, int32_t* confirm) {
  const int32_t r = require_open(log, need::kContacts | need::kContactIndexes | need::kMayHold);
  if (r != status::kOk) return r;
  if (!confirmed(confirm, 0)) return status::kOk;
  pack_view(log);
  pack_remarks(log);
  return protocol::append_contact(log, protocol::Indexing::kWithIndexes);
}

int32_t append_master(LogHandle* log, int32_t* confirm) {
  const int32_t r = require_open(log, need::kMasters | need::kMasterIndexes);
  if (r != status::kOk) return r;
  if (!confirmed(confirm, 1)) return status::kOk;
  if (!mark_not_applicable(log->mst_image)) master::set_masks(log->mst_image, 0, 0);
  return protocol::append_master(log);
}

}  // namespace

int32_t append(LogHandle* log, int32_t flags, int32_t* confirm) {
  if (log == nullptr) return status::kCannotOpen;
  if ((flags & kWriteContacts) != 0) return append_contact(log, confirm);
  return append_master(log, confirm);
}

int32_t append_without_index(LogHandle* log) {
  const int32_t r = require_open(log, need::kContacts | need::kMayHold);
  if (r != status::kOk) return r;
  pack_view(log);
  pack_remarks(log);
  return protocol::append_contact(log, protocol::Indexing::kWithoutIndexes);
}

}  // namespace osp::log
