#include "adif/adif_contact.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "adif/adif_band.h"

namespace osprey_tool {

namespace {

// Stored modes and their ADIF mode and submode. The first row of a stored
// mode is the one written; every row is read.
struct ModeRow {
  const char* stored;
  const char* mode;
  const char* submode;
};
constexpr ModeRow kModes[] = {
    {"CW", "CW", ""},      {"SSB", "SSB", ""},         {"USB", "SSB", "USB"},
    {"LSB", "SSB", "LSB"}, {"AM", "AM", ""},           {"FM", "FM", ""},
    {"RTY", "RTTY", ""},   {"FT8", "FT8", ""},         {"FT4", "MFSK", "FT4"},
    {"JT9", "JT9", ""},    {"DV", "DIGITALVOICE", ""}, {"DV", "DSTAR", ""},
    {"SST", "SSTV", ""},   {"ATV", "ATV", ""},         {"PKT", "PKT", ""},
    {"PSK", "PSK", ""},    {"Q65", "MFSK", "Q65"},
};

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

// UTF-8 text into a view field, with the notes kept.
template <size_t N>
void put_text(char (&field)[N], const std::string& utf8, AdifText& text, AdifImportNotes* notes) {
  std::string sjis;
  notes->characters_replaced += text.sjis_of(utf8, &sjis);
  if (put(field, sjis)) ++notes->texts_cut;
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

const std::string* intl_or_plain(const AdifRecord& r, const char* name, const char* intl_name) {
  const std::string* v = r.find(intl_name);
  return v != nullptr ? v : r.find(name);
}

bool refuse(AdifRefusal* why, const char* field, std::string reason) {
  why->field = field;
  why->reason = std::move(reason);
  return false;
}

// True when every character is printable ASCII other than the blank.
bool printable(const std::string& t) {
  for (char ch : t)
    if (ch <= ' ' || ch >= 0x7F) return false;
  return true;
}

bool read_call(const AdifRecord& r, ContactView* v, AdifRefusal* why) {
  const std::string* call = r.find("CALL");
  if (call == nullptr || trimmed_text(*call).empty()) return refuse(why, "CALL", "missing");
  std::string c = trimmed_text(*call);
  for (char& ch : c)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  std::string portable;
  const std::string* kept = r.find(app_portable());
  // Our own export writes a portable without its slash both after the call
  // and in the application field: the call then ends in "/" and the kept text.
  const std::string kept_suffix = kept != nullptr ? "/" + trimmed_text(*kept) : "";
  const size_t slash = c.rfind('/');
  if (kept_suffix.size() > 1 && c.size() > kept_suffix.size() &&
      c.compare(c.size() - kept_suffix.size(), kept_suffix.size(), kept_suffix) == 0) {
    c.erase(c.size() - kept_suffix.size());
  } else if (slash != std::string::npos && slash > 0 && c.size() - slash - 1 >= 1 &&
             c.size() - slash - 1 <= 2) {
    portable = c.substr(slash);
    c.erase(slash);
  }
  if (kept != nullptr) portable = trimmed_text(*kept);
  if (c.empty() || c.size() > 7 || !printable(c) || !std::isalnum(static_cast<unsigned char>(c[0])))
    return refuse(why, "CALL", "\"" + *call + "\" does not fit the 7 characters of a call sign");
  const size_t body = !portable.empty() && portable[0] == '/' ? 1 : 0;
  if (portable.size() > 3 || !printable(portable) ||
      (!portable.empty() && (portable.size() == body || portable.find('/', body) != std::string::npos)))
    return refuse(why, "CALL", "the portable designation of \"" + *call +
                                   "\" does not fit the log (3 characters, one leading slash)");
  put(v->callsign, c);
  put(v->portable, portable);
  return true;
}

bool read_date_time(const AdifRecord& r, ContactView* v, AdifRefusal* why) {
  const std::string* date = r.find("QSO_DATE");
  if (date == nullptr) return refuse(why, "QSO_DATE", "missing");
  if (date->size() != 8 || !all_digits(*date))
    return refuse(why, "QSO_DATE", "\"" + *date + "\" is not a date YYYYMMDD");
  const int year = number_at(*date, 0, 4);
  const int month = number_at(*date, 4, 2);
  const int day = number_at(*date, 6, 2);
  if (year < 1952 || year > 2051)
    return refuse(why, "QSO_DATE", "the log holds the years 1952 to 2051, not " + date->substr(0, 4));
  if (month < 1 || month > 12 || day < 1 || day > days_in_month(year, month))
    return refuse(why, "QSO_DATE", "\"" + *date + "\" is not a date");
  const std::string* time = r.find("TIME_ON");
  if (time == nullptr) return refuse(why, "TIME_ON", "missing");
  if ((time->size() != 4 && time->size() != 6) || !all_digits(*time) ||
      number_at(*time, 0, 2) > 23 || number_at(*time, 2, 2) > 59 ||
      (time->size() == 6 && number_at(*time, 4, 2) > 59))
    return refuse(why, "TIME_ON", "\"" + *time + "\" is not a time HHMM or HHMMSS");
  const std::string& d = *date;
  const std::string& t = *time;
  put(v->date, std::string{d[2], d[3], '/', d[4], d[5], '/', d[6], d[7]});
  put(v->time, std::string{t[0], t[1], ':', t[2], t[3], 'U'});  // kept in UTC
  return true;
}

// A frequency in MHz as the log's 7-character text: trailing zeros of the
// fraction dropped while it is too long, then the fraction cut.
bool frequency_text(const std::string& mhz, std::string* out) {
  double value = 0;
  if (!frequency_mhz(mhz, &value)) return false;
  std::string t = mhz;
  const size_t first = t.find_first_not_of('0');
  if (first != std::string::npos && first > 0 && t[first] != '.') t.erase(0, first);
  if (t[0] == '.') t.insert(0, "0");
  const size_t point = t.find('.');
  if (point != std::string::npos) {
    while (t.size() > 7 && (t.back() == '0' || t.back() == '.')) t.pop_back();
    if (t.size() > 7) t.resize(point <= 6 ? 7 : point);
    if (!t.empty() && t.back() == '.') t.pop_back();
  }
  if (t.size() > 7) return false;
  *out = t;
  return true;
}

bool read_frequency(const AdifRecord& r, ContactView* v, AdifRefusal* why) {
  std::string text;
  if (const std::string* kept = r.find(app_freq()); kept != nullptr && kept->size() <= 7) {
    text = *kept;
  } else if (const std::string* freq = r.find("FREQ"); freq != nullptr) {
    if (!frequency_text(trimmed_text(*freq), &text))
      return refuse(why, "FREQ", "\"" + *freq + "\" is not a frequency the log can hold (7 places)");
  } else if (const std::string* band = r.find("BAND"); band != nullptr) {
    const AdifBand* b = band_of_adif_name(trimmed_text(*band));
    if (b == nullptr)
      return refuse(why, "BAND", "no FREQ, and the band " + *band + " is not one of the log's 15");
    text = b->log_name;
  }
  put(v->frequency, text);
  return true;
}

bool read_mode(const AdifRecord& r, ContactView* v, AdifRefusal* why) {
  const std::string* mode = r.find("MODE");
  const std::string* submode = r.find("SUBMODE");
  const std::string m = mode != nullptr ? trimmed_text(*mode) : "";
  const std::string s = submode != nullptr ? trimmed_text(*submode) : "";
  if (m.empty() && s.empty()) return true;
  const char* stored = nullptr;
  for (const ModeRow& row : kModes)
    if (strcasecmp(row.mode, m.c_str()) == 0 && strcasecmp(row.submode, s.c_str()) == 0) {
      stored = row.stored;
      break;
    }
  std::string text = stored != nullptr ? stored : m.size() <= 3 ? m : s;
  if (text.empty() || text.size() > 3 || !printable(text))
    return refuse(why, "MODE", "\"" + m + (s.empty() ? "" : "/" + s) +
                                   "\" does not fit the 3 characters the log keeps");
  for (char& ch : text)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  put(v->mode, text);
  return true;
}

// RS or RST text ("59", "599", "5") as the view's report: RS as two digits
// (blank when 0) and the T character.
void read_report(const std::string* given, char (&field)[4], AdifImportNotes* notes) {
  if (given == nullptr) return;
  const std::string t = trimmed_text(*given);
  if (t.empty()) return;
  if (!all_digits(t) || t.size() > 3) {
    ++notes->reports_dropped;
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
    const std::string* m = r.find(name);
    if (m == nullptr || m->size() != 1) return ' ';
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>((*m)[0])));
    return std::strchr(allowed, c) != nullptr ? c : ' ';
  };
  char marks[4] = {' ', mark("QSL_SENT", kSentMarks), mark("QSL_RCVD", kReceivedMarks), '\0'};
  if (const std::string* via = r.find("QSL_SENT_VIA"); via != nullptr)
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
  if (const std::string* kept = r.find(app_code()); kept != nullptr && kept->size() <= 6) {
    code = *kept;
  } else if (const std::string* cnty = r.find("CNTY"); cnty != nullptr) {
    if (japanese_code_shape(trimmed_text(*cnty))) code = trimmed_text(*cnty);
  }
  put(v->code, code);
}

// Splits text into remark 2 and remark 3 (remark 1, the area's name,
// stays as it is), cutting what does not fit.
void flow_remarks(const std::string& utf8, ContactView* v, AdifText& text, AdifImportNotes* notes) {
  std::string sjis;
  notes->characters_replaced += text.sjis_of(utf8, &sjis);
  const std::string first = sjis_prefix(sjis, sizeof v->remark2 - 1);
  put(v->remark2, first);
  const std::string rest = sjis.substr(first.size());
  if (put(v->remark3, rest)) ++notes->texts_cut;
}

void read_remarks(const AdifRecord& r, ContactView* v, AdifText& text, AdifImportNotes* notes) {
  const std::string* notes_field = intl_or_plain(r, "NOTES", "NOTES_INTL");
  const std::string* comment = intl_or_plain(r, "COMMENT", "COMMENT_INTL");
  if (notes_field != nullptr) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (true) {
      const size_t nl = notes_field->find('\n', start);
      std::string line = notes_field->substr(start, nl == std::string::npos ? nl : nl - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
      if (nl == std::string::npos) break;
      start = nl + 1;
    }
    if (lines.size() <= 3) {
      put_text(v->remark1, lines[0], text, notes);
      if (lines.size() > 1) put_text(v->remark2, lines[1], text, notes);
      if (lines.size() > 2) put_text(v->remark3, lines[2], text, notes);
      return;
    }
    std::string joined;
    for (const std::string& line : lines)
      if (!trimmed_text(line).empty()) joined += (joined.empty() ? "" : " ") + trimmed_text(line);
    flow_remarks(joined, v, text, notes);
    return;
  }
  if (comment != nullptr) flow_remarks(*comment, v, text, notes);
}

// What the duplicate key is made of, as adif_of_contact writes it: CALL,
// QSO_DATE, TIME_ON, BAND (when the frequency names one), MODE and SUBMODE.
struct KeyFields {
  std::string call, date, time, freq;
  const AdifBand* band = nullptr;  // from the frequency, or named by its text
  bool numeric = false;            // freq is a number of MHz
  bool named = false;              // freq is a band's short name ("1200")
  std::string mode;                // the ADIF mode; empty when none is stored
  const char* submode = "";
};

void key_fields(const ContactView& v, KeyFields* k) {
  k->call = call_with_portable(v);
  utc_date_time(v, &k->date, &k->time);
  k->freq = trimmed_text(field_text(v.frequency));
  double mhz = 0;
  k->numeric = frequency_mhz(k->freq, &mhz);
  k->band = k->numeric ? band_of_frequency(mhz) : nullptr;
  if (k->band == nullptr) {
    k->band = band_of_log_name(k->freq);
    k->named = k->band != nullptr;
  }
  k->mode = trimmed_text(field_text(v.mode));
  for (const ModeRow& m : kModes)
    if (k->mode == m.stored) {
      k->mode = m.mode;
      k->submode = m.submode;
      break;
    }
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
  if (k.numeric && !k.named) r->add("FREQ", k.freq);
  // The text itself goes along where FREQ would not give it back ("010").
  std::string canonical;
  *freq_kept = !k.freq.empty() && (!k.numeric || k.named ||
                                   !frequency_text(k.freq, &canonical) || canonical != k.freq);
  if (!k.mode.empty()) {
    r->add("MODE", std::move(k.mode));
    if (k.submode[0] != '\0') r->add("SUBMODE", k.submode);
  }
}

}  // namespace

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

  const char route = v.qsl[0], sent = v.qsl[1], received = v.qsl[2];
  if (sent != ' ' && sent != '\0' && std::strchr(kSentMarks, sent) != nullptr)
    r.add("QSL_SENT", std::string(1, sent));
  if (received != ' ' && received != '\0' && std::strchr(kReceivedMarks, received) != nullptr)
    r.add("QSL_RCVD", std::string(1, received));
  for (const RouteRow& row : kRoutes)
    if (route == row.mark) r.add("QSL_SENT_VIA", row.via);

  if (std::string grid = trimmed_text(field_text(v.grid)); !grid.empty())
    r.add("GRIDSQUARE", std::move(grid));
  const std::string code = trimmed_text(field_text(v.code));
  if (!code.empty() && ChosonCheck(v.code) != 0) r.add("CNTY", code);
  if (std::string name = trimmed_text(field_text(v.name)); !name.empty())
    r.add("NAME", text.utf8_of(name));

  const std::string remarks[3] = {text.utf8_of(trailing_trimmed(field_text(v.remark1))),
                                  text.utf8_of(trailing_trimmed(field_text(v.remark2))),
                                  text.utf8_of(trailing_trimmed(field_text(v.remark3)))};
  if (!remarks[0].empty() || !remarks[1].empty() || !remarks[2].empty()) {
    std::string comment;
    for (const std::string& s : remarks)
      if (!trimmed_text(s).empty()) comment += (comment.empty() ? "" : " / ") + trimmed_text(s);
    r.add("COMMENT", std::move(comment));
    std::string notes = remarks[0];
    const int last = !remarks[2].empty() ? 2 : !remarks[1].empty() ? 1 : 0;
    for (int i = 1; i <= last; ++i) notes += kLineBreak + remarks[i];
    r.add("NOTES", std::move(notes));
  }

  if (!code.empty()) r.add(app_code(), code);
  if (std::string_view(v.qsl, 3) != "   ") r.add(app_qsl(), text.utf8_of(field_text(v.qsl)));
  if (freq_kept) r.add(app_freq(), text.utf8_of(trimmed_text(field_text(v.frequency))));
  const std::string portable = trimmed_text(field_text(v.portable));
  if (!portable.empty() && portable[0] != '/') r.add(app_portable(), text.utf8_of(portable));
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
                     AdifImportNotes* notes) {
  blank_view(v);
  if (!read_call(r, v, why) || !read_date_time(r, v, why) || !read_frequency(r, v, why) ||
      !read_mode(r, v, why))
    return false;
  read_report(r.find("RST_SENT"), v->his_report, notes);
  read_report(r.find("RST_RCVD"), v->my_report, notes);
  read_qsl(r, v, text);
  if (const std::string* grid = r.find("GRIDSQUARE"); grid != nullptr) {
    if (put(v->grid, trimmed_text(*grid))) ++notes->texts_cut;
  }
  read_code(r, v);
  if (const std::string* name = intl_or_plain(r, "NAME", "NAME_INTL"); name != nullptr)
    put_text(v->name, trimmed_text(*name), text, notes);
  read_remarks(r, v, text, notes);
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
