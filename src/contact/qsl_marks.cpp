#include "contact/qsl_marks.h"

#include "dbf/record_file.h"
#include "frame/status.h"
#include "record/contact_record.h"
#include "log/log_guard.h"

namespace osp::contact {

namespace {

int32_t write_mark(LogHandle* log, int32_t recno, int32_t mark, const log::RecordField& field) {
  const int32_t guard = log::require_open(log, log::need::kContacts);
  if (guard != status::kOk) return guard;
  const uint8_t byte = static_cast<uint8_t>(mark & 0xFF);
  const int32_t r = dbf::write2(&log->dbs.handle, recno, &byte, field.offset, field.width);
  if (r != status::kOk) log::report_path_status(r, log->dbs.path);
  return r;
}

}  // namespace

int32_t write_sent_mark(LogHandle* log, int32_t recno, int32_t mark) {
  return write_mark(log, recno, mark, log::contact::kSentMark);
}

int32_t write_received_mark(LogHandle* log, int32_t recno, int32_t mark) {
  return write_mark(log, recno, mark, log::contact::kReceivedMark);
}

}  // namespace osp::contact
