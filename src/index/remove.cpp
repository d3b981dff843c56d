// Removal of the entry under the cursor, from its leaf upwards, without
// merging or rebalancing: a page that empties stays in the file and its
// parent drops the pointer to it; a page whose greatest key changes hands the
// new greatest key up to the first ancestor that records it as a separator.
#include <cstring>

#include "frame/status.h"
#include "index/index_file.h"
#include "index/index_state.h"

namespace osp::index {

int32_t remove(IdxHandle* h) {
  IndexState* s = state_of(h);
  if (s == nullptr) return status::kCannotOpen;
  if (s->current < 0) return status::kOk;
  s->write_failed = false;
  {
    // Only an entry the cursor stands on can be removed.
    const Level& leaf = s->levels[s->current];
    const int32_t i = leaf.index;
    if (i < 0 || i >= page_count(leaf.page) || entry_recno(s, leaf.page, i) == 0)
      return status::kOk;
  }

  const int32_t es = s->entry_size;
  const auto key_bytes = static_cast<size_t>(s->key_length);
  bool pending = false;  // s->separator holds a new greatest key for the parent
  for (int32_t level = s->current; level >= 0; --level) {
    Level& l = s->levels[level];
    uint8_t* page = l.page;
    const int32_t n = page_count(page);
    const int32_t i = l.index;
    if (i < 0 || i > n) break;

    if (pending) {
      // The page's last child changed its greatest key: so did the page.
      if (i == n) continue;
      store_entry_key(s, page, i, s->separator);
      write_level(h, s, level);
      break;
    }
    if (n == 0) {
      // The only child of an empty page emptied: drop it and go on up.
      store_u32(entry_at(s, page, 0) + kEntryChild, 0);
      write_level(h, s, level);
      continue;
    }
    if (i < n && i == n - 1 && entry_child(s, page, i) == 0) {
      // The last entry of a leaf.
      if (n == 1) {
        set_page_count(page, 0);
        write_level(h, s, level);
        continue;
      }
      std::memcpy(s->separator, entry_key(s, page, i - 1), key_bytes);
      pending = true;
      set_page_count(page, n - 1);
      write_level(h, s, level);
      continue;
    }
    if (i == n) {
      // The last child's subtree emptied: entry n - 1's child takes its place
      // and its key becomes the page's greatest.
      std::memcpy(s->separator, entry_key(s, page, n - 1), key_bytes);
      pending = true;
      set_page_count(page, n - 1);
      write_level(h, s, level);
      continue;
    }
    // Close the gap over entry i: the entries after it and the last child
    // slot move down by one entry.
    uint8_t* at = entry_at(s, page, i);
    const uint8_t* end = entry_at(s, page, n) + 4;
    std::memmove(at, at + es, static_cast<size_t>(end - (at + es)));
    set_page_count(page, n - 1);
    write_level(h, s, level);
    break;
  }
  s->current = -1;
  return s->write_failed ? status::kIndexWriteError : status::kOk;
}

}  // namespace osp::index
