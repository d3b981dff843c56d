#include "sjis_text.h"

#include <cerrno>

namespace osprey_tool {

Cp932Text::Cp932Text() : cd_(iconv_open("UTF-8", "CP932")) {}

Cp932Text::~Cp932Text() {
  if (available()) iconv_close(cd_);
}

bool Cp932Text::to_utf8(const uint8_t* bytes, size_t length, std::string* out) {
  if (!available()) return false;
  for (size_t i = 0; i < length; ++i) {
    if (bytes[i] < 0x20 || bytes[i] == 0x7F) return false;
  }
  iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  // A code page 932 character becomes at most 3 UTF-8 bytes.
  out->assign(length * 3 + 4, '\0');
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
  size_t in_left = length;
  char* op = out->data();
  size_t out_left = out->size();
  if (iconv(cd_, &in, &in_left, &op, &out_left) == static_cast<size_t>(-1) || in_left != 0)
    return false;
  out->resize(out->size() - out_left);
  return true;
}

std::string hex_literal(const uint8_t* bytes, size_t length) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s = "x'";
  s.reserve(length * 2 + 3);
  for (size_t i = 0; i < length; ++i) {
    s += kDigits[bytes[i] >> 4];
    s += kDigits[bytes[i] & 0x0F];
  }
  s += '\'';
  return s;
}

std::string quoted_text(const std::string& text) {
  std::string s = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') s += '\\';
    s += c;
  }
  s += '"';
  return s;
}

std::string printable_ascii(const uint8_t* bytes, size_t length) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < length; ++i) {
    const uint8_t b = bytes[i];
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      s += static_cast<char>(b);
    } else {
      s += "\\x";
      s += kDigits[b >> 4];
      s += kDigits[b & 0x0F];
    }
  }
  return s;
}

}  // namespace osprey_tool
