// OSP_zap: emptying the contact file, the remarks file and the indexes over
// the contact file.
#include <cstring>

#include "dbf/record_file.h"
#include "frame/file.h"
#include "index/index_file.h"
#include "index/index_format.h"
#include "log/index_edits.h"
#include "log/log_writes.h"
#include "log/remarks_file.h"
#include "log/log_write_protocol.h"
#include "platform/env.h"

namespace osp::log {

namespace {

// Removes every entry of an open index slot, first to last. When an entry
// does not go away (a page could not be written, or the tree holds it
// twice), the slot is dropped for the next open to build anew.
void empty_index(LogHandle* log, int slot) {
  IdxHandle* idx = &log->index_slot[slot];
  const int32_t length = index::key_length(idx);
  uint8_t previous_key[index::kMaxKeyLength];
  int32_t previous = 0;
  for (;;) {
    const int32_t recno = index::top(idx);
    if (recno == 0) return;
    const char* key = index::current_key(idx);
    const bool again =
        recno == previous && std::memcmp(key, previous_key, static_cast<size_t>(length)) == 0;
    previous = recno;
    std::memcpy(previous_key, key, static_cast<size_t>(length));
    if (again || index::remove(idx) != 0) {
      drop_index(log, slot);
      return;
    }
  }
}

}  // namespace

void zap(LogHandle* log) {
  if (log == nullptr || !platform::is_open(log->dbs.handle.file)) return;
  protocol::begin_contact_change(log);

  // The header says 0 contacts before the records go, so that a file cut
  // short is never taken for one that holds them.
  DbfHandle* dbs = &log->dbs.handle;
  dbs->record_count = 0;
  dbs->flags = dbf::kFlagWritten | dbf::kFlagCountChanged;
  dbf::write_back_header(dbs);
  file_truncate(dbs->file, static_cast<int64_t>(static_cast<uint16_t>(dbs->header_size)) + 1);
  // Written back once more at the next flush or close, should the write
  // above not have reached the file.
  dbs->flags = dbf::kFlagWritten | dbf::kFlagCountChanged;

  set_remarks_count(log->dbr_header, 0);
  log->dbr_dirty = 1;
  if (platform::is_open(log->dbr_file) && write_back_remarks_header(log) == 0) {
    file_truncate(log->dbr_file, kRemarksHeaderSize);
    log->dbr_dirty = 1;
  }

  empty_index(log, 0);
  empty_index(log, 1);
}

}  // namespace osp::log
