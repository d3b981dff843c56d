#include "adif/adif_writer.h"

#include <charconv>
#include <string_view>

#include "adif/adif_text.h"

namespace osprey_tool {

namespace {

constexpr const char* kAdifVersion = "3.1.0";
constexpr const char* kProgramId = "osprey";
constexpr const char* kProgramVersion = "1.0";

// Fields that have an _INTL twin for text beyond ASCII.
bool has_intl_form(const std::string& name) {
  for (const char* f : {"NAME", "COMMENT", "NOTES", "QTH", "ADDRESS", "RIG", "COUNTRY"})
    if (name == f) return true;
  return false;
}

void adi_tag(std::string* out, const std::string& name, const std::string& value) {
  char length[24];
  const auto end = std::to_chars(length, length + sizeof length, value.size()).ptr;
  *out += '<';
  *out += name;
  *out += ':';
  out->append(length, end);
  *out += '>';
  *out += value;
}

std::string app_program(const std::string& name) {
  // APP_OSPREY_CODE: PROGRAMID "OSPREY", FIELDNAME "CODE".
  const size_t second = name.find('_', 4);
  return second == std::string::npos ? "" : name.substr(4, second - 4);
}

// Stands for a byte that does not begin a well-formed UTF-8 character.
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool continuation(std::string_view s, size_t i) {
  return i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
}

// The length of the UTF-8 character at s[i] (a byte of 0x80 or above) when
// it is well formed, else 0. Overlong forms, surrogates and code points
// beyond U+10FFFF are refused.
size_t utf8_character(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  const auto next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0u;
  size_t n = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next > 0x9F)) return 0;
    n = 3;
  } else if (c >= 0xF0 && c <= 0xF4) {
    if ((c == 0xF0 && next < 0x90) || (c == 0xF4 && next > 0x8F)) return 0;
    n = 4;
  } else {
    return 0;
  }
  for (size_t k = 1; k < n; ++k)
    if (!continuation(s, i + k)) return 0;
  return n;
}

// U+FFFE and U+FFFF, which XML does not allow, at s[i] (well formed).
bool noncharacter(std::string_view s, size_t i) {
  return s.substr(i, 2) == "\xEF\xBF" && static_cast<unsigned char>(s[i + 2]) >= 0xBE;
}

// Appends text as XML character data. XML 1.0 has no form, not even a
// character reference, for the control characters other than tab, line
// feed and carriage return: each of them is written as a blank, so that
// the words it separated stay apart. A byte that is not part of a
// well-formed UTF-8 character is written as U+FFFD, and so are the
// characters U+FFFE and U+FFFF. With markup, &, <, > and " are escaped and
// a carriage return is written as &#13;, which a reader keeps (a bare one
// would become a line feed).
void append_xml_chars(std::string* out, std::string_view text, bool markup) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const size_t n = utf8_character(text, i);
      if (n == 0 || noncharacter(text, i)) {
        *out += kReplacement;
        i += n == 0 ? 1 : n;
      } else {
        out->append(text.substr(i, n));
        i += n;
      }
      continue;
    }
    ++i;
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
      *out += ' ';
      continue;
    }
    if (!markup) {
      *out += static_cast<char>(c);
      continue;
    }
    switch (c) {
      case '&': *out += "&amp;"; break;
      case '<': *out += "&lt;"; break;
      case '>': *out += "&gt;"; break;
      case '"': *out += "&quot;"; break;
      case '\r': *out += "&#13;"; break;
      default: *out += static_cast<char>(c);
    }
  }
}

}  // namespace

void append_xml_text(std::string* out, const std::string& text) {
  append_xml_chars(out, text, true);
}

void AdifWriter::adi_field(const std::string& name, const std::string& value) {
  if (is_ascii(value)) {
    adi_tag(&body_, name, value);
    body_ += ' ';
    return;
  }
  // Line by line, so that an ASCII remark keeps its place in NOTES.
  std::string out;
  bool any = false;
  size_t start = 0;
  while (true) {
    const size_t nl = value.find("\r\n", start);
    const std::string line = value.substr(start, nl == std::string::npos ? nl : nl - start);
    std::string ascii;
    if (ascii_of(line, &ascii)) {
      if (!is_ascii(line)) ++notes_.transliterated;
      any = any || !ascii.empty();
      out += ascii;
    } else {
      ++notes_.left_out;
    }
    if (nl == std::string::npos) break;
    out += "\r\n";
    start = nl + 2;
  }
  if (!any) return;
  adi_tag(&body_, name, out);
  body_ += ' ';
}

