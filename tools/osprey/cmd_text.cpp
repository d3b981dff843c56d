// The text commands:
//   osprey import LOG FILE
//   osprey export LOG --format fixed|csv [--encoding utf-8|cp932] [--output FILE]
//   osprey lookup TEXTFILE KEY [--type N] [--log LOG]
//   osprey lookup TEXTFILE --walk c|j|file [--type N]
// LOG is the log's base path; FILE holds fixed-column contact lines.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "contact_formats.h"
#include "contacts_session.h"
#include "osprey32.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kQuickOpen = 2;  // the contact and remarks files only
constexpr int32_t kOpenChecked = 1;
constexpr int32_t kRemarksNoSeparators = 2;
constexpr size_t kLineColumns = 200;
constexpr size_t kLineBuffer = 219;
constexpr size_t kRequiredColumns = 64;  // through my report
constexpr int kExitRefused = 2;

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

void run_import(const std::string& base, const std::string& path) {
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
  {
    OpenLog open(hooks, "import", base, kQuickOpen, Use::kChange);
    if (!open.ok()) return;
    LogHandle& log = *open.get();
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
      failure = Text_QFRappend(&log, line.c_str());
      if (failure != 0) break;
      ++imported;
      if (imported % 1024 == 0) bar.amount(in.tellg(), size, "importing contacts");
    }
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
  if (failure == 0 && refused > 0) set_exit_status(kExitRefused);
}

void run_export(const std::string& base, const std::string& format, const std::string& encoding,
                const std::string& output) {
  TextEncoding enc = format == "csv" ? TextEncoding::kUtf8 : TextEncoding::kCp932;
  if (encoding == "cp932") enc = TextEncoding::kCp932;
  if (encoding == "utf-8") enc = TextEncoding::kUtf8;
  std::string error;
  const std::unique_ptr<ContactWriter> writer = make_contact_writer(format, enc, &error);
  if (writer == nullptr) {
    fail_with_message("export", error);
    return;
  }
  std::FILE* out = stdout;
  if (!output.empty() && (out = std::fopen(output.c_str(), "wb")) == nullptr) {
    fail_with_message("export", "cannot write " + output);
    return;
  }
  SessionHooks hooks(Answers::kNo);
  OpenLog open(hooks, "export", base, kQuickOpen, Use::kView);
  if (open.ok()) {
    LogHandle& log = *open.get();
    writer->begin(out);
    const int32_t count = dbf_rcount(&log.dbs.handle);
    for (int32_t recno = 1; recno <= count; ++recno) {
      const int32_t r = OSP_read(&log, recno, kRemarksNoSeparators);
      if (r != 0) {
        fail_with_status("export: contact " + std::to_string(recno), r);
        break;
      }
      writer->contact(out, log);
    }
  }
  if (out != stdout && std::fclose(out) != 0) fail_with_message("export", "cannot write " + output);
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
      "import", "Append the contacts of a file of fixed-column contact lines to a log; refused "
                "lines are listed with the reason (exit status 2), the log's indexes rebuilt");
  auto import_base = std::make_shared<std::string>();
  auto import_file = std::make_shared<std::string>();
  import->add_option("LOG", *import_base, "the log's base path")->required();
  import->add_option("FILE", *import_file, "the contact lines (Shift-JIS)")->required();
  import->callback([import_base, import_file] { run_import(*import_base, *import_file); });

  auto* exp = app.add_subcommand("export", "Write a log's contacts as text to standard output");
  auto export_base = std::make_shared<std::string>();
  auto format = std::make_shared<std::string>();
  auto encoding = std::make_shared<std::string>();
  auto output = std::make_shared<std::string>();
  exp->add_option("LOG", *export_base, "the log's base path")->required();
  exp->add_option("--format", *format,
                  "fixed: contact lines that import reads back; csv: a header row and a row per contact")
      ->required()
      ->check(CLI::IsMember(contact_formats()));
  exp->add_option("--encoding", *encoding, "utf-8 (csv's default) or cp932 (fixed's only one)")
      ->check(CLI::IsMember({"utf-8", "cp932"}));
  exp->add_option("--output,-o", *output, "write to this file instead");
  exp->callback([=] { run_export(*export_base, *format, *encoding, *output); });

  auto* lookup = app.add_subcommand(
      "lookup", "Look a key up in a user text file through its index, or walk the file");
  auto args = std::make_shared<LookupArgs>();
  lookup->add_option("TEXTFILE", args->path, "the user text file")->required();
  auto* key = lookup->add_option("KEY", args->key, "the six-character key (type 4 and above: a packed key)");
  lookup->add_option("--type", args->type, "0-2 lines beginning with an apostrophe, 3 and above 26-byte records")
      ->check(CLI::Range(0, 255));
  auto* walk = lookup->add_option("--walk", args->walk, "walk in c_key order, j_key order or file order")
                   ->check(CLI::IsMember({"c", "j", "file"}))
                   ->excludes(key);
  lookup->add_option("--log", args->log, "a log whose master file names the areas (type 3)");
  lookup->callback([args, key, walk] {
    if (key->count() == 0 && walk->count() == 0) {
      fail_with_message("lookup", "give a KEY or --walk");
      return;
    }
    run_lookup(*args);
  });
}

}  // namespace osprey_tool
