#include "contact_formats.h"

#include <cstring>
#include <functional>
#include <utility>

#include "contacts_session.h"

namespace osprey_tool {

namespace {

// Where the binary fields stand in the record image (data bytes).
constexpr size_t kYearByte = 44;
constexpr size_t kReports = 49;  // his RS byte and T, my RS byte and T
constexpr uint8_t kYear2000s = 0x80;

template <size_t N>
std::string field(const char (&f)[N]) {
  return std::string(f, strnlen(f, N));
}

std::string fitted(const std::string& s, size_t width) {
  std::string out = s.substr(0, width);
  out.resize(width, ' ');
  return out;
}

std::string trimmed(const std::string& s) {
  const size_t end = s.find_last_not_of(' ');
  return end == std::string::npos ? "" : s.substr(0, end + 1);
}

// A report as the contact line holds it: its number in two digits, then
// the T character.
std::string report_columns(const uint8_t* report) {
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02u", static_cast<unsigned>(report[0] % 100));
  return std::string(digits, 2) + static_cast<char>(report[1] == 0 ? ' ' : report[1]);
}

class FixedWriter final : public ContactWriter {
 public:
  void begin(std::FILE*) override {}
  void contact(std::FILE* out, const LogHandle& log) override {
    const std::string line = fixed_contact_line(log);
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputs("\r\n", out);
  }
};

// Comma-separated values with a header row (RFC 4180: fields with a comma,
// a quote, a line end or outer blanks are quoted, quotes doubled).
class CsvWriter final : public ContactWriter {
 public:
  explicit CsvWriter(TextEncoding encoding) : encoding_(encoding) {}

  void begin(std::FILE* out) override {
    row(out, {"call", "portable", "date", "time", "zone", "frequency", "mode", "his_report",
              "my_report", "code", "grid", "qsl", "name", "remark1", "remark2", "remark3"});
  }

  void contact(std::FILE* out, const LogHandle& log) override {
    const ContactView& v = log.view;
    const std::string date = field(v.date);  // yymmdd
    const std::string time = field(v.time);  // hhmmZ
    const int century = (log.dbs_image[kYearByte] & kYear2000s) != 0 ? 20 : 19;
    const std::string full_date =
        std::to_string(century) + date.substr(0, 2) + "-" + date.substr(2, 2) + "-" + date.substr(4, 2);
    row(out, {text(v.callsign), text(v.portable), full_date,
              time.substr(0, 2) + ":" + time.substr(2, 2), time.substr(4, 1) == "J" ? "JST" : "UTC",
              text(v.frequency), text(v.mode), text(v.his_report), text(v.my_report), text(v.code),
              text(v.grid), text(v.qsl), text(v.name), text(v.remark1), text(v.remark2),
              text(v.remark3)});
  }

 private:
  template <size_t N>
  std::string text(const char (&f)[N]) const {
    const std::string sjis = trimmed(field(f));
    return encoding_ == TextEncoding::kUtf8 ? utf8_of(sjis.c_str(), sjis.size()) : sjis;
  }

  static void row(std::FILE* out, const std::vector<std::string>& values) {
    std::string line;
    for (size_t i = 0; i < values.size(); ++i) {
      if (i > 0) line += ',';
      const std::string& v = values[i];
      const bool quote = v.find_first_of(",\"\r\n") != std::string::npos ||
                         (!v.empty() && (v.front() == ' ' || v.back() == ' '));
      if (!quote) {
        line += v;
        continue;
      }
      line += '"';
      for (const char c : v) {
        if (c == '"') line += '"';
        line += c;
      }
      line += '"';
    }
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), out);
  }

  TextEncoding encoding_;
};

using WriterFactory =
    std::function<std::unique_ptr<ContactWriter>(TextEncoding, std::string* error)>;

// The formats: name and writer.
const std::vector<std::pair<std::string, WriterFactory>>& format_table() {
  static const std::vector<std::pair<std::string, WriterFactory>> table = {
      {"fixed",
       [](TextEncoding encoding, std::string* error) -> std::unique_ptr<ContactWriter> {
         if (encoding != TextEncoding::kCp932) {
           *error = "fixed-column lines count Shift-JIS bytes; --encoding utf-8 applies to csv";
           return nullptr;
         }
         return std::make_unique<FixedWriter>();
       }},
      {"csv",
       [](TextEncoding encoding, std::string*) -> std::unique_ptr<ContactWriter> {
         return std::make_unique<CsvWriter>(encoding);
       }},
  };
  return table;
}

}  // namespace

const std::vector<std::string>& contact_formats() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n;
    for (const auto& entry : format_table()) n.push_back(entry.first);
    return n;
  }();
  return names;
}

std::unique_ptr<ContactWriter> make_contact_writer(const std::string& format,
                                                   TextEncoding encoding, std::string* error) {
  for (const auto& entry : format_table()) {
    if (entry.first == format) return entry.second(encoding, error);
  }
  *error = "unknown format \"" + format + "\"";
  return nullptr;
}

std::string fixed_contact_line(const LogHandle& log) {
  const ContactView& v = log.view;
  const uint8_t* reports = log.dbs_image + kReports;
  return fitted(field(v.callsign), 7) + fitted(field(v.portable), 3) + fitted(field(v.code), 6) +
         fitted(field(v.grid), 6) + fitted(field(v.frequency), 7) + fitted(field(v.mode), 3) +
         fitted(field(v.name), 12) + fitted(field(v.qsl), 3) + fitted(field(v.date), 6) +
         fitted(field(v.time), 5) + report_columns(reports) + report_columns(reports + 2) +
         fitted(field(v.remark1), 28) + fitted(field(v.remark2), 54) + fitted(field(v.remark3), 54);
}

}  // namespace osprey_tool
