#include "adif_writer.h"

#include <charconv>
#include <string_view>

#include "adif_text.h"

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

}  // namespace

void append_xml_text(std::string* out, const std::string& text) {
  for (char c : text) {
    switch (c) {
      case '&': *out += "&amp;"; break;
      case '<': *out += "&lt;"; break;
      case '>': *out += "&gt;"; break;
      case '"': *out += "&quot;"; break;
      case '\r': *out += "&#13;"; break;
      default: *out += c;
    }
  }
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
  out += text;
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
