// Showing stored bytes on a UTF-8 terminal: Shift-JIS (code page 932) text
// converted with iconv, anything else as hex.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace osprey_tool {

class Cp932Text {
 public:
  Cp932Text();
  ~Cp932Text();
  Cp932Text(const Cp932Text&) = delete;
  Cp932Text& operator=(const Cp932Text&) = delete;

  // False when the system has no code page 932 converter.
  bool available() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts bytes to UTF-8 into *out. False, leaving *out unspecified, when
  // the bytes are not text: a control byte (below 0x20, or 0x7F), or a
  // sequence that is not a complete code page 932 character.
  bool to_utf8(const uint8_t* bytes, size_t length, std::string* out);

 private:
  iconv_t cd_;
};

// The bytes as x'4A31' (upper-case hex digits, two per byte).
std::string hex_literal(const uint8_t* bytes, size_t length);

// text in double quotes, with '"' and '\' escaped by a backslash.
std::string quoted_text(const std::string& text);

// Printable ASCII bytes as they are, others as \xNN.
std::string printable_ascii(const uint8_t* bytes, size_t length);

}  // namespace osprey_tool
