// Reads ADIF files: ADI (tagged fields with byte lengths, an optional header
// ending in <EOH>) and ADX (XML). Works on the whole file in memory; every
// length and every tag is checked against the end of the text, so damaged
// files end in an error, never in a read past the end.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "adif/adif_record.h"
#include "adif/adif_writer.h"

namespace osprey_tool {

enum class AdifRead { kRecord, kEnd, kError };

// The character encoding of a file's text. ADI files say nothing of theirs:
// kDetect takes well-formed UTF-8 as UTF-8, else well-formed Shift-JIS as
// Shift-JIS, else Latin-1. An ADX file's XML declaration names its own.
enum class AdifEncoding { kDetect, kUtf8, kShiftJis, kLatin1 };

// "utf-8", "sjis", "latin1" (and their usual other names) as an encoding;
// false for any other name.
bool adif_encoding_of(const std::string& name, AdifEncoding* encoding);
const char* adif_encoding_name(AdifEncoding encoding);

class AdifText;

class AdifReader {
 public:
  // text must outlive the reader. The format comes from the content: ADX
  // when the text (after a byte-order mark and white space) begins with
  // "<?xml" or "<ADX", else ADI. Values come out as UTF-8, converted from
  // encoding (kDetect: see AdifEncoding; for ADX, what its declaration says).
  explicit AdifReader(std::string_view text, AdifEncoding encoding = AdifEncoding::kDetect);
  ~AdifReader();
  AdifReader(const AdifReader&) = delete;
  AdifReader& operator=(const AdifReader&) = delete;

  AdifFormat format() const { return format_; }
  // The encoding the text is read in, once the first next() has run.
  AdifEncoding encoding() const { return encoding_; }

  // The next record into *record (its fields in file order, names in upper
  // case, application fields as APP_PROGRAM_FIELD, ADX text with its
  // character references decoded). kEnd after the last record; kError when
  // the text is damaged (error() says what and where), and kError again on
  // every later call.
  AdifRead next(AdifRecord* record);

  // How far the reader has come, in bytes of the text.
  size_t offset() const { return pos_; }

  // The number of the record that next() read or failed in, from 1.
  size_t record_number() const { return record_number_; }
  // With kError: a sentence naming the field (when there is one) and the byte
  // offset.
  const std::string& error() const { return error_; }
  // With kError: the text ended inside a record that had no damage but its
  // missing <EOR> (the records before it are whole).
  bool unterminated() const { return unterminated_; }
  // With kRecord: a sentence when the record looks damaged though it could
  // be read (a field's length runs past an <EOR>), else empty.
  const std::string& warning() const { return warning_; }

 private:
  AdifRead next_adi(AdifRecord* record);
  AdifRead next_adx(AdifRecord* record);
  AdifRead fail(std::string message);
  // The ADX declaration's encoding honoured (or the given one): a text that
  // is not UTF-8 is converted whole before it is read. False with an error.
  bool start_adx();
  // An ADI value in the file's encoding as UTF-8.
  std::string adi_value(std::string_view raw);

  std::string_view text_;
  std::string converted_;  // the text as UTF-8, when it had to be converted
  std::unique_ptr<AdifText> sjis_;
  size_t pos_ = 0;
  AdifFormat format_;
  AdifEncoding encoding_;
  bool unterminated_ = false;
  std::string warning_;
  bool started_ = false;
  bool failed_ = false;
  bool ended_ = false;
  size_t record_number_ = 0;
  std::string error_;
};

}  // namespace osprey_tool
