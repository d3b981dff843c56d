// osprey serve LOG [--port N] [--host H --allow-remote] [--rig HOST:PORT]:
// a web logbook over the log on this machine. The log is kept open while the
// server runs; SIGINT or SIGTERM flushes and closes it.
#include <memory>
#include <string>

#include "commands/commands.h"
#include "serve/serve_http.h"

namespace osprey_tool {

void add_serve_command(CLI::App& app) {
  auto o = std::make_shared<ServeOptions>();
  auto* cmd = app.add_subcommand(
      "serve", "Serve a web logbook of the log (logbook, entry, award, QSL, statistics, ADIF) "
               "on this machine; prints its URL first");
  cmd->add_option("LOG", o->base, "the log's base path")->required();
  cmd->add_option("--port", o->port, "the port to listen on (default 8073; 0 takes a free one)")
      ->check(CLI::Range(0, 65535));
  cmd->add_option("--host", o->host,
                  "the address to listen on (default 127.0.0.1; another needs --allow-remote)");
  cmd->add_flag("--allow-remote", o->allow_remote,
                "listen on --host for other machines; every request then needs the run's token, "
                "which the printed URL carries");
  cmd->add_option("--rig", o->rig,
                  "HOST:PORT of a rig control daemon (rigctld) whose frequency and mode the "
                  "entry form takes");
  cmd->callback([o] { set_exit_status(run_serve(*o)); });
}

}  // namespace osprey_tool
