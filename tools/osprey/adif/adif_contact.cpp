#include "adif/adif_contact.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "adif/adif_band.h"
#include "adif/japan_prefixes.h"

namespace osprey_tool {

namespace {

// Stored modes and their ADIF mode and submode: the one table both ways.
// The first row of a stored name is what the export writes; every row is
// read, the import-only ones being ADIF's older modes ("PSK31") and pairs
// that share a stored name with another (an import names them).
struct ModeRow {
  const char* stored;
  const char* mode;
  const char* submode;
};
constexpr ModeRow kModes[] = {
    {"CW", "CW", ""},
    {"SSB", "SSB", ""},
    {"USB", "SSB", "USB"},
    {"LSB", "SSB", "LSB"},
    {"AM", "AM", ""},
    {"FM", "FM", ""},
    {"RTY", "RTTY", ""},
    {"FT8", "FT8", ""},
    {"FT4", "MFSK", "FT4"},
    {"Q65", "MFSK", "Q65"},
    {"JS8", "MFSK", "JS8"},
    {"FST", "MFSK", "FST4"},
    {"JT9", "JT9", ""},
    {"J9H", "JT9", "JT9H FAST"},
    {"J65", "JT65", ""},
    {"MSK", "MSK144", ""},
    {"DV", "DIGITALVOICE", ""},
    {"DST", "DIGITALVOICE", "DSTAR"},
    {"DMR", "DIGITALVOICE", "DMR"},
    {"C4F", "DIGITALVOICE", "C4FM"},
    {"SST", "SSTV", ""},
    {"ATV", "ATV", ""},
    {"PKT", "PKT", ""},
    {"PSK", "PSK", ""},
    {"P31", "PSK", "PSK31"},
    {"P63", "PSK", "PSK63"},
    {"P12", "PSK", "PSK125"},
    // Import only: ADIF's older modes, and pairs kept under a shared name.
    {"P31", "PSK31", ""},
    {"P63", "PSK63", ""},
    {"P12", "PSK125", ""},
    {"DST", "DSTAR", ""},
    {"C4F", "C4FM", ""},
    {"J65", "JT65", "JT65A"},
    {"J65", "JT65", "JT65B"},
    {"J65", "JT65", "JT65C"},
    {"J65", "JT65A", ""},
    {"J65", "JT65B", ""},
    {"J65", "JT65C", ""},
    {"JT9", "JT9", "JT9A"},
    {"JT9", "JT9", "JT9-1"},
};

// The ADIF mode and submode the export writes for a stored mode: its
// table row, or the stored text itself as MODE.
void adif_mode_of(const std::string& stored, std::string* mode, const char** submode) {
  for (const ModeRow& m : kModes)
    if (stored == m.stored) {
      *mode = m.mode;
      *submode = m.submode;
      return;
    }
  *mode = stored;
  *submode = "";
}

// QSL route marks and ADIF's QSL_SENT_VIA.
struct RouteRow {
  char mark;
  const char* via;
};
constexpr RouteRow kRoutes[] = {{'J', "B"}, {'D', "D"}, {'M', "M"}, {'E', "E"}};

constexpr const char* kSentMarks = "YNRQI";
constexpr const char* kReceivedMarks = "YNRIV";
constexpr const char* kLineBreak = "\r\n";

std::string app(const char* field) { return std::string("APP_") + kAdifProgramId + "_" + field; }

// The application fields, named once.
const std::string& app_code() { static const std::string n = app("CODE"); return n; }
const std::string& app_qsl() { static const std::string n = app("QSL"); return n; }
const std::string& app_freq() { static const std::string n = app("FREQ"); return n; }
const std::string& app_portable() { static const std::string n = app("PORTABLE"); return n; }

template <size_t N>
std::string_view field_text(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N));
}

int digit_or_zero(char c) { return c >= '0' && c <= '9' ? c - '0' : 0; }

bool leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && leap(year) ? 29 : kDays[month - 1];
}

