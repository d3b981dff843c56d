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

void ProgressBar::amount(int64_t done, int64_t total, const std::string& what) {
  if (total <= 0) total = 1;
  if (done < 0) done = 0;
  if (done > total) done = total;
  const int64_t percent = done * 100 / total;
  if (percent == last_percent_) return;
  if (!terminal_ && last_percent_ >= 0 && percent / 10 == last_percent_ / 10) return;
  last_percent_ = percent;
  shown_ = true;
  char counts[64];
  std::snprintf(counts, sizeof counts, "%3lld%%  %lld / %lld", static_cast<long long>(percent),
                static_cast<long long>(done), static_cast<long long>(total));
  if (!terminal_) {
    std::fprintf(stderr, "osprey: %s %s\n", what.c_str(), counts);
    return;
  }
  const int64_t filled = done * kBarWidth / total;
  std::fprintf(stderr, "\r[%s%s] %s %s\x1b[K",
               std::string(static_cast<size_t>(filled), '#').c_str(),
               std::string(static_cast<size_t>(kBarWidth - filled), '.').c_str(), what.c_str(),
               counts);
  std::fflush(stderr);
}

void ProgressBar::finish(const std::string& what) {
  last_percent_ = -1;
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
