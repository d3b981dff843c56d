// An independent reader and checker of index files: it walks a file's pages
// from the root, checks the tree's shape and yields the entries in order.
// Written from the file layout alone, without the library's index code.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace osp::test {

struct IndexHeader {
  uint32_t root = 0;
  uint32_t next_free = 0;
  int16_t key_length = 0;
  int16_t max_keys = 0;
  int16_t key_type = 0;
  int16_t entry_size = 0;
  uint8_t unique = 0;
  std::string expression;  // the text at offset 24 up to its NUL
};

struct IndexEntry {
  std::string key;
  uint32_t recno = 0;
  bool operator==(const IndexEntry&) const = default;
};

// One tree page as stored.
struct IndexPage {
  uint32_t number = 0;
  uint32_t count = 0;
  struct Entry {
    uint32_t child;
    uint32_t recno;
    std::string key;
  };
  std::vector<Entry> entries;
  uint32_t right = 0;  // the child after the last entry; 0 in a leaf
  bool leaf() const { return right == 0; }
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

// Reads the header of an index file image.
IndexHeader read_index_header(const std::vector<uint8_t>& file);

// Reads page number of an index file image with the header's entry layout.
// The count is taken as stored; entries beyond the page are not read.
IndexPage read_index_page(const std::vector<uint8_t>& file, const IndexHeader& header,
                          uint32_t number);

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
