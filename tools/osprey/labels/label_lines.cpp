#include "labels/label_lines.h"

#include <algorithm>
#include <vector>

#include "contacts_session.h"

namespace osprey_tool {

namespace {

// Room for any expansion: the widest escape turns three template bytes into
// 53 line bytes (a remark's part), so 20 bytes a template byte always do.
constexpr size_t kLineBytesPerTemplateByte = 20;

bool is_utf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    size_t n = 0;  // continuation bytes
    if (b >= 0x80) {
      if ((b & 0xE0) == 0xC0) {
        n = 1;
      } else if ((b & 0xF0) == 0xE0) {
        n = 2;
      } else if ((b & 0xF8) == 0xF0) {
        n = 3;
      } else {
        return false;
      }
    }
    if (i + n >= text.size()) return false;
    for (size_t k = 1; k <= n; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n + 1;
  }
  return true;
}

// The library's two-letter QSL escapes: a '!' before one of them is its
// own; before anything else the library prints the '!' and goes on with the
// next character.
bool library_qsl_escape(const std::string& t, size_t at) {
  static const char* const kPairs[] = {"NO", "CP", "cp", "PT", "C1", "C2", "C3", "C4", "C5",
                                       "C6", "C7", "DT", "Dy", "DY", "DM", "Dm", "DJ", "DD",
                                       "Dd", "Nw", "TH", "Th", "TM", "Tm", "HR", "hR", "hS",
                                       "hT", "F3", "F4", "F5", "F6", "F7", "FR", "MD", "JC",
                                       "Jc", "GL", "NA", "QT", "R1", "R2"};
  for (const char* pair : kPairs)
    if (t.compare(at + 1, 2, pair) == 0) return true;
  return false;
}

// The template with every !TZ of the command replaced by the zone's name;
// the library's escapes, range forms included, are passed over whole.
std::string with_zone(const std::string& t, char zone_letter) {
  std::string out;
  out.reserve(t.size());
  size_t i = 0;
  while (i < t.size()) {
    if (t[i] != '!' || i + 2 >= t.size()) {
      out += t[i++];
    } else if (t.compare(i, 3, "!TZ") == 0) {
      out += zone_letter == 'U' ? "UTC" : "JST";
      i += 3;
    } else if (library_qsl_escape(t, i)) {
      // !R1,ss,ll and !R2,ss,ll run six characters further.
      const bool range = (t[i + 1] == 'R') && i + 6 < t.size() && t[i + 3] == ',' && t[i + 6] == ',';
      const size_t n = std::min(t.size() - i, range ? size_t{9} : size_t{3});
      out.append(t, i, n);
      i += n;
    } else {
      out += t[i++];
    }
  }
  return out;
}

}  // namespace

bool template_sjis(const std::string& text, std::string* out, std::string* error) {
  if (!is_utf8(text)) {
    *out = text;
    return true;
  }
  return sjis_of(text, out, error);
}

std::vector<std::string> template_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string expand_line(LogHandle& log, const std::string& sjis_template, bool qsl) {
  std::vector<char> out(kLineBytesPerTemplateByte * sjis_template.size() + 1, '\0');
  if (qsl) {
    const std::string t = sjis_template.find("!TZ") == std::string::npos
                              ? sjis_template
                              : with_zone(sjis_template, log.view.time[5]);
    out.assign(kLineBytesPerTemplateByte * t.size() + 1, '\0');
    PrintQslFmt(&log, out.data(), t.c_str());
  } else {
    PrintDataFmt(&log, out.data(), sjis_template.c_str());
  }
  return std::string(out.data());
}

}  // namespace osprey_tool
