// osprey help [COMMAND...]: the help of the command, or of a subcommand
// ("osprey help idx build"); and the check that names a command the command
// line asked for but that does not exist.
#include <cstdio>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "exit_codes.h"

namespace osprey_tool {

namespace {

// The subcommand of app called name, or null.
CLI::App* find_subcommand(CLI::App* app, const std::string& name) {
  for (CLI::App* sub : app->get_subcommands([](CLI::App*) { return true; }))
    if (sub->get_name() == name) return sub;
  return nullptr;
}

std::string command_names(CLI::App* app) {
  std::string names;
  for (CLI::App* sub : app->get_subcommands([](CLI::App*) { return true; }))
    names += (names.empty() ? "" : ", ") + sub->get_name();
  return names;
}

}  // namespace

void add_help_command(CLI::App& app) {
  auto words = std::make_shared<std::vector<std::string>>();
  auto* help = app.add_subcommand("help", "Show the help of the command, or of COMMAND");
  help->add_option("COMMAND", *words, "a command, and a subcommand of it (e.g. idx build)");
  help->callback([&app, words] {
    CLI::App* at = &app;
    std::string path = "osprey";
    for (const std::string& w : *words) {
      CLI::App* sub = find_subcommand(at, w);
      if (sub == nullptr) {
        std::fprintf(stderr, "osprey: help: unknown command \"%s\"; the commands%s%s are: %s\n",
                     (path + " " + w).substr(7).c_str(), at == &app ? "" : " of ",
                     at == &app ? "" : path.substr(7).c_str(), command_names(at).c_str());
        set_exit_status(exit_code::kUsage);
        return;
      }
      at = sub;
      path += " " + w;
    }
    // The application's help() shows the help of the subcommand that ran
    // (this one); its formatter shows the command list.
    const std::string text = at == &app ? app.get_formatter()->make_help(&app, "osprey",
                                                                         CLI::AppFormatMode::Normal)
                                        : at->help();
    std::fputs(text.c_str(), stdout);
  });
}

bool names_unknown_command(CLI::App& app, int argc, const char* const* argv) {
  CLI::App* at = &app;
  std::string path = "osprey";
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    // Options end the walk, and so does a command that takes arguments
    // rather than subcommands.
    if (word.empty() || word[0] == '-' || at->get_require_subcommand_min() == 0) return false;
    CLI::App* sub = find_subcommand(at, word);
    if (sub == nullptr) {
      std::fprintf(stderr,
                   "osprey: unknown command \"%s\"; the commands%s%s are: %s\n"
                   "Run \"osprey help\" for more information.\n",
                   (path + " " + word).substr(7).c_str(), at == &app ? "" : " of ",
                   at == &app ? "" : path.substr(7).c_str(), command_names(at).c_str());
      return true;
    }
    at = sub;
    path += " " + word;
  }
  return false;
}

}  // namespace osprey_tool
