// ADIF in and out through `osprey export --format adif` and `osprey import`
// of an .adi or .adx file.
#include "commands/cmd_transfer.h"

#include <strings.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "adif/adif_export.h"
#include "adif/adif_import.h"
#include "commands/commands.h"
#include "contacts_session.h"
#include "exit_codes.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kQuickOpen = OSP_OPEN_QUICK;   // the contact and remarks files only
constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;  // compare file times: rebuild stale indexes
constexpr size_t kShownPerKind = 50;

std::string utc_timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d %H%M%S", &utc);
  return text;
}

bool ends_with_nocase(const std::string& s, const char* suffix) {
  const size_t n = std::char_traits<char>::length(suffix);
  return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

void print_import_report(const AdifImportResult& r, bool allow_duplicates) {
  for (size_t i = 0; i < r.refused.size() && i < kShownPerKind; ++i) {
    const AdifRefusedRecord& x = r.refused[i];
    std::printf("refused record %zu: %s: %s\n", x.record, x.refusal.field.c_str(),
                x.refusal.reason.c_str());
  }
  if (r.refused.size() > kShownPerKind)
    std::printf("(%zu more refused records)\n", r.refused.size() - kShownPerKind);
  for (size_t i = 0; i < r.duplicates.size() && i < kShownPerKind; ++i)
    std::printf("duplicate record %zu: the log has a contact with its call, date, time, band and "
                "mode%s\n",
                r.duplicates[i], allow_duplicates ? " (imported all the same)" : " (skipped)");
  if (r.duplicates.size() > kShownPerKind)
    std::printf("(%zu more duplicate records)\n", r.duplicates.size() - kShownPerKind);
  if (!r.unknown_fields.empty()) {
    size_t total = 0;
    std::string names;
    for (const auto& [name, count] : r.unknown_fields) {
      total += count;
      names += (names.empty() ? "" : ", ") + name;
    }
    std::printf("skipped %zu values of fields the log does not keep: %s\n", total, names.c_str());
  }
  if (r.notes.reports_dropped != 0)
    std::printf("%zu reports not in RS or RST form were left blank\n", r.notes.reports_dropped);
  if (r.notes.texts_cut != 0)
    std::printf("%zu texts were cut to their field's width\n", r.notes.texts_cut);
  if (r.notes.characters_replaced != 0)
    std::printf("%zu characters without a Shift-JIS form became '?'\n",
                r.notes.characters_replaced);
}

}  // namespace

bool is_adif_file(const std::string& path) {
  return ends_with_nocase(path, ".adi") || ends_with_nocase(path, ".adx");
}

bool back_up_before_import(const std::string& context, const std::string& base) {
  const LogFiles files = log_files(base);
  std::vector<std::string> changed = {files.contacts, files.remarks};
  for (const std::string& index : files.indexes) changed.push_back(index);
  for (const char* profile : {".fdt", ".FDT"}) changed.push_back(replace_extension(base, profile));
  std::string error;
  if (back_up(changed, &error, stderr, "osprey: ")) return true;
  fail_with_message(context, error + "; nothing was imported");
  return false;
}

void run_adif_export(const std::string& base, bool adx, int32_t from, int32_t to,
                     const std::string& output) {
  const std::string context = "export";
  SessionHooks hooks(Answers::kNo);
  AdifExportResult r;
  std::FILE* out = stdout;
  {
    OpenLog open(hooks, context, base, kQuickOpen, Use::kView);
    if (!open.ok()) return;
    // The output is made only once the log has opened: a log that does not
    // open leaves a file of that name as it was.
    if (!output.empty() && (out = std::fopen(output.c_str(), "wb")) == nullptr) {
      fail_with_message(context, "cannot write " + output, exit_code::kOutputFailed);
      return;
    }
    AdifExportOptions options;
    options.format = adx ? AdifFormat::kAdx : AdifFormat::kAdi;
    options.from = from;
    options.to = to;
    const int32_t count = open.get()->dbs.handle.record_count;
    const int32_t last = to <= 0 || to > count ? count : to;
    r = export_adif(open.get(), options, utc_timestamp(),
                    "Contacts " + std::to_string(from) + " to " + std::to_string(last) +
                        " of the log " + base + ", written by osprey (times in UTC)",
                    out);
  }
  const bool closed = out == stdout || std::fclose(out) == 0;
  if (r.status != 0) {
    fail_with_status(context, r.status, r.error);
    return;
  }
  if (!r.error.empty() || !closed) {
    fail_with_message(context, r.error.empty() ? "cannot write " + output : r.error,
                      exit_code::kOutputFailed);
    return;
  }
  std::fprintf(stderr, "osprey: exported %zu contacts%s%s%s\n", r.records,
               r.deleted != 0 ? (" (" + std::to_string(r.deleted) + " deleted left out)").c_str()
                              : "",
               output.empty() ? "" : " to ", output.c_str());
  if (r.notes.transliterated != 0 || r.notes.left_out != 0)
    std::fprintf(stderr,
                 "osprey: ADI carries ASCII only: %zu texts written in ASCII letters, %zu left "
                 "out (use --adx to keep Japanese text)\n",
                 r.notes.transliterated, r.notes.left_out);
}

void run_adif_import(const std::string& base, const std::string& path, bool allow_duplicates) {
  const std::string context = "import";
  std::string file;
  if (!read_whole_file(path, &file)) {
    fail_with_message(context, "cannot read " + path);
    return;
  }
  SessionHooks hooks(Answers::kNo);
  AdifImportResult r;
  {
    // The log must open for changing before anything is copied or written.
    OpenLog open(hooks, context, base, kQuickOpen, Use::kChange);
    if (!open.ok()) return;
    if (!back_up_before_import(context, base)) return;
    ProgressBar bar;
    AdifImportOptions options;
    options.allow_duplicates = allow_duplicates;
    options.progress = [&bar](size_t done, size_t total) {
      bar.amount(static_cast<int64_t>(done), static_cast<int64_t>(total), "importing records");
    };
    r = import_adif(open.get(), file, options);
    bar.finish("read " + std::to_string(r.records) + " records");
  }
  print_import_report(r, allow_duplicates);
  // The appends left indexes 0 and 1 stale: an open that compares file times
  // rebuilds them, and its close stores the new times.
  bool rebuilt = false;
  if (r.imported != 0) {
    const OpenLog again(hooks, context, base, kOpenChecked, Use::kChange);
    rebuilt = again.ok();
  }
  std::printf("read %zu records: imported %zu, refused %zu, duplicates %zu%s\n", r.records,
              r.imported, r.refused.size(), r.duplicates.size(),
              rebuilt ? "; indexes rebuilt" : "");
  if (r.status != 0) {
    fail_with_status(context, r.status, r.error);
  } else if (!r.error.empty()) {
    fail_with_message(context, r.error);
  } else if (r.imported != 0 && !rebuilt) {
    // The reopen said why; the exit status is already set.
  } else if (!r.refused.empty()) {
    set_exit_status(exit_code::kProblemsFound);
  }
}

}  // namespace osprey_tool
