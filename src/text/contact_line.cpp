#include "text/contact_line.h"

#include <cstring>

#include "frame/status.h"
#include "log/contact_record.h"
#include "log/log_writes.h"

namespace osp::text {

namespace {

// Copies width columns of line from column into a view field and ends it.
template <size_t N>
void take(const char* line, int32_t column, char (&field)[N]) {
  std::memcpy(field, line + column, N - 1);
  field[N - 1] = '\0';
}

// Two-character numbers with a separator between them, as the view holds
// date and time: "yy/mm/dd", "hh:mm".
void take_pairs(const char* line, int32_t column, int pairs, char separator, char* out) {
  for (int i = 0; i < pairs; ++i) {
    std::memcpy(out + 3 * i, line + column + 2 * i, 2);
    if (i + 1 < pairs) out[3 * i + 2] = separator;
  }
}

}  // namespace

int32_t append_contact_line(LogHandle* log, const char* line) {
  if (log == nullptr || line == nullptr) return status::kCannotOpen;
  // The caller's buffer stays as it is: the view is the working copy.
  ContactView& v = log->view;
  using namespace line_column;
  take(line, kCallsign, v.callsign);
  take(line, kPortable, v.portable);
  take(line, kCode, v.code);
  take(line, kGrid, v.grid);
  take(line, kFrequency, v.frequency);
  take(line, kMode, v.mode);
  take(line, kName, v.name);
  take(line, kQsl, v.qsl);
  take_pairs(line, kDate, 3, '/', v.date);
  v.date[8] = '\0';
  take_pairs(line, kTime, 2, ':', v.time);
  v.time[5] = line[kZone];
  v.time[6] = '\0';
  take(line, kHisReport, v.his_report);
  take(line, kMyReport, v.my_report);
  take(line, kRemark1, v.remark1);
  take(line, kRemark2, v.remark2);
  take(line, kRemark3, v.remark3);
  // Packing copies a text up to its NUL and leaves the rest of the stored
  // field as it was: blanks.
  std::memset(log->dbs_image, ' ', log::contact::kDataSize);
  return log::append_without_index(log);
}

}  // namespace osp::text
