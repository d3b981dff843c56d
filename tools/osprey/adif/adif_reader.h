// Reads ADIF files: ADI (tagged fields with byte lengths, an optional header
// ending in <EOH>) and ADX (XML). Works on the whole file in memory; every
// length and every tag is checked against the end of the text, so damaged
// files end in an error, never in a read past the end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "adif/adif_record.h"
#include "adif/adif_writer.h"

namespace osprey_tool {

enum class AdifRead { kRecord, kEnd, kError };

class AdifReader {
 public:
  // text must outlive the reader. The format comes from the content: ADX
  // when the text (after a byte-order mark and white space) begins with
  // "<?xml" or "<ADX", else ADI.
  explicit AdifReader(std::string_view text);

  AdifFormat format() const { return format_; }

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

 private:
  AdifRead next_adi(AdifRecord* record);
  AdifRead next_adx(AdifRecord* record);
  AdifRead fail(std::string message);

  std::string_view text_;
  size_t pos_ = 0;
  AdifFormat format_;
  bool started_ = false;
  bool failed_ = false;
  bool ended_ = false;
  size_t record_number_ = 0;
  std::string error_;
};

}  // namespace osprey_tool
