// The field descriptors of a record file: the names, types and widths of its
// fields and where each field lies in a record. Read by the index builder,
// which finds fields by name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dbf/dbf_format.h"
#include "frame/file.h"

namespace osp::dbf {

struct FieldDescriptor {
  char name[kFieldNameBytes + 1];  // NUL-terminated
  uint8_t type;
  uint8_t length;
  int32_t offset;  // first byte of the field in a record; byte 0 is the mark
};

struct RecordLayout {
  int32_t record_count = 0;
  int32_t header_size = 0;  // offset of record 1
  int32_t record_size = 0;  // bytes per record, mark included
  int32_t field_count = 0;
  FieldDescriptor* fields = nullptr;  // field_count entries; release_record_layout frees them
};

// Reads the 32-byte header and the field descriptors of the record file open
// at f, from its start. There are (header size - 33) / 32 descriptors; field i
// starts at byte 1 + the lengths of fields 0 to i - 1 (a field may lie partly
// or wholly beyond the record size; callers check before they use one).
// Returns 0; 21 when the header or the descriptors are read short, or the
// header is unusable (header size below 33, record size below 1, negative
// record count); 6 when the table cannot be allocated. On failure layout holds
// nothing.
int32_t read_record_layout(FileHandle f, RecordLayout* layout);

// Frees the descriptor table; layout then holds no fields.
void release_record_layout(RecordLayout* layout);

// The first field whose name is exactly the name_length bytes at name
// (case-sensitive, compared in full), or nullptr.
const FieldDescriptor* find_field(const RecordLayout& layout, const char* name,
                                  std::size_t name_length);

// True when the field lies wholly within a record of layout.
bool field_within_record(const RecordLayout& layout, const FieldDescriptor& field);

}  // namespace osp::dbf
