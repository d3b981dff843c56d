// OSP_update: rewriting one contact or master entry after the user agreed,
// moving only the index entries whose key changed.
#include <cstring>

#include "dbf/record_file.h"
#include "frame/status.h"
#include "log/contact_record.h"
#include "log/index_edits.h"
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

constexpr int32_t kOwnerBits = OSP_CONFIRM_OWNER_BITS;  // confirmation word: owner of the question

// How a contact changed: 0 not at all, 1 its record, 2, 4 or 8 (a later test
// overriding an earlier one) remark 1, 2 or 3.
int32_t change_class(const LogHandle* log, const LogHandle* old) {
  int32_t change = 0;
  if (std::memcmp(log->dbs_image, old->dbs_image, static_cast<size_t>(contact::kOfs.data())) != 0)
    change = 1;
  if (std::strncmp(log->view.remark1, old->view.remark1, sizeof log->view.remark1) != 0) change = 2;
  if (std::strncmp(log->view.remark2, old->view.remark2, sizeof log->view.remark2) != 0) change = 4;
  if (std::strncmp(log->view.remark3, old->view.remark3, sizeof log->view.remark3) != 0) change = 8;
  return change;
}

// Asks unless the word suppresses the write; true when the write may go ahead.
bool confirmed(int32_t* confirm, int32_t use_active) {
  const int32_t word = confirm != nullptr ? *confirm : 0;
  if ((word & kWriteSuppressed) != 0) return false;
  const int32_t answer = ask_to_register(WriteKind::kUpdate, use_active);
  if (confirm != nullptr) *confirm = answer;
  return answer == platform::kIdYes;
}

// Reads record recno as stored; a failure is reported with the file's path.
int32_t read_stored(DbfSlot* file, int32_t recno, uint8_t* record) {
  const int32_t r = dbf::read(&file->handle, recno, record);
  if (r != status::kOk) report_path_status(r, file->path);
  return r;
}

// Entry k of the viewer, 1 to viewer_count, shows contact number
// record_count - viewer_count + k.
void refresh_viewer(LogHandle* log, int32_t recno) {
  if (log->viewer == nullptr) return;
  const int64_t k = static_cast<int64_t>(log->viewer_count) -
                    (static_cast<int64_t>(log->dbs.handle.record_count) - recno);
  if (k <= 0 || k > log->viewer_count || k > static_cast<int64_t>(log->viewer_capacity) + 1)
    return;
  log->viewer[k] = log->view;
}

int32_t update_contact(LogHandle* log, const LogHandle* old, int32_t recno, int32_t* confirm) {
  int32_t r = require_open(log, need::kContacts | need::kContactIndexes);
  if (r != status::kOk) return r;
  pack_view(log);
  const int32_t change = change_class(log, old);
  if (change == 0) return status::kOk;
  const int32_t word = confirm != nullptr ? *confirm : 0;
  if (!confirmed(confirm, (word & kOwnerBits) != 0 ? 1 : 0)) return status::kOk;

  uint8_t stored[contact::kRecordSize];
  r = read_stored(&log->dbs, recno, stored);
  if (r != status::kOk) return r;
  if (change >= 2) pack_remarks(log);
  r = protocol::update_contact(log, recno, stored, change >= 2);
  if (r != status::kOk) return r;
  refresh_viewer(log, recno);
  return status::kOk;
}

int32_t update_master(LogHandle* log, LogHandle* old, int32_t recno, int32_t* confirm) {
  int32_t r = require_open(log, need::kMasters | need::kMasterIndexes);
  if (r != status::kOk) return r;
  mark_not_applicable(log->mst_image);
  if (std::memcmp(log->mst_image, old->mst_image, master::kDataSize) == 0) return status::kOk;
  if (!confirmed(confirm, 1)) return status::kOk;

  uint8_t stored[master::kRecordSize + 1];
  r = read_stored(&log->mst, recno, stored);
  if (r != status::kOk) return r;
  r = protocol::update_master(log, recno, stored);
  if (r == status::kOk || r == kEntryMoved || r == status::kIndexRebuildNeeded) {
    // The old copy's first 7 bytes become its FLG and CODE, the old key of
    // index 3, as callers of this update have always found them.
    std::memmove(old->mst_image + 1, old->mst_image, 6);
    old->mst_image[0] = old->mst_image[master::kFlg.data()];
  }
  return r;
}

}  // namespace

int32_t update(LogHandle* log, LogHandle* old_copy, int32_t recno, int32_t flags,
               int32_t* confirm) {
  if (log == nullptr || old_copy == nullptr) return status::kCannotOpen;
  if ((flags & kWriteContacts) != 0) return update_contact(log, old_copy, recno, confirm);
  return update_master(log, old_copy, recno, confirm);
}

}  // namespace osp::log
