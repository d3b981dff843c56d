// The log behind `osprey serve`: opened once for changing and kept open,
// every call into the library made under one lock (the library is
// single-caller), and what each page request asks of it as a function of
// the request's parameters and body, answered with JSON or a file. No
// sockets here: the HTTP side (serve_http) only routes to handle().
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "contacts_session.h"
#include "osprey32.h"

namespace osprey_tool {

struct ServeRequest {
  std::string method;                         // GET or POST
  std::string path;                           // /api/...
  std::map<std::string, std::string> params;  // the query's parameters
  std::string body;
};

struct ServeReply {
  int status = 200;
  std::string type = "application/json";
  std::string body;
  std::string filename;  // a download: the name offered to save it under
};

// Answers the rig's frequency and mode; empty when no rig is attached.
class RigSource {
 public:
  virtual ~RigSource() = default;
  // False, with a sentence in *error, when the rig cannot be read.
  virtual bool read(std::string* mhz, std::string* mode, std::string* error) = 0;
};

struct ServeLimits {
  size_t upload = 32u << 20;  // an ADIF upload
  size_t form = 64u << 10;    // any other request body
};

class ServedLog {
 public:
  // Opens the log at base for changing (questions answered Yes, as the
  // command's --yes: the page's Save is the user's confirmation). ok() is
  // false, with the reason in error(), when it cannot be opened.
  ServedLog(const std::string& base, ServeLimits limits, std::unique_ptr<RigSource> rig);
  ~ServedLog();
  ServedLog(const ServedLog&) = delete;
  ServedLog& operator=(const ServedLog&) = delete;

  bool ok() const { return open_ != nullptr && open_->ok(); }
  const std::string& error() const { return error_; }
  const ServeLimits& limits() const { return limits_; }

  // One request of the page's API (paths under /api/), under the lock.
  ServeReply handle(const ServeRequest& request);

  // Flushes and closes the log (under the lock); later requests get 503.
  // False, with the reason in error(), when the flush fails.
  bool close();

 private:
  ServeReply info();
  ServeReply contacts(const ServeRequest& r);
  ServeReply contact(int32_t recno);
  ServeReply worked(const ServeRequest& r);
  ServeReply save(const ServeRequest& r, int32_t recno);
  ServeReply mark_deleted(int32_t recno, bool deleting);
  ServeReply award();
  ServeReply award_contacts(const ServeRequest& r);
  ServeReply qsl_queue();
  ServeReply labels_pdf();
  ServeReply mark_sent(const ServeRequest& r);
  ServeReply stats();
  ServeReply import(const ServeRequest& r);
  ServeReply export_file(const ServeRequest& r);
  ServeReply rig();

  // Reopens the log comparing file times (indexes rebuilt after an import).
  bool reopen();
  // The contacts in date-and-time order (all, deleted ones too), made on
  // first use and dropped by every write.
  const std::vector<std::pair<int64_t, int32_t>>* by_date(std::string* error);
  // Whether a write went through without the library reporting a problem.
  bool written(const char* what, std::string* error);

  std::mutex lock_;
  std::string base_;
  ServeLimits limits_;
  std::unique_ptr<RigSource> rig_;
  std::unique_ptr<SessionHooks> hooks_;
  std::unique_ptr<OpenLog> open_;
  std::string error_;
  std::unique_ptr<std::vector<std::pair<int64_t, int32_t>>> by_date_;
  std::string last_freq_, last_mode_;  // of the last contact saved (or the last one in the log)
};

// The reason a request may not be served, or empty when it may: host is the
// request's Host header, origin its Origin header (empty when absent), token
// the token it carries. hosts are the Host values this server answers to.
// Every request must name one of them (no DNS rebinding); a write (POST)
// must carry the run's token and, when it has an Origin, come from one of
// them; with remote use every request needs the token.
std::string request_refusal(const std::string& method, const std::string& host,
                            const std::string& origin, const std::string& token,
                            const std::string& run_token, const std::vector<std::string>& hosts,
                            bool remote);

// The lines of the QSL label each card of the queue gets (the command's
// label template escapes).
extern const char* const kServeLabelTemplate;

}  // namespace osprey_tool
