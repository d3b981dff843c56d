// CopyFromMAS: filling empty first remarks with the names of the contacts'
// areas from the master file.
#include <cstring>

#include "frame/status.h"
#include "record/contact_record.h"
#include "log/cursor_mode.h"
#include "log/log_cursor.h"
#include "log/log_guard.h"
#include "log/log_services.h"
#include "log/log_write_protocol.h"
#include "record/master_record.h"
#include "record/remark_block.h"
#include "record/view_codec.h"

namespace osp::log {

namespace {

bool blank_pair(const char* text) { return text[0] == ' ' && text[1] == ' '; }

}  // namespace

int32_t copy_from_master(LogHandle* log) {
  if (require_open(log, need::kContacts | need::kMasters | need::kMasterCodeIndex) != status::kOk)
    return 0;
  int32_t changed = 0;
  for (int32_t recno = 1; read_contact(log, recno, kUnpackBoth) == status::kOk; ++recno) {
    ContactView& v = log->view;
    if (!blank_pair(v.remark1) || blank_pair(v.code)) continue;
    char code[sizeof v.code];
    std::memcpy(code, v.code, sizeof code);
    if (seek(log, code, mode::kMastersByCode) != status::kOk) continue;
    std::memcpy(v.remark1, log->mst_image + master::kName.data(),
                static_cast<size_t>(master::kName.width));
    v.remark1[master::kName.width] = '\0';
    pack_remarks(log);
    uint32_t offset = 0;
    // A block or link that could not be written leaves the contact as it was.
    if (protocol::relink_contact_remarks(log, recno, contact::remark_offset(log->dbs_image),
                                         &offset) == status::kOk) {
      contact::set_remark_offset(log->dbs_image, offset);
      if (changed == 0) changed = recno;
    }
  }
  return changed;
}

}  // namespace osp::log