// value (not negative) as width decimal digits with leading zeros.
void put_digits(char* out, int width, int value) {
  for (int i = width - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

// The view's date and time in UTC as YYYYMMDD and HHMM.
void utc_date_time(const ContactView& v, std::string* date, std::string* time) {
  const int yy = digit_or_zero(v.date[0]) * 10 + digit_or_zero(v.date[1]);
  int year = yy < 52 ? 2000 + yy : 1900 + yy;
  int month = digit_or_zero(v.date[3]) * 10 + digit_or_zero(v.date[4]);
  int day = digit_or_zero(v.date[6]) * 10 + digit_or_zero(v.date[7]);
  int hour = digit_or_zero(v.time[0]) * 10 + digit_or_zero(v.time[1]);
  const int minute = digit_or_zero(v.time[3]) * 10 + digit_or_zero(v.time[4]);
  if (v.time[5] == 'J') {
    hour -= 9;  // Japan Standard Time is UTC + 9 hours
    if (hour < 0) {
      hour += 24;
      if (--day < 1) {
        if (--month < 1) {
          month = 12;
          --year;
        }
        day = month >= 1 && month <= 12 ? days_in_month(year, month) : 1;
      }
    }
  }
  char d[8];
  put_digits(d, 4, year % 10000);
  put_digits(d + 4, 2, month % 100);
  put_digits(d + 6, 2, day % 100);
  date->assign(d, sizeof d);
  char t[4];
  put_digits(t, 2, hour % 100);
  put_digits(t + 2, 2, minute % 100);
  time->assign(t, sizeof t);
}

// A report of the view (RS digits as the cursor shows them, a blank for a
// 0 digit, then the T character) as ADIF text; empty when there is none.
std::string report_text(const char* r) {
  const int rs = digit_or_zero(r[0]) * 10 + digit_or_zero(r[1]);
  const char t = r[2] == '\0' ? ' ' : r[2];
  if (rs == 0 && t == ' ') return "";
  char buffer[3];
  put_digits(buffer, 2, rs);
  if (t != ' ') return std::string(buffer, 2) + t;
  return rs < 10 ? std::string(buffer + 1, 1) : std::string(buffer, 2);
}

std::string call_with_portable(const ContactView& v) {
  std::string call = trimmed_text(field_text(v.callsign));
  std::string portable = trimmed_text(field_text(v.portable));
  if (portable.empty()) return call;
  if (portable[0] == '/') portable.erase(0, 1);
  return portable.empty() ? call : call + "/" + portable;
}

std::string trailing_trimmed(std::string_view s) {
  const size_t end = s.find_last_not_of(' ');
  return end == std::string_view::npos ? "" : std::string(s.substr(0, end + 1));
}

// ---- reading ----

// Puts text (Shift-JIS) into a view field, cut at a character boundary and
// padded with blanks. True when it had to be cut.
template <size_t N>
bool put(char (&field)[N], const std::string& sjis) {
  std::string fitted = sjis_prefix(sjis, N - 1);
  // Control characters become blanks: a NUL would end the field's text early.
  for (char& c : fitted)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  std::memset(field, ' ', N - 1);
  std::memcpy(field, fitted.data(), fitted.size());
  field[N - 1] = '\0';
  return fitted.size() < sjis.size();
}

// UTF-8 text as Shift-JIS, characters without a form noted.
std::string sjis_noted(const std::string& utf8, AdifText& text, AdifImportNotes* notes) {
  std::string sjis;
  if (text.sjis_of(utf8, &sjis) != 0) notes->characters_replaced.add(notes->record);
  return sjis;
}

// UTF-8 text into a view field; a cut is noted under cut.
template <size_t N>
void put_text(char (&field)[N], const std::string& utf8, AdifText& text, AdifImportNotes* notes,
              AdifNoteKind* cut) {
  if (put(field, sjis_noted(utf8, text, notes))) cut->add(notes->record);
}

void blank_view(ContactView* v) {
  std::memset(v, ' ', sizeof *v);
  for (char* end : {&v->callsign[7], &v->portable[3], &v->date[8], &v->time[6], &v->his_report[3],
                    &v->my_report[3], &v->frequency[7], &v->mode[3], &v->code[6], &v->grid[6],
                    &v->qsl[3], &v->name[12], &v->remark1[28], &v->remark2[54], &v->remark3[54]})
    *end = '\0';
}

// The decimal number of the n digits of s at at (all digits, checked before).
int number_at(const std::string& s, size_t at, size_t n) {
  int value = 0;
  for (size_t i = at; i < at + n; ++i) value = value * 10 + (s[i] - '0');
  return value;
}

bool all_digits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// The value of a field as the import takes it (value_text), or nullopt.
std::optional<std::string> value_of(const AdifRecord& r, std::string_view name) {
  const std::string* v = r.find(name);
  if (v == nullptr) return std::nullopt;
  return value_text(*v);
}

// The _INTL form of a text field when Shift-JIS holds it whole, else the
// plain field (noted), else the _INTL form as it is.
const std::string* intl_or_plain(const AdifRecord& r, const char* name, const char* intl_name,
                                 AdifText& text, AdifImportNotes* notes) {
  const std::string* intl = r.find(intl_name);
  const std::string* plain = r.find(name);
  if (intl == nullptr || plain == nullptr || value_text(*plain).empty()) return intl ? intl : plain;
  std::string sjis;
  if (text.sjis_of(*intl, &sjis) == 0) return intl;
  notes->plain_for_intl.add(notes->record);
  return plain;
}

bool refuse(AdifRefusal* why, const char* field, std::string reason) {
  why->field = field;
  why->reason = std::move(reason);
  return false;
}

// A given value quoted for a message, its control characters made visible.
std::string quoted(const std::string& value) { return "\"" + printable_text(value) + "\""; }

// True when every character is printable ASCII other than the blank.
bool printable(const std::string& t) {
  for (char ch : t)
    if (ch <= ' ' || ch >= 0x7F) return false;
  return true;
}

constexpr size_t kPortableMax = 3;

bool read_call(const AdifRecord& r, ContactView* v, AdifRefusal* why) {
  const std::optional<std::string> call = value_of(r, "CALL");
  if (!call || call->empty()) return refuse(why, "CALL", "missing");
  std::string c = *call;
  for (char& ch : c)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  // The log keeps the portable designation without its slash. Older exports
  // also wrote it in the application field, some with a leading slash, and
  // the call then ends in "/" and that text.
  std::optional<std::string> kept = value_of(r, app_portable());
  const bool kept_given = kept && !kept->empty();
  if (kept_given && (*kept)[0] == '/') kept->erase(0, 1);
  if (kept_given && kept->empty())
    return refuse(why, "CALL", "the kept portable designation \"/\" has nothing after its slash");
  std::string portable;
  const size_t slash = c.rfind('/');
  if (slash != std::string::npos && slash > 0 && c.size() - slash - 1 >= 1 &&
      c.size() - slash - 1 <= kPortableMax) {
    portable = c.substr(slash + 1);
    c.erase(slash);
  }
  if (kept_given) {
    portable = *kept;
    for (char& ch : portable)
      if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  if (c.empty() || c.size() > 7 || !printable(c) || !std::isalnum(static_cast<unsigned char>(c[0])))
    return refuse(why, "CALL", quoted(*call) + " does not fit the 7 characters of a call sign");
  if (portable.size() > kPortableMax || !printable(portable) ||
      portable.find('/') != std::string::npos)
    return refuse(why, "CALL", "the portable designation of " + quoted(*call) +
                                   " does not fit the log (3 characters after the slash)");
  put(v->callsign, c);
  put(v->portable, portable);
  return true;
}

// Japan Standard Time is UTC + 9 hours.
constexpr int kJstHours = 9;

// Moves a UTC date and time 9 hours on. False when the date leaves the
// log's years (the contact then stays in UTC).
bool to_jst(int* year, int* month, int* day, int* hour) {
  int y = *year, m = *month, d = *day, h = *hour + kJstHours;
  if (h >= 24) {
    h -= 24;
    if (++d > days_in_month(y, m)) {
      d = 1;
      if (++m > 12) {
        m = 1;
        ++y;
      }
    }
  }
  if (y > 2051) return false;
  *year = y;
  *month = m;
  *day = d;
  *hour = h;
  return true;
}

bool read_date_time(const AdifRecord& r, ContactView* v, AdifRefusal* why,
                    AdifImportNotes* notes, bool jst) {
  const std::optional<std::string> date = value_of(r, "QSO_DATE");
  if (!date) return refuse(why, "QSO_DATE", "missing");
  if (date->size() != 8 || !all_digits(*date))
    return refuse(why, "QSO_DATE", quoted(*date) + " is not a date YYYYMMDD");
  int year = number_at(*date, 0, 4);
  int month = number_at(*date, 4, 2);
  int day = number_at(*date, 6, 2);
  if (year < 1952 || year > 2051)
    return refuse(why, "QSO_DATE", "the log holds the years 1952 to 2051, not " + date->substr(0, 4));
  if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month))
    return refuse(why, "QSO_DATE", quoted(*date) + " is not a date");
  const std::optional<std::string> time = value_of(r, "TIME_ON");
  if (!time) return refuse(why, "TIME_ON", "missing");
  if ((time->size() != 4 && time->size() != 6) || !all_digits(*time) ||
      number_at(*time, 0, 2) > 23 || number_at(*time, 2, 2) > 59 ||
      (time->size() == 6 && number_at(*time, 4, 2) > 59))
    return refuse(why, "TIME_ON", quoted(*time) + " is not a time HHMM or HHMMSS");
  if (time->size() == 6 && time->compare(4, 2, "00") != 0) notes->seconds_cut.add(notes->record);
  int hour = number_at(*time, 0, 2);
  const int minute = number_at(*time, 2, 2);
  char zone = 'U';
  if (jst && to_jst(&year, &month, &day, &hour)) {
    zone = 'J';
    notes->moved_to_jst.add(notes->record);
  }
  char d[9] = "yy/mm/dd";
  put_digits(d, 2, year % 100);
  put_digits(d + 3, 2, month);
  put_digits(d + 6, 2, day);
  char t[7] = "hh:mmZ";
  put_digits(t, 2, hour);
  put_digits(t + 3, 2, minute);
  t[5] = zone;
  put(v->date, d);
  put(v->time, t);
  return true;
}

constexpr size_t kFrequencyWidth = 7;
// A FREQ without a point above this is a number of Hz, not of MHz.
constexpr double kHertzAbove = 300000;

enum class FrequencyFit { kExact, kRounded, kNo };

// A frequency in MHz as the log's 7-character text: leading zeros dropped,
// trailing zeros of the fraction dropped while it is too long, then the
// fraction rounded to what fits.
FrequencyFit frequency_text(const std::string& mhz, std::string* out) {
  double value = 0;
  if (!frequency_mhz(mhz, &value)) return FrequencyFit::kNo;
  const size_t point = mhz.find('.');
  std::string whole = mhz.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : mhz.substr(point + 1);
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
  if (whole.empty()) whole = "0";
  if (whole.size() > kFrequencyWidth) return FrequencyFit::kNo;
  while (whole.size() + 1 + fraction.size() > kFrequencyWidth && !fraction.empty() &&
         fraction.back() == '0')
    fraction.pop_back();
  bool rounded = false;
  if (!fraction.empty() && whole.size() + 1 + fraction.size() > kFrequencyWidth) {
    const size_t room = whole.size() + 1 >= kFrequencyWidth ? 0 : kFrequencyWidth - whole.size() - 1;
    const bool up = fraction[room] >= '5';
    std::string digits = whole + fraction.substr(0, room);
    for (size_t i = digits.size(); up && i-- > 0;) {
      if (digits[i] != '9') {
        ++digits[i];
        break;
      }
      digits[i] = '0';
      if (i == 0) digits.insert(0, "1");
    }
    const size_t whole_size = digits.size() - room;
    whole = digits.substr(0, whole_size);
    fraction = digits.substr(whole_size);
    // A carry into a new digit leaves one fraction digit too many: a zero.
    while (!fraction.empty() && whole.size() + 1 + fraction.size() > kFrequencyWidth)
      fraction.pop_back();
    if (whole.size() > kFrequencyWidth) return FrequencyFit::kNo;
    rounded = true;
  }
  if ((whole + fraction).find_first_not_of('0') == std::string::npos) return FrequencyFit::kNo;
  *out = fraction.empty() ? whole : whole + "." + fraction;
  return rounded ? FrequencyFit::kRounded : FrequencyFit::kExact;
}

bool read_frequency(const AdifRecord& r, ContactView* v, AdifRefusal* why,
                    AdifImportNotes* notes) {
  std::string text;
  const std::optional<std::string> kept = value_of(r, app_freq());
  if (kept && !kept->empty() && kept->size() <= kFrequencyWidth) {
    text = *kept;
  } else if (const std::optional<std::string> freq = value_of(r, "FREQ"); freq) {
    double mhz = 0;
    if (freq->find('.') == std::string::npos && frequency_mhz(*freq, &mhz) && mhz > kHertzAbove)
      return refuse(why, "FREQ", quoted(*freq) + " has no decimal point and is over 300000: a "
                                                 "frequency in Hz, where ADIF gives MHz");
    const FrequencyFit fit = frequency_text(*freq, &text);
    if (fit == FrequencyFit::kNo)
      return refuse(why, "FREQ", quoted(*freq) + " is not a frequency the log can hold (7 places)");
    if (fit == FrequencyFit::kRounded) notes->frequencies_rounded.add(notes->record);
  } else if (const std::optional<std::string> band = value_of(r, "BAND"); band) {
    const AdifBand* b = band_of_adif_name(*band);
    if (b == nullptr || b->log_name[0] == '\0')
      return refuse(why, "BAND", "no FREQ, and the log keeps the band " + quoted(*band) +
                                     " only as a frequency (its 15 bands have names)");
    text = b->log_name;
  }
  put(v->frequency, text);
  return true;
}

bool read_mode(const AdifRecord& r, ContactView* v, AdifRefusal* why, AdifImportNotes* notes) {
  const std::string m = value_of(r, "MODE").value_or("");
  const std::string s = value_of(r, "SUBMODE").value_or("");
  if (m.empty() && s.empty()) return true;
  const char* stored = nullptr;
  for (const ModeRow& row : kModes)
    if (strcasecmp(row.mode, m.c_str()) == 0 && strcasecmp(row.submode, s.c_str()) == 0) {
      stored = row.stored;
      break;
    }
  std::string text = stored != nullptr ? stored : m.size() <= 3 ? m : s;
  if (text.empty() || text.size() > 3 || !printable(text))
    return refuse(why, "MODE", quoted(m + (s.empty() ? "" : "/" + s)) +
                                   " does not fit the 3 characters the log keeps");
  for (char& ch : text)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  std::string mode;
  const char* submode = "";
  adif_mode_of(text, &mode, &submode);
  if (strcasecmp(mode.c_str(), m.c_str()) != 0 || strcasecmp(submode, s.c_str()) != 0)
    notes->modes_shared.add(notes->record);
  put(v->mode, text);
  return true;
}

// RS or RST text ("59", "599", "5") as the view's report: RS as two digits
// (blank when 0) and the T character. Anything else ("-10", "+05") is left
// out and noted: the log keeps no sign.
void read_report(const std::optional<std::string>& given, char (&field)[4],
                 AdifImportNotes* notes) {
  if (!given || given->empty()) return;
  const std::string& t = *given;
  if (!all_digits(t) || t.size() > 3) {
    notes->reports_dropped.add(notes->record);
    return;
  }
  const int rs = t.size() == 1 ? t[0] - '0' : (t[0] - '0') * 10 + (t[1] - '0');
  char out[4] = {' ', ' ', ' ', '\0'};
  if (rs != 0) {
    out[0] = static_cast<char>('0' + rs / 10);
    out[1] = static_cast<char>('0' + rs % 10);
  }
  if (t.size() == 3) out[2] = t[2];
  std::memcpy(field, out, sizeof out);
}

void read_qsl(const AdifRecord& r, ContactView* v, AdifText& text) {
  if (const std::string* kept = r.find(app_qsl()); kept != nullptr) {
    std::string sjis;
    if (text.sjis_of(*kept, &sjis) == 0 && sjis.size() == 3) {
      put(v->qsl, sjis);
      return;
    }
  }
  const auto mark = [&r](const char* name, const char* allowed) {
    const std::optional<std::string> m = value_of(r, name);
    if (!m || m->size() != 1) return ' ';
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>((*m)[0])));
    return std::strchr(allowed, c) != nullptr ? c : ' ';
  };
  char marks[4] = {' ', mark("QSL_SENT", kSentMarks), mark("QSL_RCVD", kReceivedMarks), '\0'};
  if (const std::optional<std::string> via = value_of(r, "QSL_SENT_VIA"); via)
    for (const RouteRow& row : kRoutes)
      if (strcasecmp(row.via, via->c_str()) == 0) marks[0] = row.mark;
  std::memcpy(v->qsl, marks, sizeof marks);
}

