// osprey open LOG [--yes|--no]: opens a log the way the application does
// (building missing or stale indexes, asking before making a missing file),
// shows what it found and closes it again, storing the files' times.
// osprey new LOG --master FILE: a new log beside a copy of the user's master
// file (its worked/confirmed tables cleared: the new log has worked nothing
// yet): the contact and remarks files and every index made.
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "award/award_walk.h"
#include "commands/commands.h"
#include "exit_codes.h"
#include "formats/dbf_layout.h"
#include "formats/file_bytes.h"
#include "formats/index_layout.h"
#include "formats/le_bytes.h"
#include "log_files.h"
#include "osprey32.h"
#include "progress_bar.h"
#include "sjis_text.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kIdOk = 1;
constexpr int32_t kIdYes = OSP_ANSWER_YES;
constexpr int32_t kIdNo = OSP_ANSWER_NO;
constexpr uint32_t kMbTypeMask = 0x0F;
constexpr uint32_t kMbYesNo = 0x04;
constexpr uint32_t kMbYesNoCancel = 0x03;

// Open flags: check the times against the profile file, allocate the viewer.
constexpr int32_t kOpenFlags = OSP_OPEN_CHECK_TIMES | OSP_OPEN_VIEWER;
constexpr int32_t kCloseFlags = OSP_CLOSE_STORE_TIMES | OSP_CLOSE_FREE_VIEWER;
constexpr int kIndexCount = 5;


enum class Answer { kAsk, kYes, kNo };

// What the library's hooks need while a log is opened and closed.
struct Session {
  Answer answer = Answer::kAsk;
  Cp932Text text;
  ProgressBar progress;
  bool built[kIndexCount] = {};
  int boxes_with_status = 0;

  std::string utf8(const char* sjis) {
    std::string out;
    const auto* bytes = reinterpret_cast<const uint8_t*>(sjis);
    const size_t n = std::char_traits<char>::length(sjis);
    if (text.to_utf8(bytes, n, &out)) return out;
    return printable_ascii(bytes, n);
  }
};

// Ends the bar of index builds, drawn full, so that what follows starts on a
// line of its own.
void end_progress_line(Session* s) { s->progress.finish("indexes built"); }

// Questions are answered from --yes or --no, else on the terminal (standard
// input; no answer counts as No). Other boxes carry a status message: shown
// on standard error.
int32_t on_message_box(void* ctx, int32_t, const char* text, const char* caption,
                       uint32_t style) {
  auto* s = static_cast<Session*>(ctx);
  s->progress.interrupt();
  const std::string line = s->utf8(caption) + ": " + s->utf8(text);
  const uint32_t type = style & kMbTypeMask;
  if (type != kMbYesNo && type != kMbYesNoCancel) {
    std::fprintf(stderr, "osprey: %s\n", line.c_str());
    ++s->boxes_with_status;
    return kIdOk;
  }
  if (s->answer != Answer::kAsk) {
    const bool yes = s->answer == Answer::kYes;
    std::fprintf(stderr, "%s\n  -> %s (%s)\n", line.c_str(), yes ? "Yes" : "No",
                 yes ? "--yes" : "--no");
    return yes ? kIdYes : kIdNo;
  }
  std::fprintf(stderr, "%s [y/N] ", line.c_str());
  std::fflush(stderr);
  std::string reply;
  if (!std::getline(std::cin, reply)) {
    std::fprintf(stderr, "\n  -> No (no answer)\n");
    return kIdNo;
  }
  const bool yes = !reply.empty() && (reply[0] == 'y' || reply[0] == 'Y');
  return yes ? kIdYes : kIdNo;
}

// The library draws a notice and the index path as each build starts; the
// path's last character is the slot digit. Shown as a bar over the five
// indexes, redrawn in place.
void on_text_out(void* ctx, void*, int32_t, int32_t y, const char* text, int32_t length) {
  auto* s = static_cast<Session*>(ctx);
  const std::string shown(text, static_cast<size_t>(length));
  if (y != 160 || shown.find_first_not_of(' ') == std::string::npos) return;
  const char digit = shown.back();
  if (digit < '0' || digit >= '0' + kIndexCount) return;
  const int slot = digit - '0';
  s->built[slot] = true;
  s->progress.step(slot, kIndexCount,
                   "building index " + std::to_string(slot + 1) + " of " +
                       std::to_string(kIndexCount) + ": " + s->utf8(shown.c_str()));
}

// Installs the session's hooks for its lifetime.
class ScopedHooks {
 public:
  explicit ScopedHooks(Session* s) {
    const OspHooks hooks{&on_message_box, &on_text_out, nullptr, nullptr, s};
    OspSetHooks(&hooks);
  }
  ~ScopedHooks() { OspSetHooks(nullptr); }
  ScopedHooks(const ScopedHooks&) = delete;
  ScopedHooks& operator=(const ScopedHooks&) = delete;
};

