// ADIF in and out:
//   osprey export-adif LOG [--adx] [--from N] [--to N] [-o FILE]
//   osprey import-adif LOG FILE [--allow-duplicates]
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "adif_export.h"
#include "adif_import.h"
#include "commands.h"
#include "contacts_session.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr size_t kRefusalsShown = 50;

struct ExportCommand {
  std::string base;
  std::string output;
  bool adx = false;
  int32_t from = 1;
  int32_t to = 0;
};

std::string utc_timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d %H%M%S", &utc);
  return text;
}

void run_export(const ExportCommand& c) {
  const std::string context = "export-adif: " + c.base;
  SessionHooks hooks(Answers::kNo);
  std::FILE* out = stdout;
  if (!c.output.empty()) {
    out = std::fopen(c.output.c_str(), "wb");
    if (out == nullptr) {
      fail_with_message(context, "cannot create " + c.output);
      return;
    }
  }
  AdifExportOptions options;
  options.format = c.adx ? AdifFormat::kAdx : AdifFormat::kAdi;
  options.from = c.from;
  options.to = c.to;
  const AdifExportResult r = export_adif(c.base, options, utc_timestamp(), out);
  if (out != stdout && std::fclose(out) != 0 && r.error.empty()) {
    fail_with_message(context, "cannot write " + c.output);
    return;
  }
  if (r.status != 0) {
    fail_with_status(context, r.status, r.error);
    return;
  }
  if (!r.error.empty()) {
    fail_with_message(context, r.error);
    return;
  }
  std::fprintf(stderr, "osprey: exported %zu contacts%s%s\n", r.records,
               c.output.empty() ? "" : " to ", c.output.c_str());
  if (r.notes.transliterated != 0 || r.notes.left_out != 0)
    std::fprintf(stderr,
                 "osprey: ADI carries ASCII only: %zu texts written in ASCII letters, %zu left "
                 "out (use --adx to keep Japanese text)\n",
                 r.notes.transliterated, r.notes.left_out);
}

void run_import(const std::string& base, const std::string& path, bool allow_duplicates) {
  const std::string context = "import-adif: " + base;
  SessionHooks hooks(Answers::kNo);
  AdifImportOptions options;
  options.allow_duplicates = allow_duplicates;
  options.progress = ::isatty(STDERR_FILENO) != 0;
  const AdifImportResult r = import_adif(base, path, options);

  for (size_t i = 0; i < r.refused.size() && i < kRefusalsShown; ++i) {
    const AdifRefusedRecord& x = r.refused[i];
    std::printf("refused record %zu: %s: %s\n", x.record, x.refusal.field.c_str(),
                x.refusal.reason.c_str());
  }
  if (r.refused.size() > kRefusalsShown)
    std::printf("(%zu more refused records)\n", r.refused.size() - kRefusalsShown);
  for (size_t i = 0; i < r.duplicates.size() && i < kRefusalsShown; ++i)
    std::printf("duplicate record %zu: the log has a contact with its call, date, time, band and "
                "mode%s\n",
                r.duplicates[i], allow_duplicates ? " (imported all the same)" : " (skipped)");
  if (r.duplicates.size() > kRefusalsShown)
    std::printf("(%zu more duplicate records)\n", r.duplicates.size() - kRefusalsShown);
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
  std::printf("read %zu records: imported %zu, refused %zu, duplicates %zu%s\n", r.records,
              r.imported, r.refused.size(), r.duplicates.size(),
              r.indexes_rebuilt ? "; indexes rebuilt" : "");
  if (r.status != 0)
    fail_with_status(context, r.status, r.error);
  else if (!r.error.empty())
    fail_with_message(context, r.error);
}

}  // namespace

void add_adif_commands(CLI::App& app) {
  auto e = std::make_shared<ExportCommand>();
  auto* ex = app.add_subcommand("export-adif", "Write a log's contacts as ADIF (ADI, or ADX)");
  ex->add_option("LOG", e->base, "the log's base path")->required();
  ex->add_flag("--adx", e->adx, "write ADX (XML, Japanese text in the _INTL fields)");
  ex->add_option("--from", e->from, "first record number")->check(CLI::PositiveNumber);
  ex->add_option("--to", e->to, "last record number")->check(CLI::PositiveNumber);
  ex->add_option("-o,--output", e->output, "the file to write (default: standard output)");
  ex->callback([e] { run_export(*e); });

  auto base = std::make_shared<std::string>();
  auto path = std::make_shared<std::string>();
  auto allow = std::make_shared<bool>(false);
  auto* im = app.add_subcommand("import-adif", "Add the records of an ADI or ADX file as contacts");
  im->add_option("LOG", *base, "the log's base path")->required();
  im->add_option("FILE", *path, "the ADIF file (.adi or .adx)")->required();
  im->add_flag("--allow-duplicates", *allow, "import records the log already has as well");
  im->callback([base, path, allow] { run_import(*base, *path, *allow); });
}

}  // namespace osprey_tool
