// Text conversions of ADIF files: the log's Shift-JIS (code page 932) to and
// from the UTF-8 of ADX files, and the ASCII that ADI files carry.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace osprey_tool {

class AdifText {
 public:
  AdifText();
  ~AdifText();
  AdifText(const AdifText&) = delete;
  AdifText& operator=(const AdifText&) = delete;

  // False when the system has no code page 932 converter; the conversions
  // then pass ASCII through and replace every other character by '?'.
  bool available() const;

  // Shift-JIS bytes as UTF-8. A byte sequence that is not a code page 932
  // character becomes '?'.
  std::string utf8_of(std::string_view sjis);

  // UTF-8 text as Shift-JIS into *out. Returns how many characters had no
  // Shift-JIS form (each became '?'); invalid UTF-8 bytes count the same.
  size_t sjis_of(std::string_view utf8, std::string* out);

 private:
  // The code page's characters, asked of the converter once: the UTF-8 of
  // each Shift-JIS code (one byte, or lead << 8 | trail), packed as its bytes
  // with the length in the top byte (0: none), and the Shift-JIS code of each
  // character of the Basic Multilingual Plane (0: not asked yet, 0xFFFF:
  // none), the way back of the first table filled in at once and any other
  // character asked the first time it comes.
  void load_tables();
  uint16_t ask_sjis(uint32_t point, std::string_view utf8);
  size_t sjis_by_table(std::string_view utf8, std::string* out);
  void utf8_by_table(std::string_view sjis, std::string* out) const;

  iconv_t to_utf8_;
  iconv_t to_sjis_;
  bool tables_ = false;
  std::vector<uint32_t> utf8_table_;
  std::vector<uint16_t> sjis_table_;
};

// The UTF-8 text as ASCII into *out: full-width letters, digits and signs
// become their ASCII forms and the ideographic space a blank. False when any
// other non-ASCII character is present (*out is then unspecified).
bool ascii_of(std::string_view utf8, std::string* out);

// True when every byte is below 0x80.
bool is_ascii(std::string_view text);

// Leading and trailing blanks removed.
std::string trimmed_text(std::string_view text);

// The text cut to at most max bytes without splitting a Shift-JIS character.
std::string sjis_prefix(const std::string& sjis, size_t max);

// True for the first byte of a two-byte Shift-JIS character.
bool sjis_lead(unsigned char c);

// A value as the import takes it: leading blanks and tabs, and trailing
// blanks, tabs, carriage returns and line feeds, removed.
std::string value_text(std::string_view text);

// The text for a message: control characters and DEL written as \n, \r, \t
// or \xNN, so that a message stays on its line.
std::string printable_text(std::string_view text);

// True when text is well-formed UTF-8 (no overlong forms or surrogates).
bool is_utf8(std::string_view text);

// True when text is well-formed Shift-JIS as code page 932 assigns it:
// single bytes of ASCII or half-width katakana, and lead bytes of assigned
// rows each followed by a trail byte.
bool is_sjis(std::string_view text);

// Latin-1 bytes as UTF-8.
std::string utf8_of_latin1(std::string_view text);

}  // namespace osprey_tool
