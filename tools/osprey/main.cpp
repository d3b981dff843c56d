// osprey: inspect, repair, import and export logs from the command line.
#include <CLI/CLI.hpp>

#include "commands.h"

namespace osprey_tool {

namespace {
int g_exit_status = 0;
}  // namespace

void set_exit_status(int status) { g_exit_status = status; }
int exit_status() { return g_exit_status; }

}  // namespace osprey_tool

int main(int argc, char** argv) {
  CLI::App app{"osprey: inspect, repair, import and export amateur-radio logs"};
  app.require_subcommand(1);
  osprey_tool::add_version_command(app);
  osprey_tool::add_dbf_commands(app);
  auto* idx = app.add_subcommand("idx", "Index files");
  idx->require_subcommand(1);
  osprey_tool::add_idx_build_commands(*idx);
  osprey_tool::add_idx_walk_commands(*idx);
  osprey_tool::add_log_commands(app);
  osprey_tool::add_contacts_commands(app);
  osprey_tool::add_adif_commands(app);
  CLI11_PARSE(app, argc, argv);
  return osprey_tool::exit_status();
}
