// Search: down from the root, a binary search on each page for the first
// entry whose key is not below the wanted prefix.
#include <cstring>

#include "index/cursor_moves.h"
#include "index/index_file.h"
#include "index/index_state.h"

namespace osp::index {

int32_t find(const IdxHandle* h, IndexState* s, const uint8_t* key, size_t len) {
  begin_operation(s);
  uint32_t page_no = s->root;
  for (;;) {
    if (!go_down(h, s, page_no, 0)) return 0;
    Level& level = s->levels[s->current];
    const uint8_t* page = level.page;
    const int32_t n = page_count(page);
    int32_t lo = 0;
    int32_t hi = n;
    while (lo < hi) {
      const int32_t mid = (lo + hi) / 2;
      if (std::memcmp(key, entry_key(s, page, mid), len) > 0) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    level.index = lo;
    if (lo < n) {
      set_current_key(s, s->current, lo);
      const int32_t recno = entry_recno(s, page, lo);
      if (recno != 0 && std::memcmp(key, entry_key(s, page, lo), len) == 0) return recno;
    }
    // Entry lo's child, or for lo = n the last child slot.
    page_no = entry_child(s, page, lo);
    if (page_no == 0) return 0;
  }
}

int32_t search(IdxHandle* h, const char* key, int32_t length) {
  IndexState* s = state_of(h);
  if (s == nullptr || key == nullptr) return 0;
  size_t len = length > 0 ? static_cast<size_t>(length) : std::strlen(key);
  if (len > static_cast<size_t>(s->key_length)) len = static_cast<size_t>(s->key_length);
  return find(h, s, reinterpret_cast<const uint8_t*>(key), len);
}

}  // namespace osp::index
