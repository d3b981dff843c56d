#include "log/log_keys.h"

#include <cstring>

#include "log/cursor_mode.h"
#include "record/contact_record.h"
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

bool record_carries_key(const LogHandle* log, int32_t m, const char* key, int32_t length) {
  const uint8_t* field = nullptr;
  int32_t available = 0;
  switch (m) {
    case mode::kContactsByCall:
      field = log->dbs_image + contact::kCalls.data();
      available = contact::kDataSize - contact::kCalls.data();
      break;
    case mode::kContactsByCode:
      field = log->dbs_image + contact::kCode.data();
      available = contact::kDataSize - contact::kCode.data();
      break;
    case mode::kContactsByGrid:
      field = log->dbs_image + contact::kGl.data();
      available = contact::kDataSize - contact::kGl.data();
      break;
    case mode::kMastersByCode:
      field = log->mst_image + master::kCode.data();
      available = master::kDataSize - master::kCode.data();
      break;
    case mode::kMastersByFlgCode:
      field = reinterpret_cast<const uint8_t*>(assemble_flg_code_key(log->mst_image));
      available = kFlgCodeKeySize;
      break;
    case mode::kMastersByFlgHedEria:
      field = log->mst_image + master::kFlg.data();
      available = master::kDataSize - master::kFlg.data();
      break;
    default:
      return true;
  }
  if (length <= 0) return true;
  if (length > available || key == nullptr) return false;
  return std::memcmp(field, key, static_cast<size_t>(length)) == 0;
}

}  // namespace osp::log
