// The osprey command's subcommand groups. Each group adds its subcommands to
// the application; a subcommand's callback sets the exit status through
// set_exit_status.
#pragma once

#include <CLI/CLI.hpp>

namespace osprey_tool {

// The process exit status of the subcommand that ran (0 unless it failed).
void set_exit_status(int status);
int exit_status();

void add_version_command(CLI::App& app);

// osprey dbf info FILE, osprey dbf dump FILE [--deleted].
void add_dbf_commands(CLI::App& app);
// idx build, idx check: adds them to the "idx" group.
void add_idx_build_commands(CLI::App& idx);
// Adds "info FILE" and "dump FILE" to the index files group.
void add_idx_walk_commands(CLI::App& idx);

// osprey open LOG [--yes|--no], osprey new LOG --master FILE.
void add_log_commands(CLI::App& app);

// osprey list, show, add, edit and check: a log's contacts.
void add_contacts_commands(CLI::App& app);

// osprey export-adif LOG and import-adif LOG FILE: ADIF out and in.
void add_adif_commands(CLI::App& app);

}  // namespace osprey_tool