// A path of the log's set: the base path cut at its last '.' (wherever it
// stands, as the library cuts it) with the extension appended.
std::string set_path(const std::string& base, const char* extension) {
  return replace_extension(base, extension);
}

const char* open_result_text(int32_t result);

// The result of a failed open, and the log in use when another program holds
// one of its files (the library then cannot tell it from a damaged file).
void fail_open(const std::string& context, const std::string& base, int32_t result,
               const std::string& after) {
  const std::string held = held_file(log_files(base).all());
  if (!held.empty()) {
    fail_with_message(context, "the log is in use: " + held + " is held open by another program" +
                                   after, exit_code::kInUse);
    return;
  }
  const std::string read_only = read_only_reason(log_files(base));
  fail_with_message(context, "result " + std::to_string(result) + ": " +
                                 open_result_text(result) + after +
                                 (read_only.empty() ? ""
                                                    : " (" + read_only +
                                                          " may not be written; list, show and "
                                                          "check view such a log)"));
}

// A base path that leaves the files no name before their dot is refused.
// (A dot in a folder name is no extension: the library is given the set's
// master path, library_base.)
bool base_path_usable(const std::string& context, const std::string& base) {
  const std::string stem = set_path(base, "");
  if (stem.empty() || stem.back() == '/' || stem.back() == '\\') {
    fail_with_message(context, "the base path gives the log's files no name: \"" +
                                   set_path(base, ".mst") + "\"");
    return false;
  }
  return true;
}

const char* open_result_text(int32_t result) {
  switch (result) {
    case 40: return "the contact file (.dbs) cannot be opened and was not made, or is not a "
                    "contact file";
    case 41: return "the remarks file (.dbr) cannot be opened and was not made";
    case 42: return "the master file (.mst) cannot be opened or is not a master file";
    default: return status_description(result);
  }
}

// The record count in the remarks file's header mirror.
int32_t remarks_count(const LogHandle& log) {
  return get_i32(log.dbr_header + kDbfRecordCount);
}

std::string date_text(const uint8_t* ymd) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02u-%02u-%02u", ymd[0], ymd[1], ymd[2]);
  return buf;
}

struct IndexFacts {
  bool open = false;
  int entries = 0;
  int key_length = 0;
  std::string expression;
};