bool japanese_code_shape(const std::string& code) {
  if (code.empty() || code.size() > 6) return false;
  const bool letter = code.size() == 6 && code[5] >= 'A' && code[5] <= 'Z';
  return all_digits(letter ? code.substr(0, 5) : code);
}

void read_code(const AdifRecord& r, ContactView* v) {
  std::string code;
  if (const std::optional<std::string> kept = value_of(r, app_code()); kept && kept->size() <= 6) {
    code = *kept;
  } else if (const std::optional<std::string> cnty = value_of(r, "CNTY"); cnty) {
    if (japanese_code_shape(*cnty)) code = *cnty;
  }
  put(v->code, code);
}

// Splits Shift-JIS text over remark 2 and remark 3 (remark 1 stays as it is),
// cutting what does not fit. True when it fitted whole.
bool flow_remarks(const std::string& sjis, ContactView* v) {
  const std::string first = sjis_prefix(sjis, sizeof v->remark2 - 1);
  put(v->remark2, first);
  return !put(v->remark3, sjis.substr(first.size()));
}

// Trailing blanks and tabs of a line removed.
std::string line_trimmed(std::string line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
    line.pop_back();
  return line;
}

bool blank_field(const char* field) { return trimmed_text(field).empty(); }

// NOTES one remark a line: three lines are remarks 1 to 3, one or two lines
// remarks 2 and 3, more are joined and flowed over remarks 2 and 3. Then a
// COMMENT that says something else goes into the room left.
void read_remarks(const AdifRecord& r, ContactView* v, AdifText& text, AdifImportNotes* notes) {
  const std::string* notes_field = intl_or_plain(r, "NOTES", "NOTES_INTL", text, notes);
  const std::string* comment_field = intl_or_plain(r, "COMMENT", "COMMENT_INTL", text, notes);
  // Leading blanks of a remark are its own: only the end is trimmed.
  std::string comment = comment_field ? *comment_field : "";
  while (!comment.empty() && std::strchr(" \t\r\n", comment.back()) != nullptr) comment.pop_back();
  std::vector<std::string> lines;
  if (notes_field != nullptr) {
    size_t start = 0;
    while (true) {
      const size_t nl = notes_field->find('\n', start);
      lines.push_back(line_trimmed(notes_field->substr(start, nl == std::string::npos ? nl : nl - start)));
      if (nl == std::string::npos) break;
      start = nl + 1;
    }
    while (lines.size() > 3 && lines.back().empty()) lines.pop_back();
    if (lines.size() == 1 && lines[0].empty()) lines.clear();
  }
  AdifNoteKind* cut = &notes->remarks_cut;
  if (lines.size() == 3) {
    put_text(v->remark1, lines[0], text, notes, cut);
    put_text(v->remark2, lines[1], text, notes, cut);
    put_text(v->remark3, lines[2], text, notes, cut);
  } else if (!lines.empty() && lines.size() <= 2) {
    put_text(v->remark2, lines[0], text, notes, cut);
    if (lines.size() == 2) put_text(v->remark3, lines[1], text, notes, cut);
  } else if (lines.size() > 3) {
    std::string joined;
    for (const std::string& line : lines)
      if (!trimmed_text(line).empty()) joined += (joined.empty() ? "" : " ") + trimmed_text(line);
    if (!flow_remarks(sjis_noted(joined, text, notes), v)) cut->add(notes->record);
  }
  if (comment.empty()) return;
  for (const std::string& line : lines)
    if (trimmed_text(line) == trimmed_text(comment)) return;  // the same text twice
  if (blank_field(v->remark2) && blank_field(v->remark3)) {
    if (!flow_remarks(sjis_noted(comment, text, notes), v)) cut->add(notes->record);
  } else if (blank_field(v->remark3)) {
    put_text(v->remark3, comment, text, notes, cut);
  } else {
    notes->comment_dropped.add(notes->record);
  }
}

