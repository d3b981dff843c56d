// Builds the 57 data bytes of a stored contact (the record without its
// deletion mark) from readable values, so that tests, samples and benchmarks
// can fill contact files without going through a log.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace osp::test {

inline constexpr int kContactDataSize = 57;
using ContactData = std::array<uint8_t, kContactDataSize>;

struct ContactSpec {
  std::string callsign;   // up to 7 characters: CALLS (6) and IGN (1)
  std::string portable;   // up to 3 characters
  std::string code;       // area code, up to 6 characters
  std::string grid;       // grid locator, up to 6 characters
  std::string frequency;  // the 7-character frequency text, e.g. "7.025" or "1.9"
  std::string mode;       // up to 3 characters
  std::string name;       // operator name, UTF-8; stored as Shift-JIS, up to 12 bytes
  std::string qsl;        // route, sent and received marks, up to 3 characters
  int year = 2026;        // 1952-2051
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  bool utc = false;       // else Japan Standard Time
  int his_rs = 59;        // report number 0-99
  char his_t = ' ';       // tone digit or a blank
  int my_rs = 59;
  char my_t = ' ';
  uint32_t remarks_offset = 0;  // OFS: 0, or the offset of a remark block (>= 256)
};

// The stored form: text fields blank-padded (longer texts are cut), FREQ as
// text when its places 4 and 5 are blank and packed otherwise, DATE, TIME and
// RST binary, OFS little-endian. Throws std::runtime_error when the name
// cannot be converted to Shift-JIS.
ContactData contact_data(const ContactSpec& spec);

// The four FREQ bytes for a frequency text (padded or cut to 7 characters).
std::array<uint8_t, 4> packed_frequency(const std::string& text);

}  // namespace osp::test
