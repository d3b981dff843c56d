#include "contact_filter.h"

#include <cstring>
#include <utility>

#include "contact_rows.h"

namespace osprey_tool {

namespace {

std::string trimmed_field(const char* field, size_t size) {
  std::string s(field, strnlen(field, size));
  const size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? "" : s.substr(0, end + 1);
}

// A band named by its wavelength ("40m", "70cm", any case), as the name in
// MHz that band_number takes; text that is no wavelength is left as it is.
std::string band_in_mhz(const std::string& text) {
  static const std::pair<const char*, const char*> kWavelengths[] = {
      {"160M", "1.9"}, {"80M", "3.5"}, {"75M", "3.5"},   {"40M", "7"},     {"30M", "10"},
      {"20M", "14"},   {"17M", "18"},  {"15M", "21"},    {"12M", "24"},    {"10M", "28"},
      {"6M", "50"},    {"2M", "144"},  {"70CM", "430"},  {"23CM", "1200"}, {"13CM", "2400"},
      {"6CM", "5600"}};
  const std::string name = capitals(text);
  for (const auto& [wavelength, mhz] : kWavelengths)
    if (name == wavelength) return mhz;
  return text;
}

}  // namespace

bool parse_full_date(const std::string& text, int32_t* ymd) {
  std::string d;
  for (char c : text)
    if (c != '-' && c != '/') d += c;
  if (d.size() != 8 || d.find_first_not_of("0123456789") != std::string::npos) return false;
  const int32_t value = std::stoi(d);
  const int32_t month = value / 100 % 100;
  const int32_t day = value % 100;
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  *ymd = value;
  return true;
}

bool ContactFilter::prepare(std::string* error) {
  if (band) {
    band_ = band_number(band_in_mhz(*band));
    if (band_ < 0) {
      *error =
          "--band takes a band in MHz: 1.9, 3.5, 7, 10, 14, 18, 21, 24, 28, 50, 144, 430, "
          "1200, 2400 or 5600, or its wavelength: 160m, 80m, 40m ... 2m, 70cm, 23cm, 13cm or "
          "6cm (\"" +
          *band + "\" is none)";
      return false;
    }
  }
  if (since && !parse_full_date(*since, &since_)) {
    *error = "--since takes a date YYYY-MM-DD (\"" + *since + "\" is none)";
    return false;
  }
  if (until && !parse_full_date(*until, &until_)) {
    *error = "--until takes a date YYYY-MM-DD (\"" + *until + "\" is none)";
    return false;
  }
  if (mode) mode_ = capitals(*mode);
  if (call) call_ = capitals(*call);
  return true;
}

bool ContactFilter::matches(bool is_deleted, const ContactView& v, const uint8_t* dbs_image) const {
  if (is_deleted && !deleted) return false;
  if (band && band_of(v.frequency) != band_) return false;
  if (mode && capitals(trimmed_field(v.mode, sizeof v.mode)) != mode_) return false;
  if (call && call_of(v).compare(0, call_.size(), call_) != 0) return false;
  if (since || until) {
    const int32_t ymd = contact_time(dbs_image).ymd();
    if (ymd < since_ || ymd > until_) return false;
  }
  return true;
}

}  // namespace osprey_tool
