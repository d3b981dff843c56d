// The text commands:
//   osprey import LOG FILE [--allow-duplicates] [--keep-utc] [--encoding E]
//   osprey export LOG --format fixed|csv|adif [--encoding utf-8|cp932] [--adx]
//                 [--from N] [--to N] [--output FILE]
//   osprey lookup TEXTFILE KEY [--type N] [--log LOG]
//   osprey lookup TEXTFILE --walk c|j|file [--type N]
// LOG is the log's base path; FILE holds fixed-column contact lines, or is
// an ADIF file (.adi, .adx: see cmd_transfer.h).

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "adif/adif_contact.h"
#include "adif/adif_export.h"
#include "commands/cmd_transfer.h"
#include "commands/commands.h"
#include "contact_formats.h"
#include "contact_input.h"
#include "contacts_session.h"
#include "osprey32.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kQuickOpen = OSP_OPEN_QUICK;  // the contact and remarks files only
constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;
constexpr int32_t kRemarksNoSeparators = OSP_READ_REMARKS;
constexpr size_t kLineColumns = 200;
constexpr size_t kLineBuffer = 219;
constexpr size_t kRequiredColumns = 64;  // through my report

bool digits(const std::string& s, size_t at, size_t n) {
  for (size_t i = at; i < at + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

int number(const std::string& s, size_t at) { return (s[at] - '0') * 10 + (s[at + 1] - '0'); }

bool report_number(const std::string& s, size_t at) {
  for (size_t i = at; i < at + 2; ++i) {
    if (s[i] != ' ' && (s[i] < '0' || s[i] > '9')) return false;
  }
  return true;
}

// Why a contact line cannot be imported, or nothing when it can. The line
// has its line end and trailing blanks removed.
std::optional<std::string> refusal(std::string line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (static_cast<unsigned char>(line[i]) < 0x20)
      return "a control character at column " + std::to_string(i + 1);
  }
  if (line.size() > kLineColumns)
    return "longer than 200 columns (" + std::to_string(line.size()) + ")";
  // Blanks that were trimmed may stand for a report's T character.
  if (line.size() < kRequiredColumns) line.resize(kRequiredColumns, ' ');
  if (line.find_first_not_of(' ') >= 7) return "no call sign in columns 1-7";
  if (!digits(line, 47, 6) || number(line, 49) < 1 || number(line, 49) > 12 ||
      number(line, 51) < 1 || number(line, 51) > 31)
    return "the date in columns 48-53 is not yymmdd: \"" + line.substr(47, 6) + "\"";
  if (!digits(line, 53, 4) || number(line, 53) > 23 || number(line, 55) > 59)
    return "the time in columns 54-57 is not hhmm: \"" + line.substr(53, 4) + "\"";
  if (line[57] != 'J' && line[57] != 'U')
    return "the zone in column 58 is neither J nor U: \"" + line.substr(57, 1) + "\"";
  if (!report_number(line, 58) || !report_number(line, 61))
    return "a report in columns 59-64 is not a number: \"" + line.substr(58, 6) + "\"";
  return std::nullopt;
}

// The fields of a contact line that make its duplicate key (call sign,
// portable, date, time and zone, frequency, mode), in a view as the log
// would hold them.
ContactView key_view_of_line(const std::string& line) {
  ContactView v = blank_view();
  const auto take = [&line](char* field, size_t width, size_t column) {
    std::memcpy(field, line.data() + column, width);
    field[width] = '\0';
  };
  take(v.callsign, 7, 0);
  take(v.portable, 3, 7);
  take(v.frequency, 7, 22);
  take(v.mode, 3, 29);
  const std::string date = line.substr(47, 2) + "/" + line.substr(49, 2) + "/" + line.substr(51, 2);
  const std::string time = line.substr(53, 2) + ":" + line.substr(55, 2) + line.substr(57, 1);
  std::memcpy(v.date, date.c_str(), sizeof v.date);
  std::memcpy(v.time, time.c_str(), sizeof v.time);
  return v;
}

void run_import(const std::string& base, const std::string& path, bool allow_duplicates) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    fail_with_message("import", "cannot read " + path);
    return;
  }
  in.seekg(0, std::ios::end);
  const long long size = in.tellg();
  in.seekg(0);
  SessionHooks hooks(Answers::kNo);
  long long imported = 0;
  long long refused = 0;
  long long line_number = 0;
  int32_t failure = 0;
  std::vector<std::string> refusals;
  std::vector<long long> duplicates;  // line numbers
  {
    OpenLog open(hooks, "import", base, kQuickOpen, Use::kChange);
    if (!open.ok()) return;
    if (!back_up_before_import("import", base)) return;
    LogHandle& log = *open.get();
    const int32_t existing = log.dbs.handle.record_count;
    // The keys of the contacts already in the log: one pass, ended before
    // the first append (the files must not change during a pass).
    std::unordered_set<std::string> keys;
    log.dbs.handle.current_recno = 0;
    for (int32_t recno = 1; recno <= existing; ++recno) {
      if (const int32_t r = DBS_Xread(&log); r != 0) {
        fail_with_status("import: contact " + std::to_string(recno) + " of the log", r);
        return;
      }
      keys.insert(duplicate_key(log.view));
    }
    // The contacts go in a bulk run (ended by the flush below).
    OSP_bulk_begin(&log);
    ProgressBar bar;
    std::string line;
    while (std::getline(in, line)) {
      ++line_number;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      line.erase(line.find_last_not_of(' ') + 1);
      if (line.empty()) continue;  // empty lines separate nothing
      if (const auto why = refusal(line)) {
        refusals.push_back(path + ":" + std::to_string(line_number) + ": refused: " + *why);
        ++refused;
        continue;
      }
      line.resize(kLineBuffer, ' ');
      if (!keys.insert(duplicate_key(key_view_of_line(line))).second) {
        duplicates.push_back(line_number);
        if (!allow_duplicates) continue;
      }
      failure = Text_QFRappend(&log, line.c_str());
      if (failure != 0) break;
      ++imported;
      if (imported % 1024 == 0) bar.amount(in.tellg(), size, "importing contacts");
    }
    // The flush writes the bulk run's last contacts; what did not land was
    // taken back and is not counted.
    const int32_t flushed = OSP_flush(&log);
    if (failure == 0) failure = flushed;
    if (failure != 0) imported = std::max(0, log.dbs.handle.record_count - existing);
    bar.finish("imported " + std::to_string(imported) + " contacts");
  }
  for (const std::string& r : refusals) std::fprintf(stderr, "osprey: %s\n", r.c_str());
  if (failure != 0) {
    fail_with_status("import: line " + std::to_string(line_number), failure,
                     std::to_string(imported) + " contacts were imported before it");
  }
  // The appends marked the contact indexes stale: an open that checks file
  // times rebuilds them, and its close records the new times.
  {
    const OpenLog again(hooks, "import", base, kOpenChecked, Use::kChange);
    if (!again.ok()) return;
  }
  std::printf("imported %lld contacts, refused %lld lines; indexes rebuilt\n", imported, refused);
  if (!duplicates.empty()) {
    std::string lines;
    for (size_t i = 0; i < duplicates.size() && i < 10; ++i)
      lines += (i == 0 ? "" : ", ") + std::to_string(duplicates[i]);
    if (duplicates.size() > 10) lines += ", ...";
    std::printf("%s %zu line%s the log already had (same call, date, time, band, mode): %s\n",
                allow_duplicates ? "imported all the same" : "skipped", duplicates.size(),
                duplicates.size() == 1 ? "" : "s", lines.c_str());
  }
  if (failure == 0 && refused > 0) set_exit_status(exit_code::kProblemsFound);
}

