#include "contacts_session.h"

#include <iconv.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <thread>

#include "exit_codes.h"
#include "sjis_text.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr uint32_t kTypeMask = 0x0F;
constexpr uint32_t kOkOnly = 0x00;
constexpr int32_t kIdOk = 1;
constexpr int32_t kIdYes = OSP_ANSWER_YES;
constexpr int32_t kIdNo = OSP_ANSWER_NO;
constexpr int32_t kOpenCheckTimes = OSP_OPEN_CHECK_TIMES;

int g_device_context = 0;  // the progress text is drawn "into" this

std::string c_text(const char* text) { return text != nullptr ? utf8_of(text, std::strlen(text)) : ""; }

}  // namespace

std::string utf8_of(const char* sjis, size_t length) {
  const size_t n = strnlen(sjis, length);
  static Cp932Text converter;
  std::string out;
  if (converter.to_utf8(reinterpret_cast<const uint8_t*>(sjis), n, &out)) return out;
  return printable_ascii(reinterpret_cast<const uint8_t*>(sjis), n);
}

bool sjis_of(const std::string& utf8, std::string* out, std::string* error) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    *error = "this system's iconv has no code page 932 (CP932) converter";
    return false;
  }
  std::string in = utf8;
  out->assign(in.size() * 2 + 4, '\0');
  char* ip = in.data();
  size_t il = in.size();
  char* op = out->data();
  size_t ol = out->size();
  const size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) {
    *error = "\"" + utf8 + "\" has a character that Shift-JIS (code page 932) cannot hold";
    return false;
  }
  out->resize(out->size() - ol);
  return true;
}

bool confirm(const std::string& question, Answers answers) {
  if (answers != Answers::kAsk) return answers == Answers::kYes;
  std::fprintf(stderr, "%s [y/N] ", question.c_str());
  std::fflush(stderr);
  std::string line;
  return std::getline(std::cin, line) && (line == "y" || line == "Y" || line == "yes");
}

SessionHooks::SessionHooks(Answers answers) : answers_(answers) {
  const OspHooks hooks{&on_box, &on_text, nullptr, nullptr, this};
  OspSetHooks(&hooks);
}

SessionHooks::~SessionHooks() { OspSetHooks(nullptr); }

void SessionHooks::show_held() {
  holding_ = false;
  for (const std::string& shown : held_) {
    std::fprintf(stderr, "osprey: %s\n", shown.c_str());
    messages_.push_back(shown);
  }
  held_.clear();
}

int32_t SessionHooks::on_box(void* ctx, int32_t /*use_active*/, const char* text,
                             const char* caption, uint32_t style) {
  auto* self = static_cast<SessionHooks*>(ctx);
  self->progress_.interrupt();
  const std::string shown = c_text(caption) + ": " + c_text(text);
  if ((style & kTypeMask) == kOkOnly) {
    if (self->holding_) {
      self->held_.push_back(shown);
      return kIdOk;
    }
    std::fprintf(stderr, "osprey: %s\n", shown.c_str());
    self->messages_.push_back(shown);
    return kIdOk;
  }
  int32_t answer = kIdNo;
  if (self->answers_ == Answers::kYes) {
    answer = kIdYes;
  } else if (self->answers_ == Answers::kAsk) {
    if (confirm(shown, Answers::kAsk)) answer = kIdYes;
  }
  self->questions_.push_back(shown + (answer == kIdYes ? " (yes)" : " (no)"));
  return answer;
}

void SessionHooks::on_text(void* ctx, void* /*dc*/, int32_t x, int32_t y, const char* text,
                           int32_t length) {
  // An index build draws two blank lines, its notice (on the upper line) and
  // then the index path on the lower line, whose last character is the slot.
  constexpr int32_t kPathLine = 160;
  auto* hooks = static_cast<SessionHooks*>(ctx);
  if (y != kPathLine && length > 0 && hooks->drawn_text_) {
    hooks->drawn_text_(x, y, std::string(text, static_cast<size_t>(length)));
    return;
  }
  if (y != kPathLine || length <= 0) return;
  const std::string drawn(text, static_cast<size_t>(length));
  if (drawn.find_first_not_of(' ') == std::string::npos) return;
  auto* self = static_cast<SessionHooks*>(ctx);
  const std::string path = utf8_of(text, static_cast<size_t>(length));
  const int slot = drawn.back() >= '0' && drawn.back() <= '4' ? drawn.back() - '0' : 0;
  self->progress_.step(slot, 5, "building the index " + path);
  self->built_.push_back(path);
}

namespace {

constexpr int kOpenRetries = 4;

// The open's failures that a file another program held at that moment gives.
bool is_file_failure(int32_t status) {
  return status == OSP_CANNOT_OPEN || status == 40 || status == 41 || status == 42;
}

}  // namespace

