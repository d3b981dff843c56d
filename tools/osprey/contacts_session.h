// An open log for the contact commands: the library's hooks answer its
// questions (on the terminal, or always Yes or always No), show its messages
// on standard error as UTF-8 and show index builds as progress lines; and
// the conversions between the terminal's UTF-8 and the log's Shift-JIS.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "log_files.h"
#include "osprey32.h"
#include "progress_bar.h"

namespace osprey_tool {

// How the library's yes/no questions are answered.
enum class Answers {
  kAsk,     // on the terminal (standard error and standard input); no input is No
  kYes,     // always Yes (--yes)
  kNo,      // always No: nothing is created or forced
};

// Installs the hooks for its lifetime and keeps the messages shown.
class SessionHooks {
 public:
  explicit SessionHooks(Answers answers);
  ~SessionHooks();
  SessionHooks(const SessionHooks&) = delete;
  SessionHooks& operator=(const SessionHooks&) = delete;

  // Every message box with an OK button, as "caption: text" in UTF-8.
  const std::vector<std::string>& messages() const { return messages_; }
  // The questions asked, as "caption: text", with the answer given.
  const std::vector<std::string>& questions() const { return questions_; }
  // Index files built during the session.
  const std::vector<std::string>& built() const { return built_; }
  void clear() {
    messages_.clear();
    questions_.clear();
  }
  // Hands other text the library draws (x, y, the text), such as the
  // record numbers of a walk, to f; an empty f drops it.
  void on_progress(std::function<void(int32_t, int32_t, const std::string&)> f) {
    drawn_text_ = std::move(f);
  }
  // While held, messages are kept back rather than shown; show_held shows
  // those kept and ends the hold, drop_held forgets them (a try that is made
  // again says nothing).
  void hold_messages() { holding_ = true; }
  void show_held();
  void drop_held() { held_.clear(); }
  // Ends the progress of index builds, when there was any.
  void end_progress() { progress_.finish("indexes built"); }

 private:
  static int32_t on_box(void* ctx, int32_t use_active, const char* text, const char* caption,
                        uint32_t style);
  static void on_text(void* ctx, void* dc, int32_t x, int32_t y, const char* text,
                      int32_t length);

  Answers answers_;
  ProgressBar progress_;
  std::vector<std::string> messages_;
  std::vector<std::string> held_;
  bool holding_ = false;
  std::vector<std::string> questions_;
  std::vector<std::string> built_;
  std::function<void(int32_t, int32_t, const std::string&)> drawn_text_;
};

// Asks question on the terminal ("[y/N]" on standard error, the answer from
// standard input; no answer is No), or takes the answer given (kYes, kNo).
bool confirm(const std::string& question, Answers answers);

// Shift-JIS bytes (up to a NUL or length) as UTF-8; bytes that are not text
// are shown as \xNN.
std::string utf8_of(const char* sjis, size_t length);

// UTF-8 text as Shift-JIS. False, with a sentence in *error, when a character
// has no Shift-JIS form.
bool sjis_of(const std::string& utf8, std::string* out, std::string* error);

// What a command does with a log: only looks (it then works on a log that
// may not be written, opened read-only), or changes it.
enum class Use { kView, kChange };

// A log opened with OspreyOpen for one command, closed when it goes out of
// scope with the same flags (without storing file times when it was opened
// read-only). Index builds are shown as progress. A log opened for viewing
// (other than a quick open) is opened read-only first, so that no file is
// removed or rebuilt: an index that is stale stays closed; when the only
// indexes not there are missing files, the log is opened again to build
// them. A log that may not be written is opened read-only for viewing (its
// indexes used as they are, without comparing file times) and refused for
// changing. On
// failure the reason is on standard error and the exit status set: the log
// in use (naming the file another program holds), or the open's result.
// Every file the library moved aside while opening is named.
class OpenLog {
 public:
  OpenLog(SessionHooks& hooks, const std::string& context, const std::string& base,
          int32_t flags, Use use);
  ~OpenLog();
  OpenLog(const OpenLog&) = delete;
  OpenLog& operator=(const OpenLog&) = delete;

  bool ok() const { return ok_; }
  bool read_only() const { return read_only_; }
  // False when a file of the log (or its folder) may not be written.
  bool may_be_written() const { return !read_only_ || may_rebuild_; }
  LogHandle* get() { return log_.get(); }
  const LogFiles& files() const { return files_; }

  // Empty when index slot is open; else why it is not, and what rebuilds it.
  std::string index_note(int slot) const;
  // True when index slot is open; else says why it is not (on standard
  // error, as a failure of context) and returns false.
  bool require_index(const std::string& context, int slot) const;
  // Writes the log's headers back and flushes its files (OSP_flush), so that
  // a change is on the disk before the command says it is done. On failure
  // says so on standard error (as a failure of context, with the status) and
  // returns false.
  bool flush(const std::string& context);

 private:
  std::unique_ptr<LogHandle> log_;
  LogFiles files_;
  int32_t close_flags_;
  bool ok_ = false;
  bool read_only_ = false;
  bool may_rebuild_ = false;  // read-only only because it was opened for viewing

  // True when some index is not open and every one not open is missing.
  bool only_files_missing() const;
};

}  // namespace osprey_tool
