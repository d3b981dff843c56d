// Progress of long work on standard error. On a terminal a bar redrawn in
// place; elsewhere (a file, a pipe, a log of a script) one plain line per
// step and never an escape code.
#pragma once

#include <cstdint>
#include <string>

namespace osprey_tool {

// True when standard error is a terminal that can redraw a line.
bool progress_on_terminal();

class ProgressBar {
 public:
  ProgressBar();
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  // Step done of total has begun: what describes it.
  void step(int done, int total, const std::string& what);
  // Progress through an amount of work (bytes read, records walked): on a
  // terminal the bar with its percentage and "done / total", redrawn when the
  // percentage moves; elsewhere one line at each tenth of the way.
  void amount(int64_t done, int64_t total, const std::string& what);
  // Ends the bar (drawn full, with what) so that the next text starts on a
  // line of its own. Does nothing when no step was shown.
  void finish(const std::string& what);
  // Ends a bar that is on screen without a verdict, before other text.
  void interrupt();

 private:
  bool terminal_;
  bool shown_ = false;
  int64_t last_percent_ = -1;
};

}  // namespace osprey_tool
