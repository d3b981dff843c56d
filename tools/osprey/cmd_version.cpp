// osprey version: the library's version constant.
#include <cstdio>

#include "commands.h"
#include "osprey32.h"

namespace osprey_tool {

void add_version_command(CLI::App& app) {
  auto* cmd = app.add_subcommand("version", "Print the library's version");
  cmd->callback([] {
    const auto v = static_cast<uint32_t>(GetOspdllVersion());
    std::printf("OSPREY32 library version 0x%08X (%u)\n", v, v);
  });
}

}  // namespace osprey_tool
