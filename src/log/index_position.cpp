// The two cursor operations that load nothing: putting a slot's cursor on a
// known entry, and reading the key under it.
#include <cstring>

#include "frame/status.h"
#include "log/log_paths.h"
#include "index/index_file.h"
#include "log/cursor_mode.h"
#include "log/key_buffers.h"
#include "log/log_cursor.h"

namespace osp::log {

namespace {
constexpr int32_t kSlotCount = kLogSlotCount;
}  // namespace

int32_t position_on(LogHandle* log, int32_t recno, int32_t m, const char* key) {
  const int32_t slot = slot_of_mode(m);
  if (log == nullptr || key == nullptr || slot >= kSlotCount || recno == 0)
    return status::kEndOfOrder;
  IdxHandle* idx = &log->index_slot[slot];
  const int32_t key_length = index::key_length(idx);
  if (key_length == 0) return status::kEndOfOrder;
  const size_t text = std::strlen(key);
  const size_t compared = text < static_cast<size_t>(key_length) ? text
                                                                  : static_cast<size_t>(key_length);
  int32_t r = index::search(idx, key, 0);
  while (r != recno) {
    if (r == 0 || std::memcmp(index::current_key(idx), key, compared) != 0)
      return status::kEndOfOrder;
    r = index::next(idx);
  }
  return status::kOk;
}

char* read_key(LogHandle* log, int32_t which) {
  read_key_buffer[0] = '\0';
  const int32_t slot = which & mode::kSlotBits;
  if (log == nullptr || slot >= kSlotCount) return read_key_buffer;
  const IdxHandle* idx = &log->index_slot[slot];
  const char* key = index::current_key(idx);
  if (key == nullptr) return read_key_buffer;
  int32_t n = index::key_length(idx);
  if (n > kReadKeySize - 1) n = kReadKeySize - 1;
  std::memcpy(read_key_buffer, key, static_cast<size_t>(n));
  read_key_buffer[n] = '\0';
  return read_key_buffer;
}

}  // namespace osp::log
