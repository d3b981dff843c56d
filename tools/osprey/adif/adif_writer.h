// Writes ADIF 3.1 text: ADI (tagged fields, ASCII only) or ADX (XML in
// UTF-8, with the _INTL fields for text that ASCII cannot hold).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "adif/adif_record.h"

namespace osprey_tool {

enum class AdifFormat { kAdi, kAdx };

// What ADI had to do with non-ASCII text, counted per field.
struct AdifWriteNotes {
  size_t transliterated = 0;  // full-width letters and digits written as ASCII
  size_t left_out = 0;        // fields (or lines of NOTES) left out entirely
};

class AdifWriter {
 public:
  explicit AdifWriter(AdifFormat format) : format_(format) {}

  // Appends one record to the body. ADI: every value ASCII (transliterated,
  // or the field left out; a NOTES line at a time). ADX: a text field with
  // non-ASCII text also gets its _INTL field in UTF-8, the plain field only
  // when it transliterates; other fields carry UTF-8 as it is.
  void record(const AdifRecord& r);

  // The whole file: header (free text, ADIF_VER, PROGRAMID, PROGRAMVERSION,
  // CREATED_TIMESTAMP "YYYYMMDD HHMMSS"), then the records. The ADI header's
  // free text says what non-ASCII text was transliterated or left out.
  std::string file(const std::string& created, const std::string& description) const;
  // The same file written to out (the body is not copied). False when a
  // write or the flush failed.
  bool write(const std::string& created, const std::string& description, std::FILE* out) const;

  const AdifWriteNotes& notes() const { return notes_; }
  size_t records() const { return records_; }

 private:
  // The text before the first record, and after the last.
  std::string header(const std::string& created, const std::string& description) const;
  const char* trailer() const;
  void adi_field(const std::string& name, const std::string& value);
  void adx_field(const std::string& name, const std::string& value);

  AdifFormat format_;
  std::string body_;
  AdifWriteNotes notes_;
  size_t records_ = 0;
};

// Escapes &, < and > (and " in attributes), and writes carriage returns as
// character references so that they survive an XML reader. Whatever the
// bytes of text, the result is well-formed XML text: the control characters
// that XML 1.0 cannot carry (all below 0x20 but tab, line feed and carriage
// return) become blanks, and bytes that are not well-formed UTF-8 become
// U+FFFD.
void append_xml_text(std::string* out, const std::string& text);

}  // namespace osprey_tool
