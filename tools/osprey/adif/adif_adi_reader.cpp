// The ADI half of AdifReader: <NAME:LENGTH[:TYPE]>DATA, records ended by
// <EOR>, an optional header (any text not starting with '<') ended by <EOH>.
#include <cstdint>

#include "adif/adif_reader.h"
#include "adif/adif_text.h"

namespace osprey_tool {

namespace {

// Longest tag accepted: a field name, a 9-digit length and a type.
constexpr size_t kMaxTag = 256;
constexpr uint64_t kMaxLength = 999'999'999;

struct AdiTag {
  std::string name;  // upper case
  bool has_length = false;
  uint64_t length = 0;
};

// Parses the inside of a tag (between '<' and '>') into *tag, whose name's
// storage is used again. False when malformed.
bool parse_tag(std::string_view inside, AdiTag* tag) {
  const size_t colon = inside.find(':');
  tag->name.assign(inside.substr(0, colon));
  tag->has_length = false;
  tag->length = 0;
  if (tag->name.empty()) return false;
  for (char& c : tag->name) {
    if (c == ' ' || c == '<' || c == ',') return false;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  if (colon == std::string_view::npos) return true;
  std::string_view rest = inside.substr(colon + 1);
  const size_t colon2 = rest.find(':');
  const std::string_view digits = rest.substr(0, colon2);
  if (digits.empty() || digits.size() > 9) return false;
  uint64_t n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<uint64_t>(c - '0');
  }
  tag->has_length = true;
  tag->length = n;
  return n <= kMaxLength;
}

// True when the text holds an <EOR> tag, in any case.
bool contains_eor(std::string_view text) {
  for (size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1))
    if (text.size() - at >= 5 && (text[at + 1] | 0x20) == 'e' && (text[at + 2] | 0x20) == 'o' &&
        (text[at + 3] | 0x20) == 'r' && text[at + 4] == '>')
      return true;
  return false;
}

}  // namespace

AdifRead AdifReader::next_adi(AdifRecord* record) {
  if (!started_) {
    started_ = true;
    if (encoding_ == AdifEncoding::kDetect)
      encoding_ = is_utf8(text_) ? AdifEncoding::kUtf8
                  : is_sjis(text_) ? AdifEncoding::kShiftJis
                                   : AdifEncoding::kLatin1;
    // A byte-order mark may stand before a file with or without a header.
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    if (pos_ < text_.size() && text_[pos_] != '<') {
      // The header: its fields are read like a record's and dropped.
      AdifRecord header;
      while (true) {
        const size_t open = text_.find('<', pos_);
        if (open == std::string_view::npos) {
          pos_ = text_.size();
          return fail("the header has no <EOH>");
        }
        pos_ = open;
        const size_t close = text_.find('>', open);
        if (close == std::string_view::npos || close - open > kMaxTag)
          return fail("a tag in the header has no closing '>'");
        AdiTag tag;
        if (!parse_tag(text_.substr(open + 1, close - open - 1), &tag))
          return fail("a malformed tag in the header");
        pos_ = close + 1;
        if (tag.name == "EOH") break;
        if (tag.has_length) {
          if (tag.length > text_.size() - pos_)
            return fail("header field " + tag.name + " runs past the end of the file");
          pos_ += tag.length;
        }
      }
    }
  }
  AdiTag tag;
  while (true) {
    const size_t open = text_.find('<', pos_);
    if (open == std::string_view::npos) {
      pos_ = text_.size();
      if (record->fields.empty()) return AdifRead::kEnd;
      record_number_ += 1;
      unterminated_ = true;
      return fail("record " + std::to_string(record_number_) + " has no <EOR>");
    }
    pos_ = open;
    const size_t close = text_.find('>', open);
    if (close == std::string_view::npos || close - open > kMaxTag) {
      record_number_ += 1;
      return fail("a tag has no closing '>'");
    }
    if (!parse_tag(text_.substr(open + 1, close - open - 1), &tag)) {
      record_number_ += 1;
      return fail("a malformed tag <" + printable_text(text_.substr(open + 1, close - open - 1)) +
                  ">");
    }
    pos_ = close + 1;
    if (tag.name == "EOR") {
      record_number_ += 1;
      return AdifRead::kRecord;
    }
    if (!tag.has_length) continue;  // <EOH> again, or a tag without data: ignored
    if (tag.length > text_.size() - pos_) {
      record_number_ += 1;
      return fail("field " + tag.name + " (" + std::to_string(tag.length) +
                  " bytes) runs past the end of the file");
    }
    const std::string_view raw = text_.substr(pos_, tag.length);
    if (warning_.empty() && contains_eor(raw))
      warning_ = "record " + std::to_string(record_number_ + 1) + ": field " + tag.name + " (" +
                 std::to_string(tag.length) +
                 " bytes) runs past an <EOR>: its length may be wrong and the next record inside it";
    record->add(tag.name, adi_value(raw));
    pos_ += tag.length;
  }
}

}  // namespace osprey_tool
