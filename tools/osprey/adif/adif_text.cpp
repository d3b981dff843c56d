#include "adif/adif_text.h"

#include <algorithm>

namespace osprey_tool {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
constexpr uint16_t kNoCode = 0xFFFF;  // a character without a Shift-JIS form

// The length of the UTF-8 sequence that starts with c (1 for a stray byte).
size_t utf8_length(unsigned char c) {
  if (c >= 0xF0 && c <= 0xF4) return 4;
  if (c >= 0xE0) return c <= 0xEF ? 3 : 1;
  if (c >= 0xC2) return 2;
  return 1;
}

// Converts text with cd, appending to *out; false (with *out unspecified)
// when a character has no form there.
bool convert(iconv_t cd, const char* in, size_t length, std::string* out) {
  if (cd == kNoConverter) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  const size_t at = out->size();
  out->resize(at + length * 3 + 8);  // a character grows to at most 3 bytes either way
  char* ip = const_cast<char*>(in);
  size_t il = length;
  char* op = out->data() + at;
  size_t ol = out->size() - at;
  const bool ok = iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && il == 0;
  out->resize(out->size() - ol);
  if (!ok) out->resize(at);
  return ok;
}

}  // namespace

bool sjis_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

AdifText::AdifText()
    : to_utf8_(iconv_open("UTF-8", "CP932")), to_sjis_(iconv_open("CP932", "UTF-8")) {}

void AdifText::load_tables() {
  tables_ = true;
  utf8_table_.assign(0x10000, 0);
  sjis_table_.assign(0x10000, 0);
  std::string utf8;
  const auto learn = [&](const char* sjis, size_t n, uint32_t code) {
    utf8.clear();
    if (!convert(to_utf8_, sjis, n, &utf8) || utf8.empty() || utf8.size() > 3) return;
    uint32_t packed = static_cast<uint32_t>(utf8.size()) << 24;
    for (size_t i = 0; i < utf8.size(); ++i)
      packed |= static_cast<uint32_t>(static_cast<unsigned char>(utf8[i])) << (8 * i);
    utf8_table_[code] = packed;
  };
  for (unsigned c = 0x80; c <= 0xFF; ++c) {
    const char b = static_cast<char>(c);
    if (!sjis_lead(static_cast<unsigned char>(c))) learn(&b, 1, c);
  }
  for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
    if (!sjis_lead(static_cast<unsigned char>(lead))) continue;
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      learn(pair, 2, lead << 8 | trail);
    }
  }
  // The way back, as the converter gives it (a character with two codes
  // goes back to the one the converter chooses).
  for (uint32_t code = 0x80; code <= 0xFFFF; ++code) {
    const uint32_t packed = utf8_table_[code];
    if (packed == 0) continue;
    char bytes[3];
    const size_t n = packed >> 24;
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>(packed >> (8 * i));
    uint32_t point = static_cast<unsigned char>(bytes[0]);
    if (n == 2) point = (bytes[0] & 0x1Fu) << 6 | (bytes[1] & 0x3Fu);
    if (n == 3) point = (bytes[0] & 0x0Fu) << 12 | (bytes[1] & 0x3Fu) << 6 | (bytes[2] & 0x3Fu);
    if (point <= 0xFFFF && sjis_table_[point] == 0) ask_sjis(point, std::string_view(bytes, n));
  }
}

void AdifText::utf8_by_table(std::string_view sjis, std::string* out) const {
  for (size_t i = 0; i < sjis.size();) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    if (c < 0x80) {
      *out += static_cast<char>(c);
      ++i;
      continue;
    }
    const bool pair = sjis_lead(c) && i + 1 < sjis.size();
    const uint32_t packed =
        utf8_table_[pair ? c << 8 | static_cast<unsigned char>(sjis[i + 1]) : c];
    i += pair ? 2 : 1;
    if (packed == 0) {
      *out += '?';
      continue;
    }
    for (uint32_t k = 0; k < packed >> 24; ++k) *out += static_cast<char>(packed >> (8 * k));
  }
}

uint16_t AdifText::ask_sjis(uint32_t point, std::string_view utf8) {
  std::string sjis;
  uint16_t code = kNoCode;
  if (convert(to_sjis_, utf8.data(), utf8.size(), &sjis) && !sjis.empty() && sjis.size() <= 2)
    code = static_cast<uint16_t>(sjis.size() == 1 ? static_cast<unsigned char>(sjis[0])
                                                  : static_cast<unsigned char>(sjis[0]) << 8 |
                                                        static_cast<unsigned char>(sjis[1]));
  sjis_table_[point] = code;
  return code;
}

