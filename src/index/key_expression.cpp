#include "index/key_expression.h"

#include <cstring>

#include "frame/status.h"
#include "index/index_format.h"

namespace osp::index {

namespace {

bool is_separator(char c) { return c == '+' || c == ' '; }

}  // namespace

bool expression_length_ok(const char* text) {
  // Looks no further than one character past the limit.
  for (int i = 0; i <= kMaxExpressionLength; ++i) {
    if (text[i] == '\0') return true;
  }
  return false;
}

int32_t parse_key_expression(const char* text, const dbf::RecordLayout& layout,
                             KeyExpression* out) {
  *out = KeyExpression{};
  if (text == nullptr || !expression_length_ok(text)) return status::kBadKeyExpression;
  const char* p = text;
  for (;;) {
    while (is_separator(*p)) ++p;
    if (*p == '\0') break;
    const char* start = p;
    while (*p != '\0' && !is_separator(*p)) ++p;
    const dbf::FieldDescriptor* field =
        dbf::find_field(layout, start, static_cast<std::size_t>(p - start));
    if (field == nullptr || field->type != dbf::kCharacterField ||
        !dbf::field_within_record(layout, *field) || out->term_count == kMaxKeyTerms) {
      return status::kBadKeyExpression;
    }
    out->terms[out->term_count++] = KeyTerm{field->offset, field->length};
    out->key_length += field->length;
    if (out->key_length > kMaxKeyLength) return status::kBadKeyExpression;
  }
  return status::kOk;
}

void extract_key(const KeyExpression& expression, const uint8_t* record, uint8_t* key) {
  for (int32_t i = 0; i < expression.term_count; ++i) {
    const KeyTerm& t = expression.terms[i];
    std::memcpy(key, record + t.offset, static_cast<std::size_t>(t.length));
    key += t.length;
  }
}

}  // namespace osp::index
