// Which contacts a listing shows: deleted ones or not, and the filters by
// band, mode, date range and call-sign prefix (letters in any case).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "osprey32.h"

namespace osprey_tool {

struct ContactFilter {
  bool deleted = false;              // show deleted contacts too
  std::optional<std::string> band;   // a band: 1.9, 3.5, 7 ... 5600 (MHz), or 40m, 70cm ...
  std::optional<std::string> mode;   // the mode, any case
  std::optional<std::string> since;  // first date, YYYY-MM-DD
  std::optional<std::string> until;  // last date, YYYY-MM-DD
  std::optional<std::string> call;   // call-sign prefix, any case

  // Checks the values given and prepares them. False, with a sentence, on a
  // value that names no band or no date.
  bool prepare(std::string* error);
  // True when the contact (its view and data bytes) is to be shown.
  bool matches(bool is_deleted, const ContactView& v, const uint8_t* dbs_image) const;

 private:
  int band_ = -1;
  int32_t since_ = 0;
  int32_t until_ = 99991231;
  std::string mode_, call_;
};

// A date given as YYYY-MM-DD, YYYY/MM/DD or YYYYMMDD as year * 10000 +
// month * 100 + day; false when it is none.
bool parse_full_date(const std::string& text, int32_t* ymd);

}  // namespace osprey_tool
