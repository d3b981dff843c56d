#include "adif/adif_export.h"

#include <ctime>
#include <memory>

#include "adif/adif_contact.h"
#include "adif/adif_text.h"

namespace osprey_tool {

namespace {

constexpr size_t kMarkChunk = 1 << 20;  // bytes of the contact file read at a time

}  // namespace

bool read_deletion_marks(const char* path, const DbfHandle& handle, int32_t first, int32_t last,
                         std::vector<bool>* marks) {
  marks->assign(last >= first ? static_cast<size_t>(last - first + 1) : 0, false);
  if (marks->empty()) return true;
  const auto record_size = static_cast<size_t>(handle.record_size);
  if (record_size == 0) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path, "rb"), &std::fclose);
  if (!in) return false;
  const long start = static_cast<uint16_t>(handle.header_size) +
                     static_cast<long>(first - 1) * static_cast<long>(record_size);
  if (std::fseek(in.get(), start, SEEK_SET) != 0) return false;
  const size_t per_chunk = kMarkChunk / record_size + 1;
  std::vector<char> chunk(per_chunk * record_size);
  size_t done = 0;
  while (done < marks->size()) {
    const size_t want = std::min(per_chunk, marks->size() - done);
    const size_t got = std::fread(chunk.data(), 1, want * record_size, in.get());
    // A record the file lacks is left live here: its read fails later.
    const size_t whole = got / record_size;
    for (size_t i = 0; i < whole; ++i) (*marks)[done + i] = chunk[i * record_size] != ' ';
    if (whole < want) break;
    done += whole;
  }
  return true;
}

AdifExportResult export_adif(LogHandle* log, const AdifExportOptions& options,
                             const std::string& created, const std::string& description,
                             std::FILE* out) {
  AdifExportResult result;
  const int32_t count = log->dbs.handle.record_count;
  result.first = options.from < 1 ? 1 : options.from;
  result.last = options.to <= 0 || options.to > count ? count : options.to;
  std::vector<bool> deleted;
  if (!read_deletion_marks(log->dbs.path, log->dbs.handle, result.first, result.last, &deleted)) {
    result.status = OSP_DATA_READ_ERROR;
    result.error = std::string("the contact file ") + log->dbs.path + " cannot be read";
    return result;
  }
  AdifText text;
  AdifWriter writer(options.format);
  AdifRecord record;
  // One sequential pass: the contacts come in batches rather than with a
  // seek and a read each.
  log->dbs.handle.current_recno = result.first - 1;
  for (int32_t recno = result.first; recno <= result.last; ++recno) {
    const int32_t r = DBS_Xread(log);
    if (r != 0) {
      result.status = r;
      result.error = "contact " + std::to_string(recno) + " cannot be read";
      return result;
    }
    if (deleted[static_cast<size_t>(recno - result.first)]) {
      ++result.deleted;
      continue;
    }
    adif_of_contact(log->view, text, &record);
    writer.record(record);
  }
  // Leave the pass: a later read starts afresh.
  log->dbs.handle.current_recno = log->dbs.handle.record_count;
  DBS_Xread(log);
  result.records = writer.records();
  result.notes = writer.notes();
  if (!writer.write(created, description, out)) result.error = "the ADIF file could not be written";
  return result;
}

std::string adif_created_now() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d %H%M%S", &utc);
  return text;
}

}  // namespace osprey_tool
