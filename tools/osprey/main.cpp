// osprey: inspect, repair, import and export logs from the command line.
#include <CLI/CLI.hpp>

#include "commands/commands.h"
#include "exit_codes.h"
#include "output.h"

namespace osprey_tool {

namespace {
int g_exit_status = 0;
}  // namespace

void set_exit_status(int status) { g_exit_status = status; }
int exit_status() { return g_exit_status; }

}  // namespace osprey_tool

int main(int argc, char** argv) {
  namespace exit_code = osprey_tool::exit_code;
  osprey_tool::prepare_output();
  CLI::App app{"osprey: inspect, repair, import and export amateur-radio logs"};
  app.require_subcommand(1);
  app.set_version_flag("--version", osprey_tool::version_text());
  app.footer(exit_code::kSummary);
  osprey_tool::add_help_command(app);
  osprey_tool::add_version_command(app);
  osprey_tool::add_dbf_commands(app);
  auto* idx = app.add_subcommand("idx", "Index files");
  idx->require_subcommand(1);
  osprey_tool::add_idx_build_commands(*idx);
  osprey_tool::add_idx_walk_commands(*idx);
  osprey_tool::add_log_commands(app);
  osprey_tool::add_contacts_commands(app);
  osprey_tool::add_wkd_command(app);
  osprey_tool::add_qsl_command(app);
  osprey_tool::add_text_commands(app);
  osprey_tool::add_delete_commands(app);
  osprey_tool::add_sort_command(app);
  osprey_tool::add_print_command(app);
  osprey_tool::add_labels_command(app);
  osprey_tool::add_serve_command(app);
  if (osprey_tool::names_unknown_command(app, argc, argv)) return exit_code::kUsage;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and --version end the parse with success; every other parse
    // failure is a usage error.
    const int shown = app.exit(e);
    return osprey_tool::finish_output(shown == 0 ? exit_code::kOk : exit_code::kUsage);
  }
  return osprey_tool::finish_output(osprey_tool::exit_status());
}
