// The library-owned state of an open index and the page traffic shared by
// search, the cursor moves and the edits: one level buffer per tree level
// from the root (level 0) down, loaded only when the wanted page differs from
// the one it holds, and changed pages kept as copies that are written back
// when their slot is wanted for another page, at a flush and at the close.
#pragma once

#include <cstdint>
#include <cstring>

#include "frame/bytes.h"
#include "index/index_format.h"
#include "osprey32.h"

namespace osp::index {

// One tree level: a page, its number (0 = none) and the cursor's entry index
// within it.
struct Level {
  uint8_t* page;  // kLevelBytes
  uint32_t page_no;
  int32_t index;
};

// Copies of pages of the tree, kept after they were read or written so that
// a search that goes down through one again need not read it from the file:
// the pages near the root are met by nearly every search, and a run of
// insertions goes back to the same few leaves (the last of each run of equal
// keys). A slot is chosen by the page number; a leaf read never takes the
// slot of an interior page (a page with children), and no page read takes
// the slot of a changed one. A changed page is kept as a dirty copy instead
// of being written: its slot taken for another changed page writes it
// first, and write_dirty_pages (flush, close) writes them all, so that a run
// of insertions into the same leaves writes each once. A page whose image is
// damaged (more entries than a page takes), or whose slot's dirty page could
// not be written, is written at once.
// The copies' bytes are taken in chunks of kChunkPages pages as slots are
// first used, so that an index of a few pages costs a few chunks and one
// of up to kCachedPages pages (2 MiB) is held whole.
inline constexpr int kCachedPages = 4096;
inline constexpr int kChunkPages = 64;
struct CachedPage {
  uint32_t page_no;  // 0 = empty
  bool interior;
  bool dirty;   // changed since the file last had it
  bool listed;  // in the state's list of slots that were made dirty
};

struct IndexState {
  uint8_t header[kHeaderStateBytes];  // the header's first bytes as read
  uint32_t root;
  uint32_t next_free;
  int32_t key_length;
  int32_t max_keys;
  int32_t entry_size;
  uint32_t file_pages;  // pages the file holds, header included, as far as known

  Level* levels;  // level_count buffers created so far, room for level_capacity
  int32_t level_count;
  int32_t level_capacity;
  int32_t current;  // the deepest level the cursor reached; -1 = none

  // Set when a page read or an allocation failed during the operation under
  // way.
  bool failed;
  // The pages gone down into since the cursor was placed or last turned
  // round, and the way it has been moving (1 forward, -1 backward, 0 not
  // yet). Walking one way through a tree enters each page once.
  uint32_t descents;
  int32_t direction;
  // Set when a page write failed; cleared when an edit begins.
  bool write_failed;
  // Changed pages are kept as dirty copies (not for a read-only file).
  bool write_back;

  CachedPage cached[kCachedPages];
  uint8_t* chunks[kCachedPages / kChunkPages];  // the copies' bytes, null until used
  // The slots made dirty since the last write_dirty_pages (some may have
  // been written or forgotten since), so that a flush looks at those only.
  uint16_t dirty_slots[kCachedPages];
  int32_t dirty_count;

  uint8_t key[kMaxKeyLength];        // the key the cursor last stood on
  uint8_t separator[kMaxKeyLength];  // a split's separator on its way up
};

// The state of an open handle, or null when the handle is closed.
IndexState* state_of(const IdxHandle* h);

// Creates a state for a header whose first kHeaderStateBytes bytes the
// caller copies in afterwards. Returns null when memory cannot be had.
IndexState* create_state();
// Releases the state and every level buffer; null is ignored.
void destroy_state(IndexState* s);

// Shows code's message with the handle's path as subject.
void report(const IdxHandle* h, int32_t code);

// Starts a search or an edit, or places the cursor at either end: no current
// level, no failure, no descents.
void begin_operation(IndexState* s);

// Starts a move in direction (1 forward, -1 backward) from where the cursor
// stands: no failure; the count of descents starts again when the cursor
// turns round.
void begin_move(IndexState* s, int32_t direction);

// Goes down from the current level (to level 0 when there is none) into
// page_no: creates that level's buffer the first time the tree is that deep,
// reads the page when the buffer holds another (from the copies of interior
// pages when one is there), sets the level's index and makes it current. Refuses, reporting 7, a page number of 0, one at or
// beyond the next free page, a page that comes back to one already on the
// path, a path deeper than the file has pages, more descents in one walk in
// one direction than the file has pages (pages that loop or are shared), and
// a page whose count exceeds the maximum keys; a read that comes out short is 7 and
// a buffer that cannot be created 6. On failure sets failed, leaves no
// current level and returns false.
bool go_down(const IdxHandle* h, IndexState* s, uint32_t page_no, int32_t index);

// Writes the page held at level: its count, entries and last child slot, the
// rest of the page zero. A short write is reported as 8. Any other level
// holding the same page forgets it.
void write_level(const IdxHandle* h, IndexState* s, int32_t level);

// Writes a 512-byte page image under page_no; a short write is reported as 8.
// Any level holding that page forgets it.
void write_page(const IdxHandle* h, IndexState* s, uint32_t page_no, const uint8_t* image);

// Writes every dirty copy to the file, in page order. Returns true when all
// reached it; a short write is reported as 8, sets write_failed and leaves
// that copy dirty for the next try.
bool write_dirty_pages(const IdxHandle* h, IndexState* s);

// True when a copy is dirty (changed pages not yet in the file).
bool has_dirty_pages(const IndexState* s);

// Forgets every dirty copy's changes (for a file about to be deleted).
void forget_dirty_pages(IndexState* s);

// Takes the next free page number, raising the header's next free page and
// marking the header dirty.
uint32_t take_page(IdxHandle* h, IndexState* s);

// Copies the key of entry i of the page at level into the current key.
void set_current_key(IndexState* s, int32_t level, int32_t i);

// Page fields. A page's count is held in its low two bytes.
inline int32_t page_count(const uint8_t* page) { return load_u16(page + kPageCount); }
inline void set_page_count(uint8_t* page, int32_t n) {
  store_u32(page + kPageCount, static_cast<uint32_t>(n));
}
inline uint8_t* entry_at(const IndexState* s, uint8_t* page, int32_t i) {
  return page + entry_offset(i, s->entry_size);
}
inline const uint8_t* entry_at(const IndexState* s, const uint8_t* page, int32_t i) {
  return page + entry_offset(i, s->entry_size);
}
// The child of entry i; for i = count this is the last child slot.
inline uint32_t entry_child(const IndexState* s, const uint8_t* page, int32_t i) {
  return load_u32(entry_at(s, page, i) + kEntryChild);
}
inline int32_t entry_recno(const IndexState* s, const uint8_t* page, int32_t i) {
  return load_i32(entry_at(s, page, i) + kEntryRecno);
}
inline const uint8_t* entry_key(const IndexState* s, const uint8_t* page, int32_t i) {
  return entry_at(s, page, i) + kEntryKey;
}
// Stores a key into entry i: key length bytes, the rest of the entry zero.
inline void store_entry_key(const IndexState* s, uint8_t* page, int32_t i, const uint8_t* key) {
  uint8_t* at = entry_at(s, page, i) + kEntryKey;
  std::memcpy(at, key, static_cast<size_t>(s->key_length));
  std::memset(at + s->key_length, 0, static_cast<size_t>(s->entry_size - kEntryKey - s->key_length));
}

}  // namespace osp::index
