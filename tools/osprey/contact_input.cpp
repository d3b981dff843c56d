#include "contact_input.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "contact_rows.h"
#include "contacts_session.h"

namespace osprey_tool {

namespace {

// Where the packed fields stand in the record's data bytes (after the
// deletion mark).
constexpr size_t kFrequency = 22;
constexpr size_t kReports = 49;  // his RS byte and T, my RS byte and T
constexpr uint8_t kFrequencyPacked = 0x80;
constexpr int kFrequencyPlaces = 7;
constexpr size_t kCallPlaces = 7;
constexpr size_t kPortablePlaces = 3;
constexpr size_t kCodePlaces = 6;
constexpr int32_t kThreeDigitCode = 3;  // ChosonCheck: three digits, the first 5 to 9

bool digits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

bool letters_and_digits(const std::string& s) {
  for (const char c : s)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

bool leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leap(year) ? 29 : kDays[month - 1];
}

const char* const kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                 "July",    "August",   "September", "October", "November", "December"};

// The record's report (RS byte, T character) as the view shows it: a zero
// digit shows as a blank.
void unpack_report(const uint8_t* in, char (&out)[4]) {
  const unsigned tens = in[0] / 10u % 10u;
  const unsigned units = in[0] % 10u;
  out[0] = tens == 0 ? ' ' : static_cast<char>('0' + tens);
  out[1] = units == 0 ? ' ' : static_cast<char>('0' + units);
  out[2] = static_cast<char>(in[1]);
  out[3] = '\0';
}

// The record's frequency as the view shows it: four characters of text, or
// a number of up to 7 digits with the places of its last character and of
// its point.
void unpack_frequency(const uint8_t* in, char (&out)[8]) {
  std::memset(out, ' ', kFrequencyPlaces);
  out[kFrequencyPlaces] = '\0';
  if ((in[3] & kFrequencyPacked) == 0) {
    std::memcpy(out, in, 4);
    return;
  }
  const unsigned long number =
      static_cast<unsigned long>(in[0]) | static_cast<unsigned long>(in[1]) << 8 |
      static_cast<unsigned long>(in[2]) << 16;
  char text[16];
  std::snprintf(text, sizeof text, "%-7lu", number);
  std::memcpy(out, text, kFrequencyPlaces);
  const int last = in[3] >> 3 & 0x0F;
  const int point = in[3] & 0x07;
  if (last < 6) out[6] = ' ';
  if (last == 4) out[5] = ' ';
  if (point < kFrequencyPlaces) out[point] = '.';
}

// Puts value (Shift-JIS, at most N - 1 bytes) into a view field, padded with
// blanks. False, with a sentence in *error, when it is too long.
template <size_t N>
bool put(char (&field)[N], const std::string& option, const std::string& value,
         std::string* error) {
  std::string sjis;
  if (!sjis_of(value, &sjis, error)) return false;
  if (sjis.size() > N - 1) {
    *error = "--" + option + " takes at most " + std::to_string(N - 1) + " bytes (\"" + value +
             "\" has " + std::to_string(sjis.size()) + " in Shift-JIS)";
    return false;
  }
  sjis.resize(N - 1, ' ');
  std::memcpy(field, sjis.data(), N - 1);
  field[N - 1] = '\0';
  return true;
}


}  // namespace

bool date_text(const std::string& in, std::string* out, std::string* error) {
  std::string d;
  for (const char c : in)
    if (c != '-' && c != '/') d += c;
  int year = 0;
  if (d.size() == 8 && digits(d)) {
    year = std::stoi(d.substr(0, 4));
    d = d.substr(2);
  } else if (d.size() == 6 && digits(d)) {
    year = std::stoi(d.substr(0, 2));
    year += year < 52 ? 2000 : 1900;
  } else {
    *error = "--date takes YYYY-MM-DD, YY/MM/DD or YYMMDD (\"" + in + "\" is none of these)";
    return false;
  }
  // The stored year byte holds 1952 to 2051; another year would come back a
  // century off.
  if (year < 1952 || year > 2051) {
    *error = "--date " + in + ": the log holds the years 1952 to 2051";
    return false;
  }
  const int month = std::stoi(d.substr(2, 2));
  const int day = std::stoi(d.substr(4, 2));
  if (month < 1 || month > 12) {
    *error = "--date " + in + " is not a date: there is no month " + std::to_string(month);
    return false;
  }
  if (day < 1 || day > days_in(year, month)) {
    *error = "--date " + in + " is not a date: " + kMonths[month - 1] + " " +
             std::to_string(year) + " has " + std::to_string(days_in(year, month)) + " days";
    return false;
  }
  *out = d.substr(0, 2) + "/" + d.substr(2, 2) + "/" + d.substr(4, 2);
  return true;
}

