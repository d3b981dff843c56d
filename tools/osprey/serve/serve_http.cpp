#include "serve/serve_http.h"

#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "exit_codes.h"
#include "serve/rig_client.h"

namespace osprey_tool {

namespace {

std::string new_token() {
  std::random_device random;
  std::string token;
  static const char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 32; ++i) token.push_back(kDigits[random() & 15]);
  return token;
}

std::string error_json(const std::string& why) {
  return nlohmann::json{{"error", why}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void send(const ServeReply& reply, httplib::Response* res) {
  res->status = reply.status;
  res->set_content(reply.body, reply.type.c_str());
  if (!reply.filename.empty())
    res->set_header("Content-Disposition", "attachment; filename=\"" + reply.filename + "\"");
  res->set_header("Cache-Control", "no-store");
  res->set_header("X-Content-Type-Options", "nosniff");
}

}  // namespace

int run_serve(const ServeOptions& o) {
  if (o.host != "127.0.0.1" && o.host != "localhost" && !o.allow_remote) {
    std::fprintf(stderr, "osprey: serve: --host %s needs --allow-remote (anyone who can reach "
                         "this machine could then use the log with the token)\n", o.host.c_str());
    return exit_code::kUsage;
  }
  std::unique_ptr<RigSource> rig;
  if (!o.rig.empty()) {
    std::string host, error;
    int port = 0;
    if (!parse_rig_address(o.rig, &host, &port, &error)) {
      std::fprintf(stderr, "osprey: serve: %s\n", error.c_str());
      return exit_code::kUsage;
    }
    rig = std::make_unique<RigClient>(host, port);
  }

  // SIGINT and SIGTERM are taken by this thread alone (sigwait below): the
  // server's threads, started after this, inherit the mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  ServedLog log(o.base, o.limits, std::move(rig));
  if (!log.ok()) {
    std::fprintf(stderr, "osprey: serve: %s\n", log.error().c_str());
    return exit_code::kUnusable;
  }

  httplib::Server server;
  const bool remote = o.allow_remote;
  const std::string token = new_token();
  // A few bytes more than the upload limit reach the handler, which says
  // what the limit is; beyond them the server refuses the body itself.
  server.set_payload_max_length(o.limits.upload + 1024);
  server.set_keep_alive_max_count(100);
  server.set_tcp_nodelay(true);  // a reply is headers and body in two writes
  // Replies are not compressed: over the loopback it only costs time (the
  // library's brotli takes some 200 ms for a logbook page).
  server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
    const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
    return httplib::Server::HandlerResponse::Unhandled;
  });
  const int port = o.port == 0 ? server.bind_to_any_port(o.host) :
                   (server.bind_to_port(o.host, o.port) ? o.port : -1);
  if (port <= 0) {
    std::fprintf(stderr, "osprey: serve: cannot listen on %s port %d\n", o.host.c_str(), o.port);
    return exit_code::kUnusable;
  }
  const std::string where = std::to_string(port);
  std::vector<std::string> hosts = {"127.0.0.1:" + where, "localhost:" + where};
  if (o.host != "127.0.0.1" && o.host != "localhost") hosts.push_back(o.host + ":" + where);

  const std::string page = serve_page(token);
  const auto refused = [&](const httplib::Request& req, httplib::Response& res) {
    const std::string token_given =
        req.has_header("X-Osprey-Token") ? req.get_header_value("X-Osprey-Token")
                                         : req.get_param_value("token");
    const std::string why = request_refusal(req.method, req.get_header_value("Host"),
                                            req.get_header_value("Origin"), token_given, token,
                                            hosts, remote);
    if (why.empty()) return false;
    ServeReply r;
    r.status = 403;
    r.body = error_json(why);
    send(r, &res);
    return true;
  };
  server.Get("/", [&](const httplib::Request& req, httplib::Response& res) {
    if (refused(req, res)) return;
    res.set_content(page, "text/html; charset=utf-8");
    res.set_header("Cache-Control", "no-store");
    res.set_header("Content-Security-Policy",
                   "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                   "img-src 'self' data:; connect-src 'self'; frame-ancestors 'none'");
  });
  const auto api = [&](const httplib::Request& req, httplib::Response& res) {
    if (refused(req, res)) return;
    ServeRequest r;
    r.method = req.method;
    r.path = req.path;
    for (const auto& [name, value] : req.params) r.params[name] = value;
    r.body = req.body;
    send(log.handle(r), &res);
  };
  server.Get(R"(/api/.*)", api);
  server.Post(R"(/api/.*)", api);
  server.set_error_handler([&](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    const std::string why = res.status == 413 ? "the request is larger than the server takes (an "
                                                "ADIF file sent as application/octet-stream up "
                                                "to " + std::to_string(o.limits.upload >> 20) +
                                                    " MiB); nothing was changed"
                                              : "HTTP status " + std::to_string(res.status);
    res.set_content(error_json(why), "application/json");
  });

  std::printf("http://%s:%d/%s\n", o.host == "localhost" ? "localhost" : o.host.c_str(), port,
              remote ? ("?token=" + token).c_str() : "");
  std::fflush(stdout);
  std::thread listener([&server] { server.listen_after_bind(); });
  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  server.stop();
  listener.join();
  if (!log.close()) {
    std::fprintf(stderr, "osprey: serve: %s\n", log.error().c_str());
    return exit_code::kUnusable;
  }
  std::fprintf(stderr, "osprey: serve: stopped; the log is flushed and closed\n");
  return exit_code::kOk;
}

}  // namespace osprey_tool
