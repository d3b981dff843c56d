// A contact as the list commands show it: one row with its record number, a
// deletion mark, a four-digit year and the text fields as UTF-8; its date and
// time as a point in time for ordering; its band; and the deletion marks of
// the contact file, which the cursor does not deliver.
#pragma once

#include <cstdint>
#include <string>

#include "osprey32.h"

namespace osprey_tool {

// The date and time stored in a contact record's data bytes (dbs_image).
struct ContactTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
  bool utc = false;
  // Minutes since 1900-01-01 00:00 UTC (Japan Standard Time is UTC+9), for
  // ordering contacts logged in either zone.
  int64_t utc_minutes() const;
  // year * 10000 + month * 100 + day, for date ranges.
  int32_t ymd() const { return year * 10000 + month * 100 + day; }
};
ContactTime contact_time(const uint8_t* dbs_image);

// The band number (0-14) of a frequency text in MHz, by its leading
// characters, or -1 when it names no amateur band.
int band_of(const char* frequency);
// The band's name ("1.9", "7", "144" ...), numbers 0 to 14.
const char* band_name(int band);
// The number of a band's name, with or without "MHz" in any case; -1 when
// there is no band of that name.
int band_number(const std::string& name);

// The call sign with its trailing blanks removed, in capitals.
std::string call_of(const ContactView& v);
// Text (UTF-8 or Shift-JIS) with its ASCII letters in capitals, or with
// upper false in small letters; the bytes of other characters are left alone.
std::string with_ascii_case(std::string text, bool upper);
std::string capitals(std::string text);

// The heading line and a row; deleted marks the row with '*' after its number.
void print_contact_heading();
void print_contact(int32_t recno, bool deleted, const ContactView& v, const uint8_t* dbs_image);
// The row's text (no newline), with number in place of a record number
// ("new"); without data bytes the date is the view's, with its century.
std::string contact_row(const std::string& number, bool deleted, const ContactView& v,
                        const uint8_t* dbs_image);

// The deletion marks of a contact file, read beside the library's handle.
class DeletionMarks {
 public:
  // Reads through the handle the library holds the contact file open with.
  explicit DeletionMarks(const DbfHandle& handle);
  // True when record recno carries a mark other than the live blank.
  bool deleted(int32_t recno);

 private:
  OspFile file_;
  int64_t header_size_;
  int64_t record_size_;
};

}  // namespace osprey_tool