bool time_text(const std::string& in, char zone, std::string* out, std::string* error) {
  std::string t = in;
  if (!t.empty() && (t.back() == 'U' || t.back() == 'J' || t.back() == 'u' || t.back() == 'j')) {
    zone = t.back() == 'J' || t.back() == 'j' ? 'J' : 'U';
    t.pop_back();
  }
  if (t.size() == 5 && t[2] == ':') t.erase(2, 1);
  if (t.size() != 4 || !digits(t) || std::stoi(t.substr(0, 2)) > 23 ||
      std::stoi(t.substr(2, 2)) > 59) {
    *error = "--time takes HH:MM or HHMM (00:00 to 23:59), optionally followed by U (UTC) or J "
             "(JST) (\"" + in + "\" is not a time)";
    return false;
  }
  *out = t.substr(0, 2) + ":" + t.substr(2, 2) + zone;
  return true;
}

std::string call_problem(const std::string& call) {
  if (call.empty()) return "--call takes a call sign of 1 to 7 letters and digits (it is empty)";
  if (call.find(' ') != std::string::npos)
    return "--call \"" + call + "\": a call sign has no blanks";
  if (call.find('/') != std::string::npos)
    return "--call " + call + ": a call sign has no '/'; a portable designation goes in "
                              "--portable (without its slash)";
  if (!letters_and_digits(call)) return "--call " + call + ": a call sign has letters and digits only";
  if (call.size() > kCallPlaces)
    return "--call " + call + ": a call sign has at most 7 characters";
  return "";
}

std::string portable_problem(const std::string& portable) {
  if (portable.empty()) return "";
  if (portable[0] == '/')
    return "--portable " + portable + ": give the designation without its slash (" +
           portable.substr(1) + "); the slash is printed between call sign and designation";
  if (!letters_and_digits(portable) || portable.size() > kPortablePlaces)
    return "--portable " + portable + ": a portable designation has 1 to 3 letters and digits";
  return "";
}

std::string frequency_problem(const std::string& frequency) {
  if (frequency.empty()) return "";
  const size_t point = frequency.find('.');
  const std::string whole = frequency.substr(0, point);
  const std::string part = point == std::string::npos ? "" : frequency.substr(point + 1);
  if (!digits(whole) || (!part.empty() && !digits(part)))
    return "--freq takes a frequency in MHz of digits and one point, such as 7.050 or 144.50 "
           "(\"" + frequency + "\" is not one)";
  if (frequency.size() > static_cast<size_t>(kFrequencyPlaces))
    return "--freq " + frequency + ": the log holds a frequency of at most 7 characters";
  if (whole.find_first_not_of('0') == std::string::npos)
    return "--freq " + frequency + ": the log cannot hold a frequency below 1 MHz (it keeps the "
                                   "digits of a frequency without a leading zero)";
  if (whole[0] == '0')
    return "--freq " + frequency + ": give the frequency without a leading zero";
  return "";
}

std::string report_problem(const std::string& option, const std::string& report) {
  if (report.empty()) return "";
  if (report[0] == '-' || report[0] == '+')
    return "--" + option + " " + report + ": the log cannot hold a signed report (it keeps a "
                                           "report as a number 0-99 and a tone character)";
  const bool number = digits(report) && report.size() <= 2;
  const bool with_tone = report.size() == 3 && digits(report.substr(0, 2)) && report[2] > ' ' &&
                         report[2] <= '~';
  if (!number && !with_tone)
    return "--" + option + " takes a report of one or two digits and an optional tone "
                           "character, such as 59 or 599 (\"" + report + "\" is not one)";
  return "";
}

std::string code_problem(const std::string& code) {
  if (code.empty()) return "";
  if (!letters_and_digits(code) || code.size() > kCodePlaces)
    return "--code " + code + ": an area code has 1 to 6 letters and digits";
  // The library's own reading of a code: one of three digits, the first 5 to
  // 9, is stored with the letter A in its fourth place.
  std::string padded = code;
  padded.resize(kCodePlaces, ' ');
  if (ChosonCheck(padded.c_str()) == kThreeDigitCode && padded[3] != 'A') {
    std::string stored = padded;
    stored[3] = 'A';
    stored.erase(stored.find_last_not_of(' ') + 1);
    return "--code " + code + " would be stored as " + stored + ": a code that begins with three "
           "digits, the first 5 to 9, has the letter A in its fourth place (give " + stored + ")";
  }
  return "";
}

ContactView stored_view(const LogHandle& log) {
  ContactView v = log.view;
  unpack_frequency(log.dbs_image + kFrequency, v.frequency);
  unpack_report(log.dbs_image + kReports, v.his_report);
  unpack_report(log.dbs_image + kReports + 2, v.my_report);
  return v;
}

