// The rig's frequency and mode read from a rig control daemon over TCP, in
// its text protocol: "f" answers the frequency in Hz, "m" the mode and the
// passband.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "serve/served_log.h"

namespace osprey_tool {

class RigClient : public RigSource {
 public:
  RigClient(std::string host, int port) : host_(std::move(host)), port_(port) {}
  bool read(std::string* mhz, std::string* mode, std::string* error) override;

 private:
  std::string host_;
  int port_;
};

// Reads "HOST:PORT" (a port 1 to 65535). False, with a sentence in *error,
// for anything else.
bool parse_rig_address(const std::string& text, std::string* host, int* port, std::string* error);

// The rig's frequency in Hz as the log's MHz text ("14.074", "7.0005",
// "144.5"); empty when it is not a number above 0.
std::string mhz_of_hz(const std::string& hz);

// The rig's mode name as the log's three-character mode (USB and LSB are
// SSB, CWR is CW, data modes DAT, ...).
std::string log_mode_of(const std::string& rig_mode);

}  // namespace osprey_tool
