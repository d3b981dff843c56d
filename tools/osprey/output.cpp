#include "output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "exit_codes.h"

namespace osprey_tool {

namespace {

volatile std::sig_atomic_t g_pipe_closed = 0;

#if defined(SIGPIPE)
extern "C" void on_broken_pipe(int) { g_pipe_closed = 1; }
#endif

}  // namespace

void prepare_output() {
#if defined(SIGPIPE)
  // The write that met the closed pipe then fails (EPIPE) instead of ending
  // the process; the handler notes that the reader went away.
  std::signal(SIGPIPE, &on_broken_pipe);
#endif
}

bool output_ok() { return std::ferror(stdout) == 0; }

int finish_output(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && output_ok()) return status;
  const int error = errno;
  // A reader that stops early ("osprey list LOG | head") ends the output
  // normally: what it wanted it has.
  if (g_pipe_closed != 0 || error == EPIPE) return status;
  std::fprintf(stderr, "osprey: cannot write the output%s%s\n", error != 0 ? ": " : "",
               error != 0 ? std::strerror(error) : "");
  return exit_code::kOutputFailed;
}

}  // namespace osprey_tool
