#include "adif_import.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <unordered_set>

#include "adif_reader.h"
#include "osprey32.h"

namespace osprey_tool {

namespace {

constexpr int32_t kCheckTimes = 1;  // compare file times, store them at the close
constexpr int32_t kAsIs = 0;        // store no times: the next open sees the change
constexpr int32_t kSeparators = 1;
constexpr size_t kProgressStep = 500;

bool read_whole(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  if (in.bad()) return false;
  *out = std::move(s).str();
  return true;
}

void draw_progress(size_t done, size_t total, size_t records) {
  constexpr int kWidth = 40;
  const int filled = total == 0 ? kWidth : static_cast<int>(done * kWidth / total);
  std::fprintf(stderr, "\rimporting [%-*s] %3d%% %zu records", kWidth,
               std::string(static_cast<size_t>(filled), '#').c_str(),
               total == 0 ? 100 : static_cast<int>(done * 100 / total), records);
  std::fflush(stderr);
}

}  // namespace

AdifImportResult import_adif(const std::string& base, const std::string& path,
                             const AdifImportOptions& options) {
  AdifImportResult result;
  std::string file;
  if (!read_whole(path, &file)) {
    result.error = "cannot read " + path;
    return result;
  }
  auto log = std::make_unique<LogHandle>();
  std::memset(log.get(), 0, sizeof *log);
  result.status = OspreyOpen(nullptr, log.get(), base.c_str(), 0, kCheckTimes);
  if (result.status != 0) {
    result.error = "the log cannot be opened";
    return result;
  }

  // The keys of the contacts already in the log.
  std::unordered_set<std::string> keys;
  const int32_t existing = log->dbs.handle.record_count;
  keys.reserve(static_cast<size_t>(existing) * 2 + 1024);
  for (int32_t recno = 1; recno <= existing; ++recno) {
    const int32_t r = OSP_read(log.get(), recno, kSeparators);
    if (r != 0) {
      result.status = r;
      result.error = "contact " + std::to_string(recno) + " of the log cannot be read";
      OspreyClose(log.get(), kCheckTimes);
      return result;
    }
    keys.insert(duplicate_key(log->view));
  }

  AdifText text;
  AdifReader reader(file);
  AdifRecord record;
  while (true) {
    const AdifRead step = reader.next(&record);
    if (step == AdifRead::kEnd) break;
    if (step == AdifRead::kError) {
      result.error = "the file is damaged in record " + std::to_string(reader.record_number()) +
                     ": " + reader.error();
      break;
    }
    ++result.records;
    for (const AdifField& f : record.fields)
      if (!is_contact_field(f.name)) ++result.unknown_fields[f.name];
    ContactView view;
    AdifRefusal why;
    if (!contact_of_adif(record, text, &view, &why, &result.notes)) {
      result.refused.push_back({reader.record_number(), why});
      continue;
    }
    if (!keys.insert(duplicate_key(view)).second) {
      result.duplicates.push_back(reader.record_number());
      if (!options.allow_duplicates) continue;
    }
    log->view = view;
    const int32_t r = DB_append(log.get());
    if (r != 0) {
      result.status = r;
      result.error = "record " + std::to_string(reader.record_number()) +
                     " could not be written to the log";
      break;
    }
    ++result.imported;
    if (options.progress && result.records % kProgressStep == 0)
      draw_progress(reader.offset(), file.size(), result.records);
  }
  if (options.progress) {
    draw_progress(file.size(), file.size(), result.records);
    std::fputc('\n', stderr);
  }

  if (result.imported == 0) {
    OspreyClose(log.get(), kCheckTimes);
    return result;
  }
  // The new contacts have no index entries yet: drop indexes 0 and 1 and
  // let the open build them again from the contact file.
  const std::string call_index = log->index_slot[0].path;
  const std::string code_index = log->index_slot[1].path;
  OspreyClose(log.get(), kAsIs);
  std::remove(call_index.c_str());
  std::remove(code_index.c_str());
  const int32_t reopened = OspreyOpen(nullptr, log.get(), nullptr, 0, kCheckTimes);
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
