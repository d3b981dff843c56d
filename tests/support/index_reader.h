// An independent reader and checker of index files: it walks a file's pages
// from the root, checks the tree's shape and yields the entries in order.
// Written from the file layout alone, without the library's index code: the
// walk is the command's (tools/osprey/formats/index_layout.h); the checks and
// what they say are the tests' own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/index_layout.h"

namespace osp::test {

// The header and the pages as the command's formats/ reader reads them.
using IndexHeader = osprey_tool::IndexHeader;
using IndexPage = osprey_tool::IndexPage;
using osprey_tool::read_index_header;
using osprey_tool::read_index_page;

struct IndexEntry {
  std::string key;
  uint32_t recno = 0;
  bool operator==(const IndexEntry&) const = default;
};

struct IndexTree {
  IndexHeader header;
  std::vector<IndexEntry> entries;  // in tree order
  std::vector<IndexPage> pages;     // in the order the walk reached them
  int height = 0;                   // levels, a lone leaf being 1
  std::vector<std::string> faults;  // empty when the file is sound
  bool ok() const { return faults.empty(); }
  std::string fault_text() const;
};

// Walks the index file at path and checks: the header's entry size, keys per
// page, key type and unique flag; that the file holds the header's pages;
// that every page is reached once, with its count within bounds; that leaf
// entries have child 0 and a record number, interior entries a child within
// the file and record number 0; that every leaf lies at the same depth; that
// each interior key equals the greatest key of its child's subtree and no
// subtree under a key is empty; and that the entries ascend by key, equal
// keys by record number.
IndexTree read_index(const std::string& path);

}  // namespace osp::test
