// `osprey serve`: the HTTP side. Serves the page and routes the page's API
// requests to the served log, after the checks of request_refusal; stops on
// SIGINT or SIGTERM, then flushes and closes the log.
#pragma once

#include <string>

#include "serve/served_log.h"

namespace osprey_tool {

struct ServeOptions {
  std::string base;
  std::string host = "127.0.0.1";
  int port = 8073;  // 0: any free port
  bool allow_remote = false;
  std::string rig;  // HOST:PORT of a rig control daemon, or empty
  ServeLimits limits;
};

// The page with the run's token written into it.
std::string serve_page(const std::string& token);

// Runs the server until SIGINT or SIGTERM. The exit status: 0 when the log
// was flushed and closed, otherwise that of the failure (said on standard
// error).
int run_serve(const ServeOptions& options);

}  // namespace osprey_tool
