#include "dbf/field_descriptors.h"

#include <cstring>

#include "frame/bytes.h"
#include "frame/status.h"
#include "platform/env.h"

namespace osp::dbf {

namespace {

constexpr int kDescriptorsPerRead = 16;  // descriptors are read 512 bytes at a time

}  // namespace

int32_t read_record_layout(FileHandle f, RecordLayout* layout) {
  *layout = RecordLayout{};
  uint8_t header[kFileHeaderSize];
  if (file_read(f, header, kFileHeaderSize) != kFileHeaderSize) return status::kDataReadError;
  const int32_t count = header_record_count(header);
  const int32_t header_size = header_header_size(header);
  const int32_t record_size = header_record_size(header);
  if (count < 0 || header_size < kSmallestHeader || record_size < 1)
    return status::kDataReadError;

  const int32_t fields = (header_size - kSmallestHeader) / kDescriptorSize;
  FieldDescriptor* table = nullptr;
  if (fields > 0) {
    table = static_cast<FieldDescriptor*>(
        platform::env()->allocate(sizeof(FieldDescriptor) * static_cast<size_t>(fields)));
    if (table == nullptr) return status::kNoMemory;
  }

  uint8_t block[kDescriptorSize * kDescriptorsPerRead];
  int32_t offset = kRecordMark + 1;  // byte 0 of a record is its deletion mark
  for (int32_t first = 0; first < fields; first += kDescriptorsPerRead) {
    const int32_t n = fields - first < kDescriptorsPerRead ? fields - first : kDescriptorsPerRead;
    const int32_t bytes = n * kDescriptorSize;
    if (file_read(f, block, bytes) != bytes) {
      platform::env()->release(table);
      return status::kDataReadError;
    }
    for (int32_t i = 0; i < n; ++i) {
      const uint8_t* d = block + i * kDescriptorSize;
      FieldDescriptor& out = table[first + i];
      std::memset(out.name, 0, sizeof out.name);
      for (int k = 0; k < kFieldNameBytes && d[k] != 0; ++k) out.name[k] = static_cast<char>(d[k]);
      out.type = d[kDescriptorType];
      out.length = d[kDescriptorLength];
      out.offset = offset;
      offset += out.length;  // at most 1 + 1022 * 255: no overflow
    }
  }
  layout->record_count = count;
  layout->header_size = header_size;
  layout->record_size = record_size;
  layout->field_count = fields;
  layout->fields = table;
  return status::kOk;
}

void release_record_layout(RecordLayout* layout) {
  platform::env()->release(layout->fields);
  layout->fields = nullptr;
  layout->field_count = 0;
}

const FieldDescriptor* find_field(const RecordLayout& layout, const char* name,
                                  std::size_t name_length) {
  if (name_length > static_cast<std::size_t>(kFieldNameBytes)) return nullptr;
  for (int32_t i = 0; i < layout.field_count; ++i) {
    const FieldDescriptor& f = layout.fields[i];
    if (std::strlen(f.name) == name_length && std::memcmp(f.name, name, name_length) == 0)
      return &f;
  }
  return nullptr;
}

bool field_within_record(const RecordLayout& layout, const FieldDescriptor& field) {
  return field.offset + field.length <= layout.record_size;
}

}  // namespace osp::dbf
