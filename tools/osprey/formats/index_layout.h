// An index file as its bytes show it: 512-byte pages, page 0 the header,
// tree pages from 1. A tree page holds a 4-byte count, then that many entries
// of (child page u32, record number u32, key) each the header's entry size
// long, then the last child u32. A leaf's last child is 0; its entries carry
// record numbers in key order. An interior entry's key is the greatest key
// under its child.
//
// Written from the layout alone, without the library: the command reads and
// checks indexes with it, and the test suite checks what the library writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace osprey_tool {

inline constexpr uint32_t kIndexPageSize = 512;

// Header page offsets.
inline constexpr size_t kIndexRoot = 0;         // u32 root page number
inline constexpr size_t kIndexNextFree = 4;     // u32 pages in the file, the header's included
inline constexpr size_t kIndexKeyLength = 12;   // i16
inline constexpr size_t kIndexMaxKeys = 14;     // i16 keys per page
inline constexpr size_t kIndexKeyType = 16;     // i16 0: character
inline constexpr size_t kIndexEntrySize = 18;   // i16
inline constexpr size_t kIndexUnique = 23;      // u8 0
inline constexpr size_t kIndexExpression = 24;  // the expression, a blank, a NUL

// Tree page offsets: the count, the entries; within an entry, the child,
// the record number and the key.
inline constexpr size_t kIndexCount = 0;
inline constexpr size_t kIndexEntries = 4;
inline constexpr size_t kIndexEntryChild = 0;
inline constexpr size_t kIndexEntryRecno = 4;
inline constexpr size_t kIndexEntryKey = 8;

inline constexpr int kIndexMaxKeyLength = 256;

// No index is deeper: with at least two children to an interior page, 64
// levels take more pages than 32-bit page numbers count. The walk goes no
// deeper, so that a damaged chain of pages cannot run it out of stack.
inline constexpr int kIndexDeepest = 64;

// The entry size for a key length: 8 + the key rounded up to a multiple of 4.
constexpr int index_entry_size_for(int key_length) { return ((key_length - 1) & ~3) + 12; }

// Entries of entry_size that fit the 508 bytes of a page after its count.
constexpr int index_max_keys_for(int entry_size) {
  return entry_size > 0 ? static_cast<int>(kIndexPageSize - kIndexEntries) / entry_size : 0;
}

struct IndexHeader {
  uint32_t root = 0;
  uint32_t next_free = 0;
  int16_t key_length = 0;
  int16_t max_keys = 0;
  int16_t key_type = 0;
  int16_t entry_size = 0;
  uint8_t unique = 0;
  std::string expression;  // the bytes at offset 24 up to their NUL, its blank kept
};

// The header fields from the start of an index file; a field the bytes do not
// hold reads as 0.
IndexHeader read_index_header(std::span<const uint8_t> file);

// One tree page as stored.
struct IndexPage {
  uint32_t number = 0;
  uint32_t count = 0;  // as stored
  struct Entry {
    uint32_t child;
    uint32_t recno;
    std::string key;  // the key length's bytes
  };
  std::vector<Entry> entries;
  uint32_t right = 0;  // the child after the last entry; 0 in a leaf
  bool leaf() const { return right == 0; }
};

// Reads page number with the header's entry layout. Entries are read up to
// the count as far as they lie within the page and the file, and only when an
// entry has room for its key; a key past the file's end reads as empty.
IndexPage read_index_page(std::span<const uint8_t> file, const IndexHeader& header,
                          uint32_t number);

// Why the walk does not go into a page.
enum class IndexPageFault {
  kOutOfRange,     // page 0, or at or past the header's next free page
  kBeyondFile,     // the page does not lie wholly within the file
  kTooDeep,        // more than kIndexDeepest levels down
  kReachedTwice,   // a page already walked: a cycle, or two parents
  kCountAboveMax,  // its count above the header's keys per page
};

// What a subtree holds: whether any entry, and its greatest key.
struct IndexSubtree {
  bool any = false;
  std::string greatest;
};

// Told of each step of a walk; each call returns false to stop it.
class IndexTreeVisitor {
 public:
  virtual ~IndexTreeVisitor() = default;
  // A page the walk does not go into (count: the page's count, for
  // kCountAboveMax). Going on walks the rest of the tree.
  virtual bool fault(IndexPageFault fault, uint32_t page, int depth, uint32_t count) = 0;
  // A page entered (the root at depth 1) and read; leaves come in key order.
  virtual bool page(const IndexPage& page, int depth) = 0;
  // Around the walk into child i of an interior page, i == entries.size()
  // being the last child; after_child is told what the child's subtree holds.
  virtual bool before_child(const IndexPage&, size_t, int) { return true; }
  virtual bool after_child(const IndexPage&, size_t, const IndexSubtree&) { return true; }
};

// Walks the tree from header.root in key order, depth first, going into each
// page once and reading no byte outside the file; header.next_free bounds the
// page numbers. A caller that has an open index's root and next free page (the
// library holds them until it flushes) puts them into header. Returns false
// when the visitor stopped the walk.
bool walk_index_tree(std::span<const uint8_t> file, const IndexHeader& header,
                     IndexTreeVisitor& visitor);

}  // namespace osprey_tool
