#include "text/contact_line.h"

#include <cstring>

#include "frame/status.h"
#include "record/contact_record.h"
#include "record/field_codec.h"
#include "log/log_guard.h"
#include "log/log_write_protocol.h"
#include "record/remark_block.h"

namespace osp::text {

namespace {

// Copies a text field of the line into the record's data bytes unchanged.
void store(const char* line, int32_t column, const log::RecordField& field, uint8_t* data) {
  std::memcpy(data + field.data(), line + column, static_cast<size_t>(field.width));
}

// Copies a remark of the line into its view field, followed by a NUL.
template <size_t N>
void take_remark(const char* line, int32_t column, char (&field)[N]) {
  std::memcpy(field, line + column, N - 1);
  field[N - 1] = '\0';
}

}  // namespace

int32_t append_contact_line(LogHandle* log, const char* line) {
  if (log == nullptr || line == nullptr) return status::kCannotOpen;
  // As DB_append: the contact may join a bulk run that the caller began.
  const int32_t open = log::require_open(log, log::need::kContacts | log::need::kMayHold);
  if (open != status::kOk) return open;
  using namespace line_column;
  namespace contact = log::contact;
  uint8_t* d = log->dbs_image;
  // The texts as they stand: the call sign's seven columns fill CALLS and
  // IGN, and the area code keeps its shape whatever its kind.
  store(line, kCallsign, contact::kCallsign, d);
  store(line, kPortable, contact::kPotbl, d);
  store(line, kCode, contact::kCode, d);
  store(line, kGrid, contact::kGl, d);
  store(line, kMode, contact::kMode, d);
  store(line, kName, contact::kName, d);
  store(line, kQsl, contact::kQsl, d);
  // The frequency's seven columns are packed as written: no tidying of a
  // trailing point first.
  log::pack_frequency(line + kFrequency, d + contact::kFreq.data());
  uint8_t* date = d + contact::kDate.data();
  date[0] = contact::year_byte(log::pair_value(line + kDate));
  date[1] = log::pair_value(line + kDate + 2);
  date[2] = log::pair_value(line + kDate + 4);
  uint8_t* time = d + contact::kTime.data();
  time[0] = log::pair_value(line + kTime);
  time[1] = static_cast<uint8_t>(log::pair_value(line + kTime + 2) |
                                 (line[kZone] != 'J' ? contact::kUtc : 0));
  log::pack_report(line + kHisReport, d + contact::kRst.data());
  log::pack_report(line + kMyReport, d + contact::kRst.data() + 2);
  // Only the remarks go through the view, to be packed into the block.
  ContactView& v = log->view;
  take_remark(line, kRemark1, v.remark1);
  take_remark(line, kRemark2, v.remark2);
  take_remark(line, kRemark3, v.remark3);
  log::pack_remarks(log);
  return log::protocol::append_contact(log, log::protocol::Indexing::kWithoutIndexes);
}

}  // namespace osp::text
