// ADIF through the contact text commands, and the backups an import makes:
//   osprey export LOG --format adif [--adx] [--from N] [--to N] [-o FILE]
//   osprey import LOG FILE.adi|FILE.adx [--allow-duplicates]
#pragma once

#include <cstdint>
#include <string>

namespace osprey_tool {

// True when path names an ADIF file: it ends in ".adi" or ".adx", in any case.
bool is_adif_file(const std::string& path);

// Writes contacts from..to (0: the last) of the log at base as ADI, or ADX
// with adx, to output (empty: standard output).
void run_adif_export(const std::string& base, bool adx, int32_t from, int32_t to,
                     const std::string& output);

// Adds the records of the ADIF file at path to the log at base, after the
// backups; reports refused records, duplicates and skipped fields.
void run_adif_import(const std::string& base, const std::string& path, bool allow_duplicates);

// Copies every file of the log at base that an import may change (contact,
// remarks and index files and the profile) to a backup beside it, before
// anything is written. False, with the failure reported as one of context,
// when a copy cannot be made.
bool back_up_before_import(const std::string& context, const std::string& base);

}  // namespace osprey_tool
