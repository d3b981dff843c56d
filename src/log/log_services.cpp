// The small services over an open log (log_services.h).
#include "log/log_services.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "dbf/dbf_format.h"
#include "frame/status.h"
#include "index/index_file.h"
#include "log/cursor_mode.h"
#include "log/log_cursor.h"
#include "log/log_guard.h"
#include "log/log_write_protocol.h"
#include "record/contact_record.h"
#include "record/master_record.h"
#include "record/remark_block.h"
#include "record/view_codec.h"

namespace osp::log {

// CopyFromMAS: filling empty first remarks with the names of the contacts'
// areas from the master file.
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

// DupIndexRead: the record numbers of every entry that shares a call sign.
int32_t duplicates(IdxHandle* idx, const char* key, int32_t* results) {
  if (results == nullptr) return 0;
  std::memset(results, 0, sizeof(int32_t) * kDuplicateSlots);
  if (key == nullptr) return 0;
  int32_t r = index::search(idx, key, 0);
  if (r == 0) return 0;
  // A key shorter than 6 bytes has its NUL among the 6 compared, which no
  // call sign carries; the bytes after the NUL are not the caller's to read.
  const size_t key_bytes = strnlen(key, kDuplicateKeyLength);
  if (key_bytes < static_cast<size_t>(kDuplicateKeyLength)) return 0;
  const int32_t length = index::key_length(idx);
  const size_t compared = length < kDuplicateKeyLength ? static_cast<size_t>(length)
                                                       : static_cast<size_t>(kDuplicateKeyLength);
  int32_t count = 0;
  int32_t i = 0;
  while (r != 0 && std::memcmp(index::current_key(idx), key, compared) == 0) {
    if (i == kDuplicatesKept) {
      std::memmove(results, results + 1, sizeof(int32_t) * (kDuplicatesKept - 1));
      i = kDuplicatesKept - 1;
    }
    results[i++] = r;
    if (count < INT32_MAX) ++count;
    r = index::next(idx);
  }
  return count;
}

// Get_lupdate: the date of last update that a record-file header, a
// DbfHandle or dbr_header carries in its bytes 1 to 3.
namespace {
char last_update_buffer[16];
}  // namespace

char* last_update_text(const void* header) {
  last_update_buffer[0] = '\0';
  if (header == nullptr) return last_update_buffer;
  // The remarks file's header keeps its date where a record file's does.
  const auto* date = static_cast<const uint8_t*>(header) + dbf::kHdrDate;
  std::snprintf(last_update_buffer, sizeof last_update_buffer, "%02d/%02d/%02d", date[0],
                date[1], date[2]);
  return last_update_buffer;
}

}  // namespace osp::log
