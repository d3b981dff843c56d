// The edits of an index tree: insert and remove (index_file.h).
#include "index/index_file.h"

#include <cstring>

#include "frame/status.h"
#include "index/index_state.h"

namespace osp::index {

// Insertion: the new entry goes into its leaf after every equal key; a page
// that overflows splits in two, its separator going up into the parent, and
// a root that splits gets a new root above it.
namespace {

// New pages an insertion at level will take: one for each full page from
// there up, and one more for a new root when the root is full too.
uint64_t pages_needed(const IndexState* s, int32_t level) {
  uint64_t needed = 0;
  for (int32_t l = level; l >= 0; --l) {
    if (page_count(s->levels[l].page) < s->max_keys) return needed;
    needed += 1;
  }
  return needed + 1;
}

// Leaves the cursor where the key goes: after the last entry equal to it.
// Each page is searched for its first entry whose key is above the new one
// and the walk goes down through that entry's child (the last child when no
// key is above): a separator is the greatest key of its subtree, so entries
// equal to the new key all lie to the left of the path, and a run of equal
// keys, however long, costs no more than one descent.
bool position_for(const IdxHandle* h, IndexState* s, const uint8_t* key) {
  const auto len = static_cast<size_t>(s->key_length);
  begin_operation(s);
  uint32_t page_no = s->root;
  for (;;) {
    if (!go_down(h, s, page_no, 0)) return false;
    Level& level = s->levels[s->current];
    const int32_t n = page_count(level.page);
    int32_t lo = 0;
    int32_t hi = n;
    while (lo < hi) {
      const int32_t mid = (lo + hi) / 2;
      if (std::memcmp(key, entry_key(s, level.page, mid), len) >= 0) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
    level.index = lo;
    page_no = entry_child(s, level.page, lo);
    if (page_no == 0) return true;
  }
}

// Splits the overfull page held at level (count entries): the page keeps its
// number and its first entries, the rest move to a new page that the level
// then holds. Leaves the separator (the greatest key kept) in s->separator
// and returns the new page's number.
uint32_t split(IdxHandle* h, IndexState* s, int32_t level, bool leaf) {
  Level& l = s->levels[level];
  uint8_t* page = l.page;
  const int32_t count = page_count(page);
  const int32_t m = (count + 1) / 2;
  const int32_t es = s->entry_size;
  std::memcpy(s->separator, entry_key(s, page, m - 1), static_cast<size_t>(s->key_length));

  // A leaf keeps m entries; an interior page keeps m - 1, and entry m - 1's
  // child becomes its last child.
  const int32_t kept = leaf ? m : m - 1;
  const int32_t used = entry_offset(kept, es) + 4;
  uint8_t image[kPageSize];
  std::memcpy(image, page, static_cast<size_t>(used));
  set_page_count(image, kept);
  std::memset(image + used, 0, static_cast<size_t>(kPageSize - used));
  const uint32_t left_no = l.page_no;
  write_page(h, s, left_no, image);

  const uint32_t right_no = take_page(h, s);
  std::memmove(page + kPageEntries, entry_at(s, page, m),
               static_cast<size_t>((count - m) * es + 4));
  set_page_count(page, count - m);
  l.page_no = right_no;
  write_level(h, s, level);
  return right_no;
}

// Puts a new root above the old one: the separator between the old root
// (now the left half) and the page split off it.
void grow_root(IdxHandle* h, IndexState* s, uint32_t right_no) {
  const uint32_t root_no = take_page(h, s);
  uint8_t image[kPageSize] = {};
  set_page_count(image, 1);
  store_u32(entry_at(s, image, 0) + kEntryChild, s->root);
  store_entry_key(s, image, 0, s->separator);
  store_u32(entry_at(s, image, 1) + kEntryChild, right_no);
  write_page(h, s, root_no, image);
  s->root = root_no;
  h->header_dirty = 1;
  // Every page now lies one level deeper than the buffer that holds it.
  for (int32_t l = 0; l < s->level_count; ++l) s->levels[l].page_no = 0;
}

}  // namespace

int32_t insert(IdxHandle* h, const char* key_bytes, int32_t recno) {
  IndexState* s = state_of(h);
  if (s == nullptr || key_bytes == nullptr || recno == 0) return status::kCannotOpen;
  s->write_failed = false;
  const auto* key = reinterpret_cast<const uint8_t*>(key_bytes);
  if (!position_for(h, s, key)) {
    s->current = -1;
    return status::kIndexReadError;
  }

  int32_t level = s->current;
  {
    const Level& leaf = s->levels[level];
    if (leaf.index < 0 || leaf.index > page_count(leaf.page)) {
      s->current = -1;
      return status::kIndexReadError;
    }
  }
  // Refuse before anything is written when the pages a cascade of splits
  // would take lie beyond what the file can address.
  if (static_cast<uint64_t>(s->next_free) + pages_needed(s, level) >
      static_cast<uint64_t>(kMaxPageNumber) + 1) {
    report(h, status::kIndexWriteError);
    s->current = -1;
    return status::kIndexWriteError;
  }

  const uint8_t* entry_key_bytes = key;
  int32_t entry_recno_value = recno;
  uint32_t right_child = 0;
  bool leaf = true;
  const int32_t es = s->entry_size;
  for (;;) {
    Level& l = s->levels[level];
    uint8_t* page = l.page;
    const int32_t n = page_count(page);
    const int32_t i = l.index;
    // Open a gap of one entry from entry i's record number to the end of the
    // last child slot; entry i keeps its child, the left neighbour of the key.
    uint8_t* from = entry_at(s, page, i) + kEntryRecno;
    uint8_t* end = entry_at(s, page, n) + 4;
    std::memmove(from + es, from, static_cast<size_t>(end - from));
    store_i32(entry_at(s, page, i) + kEntryRecno, entry_recno_value);
    store_entry_key(s, page, i, entry_key_bytes);
    store_u32(entry_at(s, page, i + 1) + kEntryChild, right_child);
    set_page_count(page, n + 1);
    if (n + 1 <= s->max_keys) {
      write_level(h, s, level);
      break;
    }
    const uint32_t right_no = split(h, s, level, leaf);
    if (level == 0) {
      grow_root(h, s, right_no);
      break;
    }
    // The separator goes into the parent at the index through which the
    // cursor came down, with the new page as its right neighbour.
    level -= 1;
    entry_key_bytes = s->separator;
    entry_recno_value = 0;
    right_child = right_no;
    leaf = false;
  }
  s->current = -1;
  return s->write_failed ? status::kIndexWriteError : status::kOk;
}

// Removal of the entry under the cursor, from its leaf upwards, without
// merging or rebalancing: a page that empties stays in the file and its
// parent drops the pointer to it; a page whose greatest key changes hands the
// new greatest key up to the first ancestor that records it as a separator.
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
