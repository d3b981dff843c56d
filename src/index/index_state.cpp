#include "index/index_state.h"

#include <algorithm>
#include <new>

#include "frame/file.h"
#include "frame/report.h"
#include "frame/status.h"
#include "platform/env.h"

namespace osp::index {

namespace {

// Pages of the tree that can exist: below the next free page and inside the
// file, the header not counted.
uint32_t tree_pages(const IndexState* s) {
  const uint32_t limit = s->next_free < s->file_pages ? s->next_free : s->file_pages;
  return limit > 0 ? limit - 1 : 0;
}

// The largest power of two below depth (depth 1: the root, depth 0). A path
// that loops comes back to the page held at that depth once it is deep
// enough, so comparing against it alone finds every loop in a few steps
// beyond the loop's length.
int32_t loop_check_depth(int32_t depth) {
  int32_t p = depth >= 2 ? 1 : 0;
  while (p > 0 && p * 2 < depth) p *= 2;
  return p;
}

bool fail(const IdxHandle* h, IndexState* s, int32_t code) {
  s->failed = true;
  s->current = -1;
  report(h, code);
  return false;
}

// Makes level depth exist: the array of levels grows by doubling, and each
// new level gets its own page buffer.
bool create_level(IndexState* s, int32_t depth) {
  platform::Env* env = platform::env();
  if (depth >= s->level_capacity) {
    const int32_t capacity = s->level_capacity == 0 ? 4 : s->level_capacity * 2;
    auto* grown = static_cast<Level*>(env->allocate(sizeof(Level) * static_cast<size_t>(capacity)));
    if (grown == nullptr) return false;
    if (s->level_count > 0)
      std::memcpy(grown, s->levels, sizeof(Level) * static_cast<size_t>(s->level_count));
    env->release(s->levels);
    s->levels = grown;
    s->level_capacity = capacity;
  }
  auto* page = static_cast<uint8_t*>(env->allocate(kLevelBytes));
  if (page == nullptr) return false;
  s->levels[depth] = Level{page, 0, 0};
  s->level_count = depth + 1;
  return true;
}

CachedPage& cache_slot(IndexState* s, uint32_t page_no) {
  return s->cached[page_no % kCachedPages];
}

// The bytes of the copy in page_no's slot; null while its chunk was never
// needed.
uint8_t* slot_bytes(const IndexState* s, uint32_t page_no) {
  const uint32_t slot = page_no % kCachedPages;
  uint8_t* chunk = s->chunks[slot / kChunkPages];
  return chunk == nullptr ? nullptr : chunk + static_cast<size_t>(slot % kChunkPages) * kPageSize;
}

// The same, taking the slot's chunk first when needed; null without memory
// (the page then goes without a copy).
uint8_t* slot_room(IndexState* s, uint32_t page_no) {
  const uint32_t slot = page_no % kCachedPages;
  uint8_t*& chunk = s->chunks[slot / kChunkPages];
  if (chunk == nullptr)
    chunk = static_cast<uint8_t*>(platform::env()->allocate(static_cast<size_t>(kChunkPages) * kPageSize));
  return slot_bytes(s, page_no);
}

void forget_page(IndexState* s, uint32_t page_no, int32_t keep_level) {
  for (int32_t l = 0; l < s->level_count; ++l)
    if (l != keep_level && s->levels[l].page_no == page_no) s->levels[l].page_no = 0;
  CachedPage& copy = cache_slot(s, page_no);
  if (copy.page_no == page_no) copy.page_no = 0;
}

// Writes a dirty copy to the file; false (reported as 8, write_failed set,
// the copy still dirty) when the write comes out short.
bool write_copy(const IdxHandle* h, IndexState* s, CachedPage& copy) {
  const int64_t pos = static_cast<int64_t>(copy.page_no) * kPageSize;
  if (file_write_at(h->file, pos, slot_bytes(s, copy.page_no), kPageSize) != kPageSize) {
    s->write_failed = true;
    report(h, status::kIndexWriteError);
    return false;
  }
  copy.dirty = false;
  return true;
}

bool is_interior(const IndexState* s, const uint8_t* page, int32_t n) {
  return entry_child(s, page, 0) != 0 || entry_child(s, page, n) != 0;
}

// Whether page page_no (interior or not) may have its slot: a leaf never
// takes an interior page's slot; another page's dirty copy is written out
// first (for a page read, only to make room for an interior page).
bool take_slot(const IdxHandle* h, IndexState* s, CachedPage& copy, uint32_t page_no,
               bool interior, bool read) {
  if (copy.page_no == 0 || copy.page_no == page_no) return true;
  if (copy.interior && !interior) return false;
  if (!copy.dirty) return true;
  if (read && !interior) return false;
  return write_copy(h, s, copy);
}

// Keeps a copy of page page_no, whose bytes are as the file holds them, in
// its slot, unless the page is damaged (more entries than a page takes) or
// the slot is not its to take.
void keep_copy(const IdxHandle* h, IndexState* s, uint32_t page_no, const uint8_t* page) {
  const int32_t n = page_count(page);
  if (n < 0 || n > s->max_keys) return;
  const bool interior = is_interior(s, page, n);
  CachedPage& copy = cache_slot(s, page_no);
  if (!take_slot(h, s, copy, page_no, interior, true)) return;
  uint8_t* bytes = slot_room(s, page_no);
  if (bytes == nullptr) return;
  std::memcpy(bytes, page, kPageSize);
  copy.page_no = page_no;
  copy.interior = interior;
  copy.dirty = false;
}

// Keeps image as the dirty copy of page page_no. False when the image is
// damaged, the slot is not its to take, or the dirty copy there could not
// be written: the caller writes the image itself.
bool keep_dirty(const IdxHandle* h, IndexState* s, uint32_t page_no, const uint8_t* image) {
  const int32_t n = page_count(image);
  if (!s->write_back || n < 0 || n > s->max_keys) return false;
  const bool interior = is_interior(s, image, n);
  CachedPage& copy = cache_slot(s, page_no);
  if (!take_slot(h, s, copy, page_no, interior, false)) return false;
  uint8_t* bytes = slot_room(s, page_no);
  if (bytes == nullptr) return false;
  std::memcpy(bytes, image, kPageSize);
  copy.page_no = page_no;
  copy.interior = interior;
  copy.dirty = true;
  if (!copy.listed) {
    copy.listed = true;
    s->dirty_slots[s->dirty_count++] = static_cast<uint16_t>(page_no % kCachedPages);
  }
  return true;
}

// Fills the level's buffer with page page_no: the copy when one is held,
// else from the file, keeping a copy. False when the read comes out short.
bool load_page(const IdxHandle* h, IndexState* s, Level& level, uint32_t page_no) {
  const CachedPage& copy = cache_slot(s, page_no);
  if (copy.page_no == page_no) {
    std::memcpy(level.page, slot_bytes(s, page_no), kPageSize);
    return true;
  }
  const int64_t pos = static_cast<int64_t>(page_no) * kPageSize;
  if (file_read_at(h->file, pos, level.page, kPageSize) != kPageSize) return false;
  keep_copy(h, s, page_no, level.page);
  return true;
}

void write_image(const IdxHandle* h, IndexState* s, uint32_t page_no, const uint8_t* image,
                 int32_t keep_level) {
  forget_page(s, page_no, keep_level);
  if (keep_dirty(h, s, page_no, image)) {
    if (page_no >= s->file_pages) s->file_pages = page_no + 1;
    return;
  }
  const int64_t pos = static_cast<int64_t>(page_no) * kPageSize;
  if (file_write_at(h->file, pos, image, kPageSize) != kPageSize) {
    s->write_failed = true;
    report(h, status::kIndexWriteError);
    return;
  }
  keep_copy(h, s, page_no, image);
  if (page_no >= s->file_pages) s->file_pages = page_no + 1;
}

}  // namespace

IndexState* state_of(const IdxHandle* h) {
  if (h == nullptr || h->file <= 0) return nullptr;
  return static_cast<IndexState*>(h->state);
}

IndexState* create_state() {
  void* mem = platform::env()->allocate(sizeof(IndexState));
  if (mem == nullptr) return nullptr;
  auto* s = new (mem) IndexState{};
  s->current = -1;
  return s;
}

void destroy_state(IndexState* s) {
  if (s == nullptr) return;
  platform::Env* env = platform::env();
  for (int32_t l = 0; l < s->level_count; ++l) env->release(s->levels[l].page);
  env->release(s->levels);
  for (uint8_t* chunk : s->chunks) env->release(chunk);
  env->release(s);
}

void report(const IdxHandle* h, int32_t code) {
  // The path field is the caller's; never read past its end.
  char subject[sizeof h->path + 1];
  size_t n = 0;
  while (n < sizeof h->path && h->path[n] != '\0') {
    subject[n] = h->path[n];
    ++n;
  }
  subject[n] = '\0';
  report_status(code, subject);
}

void begin_operation(IndexState* s) {
  s->current = -1;
  s->failed = false;
  s->descents = 0;
  s->direction = 0;
}

void begin_move(IndexState* s, int32_t direction) {
  s->failed = false;
  if (s->direction != direction) {
    s->descents = 0;
    s->direction = direction;
  }
}

bool go_down(const IdxHandle* h, IndexState* s, uint32_t page_no, int32_t index) {
  const int32_t depth = s->current + 1;
  if (page_no == 0 || page_no >= s->next_free || page_no > kMaxPageNumber)
    return fail(h, s, status::kIndexReadError);
  // A path through a tree holds each page once, and a walk in one direction
  // goes down into each page at most once: anything longer loops or shares
  // pages.
  const uint32_t pages = tree_pages(s);
  if (static_cast<uint32_t>(depth) >= pages || ++s->descents > pages)
    return fail(h, s, status::kIndexReadError);
  if (depth >= 1 && s->levels[loop_check_depth(depth)].page_no == page_no)
    return fail(h, s, status::kIndexReadError);
  if (depth >= s->level_count && !create_level(s, depth)) return fail(h, s, status::kNoMemory);

  Level& level = s->levels[depth];
  if (level.page_no != page_no) {
    level.page_no = 0;
    if (!load_page(h, s, level, page_no)) return fail(h, s, status::kIndexReadError);
    if (page_count(level.page) > s->max_keys) return fail(h, s, status::kIndexReadError);
    level.page_no = page_no;
  }
  level.index = index;
  s->current = depth;
  return true;
}

void write_level(const IdxHandle* h, IndexState* s, int32_t level) {
  const Level& l = s->levels[level];
  // The count, the entries and the last child slot; for every entry size the
  // header allows they end within the page.
  int32_t used = entry_offset(page_count(l.page), s->entry_size) + 4;
  if (used > kPageSize) used = kPageSize;
  uint8_t image[kPageSize];
  std::memcpy(image, l.page, static_cast<size_t>(used));
  std::memset(image + used, 0, static_cast<size_t>(kPageSize - used));
  write_image(h, s, l.page_no, image, level);
}

void write_page(const IdxHandle* h, IndexState* s, uint32_t page_no, const uint8_t* image) {
  write_image(h, s, page_no, image, -1);
}

bool write_dirty_pages(const IdxHandle* h, IndexState* s) {
  // The listed slots still dirty, in page order, so that the file is
  // written front to back; those whose write fails stay listed.
  int32_t n = 0;
  for (int32_t i = 0; i < s->dirty_count; ++i) {
    CachedPage& c = s->cached[s->dirty_slots[i]];
    if (c.page_no != 0 && c.dirty) {
      s->dirty_slots[n++] = s->dirty_slots[i];
    } else {
      c.listed = false;
    }
  }
  s->dirty_count = n;
  std::sort(s->dirty_slots, s->dirty_slots + n, [s](uint16_t a, uint16_t b) {
    return s->cached[a].page_no < s->cached[b].page_no;
  });
  bool all = true;
  int32_t kept = 0;
  for (int32_t i = 0; i < n; ++i) {
    CachedPage& c = s->cached[s->dirty_slots[i]];
    if (write_copy(h, s, c)) {
      c.listed = false;
    } else {
      all = false;
      s->dirty_slots[kept++] = s->dirty_slots[i];
    }
  }
  s->dirty_count = kept;
  return all;
}

bool has_dirty_pages(const IndexState* s) {
  for (int32_t i = 0; i < s->dirty_count; ++i) {
    const CachedPage& c = s->cached[s->dirty_slots[i]];
    if (c.page_no != 0 && c.dirty) return true;
  }
  return false;
}

void forget_dirty_pages(IndexState* s) {
  for (int32_t i = 0; i < s->dirty_count; ++i) {
    CachedPage& c = s->cached[s->dirty_slots[i]];
    c.dirty = false;
    c.listed = false;
  }
  s->dirty_count = 0;
}

uint32_t take_page(IdxHandle* h, IndexState* s) {
  const uint32_t page_no = s->next_free;
  s->next_free += 1;
  h->header_dirty = 1;
  return page_no;
}

void set_current_key(IndexState* s, int32_t level, int32_t i) {
  std::memcpy(s->key, entry_key(s, s->levels[level].page, i), static_cast<size_t>(s->key_length));
}

}  // namespace osp::index