// The key length and expression from the index file's header page.
void read_index_facts(const std::string& path, IndexFacts* f) {
  std::vector<uint8_t> page;
  read_file_bytes(path, 0, kIndexPageSize, &page);
  if (page.size() < kIndexExpression) return;
  const IndexHeader header = read_index_header(page);
  f->key_length = header.key_length;
  std::string text = header.expression;
  while (!text.empty() && text.back() == ' ') text.pop_back();
  f->expression = printable_ascii(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

// Shows what an open log holds, then closes it (storing the files' times).
// Returns false when the log is open without its remarks file.
bool show_and_close(Session* s, LogHandle* log, const std::string& base) {
  IndexFacts facts[kIndexCount];
  for (int i = 0; i < kIndexCount; ++i) {
    IdxHandle* slot = &log->index_slot[i];
    facts[i].open = slot->file > 0;
    if (!facts[i].open) continue;
    for (int32_t recno = idx_top(slot); recno != 0; recno = idx_next(slot)) ++facts[i].entries;
  }
  const bool remarks_open = log->dbr_file > 0;
  const int32_t contacts = log->dbs.handle.record_count;
  const int32_t remarked = remarks_count(*log);
  const int32_t viewer_count = log->viewer_count;
  const int32_t viewer_capacity = log->viewer_capacity;
  const std::string master_date = date_text(log->mst.handle.update_date);
  const std::string contact_date = date_text(log->dbs.handle.update_date);
  const std::string remarks_date = date_text(log->dbr_header + kDbfDate);
  const int32_t masters = log->mst.handle.record_count;
  OspreyClose(log, kCloseFlags);
  end_progress_line(s);
  const LogFiles files = log_files(base);
  for (int i = 0; i < kIndexCount; ++i)
    read_index_facts(files.indexes[i], &facts[i]);

  std::printf("master file        %s: %d entries, last update %s\n",
              files.master.c_str(), static_cast<int>(masters), master_date.c_str());
  std::printf("contact file       %s: %d contacts, last update %s\n",
              files.contacts.c_str(), static_cast<int>(contacts), contact_date.c_str());
  if (remarks_open) {
    std::printf("remarks file       %s: accounts for %d contacts%s, last update %s\n",
                files.remarks.c_str(), static_cast<int>(remarked),
                remarked == contacts ? "" : " (does not agree with the contact file)",
                remarks_date.c_str());
  } else {
    std::printf("remarks file       %s: not open (the log was opened without remarks)\n",
                files.remarks.c_str());
  }
  for (int i = 0; i < kIndexCount; ++i) {
    const IndexFacts& f = facts[i];
    std::printf("index %d            %s: ", i, files.indexes[i].c_str());
    if (!f.open) {
      std::printf("not open\n");
      continue;
    }
    std::printf("key %s, key length %d, %d entries, %s\n", f.expression.c_str(), f.key_length,
                f.entries, s->built[i] ? "built now" : "up to date");
  }
  std::printf("viewer             %d contacts in a buffer for %d\n",
              static_cast<int>(viewer_count), static_cast<int>(viewer_capacity));

  if (!remarks_open) {
    fail_with_message("open: " + base, "the remarks file is not open: remarks cannot be "
                                       "read or written");
    return false;
  }
  return true;
}

void run_open(const std::string& base, Answer answer) {
  const std::string context = "open: " + base;
  if (!base_path_usable(context, base)) return;
  Session s;
  s.answer = answer;
  ScopedHooks hooks(&s);
  auto log = std::make_unique<LogHandle>();
  const LogFiles files = log_files(base);
  const BackupWatch watch({files.contacts, files.remarks});
  const int32_t result = OspreyOpen(&s, log.get(), library_base(base).c_str(), 0, kOpenFlags);
  end_progress_line(&s);
  watch.report();
  if (result != 0) {
    fail_open(context, base, result, "");
    return;
  }
  show_and_close(&s, log.get(), base);
}

void run_new(const std::string& base, const std::string& master) {
  const std::string context = "new: " + base;
  if (!base_path_usable(context, base)) return;
  std::vector<std::string> set;
  // Each file under either name the library finds it by.
  for (const char* e : {".mst", ".dbs", ".dbr", ".dx0", ".dx1", ".dx2", ".dx3", ".dx4", ".fdt",
                        ".MST", ".DBS", ".DBR", ".DX0", ".DX1", ".DX2", ".DX3", ".DX4", ".FDT"})
    set.push_back(set_path(base, e));
  std::error_code ec;
  for (const std::string& p : set) {
    if (std::filesystem::exists(p, ec) || ec) {
      fail_with_message(context, "\"" + p + "\" already exists; a new log is made only where "
                                 "none of its files is");
      return;
    }
  }
  if (!std::filesystem::is_regular_file(master, ec)) {
    fail_with_message(context, "the master file \"" + master + "\" is not there");
    return;
  }
  // A new log is made whole or not at all.
  auto undo = [&set] {
    std::error_code ignored;
    for (const std::string& p : set) std::filesystem::remove(p, ignored);
  };
  if (!std::filesystem::copy_file(master, set[0], ec)) {
    undo();
    fail_with_message(context, "cannot copy \"" + master + "\" to \"" + set[0] +
                                   "\": " + ec.message());
    return;
  }
  Session s;
  s.answer = Answer::kYes;
  ScopedHooks hooks(&s);
  auto log = std::make_unique<LogHandle>();
  const int32_t result = OspreyOpen(&s, log.get(), library_base(base).c_str(), 0, kOpenFlags);
  end_progress_line(&s);
  if (result != 0) {
    undo();
    fail_open(context, base, result, "; nothing was made");
    return;
  }
  int32_t cleared = 0;
  std::string error;
  if (!clear_band_tables(log.get(), &cleared, &error)) {
    OspreyClose(log.get(), kCloseFlags);
    undo();
    fail_with_message(context, "clearing the copied master file's tables: " + error +
                                   "; nothing was made");
    return;
  }
  if (!show_and_close(&s, log.get(), base)) undo();
}

}  // namespace

void add_log_commands(CLI::App& app) {
  auto* open = app.add_subcommand(
      "open", "Open a log as the application does (building missing or stale indexes, asking "
              "before making a missing file), show what it holds and close it");
  auto open_base = std::make_shared<std::string>();
  auto yes = std::make_shared<bool>(false);
  auto no = std::make_shared<bool>(false);
  open->add_option("LOG", *open_base, "the log's base path (LOG, or any of its files)")
      ->required();
  auto* yes_flag = open->add_flag("--yes", *yes, "answer every question Yes");
  open->add_flag("--no", *no, "answer every question No")->excludes(yes_flag);
  open->callback([open_base, yes, no] {
    run_open(*open_base, *yes ? Answer::kYes : *no ? Answer::kNo : Answer::kAsk);
  });

  auto* make = app.add_subcommand(
      "new", "Make a new log beside a copy of a master file: its contact and remarks files and "
             "every index");
  auto new_base = std::make_shared<std::string>();
  auto master = std::make_shared<std::string>();
  make->add_option("LOG", *new_base, "the new log's base path")->required();
  make->add_option("--master", *master,
                   "the master file (.mst) to copy as LOG.mst, its worked/confirmed tables cleared")
      ->required();
  make->callback([new_base, master] { run_new(*new_base, *master); });
}

}  // namespace osprey_tool