OpenLog::OpenLog(SessionHooks& hooks, const std::string& context, const std::string& base,
                 int32_t flags, Use use)
    : log_(std::make_unique<LogHandle>()), files_(log_files(base)), close_flags_(flags) {
  std::memset(log_.get(), 0, sizeof *log_);
  int32_t open_flags = flags;
  const std::string reason = read_only_reason(files_);
  if (!reason.empty() && use == Use::kChange) {
    fail_with_message(context, "the log cannot be changed: " + reason + " may not be written");
    return;
  }
  if (!reason.empty()) {
    // The indexes are used as they are: their times are not compared (a
    // copied log's times seldom agree with its profile, and nothing could be
    // rebuilt), and the cursor still refuses an entry whose record does not
    // carry its key. No time is stored at the close.
    read_only_ = true;
    open_flags = (flags & ~kOpenCheckTimes) | OSP_OPEN_READ_ONLY;
    close_flags_ = flags & ~kOpenCheckTimes;
  } else if (use == Use::kView && flags != OSP_OPEN_QUICK) {
    // Looking removes and rebuilds nothing: an index that (with the time
    // check) is stale is left closed rather than removed and built again,
    // and the orders through it are refused (see index_note).
    read_only_ = true;
    may_rebuild_ = true;
    open_flags = flags | OSP_OPEN_READ_ONLY;
    close_flags_ = flags & ~kOpenCheckTimes;
  }
  const std::string library_path = library_base(base);
  const BackupWatch watch({files_.contacts, files_.remarks});
  hooks.hold_messages();
  int32_t status = OspreyOpen(&g_device_context, log_.get(), library_path.c_str(), 0, open_flags);
  // A file the open could not take may have been held by another program
  // that has let it go since (two commands at once): the open is tried again
  // a few times while no file is held now, so that the loser of such a race
  // either opens the log or says it is in use, never that a file is damaged.
  for (int retry = 0; retry < kOpenRetries && is_file_failure(status) &&
                      held_file(files_.all()).empty();
       ++retry) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20 << retry));
    hooks.drop_held();
    std::memset(log_.get(), 0, sizeof *log_);
    status = OspreyOpen(&g_device_context, log_.get(), library_path.c_str(), 0, open_flags);
  }
  hooks.show_held();
  if (status == 0 && may_rebuild_ && only_files_missing()) {
    // Every index not opened is missing (none is stale): the log is opened
    // again to build those, as its first open would, without comparing the
    // times of the indexes there (found current just now).
    OspreyClose(log_.get(), close_flags_);
    std::memset(log_.get(), 0, sizeof *log_);
    read_only_ = false;
    may_rebuild_ = false;
    close_flags_ = flags;
    status = OspreyOpen(&g_device_context, log_.get(), library_path.c_str(), 0,
                        flags & ~kOpenCheckTimes);
  }
  hooks.end_progress();
  watch.report();
  if (status == 0) {
    ok_ = true;
    return;
  }
  const std::string held = held_file(files_.all());
  if (!held.empty()) {
    fail_with_message(context, "the log is in use: " + held + " is held open by another program",
                      exit_code::kInUse);
    return;
  }
  // None of the log's files is there: most likely a mistyped name.
  bool any = false;
  for (const std::string& f : files_.all()) {
    std::error_code ec;
    any = any || std::filesystem::exists(f, ec);
  }
  if (!any) {
    fail_with_message(context, "there is no log " + base + " (none of its files, such as " +
                                   files_.contacts + ", is there)");
    return;
  }
  std::string detail;
  switch (status) {
    case 40: detail = "the contact file (" + files_.contacts + ") cannot be used"; break;
    case 41: detail = "the remarks file (" + files_.remarks + ") cannot be used"; break;
    case 42:
      detail = "the master file (" + files_.master +
               ") cannot be opened or has the wrong record size";
      break;
    case 23: detail = "an index could not be built"; break;
    default: break;
  }
  fail_with_status(context, status, detail);
}

bool OpenLog::only_files_missing() const {
  bool any = false;
  for (int slot = 0; slot < 5; ++slot) {
    if (log_->index_slot[slot].file > 0) continue;
    std::error_code ec;
    if (std::filesystem::exists(files_.indexes[slot], ec)) return false;
    any = true;
  }
  return any;
}

OpenLog::~OpenLog() {
  if (ok_) OspreyClose(log_.get(), close_flags_);
}

bool OpenLog::flush(const std::string& context) {
  const int32_t r = OSP_flush(log_.get());
  if (r == 0) return true;
  fail_with_status(context, r, "the change may not have reached the log");
  return false;
}

std::string OpenLog::index_note(int slot) const {
  if (log_->index_slot[slot].file > 0) return "";
  if (may_rebuild_)
    return "the index " + files_.indexes[slot] +
           " is out of date (a viewing command rebuilds no index; osprey open LOG rebuilds it, "
           "as does any change to the log)";
  return "the index " + files_.indexes[slot] +
         " is missing or out of date, and the log may not be written, so it cannot be rebuilt";
}

bool OpenLog::require_index(const std::string& context, int slot) const {
  const std::string note = index_note(slot);
  if (note.empty()) return true;
  fail_with_message(context, note + " (--by record and --by date need no index)");
  return false;
}

}  // namespace osprey_tool
