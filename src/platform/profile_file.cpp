#include "platform/profile_file.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace osp::platform {

namespace {

std::string trim(const std::string& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

bool equal_nocase(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::vector<std::string> split_lines(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t nl = content.find('\n', start);
    if (nl == std::string::npos) nl = content.size();
    std::string line = content.substr(start, nl - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = nl + 1;
  }
  return lines;
}

// The section name of a "[name]" line, or false.
bool section_name(const std::string& line, std::string* name) {
  const std::string t = trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  const size_t close = t.find(']');
  if (close == std::string::npos) return false;
  *name = trim(t.substr(1, close - 1));
  return true;
}

// The key and value of a "key=value" line, or false.
bool key_value(const std::string& line, std::string* key, std::string* value) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  *key = trim(line.substr(0, eq));
  *value = trim(line.substr(eq + 1));
  return true;
}

}  // namespace

bool profile_lookup(const std::string& content, const char* section, const char* key,
                    std::string* value) {
  bool in_section = false;
  for (const std::string& line : split_lines(content)) {
    std::string name;
    if (section_name(line, &name)) {
      in_section = equal_nocase(name, section);
      continue;
    }
    std::string k;
    std::string v;
    if (in_section && key_value(line, &k, &v) && equal_nocase(k, key)) {
      *value = v;
      return true;
    }
  }
  return false;
}

std::string profile_set(const std::string& content, const char* section, const char* key,
                        const char* value) {
  std::vector<std::string> lines = split_lines(content);
  const std::string entry = std::string(key) + "=" + value;
  bool in_section = false;
  size_t section_end = std::string::npos;  // index after the section's last non-blank line
  bool found_section = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string name;
    if (section_name(lines[i], &name)) {
      if (in_section) break;
      in_section = equal_nocase(name, section);
      if (in_section) {
        found_section = true;
        section_end = i + 1;
      }
      continue;
    }
    if (!in_section) continue;
    std::string k;
    std::string v;
    if (key_value(lines[i], &k, &v) && equal_nocase(k, key)) {
      lines[i] = entry;
      std::string out;
      for (const std::string& l : lines) out += l + "\r\n";
      return out;
    }
    if (!trim(lines[i]).empty()) section_end = i + 1;
  }
  if (found_section) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(section_end), entry);
  } else {
    lines.push_back(std::string("[") + section + "]");
    lines.push_back(entry);
  }
  std::string out;
  for (const std::string& l : lines) out += l + "\r\n";
  return out;
}

int32_t profile_parse_int(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  uint32_t v = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    v = v * 10u + static_cast<uint32_t>(text[i] - '0');
    ++i;
  }
  if (negative) v = 0u - v;
  return static_cast<int32_t>(v);
}

}  // namespace osp::platform
