// The osprey command's subcommand groups. Each group adds its subcommands to
// the application; a subcommand's callback sets the exit status through
// set_exit_status.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace osprey_tool {

// The process exit status of the subcommand that ran (0 unless it failed);
// the codes are those of exit_codes.h.
void set_exit_status(int status);
int exit_status();

// osprey version; version_text() is also what --version prints.
void add_version_command(CLI::App& app);
std::string version_text();

// osprey help [COMMAND...].
void add_help_command(CLI::App& app);
// When the command line names a command that does not exist, says so (with
// the commands there are) on standard error and returns true.
bool names_unknown_command(CLI::App& app, int argc, const char* const* argv);

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

// osprey check LOG --repair [--yes]: counts, remarks count and indexes put
// right after a backup of every file that changes.
void run_repair(const std::string& base, bool assume_yes);

// osprey wkd LOG and osprey qsl LOG RECNO: the worked/confirmed tables and the QSL marks.
void add_wkd_command(CLI::App& app);
void add_qsl_command(CLI::App& app);

// osprey import, export and lookup: contacts as text (fixed columns, CSV,
// ADIF), user text files.
void add_text_commands(CLI::App& app);

// osprey delete LOG RECNO, osprey undelete LOG RECNO.
void add_delete_commands(CLI::App& app);

// osprey sort LOG --date | --master: the contact or master file rewritten in order.
void add_sort_command(CLI::App& app);
// osprey print LOG --template TEXT: one line per contact from a template.
void add_print_command(CLI::App& app);
// osprey labels LOG --template-file FILE --pdf OUT.pdf: QSL labels on A4 sheets.
void add_labels_command(CLI::App& app);
// osprey serve LOG [--port N]: the web logbook.
void add_serve_command(CLI::App& app);

}  // namespace osprey_tool
