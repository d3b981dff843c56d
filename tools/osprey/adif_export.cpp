#include "adif_export.h"

#include <cstring>
#include <memory>

#include "adif_contact.h"
#include "adif_text.h"
#include "osprey32.h"

namespace osprey_tool {

namespace {

constexpr int32_t kQuickOpen = 2;  // the contact and remarks files only
constexpr int32_t kSeparatorsAndRemarks = 3;

}  // namespace

AdifExportResult export_adif(const std::string& base, const AdifExportOptions& options,
                             const std::string& created, std::FILE* out) {
  AdifExportResult result;
  auto log = std::make_unique<LogHandle>();
  std::memset(log.get(), 0, sizeof *log);
  result.status = OspreyOpen(nullptr, log.get(), base.c_str(), 0, kQuickOpen);
  if (result.status != 0) {
    result.error = "the log's contact or remarks file cannot be opened";
    return result;
  }
  const int32_t count = log->dbs.handle.record_count;
  const int32_t first = options.from < 1 ? 1 : options.from;
  const int32_t last = options.to <= 0 || options.to > count ? count : options.to;
  AdifText text;
  AdifWriter writer(options.format);
  for (int32_t recno = first; recno <= last; ++recno) {
    const int32_t r = OSP_read(log.get(), recno, kSeparatorsAndRemarks);
    if (r != 0) {
      result.status = r;
      result.error = "contact " + std::to_string(recno) + " cannot be read";
      break;
    }
    writer.record(adif_of_contact(log->view, text));
  }
  OspreyClose(log.get(), kQuickOpen);
  if (result.status != 0) return result;
  result.records = writer.records();
  result.notes = writer.notes();
  const std::string file = writer.file(
      created, "Contacts " + std::to_string(first) + " to " + std::to_string(last) + " of the log " +
                   base + ", written by osprey (times in UTC)");
  if (std::fwrite(file.data(), 1, file.size(), out) != file.size() || std::fflush(out) != 0)
    result.error = "the ADIF file could not be written";
  return result;
}

}  // namespace osprey_tool
