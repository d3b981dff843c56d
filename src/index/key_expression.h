// Key expressions: which bytes of a record make its index key.
//
// An expression is a list of field names separated by runs of "+" and " "
// (separators at either end are ignored). Each name must be that of a
// character field of the record file, byte for byte. A record's key is the
// concatenation of the named fields' bytes, in the order of the names, exactly
// as they stand in the record; a field named twice contributes twice. An
// expression without names is valid and gives keys of length 0.
#pragma once

#include <cstdint>

#include "dbf/field_descriptors.h"

namespace osp::index {

// The longest expression text (it is stored followed by a blank and a NUL in
// a 100-byte working copy).
inline constexpr int kMaxExpressionLength = 98;
// More terms than this cannot fit kMaxExpressionLength characters.
inline constexpr int kMaxKeyTerms = (kMaxExpressionLength + 1) / 2;

struct KeyTerm {
  int32_t offset;  // first byte of the field in a record (the mark is byte 0)
  int32_t length;
};

struct KeyExpression {
  int32_t term_count = 0;
  KeyTerm terms[kMaxKeyTerms] = {};
  int32_t key_length = 0;  // the sum of the terms' lengths
};

// True when text is no longer than kMaxExpressionLength characters.
bool expression_length_ok(const char* text);

// Parses text against the fields of layout into out. Returns 0, or 26 when
// the text is longer than kMaxExpressionLength, a name matches no field, the
// field is not of type C, the field does not lie wholly within a record, or
// the key would be longer than 256 bytes. out is complete only on 0.
int32_t parse_key_expression(const char* text, const dbf::RecordLayout& layout,
                             KeyExpression* out);

// Copies the key of record (a whole record, mark first, at least as long as
// the record size the expression was parsed against) to key.
void extract_key(const KeyExpression& expression, const uint8_t* record, uint8_t* key);

}  // namespace osp::index
