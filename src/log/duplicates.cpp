// DupIndexRead: the record numbers of every entry that shares a call sign.
#include <cstring>

#include "index/index_file.h"
#include "log/log_services.h"

namespace osp::log {

int32_t duplicates(IdxHandle* idx, const char* key, int32_t* results) {
  if (results == nullptr) return 0;
  std::memset(results, 0, sizeof(int32_t) * kDuplicateSlots);
  if (key == nullptr) return 0;
  int32_t r = index::search(idx, key, 0);
  if (r == 0) return 0;
  // A key shorter than 6 bytes has its NUL among the 6 compared, which no
  // call sign carries; the bytes after the NUL are not the caller's to read.
  const size_t key_bytes = strnlen(key, kDuplicateKeyLength);
  if (key_bytes < static_cast<size_t>(kDuplicateKeyLength)) return 0;
  const int32_t length = index::key_length(idx);
  const size_t compared = length < kDuplicateKeyLength ? static_cast<size_t>(length)
                                                       : static_cast<size_t>(kDuplicateKeyLength);
  int32_t count = 0;
  int32_t i = 0;
  while (r != 0 && std::memcmp(index::current_key(idx), key, compared) == 0) {
    if (i == kDuplicatesKept) {
      std::memmove(results, results + 1, sizeof(int32_t) * (kDuplicatesKept - 1));
      i = kDuplicatesKept - 1;
    }
    results[i++] = r;
    if (count < INT32_MAX) ++count;
    r = index::next(idx);
  }
  return count;
}

}  // namespace osp::log
