// Writing a log's contacts as an ADIF file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "adif/adif_writer.h"
#include "osprey32.h"

namespace osprey_tool {

struct AdifExportOptions {
  AdifFormat format = AdifFormat::kAdi;
  int32_t from = 1;  // first record number
  int32_t to = 0;    // last record number; 0 or past the end: the last contact
};

struct AdifExportResult {
  int32_t status = 0;  // the library status that stopped the export, or 0
  std::string error;   // a sentence when status is not 0, or when out failed (status 0)
  size_t records = 0;  // contacts written
  size_t deleted = 0;  // deleted contacts in the range, left out
  int32_t first = 0;   // the range exported
  int32_t last = 0;
  AdifWriteNotes notes;
};

// Converts the live contacts from..to of log (open at least for its contact
// and remarks files; nothing is written to it) in record order with
// adif_of_contact and writes the ADIF file to out, header first. Deleted
// contacts are left out and counted. created is the header's timestamp,
// "YYYYMMDD HHMMSS" (UTC); description its free text.
AdifExportResult export_adif(LogHandle* log, const AdifExportOptions& options,
                             const std::string& created, const std::string& description,
                             std::FILE* out);

// The present moment as export_adif's created text: "YYYYMMDD HHMMSS" in UTC.
std::string adif_created_now();

// The live/deleted marks of records first..last of an open contact file,
// read in one sequential pass beside the library's handle: marks[i] is true
// when record first + i is deleted. False when the file cannot be read.
bool read_deletion_marks(const char* path, const DbfHandle& handle, int32_t first, int32_t last,
                         std::vector<bool>* marks);

}  // namespace osprey_tool