size_t AdifText::sjis_by_table(std::string_view utf8, std::string* out) {
  size_t replaced = 0;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      *out += static_cast<char>(c);
      ++i;
      continue;
    }
    const size_t n = utf8_length(c);
    uint32_t point = 0x110000;  // none
    bool continued = true;
    if (n > 1 && i + n <= utf8.size()) {
      for (size_t k = 1; k < n; ++k)
        continued = continued && (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
      if (continued && n == 2) point = (c & 0x1Fu) << 6 | (utf8[i + 1] & 0x3Fu);
      if (continued && n == 3) {
        point = (c & 0x0Fu) << 12 | (utf8[i + 1] & 0x3Fu) << 6 | (utf8[i + 2] & 0x3Fu);
        if (point < 0x800 || (point >= 0xD800 && point <= 0xDFFF)) point = 0x110000;
      }
    }
    uint16_t code = point <= 0xFFFF ? sjis_table_[point] : kNoCode;
    if (code == 0) code = ask_sjis(point, utf8.substr(i, n));
    if (code == kNoCode) {
      *out += '?';
      ++replaced;
    } else if (code < 0x100) {
      *out += static_cast<char>(code);
    } else {
      *out += static_cast<char>(code >> 8);
      *out += static_cast<char>(code & 0xFF);
    }
    // A sequence broken off by a byte that does not continue it ends there:
    // that byte starts the next character.
    i += n == 1 || !continued ? 1 : std::min(n, utf8.size() - i);
  }
  return replaced;
}


AdifText::~AdifText() {
  if (to_utf8_ != kNoConverter) iconv_close(to_utf8_);
  if (to_sjis_ != kNoConverter) iconv_close(to_sjis_);
}

bool AdifText::available() const { return to_utf8_ != kNoConverter && to_sjis_ != kNoConverter; }

// Without a converter the tables stay empty: ASCII passes through and every
// other character becomes '?'.
std::string AdifText::utf8_of(std::string_view sjis) {
  if (is_ascii(sjis)) return std::string(sjis);
  if (!tables_) load_tables();
  std::string out;
  out.reserve(sjis.size() * 3 / 2);
  utf8_by_table(sjis, &out);
  return out;
}

size_t AdifText::sjis_of(std::string_view utf8, std::string* out) {
  out->clear();
  if (is_ascii(utf8)) {
    out->assign(utf8);
    return 0;
  }
  if (!tables_) load_tables();
  return sjis_by_table(utf8, out);
}

bool ascii_of(std::string_view utf8, std::string* out) {
  out->clear();
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      *out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (utf8_length(c) != 3 || i + 3 > utf8.size()) return false;
    const unsigned code = (c & 0x0Fu) << 12 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6 |
                          (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
    if (code >= 0xFF01 && code <= 0xFF5E) {
      *out += static_cast<char>(code - 0xFF01 + 0x21);  // full-width forms
    } else if (code == 0x3000) {
      *out += ' ';  // ideographic space
    } else {
      return false;
    }
    i += 3;
  }
  return true;
}

bool is_ascii(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::string trimmed_text(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return "";
  const size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string sjis_prefix(const std::string& sjis, size_t max) {
  if (sjis.size() <= max) return sjis;  // all of it fits
  size_t end = 0;
  while (end < sjis.size()) {
    const size_t n = sjis_lead(static_cast<unsigned char>(sjis[end])) ? 2 : 1;
    if (end + n > max) break;
    end += n;
  }
  return sjis.substr(0, std::min(end, sjis.size()));
}

std::string value_text(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return "";
  const size_t last = text.find_last_not_of(" \t\r\n");
  return last == std::string_view::npos || last < first
             ? ""
             : std::string(text.substr(first, last - first + 1));
}

std::string printable_text(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c != 0x7F) {
      out += ch;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

bool is_utf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    const size_t n = utf8_length(c);
    if (n == 1 || i + n > text.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    const auto next = static_cast<unsigned char>(text[i + 1]);
    if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next > 0x9F) || (c == 0xF0 && next < 0x90) ||
        (c == 0xF4 && next > 0x8F))
      return false;
    i += n;
  }
  return true;
}

bool is_sjis(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) continue;
    // Lead bytes that code page 932 leaves unassigned or to user-defined
    // characters do not come in text: they are Latin-1 letters far more
    // often ("\xF6" is o umlaut).
    if (!sjis_lead(c) || c == 0x85 || c == 0x86 || c == 0xEB || c == 0xEC ||
        (c >= 0xEF && c <= 0xF9) || i + 1 >= text.size())
      return false;
    const auto t = static_cast<unsigned char>(text[++i]);
    if (t < 0x40 || t == 0x7F || t > 0xFC || (c == 0xFC && t > 0x4B)) return false;
  }
  return true;
}

std::string utf8_of_latin1(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace osprey_tool
