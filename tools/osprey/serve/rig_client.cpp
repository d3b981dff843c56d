#include "serve/rig_client.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace osprey_tool {

namespace {

constexpr int kWaitMs = 1500;  // for the connection and each answer

class Socket {
 public:
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool connect(const std::string& host, int port, std::string* error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
      *error = "the rig's host " + host + " is not known";
      return false;
    }
    for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
      fd_ = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
      if (fd_ >= 0 && ::connect(fd_, a->ai_addr, a->ai_addrlen) != 0) {
        ::close(fd_);
        fd_ = -1;
      }
    }
    ::freeaddrinfo(found);
    if (fd_ < 0) *error = "the rig at " + host + ":" + std::to_string(port) + " does not answer";
    return fd_ >= 0;
  }
  // Sends command and reads lines answers of its reply.
  bool ask(const std::string& command, int lines, std::vector<std::string>* out, std::string* error) {
    const std::string line = command + "\n";
    if (::send(fd_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
      *error = "the rig connection failed";
      return false;
    }
    out->clear();
    while (static_cast<int>(out->size()) < lines) {
      const size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        out->push_back(pending_.substr(0, end));
        pending_.erase(0, end + 1);
        if (out->back().rfind("RPRT ", 0) == 0) {
          *error = "the rig refused \"" + command + "\" (" + out->back() + ")";
          return false;
        }
        continue;
      }
      pollfd p{fd_, POLLIN, 0};
      char buffer[256];
      const ssize_t n = ::poll(&p, 1, kWaitMs) == 1 ? ::recv(fd_, buffer, sizeof buffer, 0) : -1;
      if (n <= 0) {
        *error = "the rig did not answer \"" + command + "\"";
        return false;
      }
      pending_.append(buffer, static_cast<size_t>(n));
    }
    return true;
  }

 private:
  int fd_ = -1;
  std::string pending_;
};

}  // namespace

bool parse_rig_address(const std::string& text, std::string* host, int* port, std::string* error) {
  const size_t colon = text.rfind(':');
  const std::string digits = colon == std::string::npos ? "" : text.substr(colon + 1);
  if (colon == 0 || digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of("0123456789") != std::string::npos ||
      std::atoi(digits.c_str()) < 1 || std::atoi(digits.c_str()) > 65535) {
    *error = "--rig takes HOST:PORT, such as localhost:4532";
    return false;
  }
  *host = text.substr(0, colon);
  *port = std::atoi(digits.c_str());
  return true;
}

std::string mhz_of_hz(const std::string& hz) {
  char* end = nullptr;
  const double value = std::strtod(hz.c_str(), &end);
  if (end == hz.c_str() || !(value > 0) || value > 1e12) return "";
  const auto whole_hz = static_cast<int64_t>(value + 0.5);
  std::string text = std::to_string(whole_hz / 1000000) + "." ;
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, "%06lld", static_cast<long long>(whole_hz % 1000000));
  text += fraction;
  // At least three places (kHz); no trailing zeros below them.
  while (text.size() > text.find('.') + 4 && text.back() == '0') text.pop_back();
  return text;
}

std::string log_mode_of(const std::string& rig_mode) {
  static const std::pair<const char*, const char*> kModes[] = {
      {"USB", "SSB"},   {"LSB", "SSB"},    {"CW", "CW"},       {"CWR", "CW"},
      {"AM", "AM"},     {"FM", "FM"},      {"WFM", "FM"},      {"RTTY", "RTY"},
      {"RTTYR", "RTY"}, {"PKTUSB", "DAT"}, {"PKTLSB", "DAT"},  {"PKTFM", "DAT"}};
  for (const auto& [rig, log] : kModes)
    if (rig_mode == rig) return log;
  return rig_mode.substr(0, 3);
}

bool RigClient::read(std::string* mhz, std::string* mode, std::string* error) {
  Socket s;
  if (!s.connect(host_, port_, error)) return false;
  std::vector<std::string> answer;
  if (!s.ask("f", 1, &answer, error)) return false;
  *mhz = mhz_of_hz(answer[0]);
  if (mhz->empty()) {
    *error = "the rig's frequency \"" + answer[0] + "\" is not a frequency";
    return false;
  }
  if (!s.ask("m", 2, &answer, error)) return false;
  *mode = log_mode_of(answer[0]);
  return true;
}

}  // namespace osprey_tool
