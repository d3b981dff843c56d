// Adding the records of an ADI or ADX file to a log as contacts.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "adif_contact.h"

namespace osprey_tool {

struct AdifImportOptions {
  bool allow_duplicates = false;  // import records whose key the log already has
  bool progress = false;          // draw a progress bar on standard error
};

struct AdifRefusedRecord {
  size_t record;  // number in the file, from 1
  AdifRefusal refusal;
};

struct AdifImportResult {
  int32_t status = 0;  // the library status that stopped the import, or 0
  std::string error;   // why the import stopped (file unreadable or damaged, or status)
  size_t records = 0;  // records read from the file
  size_t imported = 0;
  std::vector<AdifRefusedRecord> refused;
  std::vector<size_t> duplicates;                // record numbers skipped (or kept)
  std::map<std::string, size_t> unknown_fields;  // name -> times skipped
  AdifImportNotes notes;
  bool indexes_rebuilt = false;
};

// Opens the log at base, reads the file at path (ADI or ADX, told apart by
// its content) and appends each record that contact_of_adif accepts as a
// contact (times in UTC), unless a contact with the same duplicate_key is
// already in the log or earlier in the file (then it is counted and, without
// allow_duplicates, skipped). The contacts are appended without index
// entries; when any was, indexes 0 and 1 are rebuilt at the end. A damaged
// file ends the import at the damaged record, keeping the contacts before it.
AdifImportResult import_adif(const std::string& base, const std::string& path,
                             const AdifImportOptions& options);

}  // namespace osprey_tool
