// Creating a contact file: the one header the library ever writes from scratch.
#include <cstring>

#include "dbf/contact_schema.h"
#include "dbf/record_file.h"
#include "frame/bytes.h"
#include "frame/file.h"
#include "frame/status.h"
#include "frame/ui.h"

namespace osp::dbf {

int32_t create(const char* path) {
  uint8_t image[kNewContactFileSize] = {};
  image[0] = kVersionCreated;
  const OspLocalTime now = local_time();
  image[1] = static_cast<uint8_t>(now.year % 100);
  image[2] = static_cast<uint8_t>(now.month);
  image[3] = static_cast<uint8_t>(now.day);
  store_i16(image + 8, kContactHeaderSize);
  int16_t record_size = 1;
  for (int i = 0; i < kContactFieldCount; ++i) {
    uint8_t* d = image + 32 * (i + 1);
    std::memcpy(d, kContactFields[i].name, std::strlen(kContactFields[i].name) + 1);
    d[11] = 'C';
    d[16] = kContactFields[i].length;
    record_size = static_cast<int16_t>(record_size + kContactFields[i].length);
  }
  store_i16(image + 10, record_size);
  image[kContactHeaderSize - 1] = 0x0D;
  image[kContactHeaderSize] = kEndOfFileMark;

  const FileHandle f = file_create(path);
  if (f == kNoFile) return status::kCannotOpen;
  const int32_t written = file_write(f, image, kNewContactFileSize);
  file_close(f);
  return written == kNewContactFileSize ? status::kOk : status::kDataWriteError;
}

}  // namespace osp::dbf
