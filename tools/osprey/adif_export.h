// Writing a log's contacts as an ADIF file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "adif_writer.h"

namespace osprey_tool {

struct AdifExportOptions {
  AdifFormat format = AdifFormat::kAdi;
  int32_t from = 1;  // first record number
  int32_t to = 0;    // last record number; 0 or past the end: the last contact
};

struct AdifExportResult {
  int32_t status = 0;  // the library status that stopped the export, or 0
  std::string error;   // a sentence when status is not 0 or out failed
  size_t records = 0;
  AdifWriteNotes notes;
};

// Opens the log at base (contact and remarks files only; nothing is asked
// and nothing is written to it), converts contacts from..to in record order
// (adif_of_contact) and writes the ADIF file to out, header first. created
// is the header's timestamp, "YYYYMMDD HHMMSS" (UTC).
AdifExportResult export_adif(const std::string& base, const AdifExportOptions& options,
                             const std::string& created, std::FILE* out);

}  // namespace osprey_tool
