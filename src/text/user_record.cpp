#include "text/user_record.h"

#include <cstring>

namespace osp::text {

namespace {

template <size_t N>
void field_from(const uint8_t* record, int32_t column, char (&field)[N]) {
  std::memcpy(field, record + column, N - 1);
  field[N - 1] = '\0';
}

}  // namespace

void clean_record(uint8_t* record, int32_t got, int32_t from) {
  if (got < 0) got = 0;
  int32_t end = got < kRecordColumns ? got : kRecordColumns;
  for (int32_t i = from; i < end; ++i) {
    if (record[i] < 0x20) {
      end = i;
      break;
    }
  }
  if (end < kRecordColumns) std::memset(record + end, ' ', static_cast<size_t>(kRecordColumns - end));
}

int32_t read_record(FileHandle text, uint32_t position, uint8_t* record) {
  if (file_seek(text, position) != position) return 0;
  const int32_t got = file_read(text, record, kRecordColumns);
  return got < 0 ? 0 : got;
}

void fill_fields(const uint8_t* record, UserTextFile* file) {
  field_from(record, 0, file->c_key);
  field_from(record, 6, file->info1);
  field_from(record, kJKeyColumn, file->j_key);
  field_from(record, kInfo2Column, file->info2);
  field_from(record, 52, file->info3);
}

}  // namespace osp::text