struct ExportArgs {
  std::string base;
  std::string format;
  std::string encoding;
  std::string output;
  bool adx = false;
  int32_t from = 1;
  int32_t to = 0;  // 0: the last contact
};

void run_export(const ExportArgs& a) {
  if (a.to != 0 && a.to < a.from) {
    fail_with_message("export", "--to " + std::to_string(a.to) + " comes before --from " +
                                    std::to_string(a.from) + ": no record lies between them",
                      exit_code::kUsage);
    return;
  }
  if (a.format == "adif") {
    if (!a.encoding.empty()) {
      fail_with_message("export", "ADIF has its own encodings: ASCII (ADI) or UTF-8 (--adx)",
                        exit_code::kUsage);
      return;
    }
    run_adif_export(a.base, a.adx, a.from, a.to, a.output);
    return;
  }
  if (a.adx) {
    fail_with_message("export", "--adx goes with --format adif", exit_code::kUsage);
    return;
  }
  const std::string& format = a.format;
  const std::string& encoding = a.encoding;
  const std::string& output = a.output;
  TextEncoding enc = format == "csv" ? TextEncoding::kUtf8 : TextEncoding::kCp932;
  if (encoding == "cp932") enc = TextEncoding::kCp932;
  if (encoding == "utf-8") enc = TextEncoding::kUtf8;
  std::string error;
  const std::unique_ptr<ContactWriter> writer = make_contact_writer(format, enc, &error);
  if (writer == nullptr) {
    fail_with_message("export", error);
    return;
  }
  SessionHooks hooks(Answers::kNo);
  OpenLog open(hooks, "export", a.base, kQuickOpen, Use::kView);
  if (!open.ok()) return;
  // The output is made only once the log has opened: a log that does not
  // open leaves a file of that name as it was.
  std::FILE* out = stdout;
  if (!output.empty() && (out = std::fopen(output.c_str(), "wb")) == nullptr) {
    fail_with_message("export", "cannot write " + output, exit_code::kOutputFailed);
    return;
  }
  {
    LogHandle& log = *open.get();
    writer->begin(out);
    const int32_t count = dbf_rcount(&log.dbs.handle);
    const int32_t first = a.from < 1 ? 1 : a.from;
    const int32_t last = a.to <= 0 || a.to > count ? count : a.to;
    // Deleted contacts are not part of the log's text: an import of the
    // export would bring them back as live contacts.
    std::vector<bool> deleted;
    if (!read_deletion_marks(log.dbs.path, log.dbs.handle, first, last, &deleted))
      fail_with_message("export", std::string("cannot read ") + log.dbs.path);
    for (int32_t recno = first; recno <= last && exit_status() == 0; ++recno) {
      if (deleted[static_cast<size_t>(recno - first)]) continue;
      const int32_t r = OSP_read(&log, recno, kRemarksNoSeparators);
      if (r != 0) {
        fail_with_status("export: contact " + std::to_string(recno), r);
        break;
      }
      writer->contact(out, log);
    }
  }
  if (out != stdout && std::fclose(out) != 0)
    fail_with_message("export", "cannot write " + output, exit_code::kOutputFailed);
  if (out == stdout) std::fflush(stdout);
}