// What the duplicate key is made of, as adif_of_contact writes it: CALL,
// QSO_DATE, TIME_ON, BAND (when the frequency names one), MODE and SUBMODE.
struct KeyFields {
  std::string call, date, time, freq;
  const AdifBand* band = nullptr;  // from the frequency, or named by its text
  bool numeric = false;            // freq is a number of MHz
  bool named = false;              // freq is a band's name in the log ("14", "1200")
  double mhz = 0;                  // its value when numeric
  std::string mode;                // the ADIF mode; empty when none is stored
  const char* submode = "";
};

void key_fields(const ContactView& v, KeyFields* k) {
  k->call = call_with_portable(v);
  utc_date_time(v, &k->date, &k->time);
  k->freq = trimmed_text(field_text(v.frequency));
  k->numeric = frequency_mhz(k->freq, &k->mhz);
  k->band = band_of_log_name(k->freq);
  k->named = k->band != nullptr;
  if (k->band == nullptr && k->numeric) k->band = band_of_frequency(k->mhz);
  const std::string stored = trimmed_text(field_text(v.mode));
  if (!stored.empty()) adif_mode_of(stored, &k->mode, &k->submode);
}

// Adds the key's fields and FREQ. Sets *freq_kept when the frequency text
// must also go into APP_OSPREY_FREQ.
void add_key_fields(const ContactView& v, AdifRecord* r, bool* freq_kept) {
  KeyFields k;
  key_fields(v, &k);
  r->add("CALL", std::move(k.call));
  r->add("QSO_DATE", std::move(k.date));
  r->add("TIME_ON", std::move(k.time));
  if (k.band != nullptr) r->add("BAND", k.band->name);
  // A band's name is a band, not a frequency: no FREQ is made up for it.
  // A whole number above 300000 gets a point: without one it reads as Hz.
  if (k.numeric && !k.named)
    r->add("FREQ", k.freq.find('.') == std::string::npos && k.mhz > kHertzAbove ? k.freq + ".0"
                                                                               : k.freq);
  // The text itself goes along where FREQ would not give it back ("010").
  std::string canonical;
  *freq_kept = !k.freq.empty() &&
               (!k.numeric || k.named ||
                frequency_text(k.freq, &canonical) != FrequencyFit::kExact || canonical != k.freq);
  if (!k.mode.empty()) {
    r->add("MODE", std::move(k.mode));
    if (k.submode[0] != '\0') r->add("SUBMODE", k.submode);
  }
}