void AdifWriter::adx_field(const std::string& name, const std::string& value) {
  const auto element = [this](const std::string& n, const std::string& v) {
    if (n.rfind("APP_", 0) == 0 && !app_program(n).empty()) {
      const std::string program = app_program(n);
      body_ += "<APP PROGRAMID=\"";
      append_xml_text(&body_, program);
      body_ += "\" FIELDNAME=\"";
      append_xml_text(&body_, n.substr(5 + program.size()));
      body_ += "\" TYPE=\"S\">";
      append_xml_text(&body_, v);
      body_ += "</APP>";
      return;
    }
    body_ += '<';
    body_ += n;
    body_ += '>';
    append_xml_text(&body_, v);
    body_ += "</";
    body_ += n;
    body_ += '>';
  };
  body_ += "      ";
  if (is_ascii(value) || !has_intl_form(name)) {
    element(name, value);
  } else {
    std::string ascii;
    if (ascii_of(value, &ascii)) {
      element(name, ascii);
      body_ += ' ';
    }
    element(name + "_INTL", value);
  }
  body_ += '\n';
}

void AdifWriter::record(const AdifRecord& r) {
  ++records_;
  if (format_ == AdifFormat::kAdi) {
    for (const AdifField& f : r.fields) adi_field(f.name, f.value);
    body_ += "<EOR>\n";
    return;
  }
  body_ += "    <RECORD>\n";
  for (const AdifField& f : r.fields) adx_field(f.name, f.value);
  body_ += "    </RECORD>\n";
}

std::string AdifWriter::header(const std::string& created, const std::string& description) const {
  std::string out;
  if (format_ == AdifFormat::kAdi) {
    std::string text = description;
    if (notes_.transliterated != 0 || notes_.left_out != 0) {
      text += "\nADI carries ASCII text only: " + std::to_string(notes_.transliterated) +
              " text fields written in ASCII letters, " + std::to_string(notes_.left_out) +
              " left out (Japanese text; an ADX export keeps it).";
    }
    for (char& c : text)
      if (c == '<') c = '(';  // the free text must not open a tag
    out += text;
    out += '\n';
    for (const auto& [name, value] :
         {std::pair<const char*, std::string>{"ADIF_VER", kAdifVersion},
          {"PROGRAMID", kProgramId}, {"PROGRAMVERSION", kProgramVersion},
          {"CREATED_TIMESTAMP", created}}) {
      adi_tag(&out, name, value);
      out += '\n';
    }
    out += "<EOH>\n";
    return out;
  }
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ADX>\n  <HEADER>\n    <!-- ";
  std::string text = description;
  for (size_t at; (at = text.find("--")) != std::string::npos;) text.replace(at, 2, "- ");
  append_xml_chars(&out, text, false);
  out += " -->\n";
  out += std::string("    <ADIF_VER>") + kAdifVersion + "</ADIF_VER>\n";
  out += std::string("    <PROGRAMID>") + kProgramId + "</PROGRAMID>\n";
  out += std::string("    <PROGRAMVERSION>") + kProgramVersion + "</PROGRAMVERSION>\n";
  out += "    <CREATED_TIMESTAMP>";
  append_xml_text(&out, created);
  out += "</CREATED_TIMESTAMP>\n  </HEADER>\n  <RECORDS>\n";
  return out;
}

const char* AdifWriter::trailer() const {
  return format_ == AdifFormat::kAdi ? "" : "  </RECORDS>\n</ADX>\n";
}

std::string AdifWriter::file(const std::string& created, const std::string& description) const {
  std::string out = header(created, description);
  out.reserve(out.size() + body_.size() + 32);
  out += body_;
  out += trailer();
  return out;
}

bool AdifWriter::write(const std::string& created, const std::string& description,
                       std::FILE* out) const {
  const std::string head = header(created, description);
  const std::string_view tail = trailer();
  return std::fwrite(head.data(), 1, head.size(), out) == head.size() &&
         std::fwrite(body_.data(), 1, body_.size(), out) == body_.size() &&
         std::fwrite(tail.data(), 1, tail.size(), out) == tail.size() && std::fflush(out) == 0;
}

}  // namespace osprey_tool
