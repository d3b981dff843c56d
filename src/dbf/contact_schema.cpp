// The contact-file schema, and the creation of a contact file: the one
// header the library ever writes from scratch.
#include "dbf/contact_schema.h"

#include <cstring>

#include "dbf/dbf_format.h"
#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/status.h"
#include "frame/ui.h"

namespace osp::dbf {

const FieldSpec kContactFields[kContactFieldCount] = {
    {"CALLS", 6}, {"IGN", 1},  {"POTBL", 3}, {"CODE", 6}, {"GL", 6},   {"FREQ", 4}, {"MODE", 3},
    {"NAME", 12}, {"QSL", 3},  {"DATE", 3},  {"TIME", 2}, {"RST", 4},  {"OFS", 4},
};

int32_t create(const char* path) {
  uint8_t image[kNewContactFileSize] = {};
  image[kHdrVersion] = kVersionCreated;
  const OspLocalTime now = local_time();
  put_date(image, now.year, now.month, now.day);
  put_header_size(image, kContactHeaderSize);
  int16_t record_size = kRecordMark + 1;
  for (int i = 0; i < kContactFieldCount; ++i) {
    uint8_t* d = image + kFileHeaderSize + kDescriptorSize * i;
    std::memcpy(d, kContactFields[i].name, std::strlen(kContactFields[i].name) + 1);
    d[kDescriptorType] = kCharacterField;
    d[kDescriptorLength] = kContactFields[i].length;
    record_size = static_cast<int16_t>(record_size + kContactFields[i].length);
  }
  put_record_size(image, record_size);
  image[kContactHeaderSize - 1] = kDescriptorsEnd;
  image[kContactHeaderSize] = kEndOfFileMark;

  const FileHandle f = file_create(path);
  if (f == kNoFile) return status::kCannotOpen;
  const int32_t written = file_write(f, image, kNewContactFileSize);
  file_close(f);
  return written == kNewContactFileSize ? status::kOk : status::kDataWriteError;
}

}  // namespace osp::dbf