bool apply_fields(const ContactFields& f, ContactView* v, std::string* error) {
  if (f.date) {
    std::string d;
    if (!date_text(*f.date, &d, error) || !put(v->date, "date", d, error)) return false;
  }
  if (f.time || f.jst) {
    std::string t;
    const char stored_zone = v->time[5] == 'J' ? 'J' : 'U';
    const std::string given = f.time ? *f.time : std::string(v->time, 2) + std::string(v->time + 3, 2);
    if (!time_text(given, f.jst ? 'J' : stored_zone, &t, error) || !put(v->time, "time", t, error))
      return false;
  }
  // Call signs are stored in capitals, so that the call-sign index finds
  // them however they were typed.
  const std::string call = f.call ? capitals(*f.call) : "";
  for (const std::string& problem :
       {f.call ? call_problem(call) : "", f.portable ? portable_problem(*f.portable) : "",
        f.freq ? frequency_problem(*f.freq) : "", f.his ? report_problem("his", *f.his) : "",
        f.my ? report_problem("my", *f.my) : "", f.code ? code_problem(*f.code) : ""}) {
    if (problem.empty()) continue;
    *error = problem;
    return false;
  }
  bool ok = true;
  if (f.call) ok = ok && put(v->callsign, "call", call, error);
  if (f.portable) ok = ok && put(v->portable, "portable", *f.portable, error);
  if (f.freq) ok = ok && put(v->frequency, "freq", *f.freq, error);
  if (f.mode) ok = ok && put(v->mode, "mode", *f.mode, error);
  if (f.his) ok = ok && put(v->his_report, "his", *f.his, error);
  if (f.my) ok = ok && put(v->my_report, "my", *f.my, error);
  if (f.code) ok = ok && put(v->code, "code", *f.code, error);
  if (f.grid) ok = ok && put(v->grid, "grid", *f.grid, error);
  if (f.qsl) ok = ok && put(v->qsl, "qsl", *f.qsl, error);
  if (f.name) ok = ok && put(v->name, "name", *f.name, error);
  if (f.remark1) ok = ok && put(v->remark1, "remark1", *f.remark1, error);
  if (f.remark2) ok = ok && put(v->remark2, "remark2", *f.remark2, error);
  if (f.remark3) ok = ok && put(v->remark3, "remark3", *f.remark3, error);
  return ok;
}

bool pack_view(LogHandle* log, const ContactFields& f, ContactView* stored, int32_t* status,
               std::string* error) {
  LogHandle before = *log;
  int32_t find_only = OSP_CONFIRM_FIND_ONLY;
  *status = OSP_update(log, &before, 1, OSP_WRITE_CONTACTS, &find_only);
  if (*status != 0) return false;
  *stored = stored_view(*log);
  const auto trimmed = [](const char* text, size_t size) {
    std::string t(text, strnlen(text, size));
    t.erase(t.find_last_not_of(' ') + 1);
    return t;
  };
  std::string given_frequency = f.freq ? *f.freq : "";
  if (!given_frequency.empty() && given_frequency.back() == '.') given_frequency.pop_back();
  const std::string stored_frequency = trimmed(stored->frequency, sizeof stored->frequency);
  if (f.freq && stored_frequency != given_frequency) {
    *error = "--freq " + *f.freq + " would be stored as \"" + stored_frequency +
             "\": the log cannot hold it as given";
    return false;
  }
  const std::string stored_code = trimmed(stored->code, sizeof stored->code);
  if (f.code && stored_code != *f.code) {
    *error = "--code " + *f.code + " would be stored as \"" + stored_code +
             "\": the log cannot hold it as given";
    return false;
  }
  return true;
}

ContactView blank_view() {
  ContactView v;
  std::memset(&v, ' ', sizeof v);
  const auto end = [](char* field, size_t size) { field[size - 1] = '\0'; };
#define OSP_END(f) end(v.f, sizeof v.f)
  OSP_END(callsign); OSP_END(portable); OSP_END(date); OSP_END(time); OSP_END(his_report);
  OSP_END(my_report); OSP_END(frequency); OSP_END(mode); OSP_END(code); OSP_END(grid);
  OSP_END(qsl); OSP_END(name); OSP_END(remark1); OSP_END(remark2); OSP_END(remark3);
#undef OSP_END
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d", utc.tm_year % 100, (utc.tm_mon + 1) % 100,
                utc.tm_mday % 100);
  std::memcpy(v.date, text, sizeof v.date);
  std::snprintf(text, sizeof text, "%02d:%02dU", utc.tm_hour % 100, utc.tm_min % 100);
  std::memcpy(v.time, text, sizeof v.time);
  return v;
}


std::vector<int32_t> duplicates_of(LogHandle* log, const ContactView& v, int64_t at) {
  std::vector<int32_t> found;
  std::string key(v.callsign, 6);
  std::vector<int32_t> results(1001, 0);
  DupIndexRead(&log->index_slot[0], key.c_str(), results.data());
  DeletionMarks marks(log->dbs.handle);
  const std::string mode = capitals(std::string(v.mode, 3));
  for (int i = 0; i < 1000 && results[static_cast<size_t>(i)] != 0; ++i) {
    const int32_t recno = results[static_cast<size_t>(i)];
    if (OSP_read(log, recno, OSP_READ_FULL) != 0 || marks.deleted(recno)) continue;
    const ContactView& o = log->view;
    if (call_of(o) == call_of(v) && contact_time(log->dbs_image).utc_minutes() == at &&
        band_of(o.frequency) == band_of(v.frequency) && capitals(std::string(o.mode, 3)) == mode)
      found.push_back(recno);
  }
  return found;
}


}  // namespace osprey_tool
