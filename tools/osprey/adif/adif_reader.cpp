#include "adif/adif_reader.h"

#include <strings.h>

#include "adif/adif_text.h"

namespace osprey_tool {

namespace {

bool starts_with_at(std::string_view text, size_t pos, std::string_view prefix) {
  return text.size() - pos >= prefix.size() && text.substr(pos, prefix.size()) == prefix;
}

}  // namespace

bool adif_encoding_of(const std::string& name, AdifEncoding* encoding) {
  static const struct {
    const char* name;
    AdifEncoding encoding;
  } kNames[] = {{"utf-8", AdifEncoding::kUtf8},       {"utf8", AdifEncoding::kUtf8},
                {"us-ascii", AdifEncoding::kUtf8},    {"ascii", AdifEncoding::kUtf8},
                {"sjis", AdifEncoding::kShiftJis},    {"shift_jis", AdifEncoding::kShiftJis},
                {"shift-jis", AdifEncoding::kShiftJis}, {"cp932", AdifEncoding::kShiftJis},
                {"windows-31j", AdifEncoding::kShiftJis}, {"ms_kanji", AdifEncoding::kShiftJis},
                {"x-sjis", AdifEncoding::kShiftJis},  {"latin1", AdifEncoding::kLatin1},
                {"latin-1", AdifEncoding::kLatin1},   {"iso-8859-1", AdifEncoding::kLatin1},
                {"iso8859-1", AdifEncoding::kLatin1}, {"windows-1252", AdifEncoding::kLatin1},
                {"cp1252", AdifEncoding::kLatin1}};
  for (const auto& n : kNames)
    if (strcasecmp(n.name, name.c_str()) == 0) {
      *encoding = n.encoding;
      return true;
    }
  return false;
}

const char* adif_encoding_name(AdifEncoding encoding) {
  switch (encoding) {
    case AdifEncoding::kUtf8: return "UTF-8";
    case AdifEncoding::kShiftJis: return "Shift-JIS";
    case AdifEncoding::kLatin1: return "Latin-1";
    case AdifEncoding::kDetect: break;
  }
  return "detected";
}

AdifReader::~AdifReader() = default;

std::string AdifReader::adi_value(std::string_view raw) {
  if (encoding_ == AdifEncoding::kUtf8 || is_ascii(raw)) return std::string(raw);
  if (encoding_ == AdifEncoding::kLatin1) return utf8_of_latin1(raw);
  if (!sjis_) sjis_ = std::make_unique<AdifText>();
  return sjis_->utf8_of(raw);
}

AdifReader::AdifReader(std::string_view text, AdifEncoding encoding)
    : text_(text), format_(AdifFormat::kAdi), encoding_(encoding) {
  size_t p = starts_with_at(text_, 0, "\xEF\xBB\xBF") ? 3 : 0;
  while (p < text_.size() && (text_[p] == ' ' || text_[p] == '\t' || text_[p] == '\r' ||
                              text_[p] == '\n'))
    ++p;
  if (starts_with_at(text_, p, "<?xml") || starts_with_at(text_, p, "<ADX") ||
      starts_with_at(text_, p, "<adx"))
    format_ = AdifFormat::kAdx;
}

bool AdifReader::start_adx() {
  if (starts_with_at(text_, 0, "\xEF\xBB\xBF")) pos_ = 3;
  if (encoding_ == AdifEncoding::kDetect) {
    // <?xml version="1.0" encoding="Shift_JIS"?>
    size_t p = pos_;
    while (p < text_.size() && (text_[p] == ' ' || text_[p] == '\t' || text_[p] == '\r' ||
                                text_[p] == '\n'))
      ++p;
    const size_t end = starts_with_at(text_, p, "<?xml") ? text_.find("?>", p) : std::string_view::npos;
    const std::string_view declaration =
        end == std::string_view::npos ? std::string_view() : text_.substr(p, end - p);
    const size_t at = declaration.find("encoding");
    if (at != std::string_view::npos) {
      size_t q = declaration.find_first_of("\"'", at);
      const size_t close = q == std::string_view::npos ? q : declaration.find(declaration[q], q + 1);
      if (close == std::string_view::npos) {
        fail("the XML declaration's encoding has no closing quote");
        return false;
      }
      const std::string name(declaration.substr(q + 1, close - q - 1));
      if (!adif_encoding_of(name, &encoding_)) {
        fail("the file's text is in " + printable_text(name) +
             ", which the import does not read (UTF-8, Shift-JIS, Latin-1)");
        return false;
      }
    }
  }
  if (encoding_ == AdifEncoding::kDetect)
    encoding_ = is_utf8(text_) ? AdifEncoding::kUtf8
                : is_sjis(text_) ? AdifEncoding::kShiftJis
                                 : AdifEncoding::kLatin1;
  if (encoding_ != AdifEncoding::kUtf8) {
    const std::string_view rest = text_.substr(pos_);
    if (encoding_ == AdifEncoding::kLatin1) {
      converted_ = utf8_of_latin1(rest);
    } else {
      sjis_ = std::make_unique<AdifText>();
      converted_ = sjis_->utf8_of(rest);
    }
    text_ = converted_;
    pos_ = 0;
  }
  return true;
}

AdifRead AdifReader::fail(std::string message) {
  failed_ = true;
  error_ = std::move(message) + " (at byte " + std::to_string(pos_) + ")";
  return AdifRead::kError;
}

AdifRead AdifReader::next(AdifRecord* record) {
  record->fields.clear();
  warning_.clear();
  if (failed_) return AdifRead::kError;
  if (ended_) return AdifRead::kEnd;
  const AdifRead r = format_ == AdifFormat::kAdi ? next_adi(record) : next_adx(record);
  if (r == AdifRead::kEnd) ended_ = true;
  return r;
}

}  // namespace osprey_tool
