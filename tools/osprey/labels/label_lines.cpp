#include "labels/label_lines.h"

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
    PrintQslFmt(&log, out.data(), sjis_template.c_str());
  } else {
    PrintDataFmt(&log, out.data(), sjis_template.c_str());
  }
  return std::string(out.data());
}

}  // namespace osprey_tool
