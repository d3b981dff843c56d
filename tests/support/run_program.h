// Runs a program to completion with its output captured, for tests of the
// osprey command and of independent readers of our files.
#pragma once

#include <string>
#include <vector>

namespace osp::test {

struct ProgramResult {
  int exit_status = -1;  // the exit status, or -1 when the program did not exit normally
  int signal = 0;        // the signal that ended it, if one did
  std::string out;       // standard output
  std::string err;       // standard error
};

// Runs program with args (no shell is involved in their meaning: each is
// quoted) and, when input is not empty, feeds it on standard input.
ProgramResult run_program(const std::string& program, const std::vector<std::string>& args,
                          const std::string& input = "");

// True when a sanitizer reported something in text (standard error).
bool has_sanitizer_report(const std::string& text);

}  // namespace osp::test
