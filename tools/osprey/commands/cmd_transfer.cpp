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
#include "adif/adif_text.h"
#include "commands/commands.h"
#include "contacts_session.h"
#include "exit_codes.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kQuickOpen = OSP_OPEN_QUICK;   // the contact and remarks files only
constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;  // compare file times: rebuild stale indexes
constexpr size_t kShownPerKind = 50;

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
      names += (names.empty() ? "" : ", ") + printable_text(name);
    }
    std::printf("skipped %zu values of fields the log does not keep: %s\n", total, names.c_str());
  }
  for (size_t i = 0; i < r.warnings.size() && i < kShownPerKind; ++i)
    std::printf("warning: %s\n", r.warnings[i].c_str());
  if (r.warnings.size() > kShownPerKind)
    std::printf("(%zu more warnings)\n", r.warnings.size() - kShownPerKind);
  for (const AdifNoteLine& line : note_lines(r.notes)) {
    const AdifNoteKind& kind = *line.kind;
    if (kind.count == 0) continue;
    std::string records;
    for (const size_t n : kind.first) records += (records.empty() ? "" : ", ") + std::to_string(n);
    std::printf("%s: %zu record%s (%s%s)\n", line.sentence, kind.count,
                kind.count == 1 ? "" : "s", records.c_str(),
                kind.count > kind.first.size() ? ", ..." : "");
  }
  if (r.encoding == AdifEncoding::kShiftJis || r.encoding == AdifEncoding::kLatin1)
    std::printf("the file's text was read as %s (--encoding chooses another)\n",
                adif_encoding_name(r.encoding));
}

}  // namespace

bool is_adif_file(const std::string& path) {
  return ends_with_nocase(path, ".adi") || ends_with_nocase(path, ".adx");
}

bool back_up_before_import(const std::string& context, const std::string& base) {
  std::string error;
  if (back_up(files_an_import_changes(base), &error, stderr, "osprey: ")) return true;
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
    r = export_adif(open.get(), options, adif_created_now(),
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

void add_adif_import_options(CLI::App* import, AdifImportArgs* args) {
  import->add_flag("--allow-duplicates", args->allow_duplicates,
                   "import records the log already has (same call, date, time, band, mode)");
  import->add_flag("--keep-utc", args->keep_utc,
                   "ADIF: keep contacts with Japanese stations in UTC too (they are stored in JST "
                   "otherwise, as the log keeps domestic contacts)");
  import->add_option("--encoding", args->encoding,
                     "ADIF: the file's text, sjis, utf-8 or latin1 (default: UTF-8 when it is "
                     "well-formed UTF-8, else Shift-JIS when it is well-formed Shift-JIS, else "
                     "Latin-1; an ADX file's declaration names its own)")
      ->check([](const std::string& name) {
        AdifEncoding e;
        return adif_encoding_of(name, &e) ? std::string()
                                          : "the encoding is sjis, utf-8 or latin1, not " + name;
      });
}

std::string adif_only_option(const AdifImportArgs& args) {
  if (args.keep_utc) return "--keep-utc";
  if (!args.encoding.empty()) return "--encoding";
  return "";
}

void run_adif_import(const std::string& base, const std::string& path, const AdifImportArgs& args) {
  const bool allow_duplicates = args.allow_duplicates;
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
    options.keep_utc = args.keep_utc;
    if (!args.encoding.empty()) adif_encoding_of(args.encoding, &options.encoding);
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