template <size_t N>
std::string shown(const char (&f)[N]) {
  std::string s = utf8_of(f, N);
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

void print_fields(const UserTextFile& f, long long place) {
  std::printf("%lld\t%s\t%s\t%s\t%s\t%s\n", place, shown(f.c_key).c_str(), shown(f.info1).c_str(),
              shown(f.j_key).c_str(), shown(f.info2).c_str(), shown(f.info3).c_str());
}

struct LookupArgs {
  std::string path;
  std::string key;
  std::string walk;
  std::string log;
  int type = 1;
};

// The key as User_Seek takes it: six Shift-JIS bytes padded with blanks,
// or with type 4 and above a packed key written as a number ("0x537F1365").
bool lookup_key(const LookupArgs& a, std::string* key, uint32_t* packed) {
  if (a.type >= 4) {
    char* end = nullptr;
    const unsigned long v = std::strtoul(a.key.c_str(), &end, 0);
    if (a.key.empty() || *end != '\0' || v > 0xFFFFFFFFul) {
      fail_with_message("lookup", "type 4 and above take a packed key as a number, such as 0x537F1365");
      return false;
    }
    *packed = static_cast<uint32_t>(v);
    return true;
  }
  std::string error;
  if (!sjis_of(a.key, key, &error)) {
    fail_with_message("lookup", error);
    return false;
  }
  if (key->size() > 6) {
    fail_with_message("lookup", "a key is at most six bytes long");
    return false;
  }
  key->resize(6, ' ');
  return true;
}

void run_lookup(const LookupArgs& a) {
  SessionHooks hooks(Answers::kNo);
  std::string key;
  uint32_t packed = 0;
  if (a.walk.empty() && !lookup_key(a, &key, &packed)) return;
  const bool with_log = !a.log.empty();
  std::optional<OpenLog> open;
  if (with_log) {
    open.emplace(hooks, "lookup", a.log, kOpenChecked, Use::kView);
    if (!open->ok()) return;
  }
  LogHandle* log = with_log ? open->get() : nullptr;
  UserTextFile file{};
  int device_context = 0;
  const int32_t r = User_open(&device_context, a.type, &file, a.path.c_str());
  if (r != 0) {
    fail_with_status("lookup: " + a.path, r);
  } else if (!a.walk.empty()) {
    const char selector = a.walk == "c" ? 'C' : a.walk == "j" ? 'J' : 'F';
    if (file.c_order == nullptr) {
      fail_with_message("lookup", "only text files of types 0 to 2 can be walked");
    } else {
      for (int32_t i = 1; User_Read(selector, i, &file) == 0; ++i) print_fields(file, i);
    }
  } else {
    const void* k = a.type >= 4 ? static_cast<const void*>(&packed) : key.c_str();
    const int32_t place = User_Seek(log, a.type, &file, k);
    if (place < 0) {
      fail_with_message("lookup", "no entry has the key \"" + a.key + "\"");
    } else {
      print_fields(file, place);
    }
  }
  User_close(a.type, &file);
}

}  // namespace

