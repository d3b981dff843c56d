#include "contact_rows.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "contacts_session.h"
#include "formats/open_file_reads.h"

namespace osprey_tool {

namespace {

// Where the date and time stand in the data bytes (after the deletion mark).
constexpr int kDate = 44;
constexpr int kTime = 47;
constexpr uint8_t k2000s = 0x80;  // year byte bit 7: 2000-2051
constexpr uint8_t kUtc = 0x80;    // minute byte bit 7: UTC, else JST
constexpr int kJstMinutes = 9 * 60;

const char* const kBands[15] = {"1.9", "3.5", "7",   "10",  "14",   "18",   "21",  "24",
                                "28",  "50",  "144", "430", "1200", "2400", "5600"};

std::string trimmed(const std::string& s) {
  const size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? "" : s.substr(0, end + 1);
}

template <size_t N>
std::string shown(const char (&field)[N]) {
  return utf8_of(field, N);
}

std::string remarks_of(const ContactView& v) {
  std::string out;
  for (const std::string& r :
       {trimmed(shown(v.remark1)), trimmed(shown(v.remark2)), trimmed(shown(v.remark3))}) {
    if (r.empty()) continue;
    if (!out.empty()) out += " / ";
    out += r;
  }
  return out;
}

// Days from 1900-01-01 to the date (proleptic Gregorian calendar).
int64_t days_of(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = y / 400;
  const int yoe = y - era * 400;
  const int mp = (month + 9) % 12;
  const int doy = (153 * mp + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<int64_t>(era) * 146097 + doe - 693901;  // 693901: 1900-01-01
}

}  // namespace

int64_t ContactTime::utc_minutes() const {
  return days_of(year, month, day) * 1440 + hour * 60 + minute - (utc ? 0 : kJstMinutes);
}

ContactTime contact_time(const uint8_t* d) {
  ContactTime t;
  t.year = (d[kDate] & 0x7F) + ((d[kDate] & k2000s) != 0 ? 2000 : 1900);
  t.month = d[kDate + 1];
  t.day = d[kDate + 2];
  t.hour = d[kTime];
  t.minute = d[kTime + 1] & 0x7F;
  t.utc = (d[kTime + 1] & kUtc) != 0;
  return t;
}

int band_of(const char* f) {
  // The library's own reading of a frequency, so that the listing and the
  // award tables agree on every contact's band.
  const int32_t band = FreqPCheck(f);
  return band < 15 ? band : -1;
}

const char* band_name(int band) { return band >= 0 && band < 15 ? kBands[band] : "?"; }

int band_number(const std::string& name) {
  std::string n = capitals(name);
  if (n.size() > 3 && n.compare(n.size() - 3, 3, "MHZ") == 0) n.resize(n.size() - 3);
  for (int b = 0; b < 15; ++b)
    if (n == kBands[b]) return b;
  return -1;
}

std::string capitals(std::string text) { return with_ascii_case(std::move(text), true); }

std::string with_ascii_case(std::string text, bool upper) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    // The second byte of a Shift-JIS character may look like a letter.
    if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
      ++i;
      continue;
    }
    if (upper && b >= 'a' && b <= 'z') text[i] = static_cast<char>(b - 32);
    if (!upper && b >= 'A' && b <= 'Z') text[i] = static_cast<char>(b + 32);
  }
  return text;
}

std::string call_of(const ContactView& v) {
  return capitals(trimmed(std::string(v.callsign, strnlen(v.callsign, sizeof v.callsign))));
}

void print_contact_heading() {
  std::printf("%7s   %-7s %-3s %-10s %-6s %-7s %-3s %-3s %-3s %-6s %-6s %-3s %-12s  %s\n", "RECNO",
              "CALL", "POR", "DATE", "TIME", "FREQ", "MOD", "HIS", "MY", "CODE", "GRID", "QSL",
              "NAME", "REMARKS");
}

std::string contact_row(const std::string& number, bool deleted, const ContactView& v,
                        const uint8_t* dbs_image) {
  std::string date = shown(v.date);
  ContactTime t;
  if (dbs_image != nullptr) {
    t = contact_time(dbs_image);
  } else if (date.size() == 8) {
    // The view's yy/mm/dd, with the century the stored year byte gives it.
    t.year = std::atoi(date.substr(0, 2).c_str());
    t.year += t.year < 52 ? 2000 : 1900;
    t.month = std::atoi(date.substr(3, 2).c_str());
    t.day = std::atoi(date.substr(6, 2).c_str());
  }
  if (t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year % 10000, t.month, t.day);
    date = text;
  }
  char head[16];
  std::snprintf(head, sizeof head, "%7s%c ", number.c_str(), deleted ? '*' : ' ');
  std::string row = head;
  for (const std::string& field :
       {shown(v.callsign), shown(v.portable), date, shown(v.time), shown(v.frequency),
        shown(v.mode), shown(v.his_report), shown(v.my_report), shown(v.code), shown(v.grid),
        shown(v.qsl), shown(v.name)})
    row += " " + field;
  return row + "  " + remarks_of(v);
}

void print_contact(int32_t recno, bool deleted, const ContactView& v, const uint8_t* dbs_image) {
  std::printf("%s\n", contact_row(std::to_string(recno), deleted, v, dbs_image).c_str());
}

DeletionMarks::DeletionMarks(const DbfHandle& handle)
    : file_(handle.file),
      header_size_(static_cast<uint16_t>(handle.header_size)),
      record_size_(handle.record_size) {}

bool DeletionMarks::deleted(int32_t recno) {
  if (recno < 1) return false;
  char mark = ' ';
  if (read_open_file(file_, header_size_ + (recno - 1) * record_size_, &mark, 1) != 1)
    return false;
  return mark != ' ';
}

}  // namespace osprey_tool
