// How the benchmark programs write a duration in their tables.
#pragma once

#include <cstdio>
#include <string>

namespace osp::bench {

// Seconds as "12.3 ms" below one second, else "1.23 s".
inline std::string human(double s) {
  char buf[32];
  if (s < 1) {
    std::snprintf(buf, sizeof buf, "%.1f ms", s * 1000);
  } else {
    std::snprintf(buf, sizeof buf, "%.2f s", s);
  }
  return buf;
}

}  // namespace osp::bench
