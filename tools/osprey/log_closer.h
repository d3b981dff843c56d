// Closes a log that a command opened when the command's scope ends.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osprey_tool {

class ScopedLogClose {
 public:
  ScopedLogClose(LogHandle* log, int32_t flags) : log_(log), flags_(flags) {}
  ScopedLogClose(const ScopedLogClose&) = delete;
  ScopedLogClose& operator=(const ScopedLogClose&) = delete;
  ~ScopedLogClose() { OspreyClose(log_, flags_); }

 private:
  LogHandle* log_;
  int32_t flags_;
};

}  // namespace osprey_tool