void add_text_commands(CLI::App& app) {
  auto* import = app.add_subcommand(
      "import",
      "Append the contacts of a file to a log, after a backup of the log's files (NAME.bak): an "
      "ADIF file (.adi or .adx) or fixed-column contact lines, duplicates of the log's contacts "
      "skipped; refused records are listed with the reason (exit status 5), the log's indexes "
      "rebuilt");
  auto import_base = std::make_shared<std::string>();
  auto import_file = std::make_shared<std::string>();
  auto allow_duplicates = std::make_shared<bool>(false);
  auto adif_args = std::make_shared<AdifImportArgs>();
  import->add_option("LOG", *import_base, "the log's base path")->required();
  import->add_option("FILE", *import_file,
                     "FILE.adi or FILE.adx (ADIF), else contact lines (Shift-JIS)")
      ->required();
  add_adif_import_options(import, adif_args.get());
  import->callback([import_base, import_file, adif_args] {
    if (is_adif_file(*import_file)) {
      run_adif_import(*import_base, *import_file, *adif_args);
    } else if (const std::string option = adif_only_option(*adif_args); !option.empty()) {
      fail_with_message("import", option + " goes with an ADIF file (.adi, .adx)",
                        exit_code::kUsage);
    } else {
      run_import(*import_base, *import_file, adif_args->allow_duplicates);
    }
  });

  auto* exp = app.add_subcommand("export", "Write a log's live contacts as text to standard output");
  auto args = std::make_shared<ExportArgs>();
  std::vector<std::string> formats = contact_formats();
  formats.emplace_back("adif");
  exp->add_option("LOG", args->base, "the log's base path")->required();
  exp->add_option("--format", args->format,
                  "fixed: contact lines that import reads back; csv: a header row and a row per "
                  "contact; adif: ADIF 3.1 (ADI, times in UTC)")
      ->required()
      ->check(CLI::IsMember(formats));
  exp->add_option("--encoding", args->encoding, "utf-8 (csv's default) or cp932 (fixed's only one)")
      ->check(CLI::IsMember({"utf-8", "cp932"}));
  exp->add_flag("--adx", args->adx, "with --format adif: ADX (XML, Japanese text kept as UTF-8)");
  exp->add_option("--from", args->from, "the first record number")->check(CLI::PositiveNumber);
  exp->add_option("--to", args->to, "the last record number")->check(CLI::PositiveNumber);
  exp->add_option("--output,-o", args->output, "write to this file instead");
  exp->callback([args] { run_export(*args); });

  auto* lookup = app.add_subcommand(
      "lookup", "Look a key up in a user text file through its index, or walk the file");
  auto lookup_args = std::make_shared<LookupArgs>();
  lookup->add_option("TEXTFILE", lookup_args->path, "the user text file")->required();
  auto* key = lookup->add_option("KEY", lookup_args->key, "the six-character key (type 4 and above: a packed key)");
  lookup->add_option("--type", lookup_args->type, "0-2 lines beginning with an apostrophe, 3 and above 26-byte records")
      ->check(CLI::Range(0, 255));
  auto* walk = lookup->add_option("--walk", lookup_args->walk, "walk in c_key order, j_key order or file order")
                   ->check(CLI::IsMember({"c", "j", "file"}))
                   ->excludes(key);
  lookup->add_option("--log", lookup_args->log, "a log whose master file names the areas (type 3)");
  lookup->callback([lookup_args, key, walk] {
    if (key->count() == 0 && walk->count() == 0) {
      fail_with_message("lookup", "give a KEY or --walk");
      return;
    }
    run_lookup(*lookup_args);
  });
}

}  // namespace osprey_tool
