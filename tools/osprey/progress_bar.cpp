#include "progress_bar.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace osprey_tool {

namespace {
constexpr int kBarWidth = 20;
}  // namespace

bool progress_on_terminal() {
  const char* term = std::getenv("TERM");
  return ::isatty(STDERR_FILENO) == 1 && (term == nullptr || std::strcmp(term, "dumb") != 0);
}

ProgressBar::ProgressBar() : terminal_(progress_on_terminal()) {}

ProgressBar::~ProgressBar() { interrupt(); }

void ProgressBar::step(int done, int total, const std::string& what) {
  shown_ = true;
  if (!terminal_) {
    std::fprintf(stderr, "osprey: %s\n", what.c_str());
    return;
  }
  const int filled = total > 0 ? done * kBarWidth / total : 0;
  std::fprintf(stderr, "\r[%s%s] %s\x1b[K", std::string(static_cast<size_t>(filled), '#').c_str(),
               std::string(static_cast<size_t>(kBarWidth - filled), '.').c_str(), what.c_str());
  std::fflush(stderr);
}

void ProgressBar::finish(const std::string& what) {
  if (!shown_) return;
  if (!terminal_) {
    std::fprintf(stderr, "osprey: %s\n", what.c_str());
    shown_ = false;
    return;
  }
  std::fprintf(stderr, "\r[%s] %s\x1b[K\n",
               std::string(static_cast<size_t>(kBarWidth), '#').c_str(), what.c_str());
  std::fflush(stderr);
  shown_ = false;
}

void ProgressBar::interrupt() {
  if (!shown_) return;
  if (terminal_) std::fputc('\n', stderr);
  shown_ = false;
}

}  // namespace osprey_tool
