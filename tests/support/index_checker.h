// A full validity check of an index file's tree, independent of the library:
// it reads the bytes itself and walks every reachable page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/index_pages.h"

namespace osp::test {

struct IndexCheck {
  std::string error;  // the first problem found; empty when the tree is valid
  std::vector<IndexEntry> entries;  // every entry in tree order
  int depth = 0;                    // levels from the root to the leaves
  uint32_t pages = 0;               // pages reached
  bool ok() const { return error.empty(); }
};

// Checks the index in file: a header the library accepts; a root and
// children below the next free page, each page reached once; page counts
// within the maximum keys; every leaf at the same depth; leaf entries with
// child 0 and a record number, interior entries with record number 0 and a
// child; every separator equal to the greatest key of its subtree; keys in
// non-decreasing order; no empty page but an empty root. root and next_free,
// when given, stand in for the header's (an open index holds them until it
// flushes).
IndexCheck check_index(const std::vector<uint8_t>& file, std::optional<uint32_t> root = {},
                       std::optional<uint32_t> next_free = {});

// The same for the file at path.
IndexCheck check_index_file(const std::string& path, std::optional<uint32_t> root = {},
                            std::optional<uint32_t> next_free = {});

}  // namespace osp::test
