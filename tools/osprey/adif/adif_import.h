// Adding the records of an ADI or ADX file to a log as contacts.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "adif/adif_contact.h"
#include "adif/adif_reader.h"

namespace osprey_tool {

struct AdifImportOptions {
  bool allow_duplicates = false;  // import records whose key the log already has
  bool keep_utc = false;          // contacts with Japanese stations stay in UTC too
  AdifEncoding encoding = AdifEncoding::kDetect;  // of the file's text
  // Called now and then with the bytes of the file read so far and its size.
  std::function<void(size_t done, size_t total)> progress;
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
  std::vector<std::string> warnings;  // records that look damaged but were read
  AdifEncoding encoding = AdifEncoding::kDetect;  // what the text was read as
  AdifImportNotes notes;
  bool indexes_rebuilt = false;  // set by import_adif_file
};

// Reads the whole file at path into *out; false when it cannot be read.
bool read_whole_file(const std::string& path, std::string* out);

// Appends the records of file (the text of an ADI or ADX file, told apart by
// its content) to log, open at least for its contact and remarks files: each
// record that contact_of_adif accepts becomes a contact (times in UTC),
// unless a contact with the same duplicate_key is already in the log or
// earlier in the file (then it is counted and, without allow_duplicates,
// skipped). The contacts are appended without index entries (DB_append),
// which marks indexes 0 and 1 stale: the next open that compares file times
// rebuilds them. A damaged file ends the import at the damaged record,
// keeping the contacts before it; a last record without its <EOR> is
// refused (field "EOR") rather than ending the import in error.
AdifImportResult import_adif(LogHandle* log, std::string_view file,
                             const AdifImportOptions& options);

// import_adif on the log at base and the file at path: opens the log's
// contact and remarks files, imports, closes, and opens the whole log again
// comparing file times so that indexes 0 and 1 are rebuilt.
AdifImportResult import_adif_file(const std::string& base, const std::string& path,
                                  const AdifImportOptions& options);

}  // namespace osprey_tool
