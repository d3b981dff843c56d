// An open log for the contact commands: the library's hooks answer its
// questions (on the terminal, or always Yes or always No), show its messages
// on standard error as UTF-8 and show index builds as progress lines; and
// the conversions between the terminal's UTF-8 and the log's Shift-JIS.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "osprey32.h"

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
    progress_ = std::move(f);
  }

 private:
  static int32_t on_box(void* ctx, int32_t use_active, const char* text, const char* caption,
                        uint32_t style);
  static void on_text(void* ctx, void* dc, int32_t x, int32_t y, const char* text,
                      int32_t length);

  Answers answers_;
  std::vector<std::string> messages_;
  std::vector<std::string> questions_;
  std::vector<std::string> built_;
  std::function<void(int32_t, int32_t, const std::string&)> progress_;
};

// Shift-JIS bytes (up to a NUL or length) as UTF-8; bytes that are not text
// are shown as \xNN.
std::string utf8_of(const char* sjis, size_t length);

// UTF-8 text as Shift-JIS. False, with a sentence in *error, when a character
// has no Shift-JIS form.
bool sjis_of(const std::string& utf8, std::string* out, std::string* error);

// Opens the log whose base path is base with OspreyOpen (flags as given,
// a device context so that index builds are shown). On failure prints the
// status to standard error, sets the exit status and returns false.
bool open_log(const std::string& context, const std::string& base, int32_t flags, LogHandle* log);

}  // namespace osprey_tool
