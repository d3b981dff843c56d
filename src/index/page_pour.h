// Index building, phase 3: the sorted entries are poured bottom-up into B-tree
// pages in one pass, without reading any page back.
//
// Every page is filled to the most entries a page holds (an interior page to
// that many keys plus its right pointer), except the last pages built, which
// take what remains. Pages are numbered in the order they are finished,
// children before their parent, so the root is the last page written. The
// complete tree of height h becomes the first child of a root of height h + 1
// whose other children are full subtrees of height h built while entries
// remain; an interior page may so end up with no keys and only its right
// pointer. Bytes after a page's right pointer are zero.
#pragma once

#include <cstdint>

#include "frame/file.h"
#include "index/runs.h"

namespace osp::index {

// The deepest tree the builder makes: a page holds at least one key, so a
// tree of 2^31 entries is at most 31 levels high.
inline constexpr int kMaxTreeHeight = 40;

struct PourResult {
  uint32_t root = 0;
  uint32_t next_page = 1;  // the pages in the file, header included
};

// Empties index_file and writes the tree of the count entries that sorted
// holds from its start, pages from 1 on; the header page is left alone. Uses
// space's chunk: one half for reading entries, the other for writing pages
// several at a time. Returns 0; 8 when the file cannot be
// emptied or a page is written short (the build goes on); 23 when the sorted
// file is read short; 6 when a page buffer cannot be allocated. The last
// failure wins. result is meaningful only on 0.
int32_t pour_pages(FileHandle sorted, FileHandle index_file, const SortSpace& space,
                   uint32_t count, PourResult* result);

}  // namespace osp::index
