// What the benchmark programs share: their command-line options and how they
// write a duration in their tables.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace osp::bench {

// --sizes N,N,...  --repeat N  --dir PATH
struct Options {
  std::vector<int64_t> sizes;
  int repeat = 3;
  std::string dir;
};

// Reads the options from argv; what is not given keeps its value in defaults.
inline Options parse_options(int argc, char** argv, Options defaults) {
  Options o = std::move(defaults);
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string opt = argv[i];
    if (opt == "--sizes") {
      o.sizes.clear();
      for (const char* p = argv[i + 1]; *p != '\0';) {
        char* end;
        o.sizes.push_back(std::strtoll(p, &end, 10));
        if (end == p) break;
        p = *end == ',' ? end + 1 : end;
      }
    } else if (opt == "--repeat") {
      o.repeat = std::max(1, std::atoi(argv[i + 1]));
    } else if (opt == "--dir") {
      o.dir = argv[i + 1];
    }
  }
  return o;
}

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

// The peak resident memory of this process since its program started, in
// KiB (read at the end by each measured child).
inline long peak_rss_kib() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return 0;
  char line[256];
  long kib = 0;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::strtol(line + 6, nullptr, 10);
  }
  std::fclose(f);
  return kib;
}

}  // namespace osp::bench
