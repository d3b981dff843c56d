#include "output.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "exit_codes.h"

namespace osprey_tool {

void prepare_output() { std::signal(SIGPIPE, SIG_IGN); }

bool output_ok() { return std::ferror(stdout) == 0; }

int finish_output(int status) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0;
  if (flushed && output_ok()) return status;
  const int error = errno;
  std::fprintf(stderr, "osprey: cannot write the output%s%s\n", error != 0 ? ": " : "",
               error != 0 ? std::strerror(error) : "");
  return exit_code::kOutputFailed;
}

}  // namespace osprey_tool
