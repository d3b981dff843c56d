// ADIF through the contact text commands, and the backups an import makes:
//   osprey export LOG --format adif [--adx] [--from N] [--to N] [-o FILE]
//   osprey import LOG FILE.adi|FILE.adx [--allow-duplicates] [--keep-utc]
//                 [--encoding sjis|utf-8|latin1]
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

namespace osprey_tool {

// True when path names an ADIF file: it ends in ".adi" or ".adx", in any case.
bool is_adif_file(const std::string& path);

// Writes contacts from..to (0: the last) of the log at base as ADI, or ADX
// with adx, to output (empty: standard output).
void run_adif_export(const std::string& base, bool adx, int32_t from, int32_t to,
                     const std::string& output);

// The options of an ADIF import.
struct AdifImportArgs {
  bool allow_duplicates = false;
  bool keep_utc = false;
  std::string encoding;  // empty: detected
};

// Adds the import's options to the import command, filling *args:
// --allow-duplicates (for every import) and the ADIF import's own
// --keep-utc and --encoding.
void add_adif_import_options(CLI::App* import, AdifImportArgs* args);

// The first ADIF-only option args holds ("--keep-utc"), or empty.
std::string adif_only_option(const AdifImportArgs& args);

// Adds the records of the ADIF file at path to the log at base, after the
// backups; reports refused records, duplicates, skipped fields and what the
// log could not hold as given.
void run_adif_import(const std::string& base, const std::string& path, const AdifImportArgs& args);

// Copies every file of the log at base that an import may change (contact,
// remarks and index files and the profile) to a backup beside it, before
// anything is written. False, with the failure reported as one of context,
// when a copy cannot be made.
bool back_up_before_import(const std::string& context, const std::string& base);

}  // namespace osprey_tool
