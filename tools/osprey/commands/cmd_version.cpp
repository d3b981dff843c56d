// osprey version (and osprey --version): the library's version constant.
#include <cstdio>

#include "commands/commands.h"
#include "osprey32.h"

namespace osprey_tool {

std::string version_text() {
  const auto v = static_cast<uint32_t>(GetOspdllVersion());
  char text[80];
  std::snprintf(text, sizeof text, "OSPREY32 library version 0x%08X (%u)", v, v);
  return text;
}

void add_version_command(CLI::App& app) {
  auto* cmd = app.add_subcommand("version", "Print the library's version");
  cmd->callback([] { std::printf("%s\n", version_text().c_str()); });
}

}  // namespace osprey_tool
