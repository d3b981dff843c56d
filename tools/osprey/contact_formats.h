// The text forms in which `osprey export` writes a log's contacts. Each
// format is one ContactWriter; make_contact_writer is the one place that
// maps a format's name to its writer, so a new format is one more entry
// there.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "osprey32.h"

namespace osprey_tool {

enum class TextEncoding { kCp932, kUtf8 };

class ContactWriter {
 public:
  virtual ~ContactWriter() = default;
  // Writes what comes before the first contact (a header row, say).
  virtual void begin(std::FILE* out) = 0;
  // Writes the contact that OSP_read (with remarks, without separators) has
  // just loaded into log: its view and its record image.
  virtual void contact(std::FILE* out, const LogHandle& log) = 0;
};

// The names of the formats, for the command's help.
const std::vector<std::string>& contact_formats();

// The writer of format in encoding; null with a sentence in *error when the
// format is unknown or cannot be written in that encoding.
std::unique_ptr<ContactWriter> make_contact_writer(const std::string& format,
                                                   TextEncoding encoding, std::string* error);

// The 200-column contact line of the loaded contact, as `osprey import`
// (and the library's contact-line append) reads it: Shift-JIS bytes.
std::string fixed_contact_line(const LogHandle& log);

}  // namespace osprey_tool
