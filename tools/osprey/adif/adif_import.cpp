#include "adif/adif_import.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "adif/adif_reader.h"
#include "osprey32.h"

namespace osprey_tool {

namespace {

constexpr int32_t kQuickOpen = OSP_OPEN_QUICK;   // the contact and remarks files only
// compare file times, store them at the close
constexpr int32_t kCheckTimes = OSP_OPEN_CHECK_TIMES;
constexpr size_t kProgressStep = 512;
constexpr size_t kRecordBytesAtLeast = 160;

}  // namespace

bool read_whole_file(const std::string& path, std::string* out) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!in) return false;
  out->clear();
  char chunk[1 << 16];
  if (std::fseek(in.get(), 0, SEEK_END) == 0) {
    const long size = std::ftell(in.get());
    if (size > 0) out->reserve(static_cast<size_t>(size));
    std::rewind(in.get());
  }
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, in.get())) > 0) out->append(chunk, got);
  return std::ferror(in.get()) == 0;
}

AdifImportResult import_adif(LogHandle* log, std::string_view file,
                             const AdifImportOptions& options) {
  AdifImportResult result;
  // The keys of the contacts already in the log.
  std::unordered_set<std::string> keys;
  const int32_t existing = log->dbs.handle.record_count;
  // Room for the log's contacts and the file's records (a record takes a
  // few hundred bytes), so that the set is not rebuilt as it grows.
  keys.reserve(static_cast<size_t>(existing) + file.size() / kRecordBytesAtLeast + 1024);
  // One sequential pass over the log's contacts, ended before the first
  // append (the files must not change during a pass).
  log->dbs.handle.current_recno = 0;
  for (int32_t recno = 1; recno <= existing; ++recno) {
    const int32_t r = DBS_Xread(log);
    if (r != 0) {
      result.status = r;
      result.error = "contact " + std::to_string(recno) + " of the log cannot be read";
      return result;
    }
    keys.insert(duplicate_key(log->view));
  }
  log->dbs.handle.current_recno = existing;
  DBS_Xread(log);

  // The contacts go in a bulk run, written in runs; the flush at the end
  // ends it and says whether every run reached the log.
  OSP_bulk_begin(log);
  AdifText text;
  AdifReader reader(file, options.encoding);
  AdifRecord record;
  while (true) {
    const AdifRead step = reader.next(&record);
    if (step == AdifRead::kEnd) break;
    if (step == AdifRead::kError && reader.unterminated()) {
      ++result.records;
      // A field whose length ran past an <EOR> may have taken the last one.
      result.refused.push_back(
          {reader.record_number(),
           {"EOR", "the file ends before the record's <EOR>: left out" +
                       (reader.warning().empty() ? "" : " (" + printable_text(reader.warning()) + ")")}});
      break;
    }
    if (step == AdifRead::kError) {
      result.error = "the file is damaged in record " + std::to_string(reader.record_number()) +
                     ": " + printable_text(reader.error());
      break;
    }
    ++result.records;
    if (!reader.warning().empty()) result.warnings.push_back(printable_text(reader.warning()));
    for (const AdifField& f : record.fields)
      if (!is_contact_field(f.name)) ++result.unknown_fields[f.name];
    ContactView view;
    AdifRefusal why;
    result.notes.record = reader.record_number();
    if (!contact_of_adif(record, text, &view, &why, &result.notes, options.keep_utc)) {
      result.refused.push_back({reader.record_number(), why});
      continue;
    }
    if (!keys.insert(duplicate_key(view)).second) {
      result.duplicates.push_back(reader.record_number());
      if (!options.allow_duplicates) continue;
    }
    log->view = view;
    const int32_t r = DB_append(log);
    if (r != 0) {
      result.status = r;
      result.error = "record " + std::to_string(reader.record_number()) +
                     " could not be written to the log";
      break;
    }
    ++result.imported;
    if (options.progress && result.records % kProgressStep == 0)
      options.progress(reader.offset(), file.size());
  }
  result.encoding = reader.encoding();
  const int32_t flushed = OSP_flush(log);
  if (flushed != 0 && result.status == 0) {
    result.status = flushed;
    result.error = "the contacts could not all be written to the log";
  }
  if (result.status != 0)
    result.imported = static_cast<size_t>(std::max(0, log->dbs.handle.record_count - existing));
  if (options.progress) options.progress(file.size(), file.size());
  return result;
}

AdifImportResult import_adif_file(const std::string& base, const std::string& path,
                                  const AdifImportOptions& options) {
  AdifImportResult result;
  std::string file;
  if (!read_whole_file(path, &file)) {
    result.error = "cannot read " + path;
    return result;
  }
  auto log = std::make_unique<LogHandle>();
  std::memset(log.get(), 0, sizeof *log);
  result.status = OspreyOpen(nullptr, log.get(), base.c_str(), 0, kQuickOpen);
  if (result.status != 0) {
    result.error = "the log cannot be opened";
    return result;
  }
  result = import_adif(log.get(), file, options);
  OspreyClose(log.get(), kQuickOpen);
  if (result.imported == 0) return result;
  const int32_t reopened = OspreyOpen(nullptr, log.get(), base.c_str(), 0, kCheckTimes);
  if (reopened != 0) {
    if (result.status == 0) {
      result.status = reopened;
      result.error = "the contacts were added, but the indexes could not be rebuilt";
    }
    return result;
  }
  OspreyClose(log.get(), kCheckTimes);
  result.indexes_rebuilt = true;
  return result;
}

}  // namespace osprey_tool