// The mark ADIF writes for a stored sent or received mark: itself when ADIF
// has it, else Y (the mark says the card went or came: '*'); none for a blank.
const char* qsl_mark(char stored, const char* adif_marks, char* buffer) {
  if (stored == ' ' || stored == '\0') return nullptr;
  if (std::strchr(adif_marks, stored) != nullptr) {
    buffer[0] = stored;
    buffer[1] = '\0';
    return buffer;
  }
  return "Y";
}

constexpr size_t kRemark2Width = sizeof(ContactView::remark2) - 1;

// The one text whose flow over remarks 2 and 3 (as an import of a COMMENT
// stores it) gives them back, into *comment (Shift-JIS). False when remark 1
// is not empty or no text does: the remarks then need lines.
bool comment_of_remarks(const ContactView& v, std::string* comment) {
  if (!trimmed_text(field_text(v.remark1)).empty()) return false;
  const std::string r2 = trailing_trimmed(field_text(v.remark2));
  const std::string r3 = trailing_trimmed(field_text(v.remark3));
  if (r3.empty()) {
    *comment = r2;
    return true;
  }
  // A full remark 2 goes on into remark 3 without a separator; one that
  // ended in a blank had it there.
  for (const char* separator : {"", " "}) {
    const std::string c = r2 + separator + r3;
    const std::string first = sjis_prefix(c, kRemark2Width);
    if (trailing_trimmed(first) == r2 && c.size() - first.size() <= kRemark2Width &&
        c.compare(first.size(), std::string::npos, r3) == 0) {
      *comment = c;
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<AdifNoteLine> note_lines(const AdifImportNotes& n) {
  return {
      {"times with seconds were kept to the minute", &n.seconds_cut},
      {"frequencies over the log's 7 characters were rounded", &n.frequencies_rounded},
      {"reports not in RS or RST form (a signed report: \"-10\") were left out", &n.reports_dropped},
      {"names over 12 bytes were cut", &n.names_cut},
      {"grid locators over 6 characters were cut", &n.grids_cut},
      {"remarks (COMMENT, NOTES) beyond the remarks' room were cut", &n.remarks_cut},
      {"COMMENTs beside NOTES found no free remark and were left out", &n.comment_dropped},
      {"texts had characters without a Shift-JIS form, now '?'", &n.characters_replaced},
      {"_INTL texts that Shift-JIS cannot hold gave way to their plain field", &n.plain_for_intl},
      {"modes are stored under a name that exports as another MODE/SUBMODE", &n.modes_shared},
      {"contacts with Japanese stations were stored in JST (--keep-utc keeps UTC)",
       &n.moved_to_jst},
  };
}

AdifRecord adif_of_contact(const ContactView& v, AdifText& text) {
  AdifRecord r;
  adif_of_contact(v, text, &r);
  return r;
}

void adif_of_contact(const ContactView& v, AdifText& text, AdifRecord* out) {
  AdifRecord& r = *out;
  r.fields.clear();
  r.fields.reserve(20);
  bool freq_kept = false;
  add_key_fields(v, &r, &freq_kept);
  if (std::string s = report_text(v.his_report); !s.empty()) r.add("RST_SENT", std::move(s));
  if (std::string s = report_text(v.my_report); !s.empty()) r.add("RST_RCVD", std::move(s));

  char buffer[2][2];
  if (const char* sent = qsl_mark(v.qsl[1], kSentMarks, buffer[0]); sent != nullptr)
    r.add("QSL_SENT", sent);
  if (const char* received = qsl_mark(v.qsl[2], kReceivedMarks, buffer[1]); received != nullptr)
    r.add("QSL_RCVD", received);
  for (const RouteRow& row : kRoutes)
    if (v.qsl[0] == row.mark) r.add("QSL_SENT_VIA", row.via);

  if (std::string grid = trimmed_text(field_text(v.grid)); !grid.empty())
    r.add("GRIDSQUARE", std::move(grid));
  const std::string code = trimmed_text(field_text(v.code));
  if (!code.empty() && ChosonCheck(v.code) != 0) r.add("CNTY", code);
  if (std::string name = trimmed_text(field_text(v.name)); !name.empty())
    r.add("NAME", text.utf8_of(name));

  // Each remark once: as the COMMENT it came from, or one a line in NOTES.
  std::string comment;
  if (comment_of_remarks(v, &comment)) {
    if (!comment.empty()) r.add("COMMENT", text.utf8_of(comment));
  } else {
    const std::string remarks[3] = {trailing_trimmed(field_text(v.remark1)),
                                    trailing_trimmed(field_text(v.remark2)),
                                    trailing_trimmed(field_text(v.remark3))};
    const int from = remarks[0].empty() ? 1 : 0;
    std::string notes = remarks[from];
    for (int i = from + 1; i < 3; ++i) notes += kLineBreak + remarks[i];
    r.add("NOTES", text.utf8_of(notes));
  }

  if (!code.empty()) r.add(app_code(), code);
  if (std::string_view(v.qsl, 3) != "   ") r.add(app_qsl(), text.utf8_of(field_text(v.qsl)));
  if (freq_kept) r.add(app_freq(), text.utf8_of(trimmed_text(field_text(v.frequency))));
}

std::string duplicate_key(const ContactView& v) {
  KeyFields k;
  key_fields(v, &k);
  std::string key;
  key.reserve(k.call.size() + k.mode.size() + 32);
  for (const std::string_view part : {std::string_view(k.call), std::string_view(k.date),
                                      std::string_view(k.time),
                                      std::string_view(k.band != nullptr ? k.band->name : ""),
                                      std::string_view(k.mode), std::string_view(k.submode)}) {
    key += part;
    key += '|';
  }
  return key;
}

std::string duplicate_key(const AdifRecord& r) {
  std::string key;
  for (const char* name : {"CALL", "QSO_DATE", "TIME_ON", "BAND", "MODE", "SUBMODE"}) {
    const std::string* v = r.find(name);
    if (v != nullptr) key += *v;
    key += '|';
  }
  return key;
}

bool contact_of_adif(const AdifRecord& r, AdifText& text, ContactView* v, AdifRefusal* why,
                     AdifImportNotes* notes, bool keep_utc) {
  blank_view(v);
  // The notes of the fields read before a refusal are kept aside: a refused
  // record is not in the log and must not be named as changed.
  AdifImportNotes early;
  early.record = notes->record;
  if (!read_call(r, v, why)) return false;
  const bool jst = !keep_utc && is_japanese_call(trimmed_text(field_text(v->callsign)));
  if (!read_date_time(r, v, why, &early, jst) || !read_frequency(r, v, why, &early) ||
      !read_mode(r, v, why, &early))
    return false;
  for (AdifNoteKind AdifImportNotes::*kind :
       {&AdifImportNotes::seconds_cut, &AdifImportNotes::moved_to_jst,
        &AdifImportNotes::frequencies_rounded, &AdifImportNotes::modes_shared})
    if ((early.*kind).count != 0) (notes->*kind).add(notes->record);
  AdifImportNotes& taken = *notes;
  read_report(value_of(r, "RST_SENT"), v->his_report, &taken);
  read_report(value_of(r, "RST_RCVD"), v->my_report, &taken);
  read_qsl(r, v, text);
  if (const std::optional<std::string> grid = value_of(r, "GRIDSQUARE"); grid) {
    if (put(v->grid, *grid)) taken.grids_cut.add(taken.record);
  }
  read_code(r, v);
  if (const std::string* name = intl_or_plain(r, "NAME", "NAME_INTL", text, &taken); name != nullptr)
    put_text(v->name, value_text(*name), text, &taken, &taken.names_cut);
  read_remarks(r, v, text, &taken);
  return true;
}

bool is_contact_field(const std::string& name) {
  static const std::string kFields[] = {
      "CALL", "QSO_DATE", "TIME_ON", "BAND", "FREQ", "MODE", "SUBMODE", "RST_SENT", "RST_RCVD",
      "QSL_SENT", "QSL_RCVD", "QSL_SENT_VIA", "GRIDSQUARE", "CNTY", "NAME", "NAME_INTL",
      "COMMENT", "COMMENT_INTL", "NOTES", "NOTES_INTL", app_code(), app_qsl(), app_freq(),
      app_portable()};
  // A short list: comparing lengths first leaves few whole comparisons.
  for (const std::string& f : kFields)
    if (f.size() == name.size() && f == name) return true;
  return false;
}

}  // namespace osprey_tool
