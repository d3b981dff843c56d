// Get_lupdate: the date of last update that a record-file header, a
// DbfHandle or dbr_header carries in its bytes 1 to 3.
#include <cstdint>
#include <cstdio>

#include "log/log_services.h"

namespace osp::log {

namespace {
char last_update_buffer[16];
}  // namespace

char* last_update_text(const void* header) {
  last_update_buffer[0] = '\0';
  if (header == nullptr) return last_update_buffer;
  const auto* bytes = static_cast<const uint8_t*>(header);
  std::snprintf(last_update_buffer, sizeof last_update_buffer, "%02d/%02d/%02d", bytes[1],
                bytes[2], bytes[3]);
  return last_update_buffer;
}

}  // namespace osp::log
