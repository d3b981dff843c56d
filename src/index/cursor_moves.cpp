// The cursor's search and its four moves. The cursor is a path of levels from
// the root down, each with the index of the entry it stands on; next and back
// step through the current page, go down into children and come back up past
// a page's end.
#include "index/cursor_moves.h"

#include <cstring>

#include "index/index_file.h"
#include "index/index_state.h"

namespace osp::index {

// Search: down from the root, a binary search on each page for the first
// entry whose key is not below the wanted prefix.
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

// The four cursor moves. The cursor is a path of levels from the root down,
// each with the index of the entry it stands on; next and back step through
// the current page, go down into children and come back up past a page's end.
namespace {

// Goes down from the root, through entry 0's child (last: the last child
// slot) on each page, until a page without that child. False on failure.
bool descend_edge(const IdxHandle* h, IndexState* s, bool last) {
  begin_operation(s);
  uint32_t page_no = s->root;
  for (;;) {
    if (!go_down(h, s, page_no, 0)) return false;
    Level& level = s->levels[s->current];
    const int32_t n = page_count(level.page);
    level.index = last ? n : 0;
    page_no = entry_child(s, level.page, level.index);
    if (page_no == 0) return true;
  }
}

}  // namespace

int32_t step_forward(const IdxHandle* h, IndexState* s) {
  while (s->current >= 0) {
    Level* level = &s->levels[s->current];
    const int32_t n = page_count(level->page);
    bool went_down = false;
    for (int32_t i = level->index + 1; i <= n; ++i) {
      if (i < n) {
        const int32_t recno = entry_recno(s, level->page, i);
        if (recno != 0) {
          level->index = i;
          set_current_key(s, s->current, i);
          return recno;
        }
      }
      // Entry i's child, or at i = n the last child slot.
      const uint32_t child = entry_child(s, level->page, i);
      if (child != 0) {
        level->index = i;
        if (!go_down(h, s, child, -1)) return 0;
        went_down = true;
        break;
      }
    }
    if (!went_down) {
      level->index = n + 1;
      s->current -= 1;
    }
  }
  return 0;
}

int32_t step_backward(const IdxHandle* h, IndexState* s) {
  while (s->current >= 0) {
    Level* level = &s->levels[s->current];
    const int32_t n = page_count(level->page);
    bool went_down = false;
    // Never beyond the last child slot, whatever the index says.
    int32_t i = level->index - 1;
    if (i > n) i = n;
    for (; i >= 0; --i) {
      if (i < n) {
        const int32_t recno = entry_recno(s, level->page, i);
        if (recno != 0) {
          level->index = i;
          set_current_key(s, s->current, i);
          return recno;
        }
      }
      const uint32_t child = entry_child(s, level->page, i);
      if (child != 0) {
        level->index = i;
        if (!go_down(h, s, child, 0)) return 0;
        // Past the child's end, so that the next step lands on its last
        // child slot.
        Level& below = s->levels[s->current];
        below.index = page_count(below.page) + 1;
        went_down = true;
        break;
      }
    }
    if (!went_down) {
      level->index = -1;
      s->current -= 1;
    }
  }
  return 0;
}


int32_t top(IdxHandle* h) {
  IndexState* s = state_of(h);
  if (s == nullptr || !descend_edge(h, s, false)) return 0;
  s->direction = 1;
  Level& leaf = s->levels[s->current];
  if (page_count(leaf.page) > 0) {
    const int32_t recno = entry_recno(s, leaf.page, 0);
    if (recno != 0) {
      set_current_key(s, s->current, 0);
      return recno;
    }
  }
  // An empty first leaf: the first entry, if any, lies further on.
  leaf.index = -1;
  return step_forward(h, s);
}

int32_t bottom(IdxHandle* h) {
  IndexState* s = state_of(h);
  if (s == nullptr || !descend_edge(h, s, true)) return 0;
  s->direction = -1;
  Level& leaf = s->levels[s->current];
  const int32_t n = page_count(leaf.page);
  if (n > 0) {
    const int32_t recno = entry_recno(s, leaf.page, n - 1);
    if (recno != 0) {
      leaf.index = n - 1;
      set_current_key(s, s->current, n - 1);
      return recno;
    }
  }
  leaf.index = n + 1;
  return step_backward(h, s);
}

int32_t next(IdxHandle* h) {
  IndexState* s = state_of(h);
  if (s == nullptr) return 0;
  begin_move(s, 1);
  return step_forward(h, s);
}

int32_t back(IdxHandle* h) {
  IndexState* s = state_of(h);
  if (s == nullptr) return 0;
  begin_move(s, -1);
  return step_backward(h, s);
}

}  // namespace osp::index
