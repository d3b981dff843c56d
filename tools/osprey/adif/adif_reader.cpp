#include "adif/adif_reader.h"

namespace osprey_tool {

namespace {

bool starts_with_at(std::string_view text, size_t pos, std::string_view prefix) {
  return text.size() - pos >= prefix.size() && text.substr(pos, prefix.size()) == prefix;
}

}  // namespace

AdifReader::AdifReader(std::string_view text) : text_(text), format_(AdifFormat::kAdi) {
  size_t p = starts_with_at(text_, 0, "\xEF\xBB\xBF") ? 3 : 0;
  while (p < text_.size() && (text_[p] == ' ' || text_[p] == '\t' || text_[p] == '\r' ||
                              text_[p] == '\n'))
    ++p;
  if (starts_with_at(text_, p, "<?xml") || starts_with_at(text_, p, "<ADX") ||
      starts_with_at(text_, p, "<adx"))
    format_ = AdifFormat::kAdx;
}

AdifRead AdifReader::fail(std::string message) {
  failed_ = true;
  error_ = std::move(message) + " (at byte " + std::to_string(pos_) + ")";
  return AdifRead::kError;
}

AdifRead AdifReader::next(AdifRecord* record) {
  record->fields.clear();
  if (failed_) return AdifRead::kError;
  if (ended_) return AdifRead::kEnd;
  const AdifRead r = format_ == AdifFormat::kAdi ? next_adi(record) : next_adx(record);
  if (r == AdifRead::kEnd) ended_ = true;
  return r;
}

}  // namespace osprey_tool
