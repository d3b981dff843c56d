#include "log/key_buffers.h"

#include "record/master_record.h"

namespace osp::log {

char flg_code_key_buffer[kFlgCodeKeySize];
char read_key_buffer[kReadKeySize];

static_assert(master::kFlgCodeKeyLength + 1 == kFlgCodeKeySize, "the key and its NUL");

char* assemble_flg_code_key(const uint8_t* master_data) {
  master::flg_code_key(master_data, reinterpret_cast<uint8_t*>(flg_code_key_buffer));
  flg_code_key_buffer[master::kFlgCodeKeyLength] = '\0';
  return flg_code_key_buffer;
}

}  // namespace osp::log
