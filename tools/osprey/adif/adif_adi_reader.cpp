// The ADI half of AdifReader: <NAME:LENGTH[:TYPE]>DATA, records ended by
// <EOR>, an optional header (any text not starting with '<') ended by <EOH>.
#include <cstdint>

#include "adif/adif_reader.h"

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

}  // namespace

AdifRead AdifReader::next_adi(AdifRecord* record) {
  if (!started_) {
    started_ = true;
    if (!text_.empty() && text_[0] != '<') {
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
      return fail("a malformed tag <" + std::string(text_.substr(open + 1, close - open - 1)) + ">");
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
    record->add(tag.name, std::string(text_.substr(pos_, tag.length)));
    pos_ += tag.length;
  }
}

}  // namespace osprey_tool
