#include "log/reindex.h"

#include <cstring>

#include "frame/status.h"
#include "index/index_file.h"
#include "log/log_guard.h"

namespace osp::log {

int32_t reindex(IdxHandle* idx, int32_t recno, const uint8_t* old_key, const uint8_t* new_key,
                int32_t available) {
  const int32_t length = index::key_length(idx);
  if (length > available) {
    report_path_status(status::kIndexRebuildNeeded, idx->path);
    return status::kIndexRebuildNeeded;
  }
  const auto n = static_cast<size_t>(length);
  if (std::memcmp(old_key, new_key, n) == 0) return kKeyUnchanged;
  const char* old_text = reinterpret_cast<const char*>(old_key);
  int32_t r = index::search(idx, old_text, length);
  // Past the entries with the old key the record's entry cannot stand.
  while (r != recno && r != 0 && std::memcmp(index::current_key(idx), old_key, n) == 0)
    r = index::next(idx);
  if (r != recno || std::memcmp(index::current_key(idx), old_key, n) != 0) {
    report_path_status(status::kIndexRebuildNeeded, idx->path);
    return status::kIndexRebuildNeeded;
  }
  index::remove(idx);
  index::insert(idx, reinterpret_cast<const char*>(new_key), recno);
  return kEntryMoved;
}

void insert_entry(IdxHandle* idx, const void* key, int32_t available, int32_t recno) {
  if (index::key_length(idx) > available) {
    report_path_status(status::kIndexRebuildNeeded, idx->path);
    return;
  }
  index::insert(idx, static_cast<const char*>(key), recno);
}

}  // namespace osp::log
