// Index files laid out page by page for tests and benchmarks: an empty index
// (one empty leaf as the root) and a tree packed bottom-up from entries that
// are already in key order. Header-only, so that benchmarks can use it too.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "frame/bytes.h"
#include "index/index_format.h"

namespace osp::test {

struct IndexEntry {
  std::string key;  // exactly the key length
  int32_t recno;
  bool operator==(const IndexEntry&) const = default;
};

struct IndexLayout {
  int key_length = 6;
  std::string expression = "KEY";
  // Keys per leaf and per interior page when packing; 0: the maximum.
  int leaf_fill = 0;
  int interior_fill = 0;
};

namespace index_pages_detail {

inline int entry_size(const IndexLayout& l) { return index::entry_size_for(l.key_length); }
inline int max_keys(const IndexLayout& l) { return index::max_keys_for(entry_size(l)); }

inline void put_header(std::vector<uint8_t>& file, const IndexLayout& l, uint32_t root,
                       uint32_t next_free) {
  uint8_t* h = file.data();
  store_u32(h + index::kHdrRoot, root);
  store_u32(h + index::kHdrNextFree, next_free);
  store_i16(h + index::kHdrKeyLength, static_cast<int16_t>(l.key_length));
  store_i16(h + index::kHdrMaxKeys, static_cast<int16_t>(max_keys(l)));
  store_i16(h + index::kHdrKeyType, 0);
  store_i16(h + index::kHdrEntrySize, static_cast<int16_t>(entry_size(l)));
  const std::string text = l.expression + " ";
  std::memcpy(h + index::kHdrExpression, text.data(), text.size());
}

// One page under construction: (child, recno, key) entries and a last child.
struct Page {
  std::vector<uint32_t> children;
  std::vector<int32_t> recnos;
  std::vector<std::string> keys;
  uint32_t last_child = 0;
};

inline void put_page(std::vector<uint8_t>& file, const IndexLayout& l, uint32_t page_no,
                     const Page& p) {
  const int es = entry_size(l);
  if (file.size() < (page_no + 1) * static_cast<size_t>(index::kPageSize))
    file.resize((page_no + 1) * static_cast<size_t>(index::kPageSize), 0);
  uint8_t* page = file.data() + page_no * static_cast<size_t>(index::kPageSize);
  const int n = static_cast<int>(p.keys.size());
  store_u32(page, static_cast<uint32_t>(n));
  for (int i = 0; i < n; ++i) {
    uint8_t* e = page + index::entry_offset(i, es);
    store_u32(e + index::kEntryChild, p.children[i]);
    store_i32(e + index::kEntryRecno, p.recnos[i]);
    std::memcpy(e + index::kEntryKey, p.keys[i].data(),
                std::min<size_t>(p.keys[i].size(), static_cast<size_t>(l.key_length)));
  }
  store_u32(page + index::entry_offset(n, es), p.last_child);
}

}  // namespace index_pages_detail

// An index with no entries: the header and one empty leaf (page 1) as root.
inline std::vector<uint8_t> empty_index(const IndexLayout& l = {}) {
  std::vector<uint8_t> file(2 * index::kPageSize, 0);
  index_pages_detail::put_header(file, l, 1, 2);
  return file;
}

// A tree holding sorted (already in key order), leaves first, each level
// packed left to right. Every interior page keeps its greatest child as the
// last child, so each separator is the greatest key of its subtree.
inline std::vector<uint8_t> packed_index(const std::vector<IndexEntry>& sorted,
                                         const IndexLayout& l = {}) {
  using namespace index_pages_detail;
  if (sorted.empty()) return empty_index(l);
  const int leaf_fill = l.leaf_fill > 0 ? l.leaf_fill : max_keys(l);
  const int interior_fill = l.interior_fill > 0 ? l.interior_fill : max_keys(l);
  std::vector<uint8_t> file(index::kPageSize, 0);
  uint32_t next = 1;
  // (page number, greatest key) of the level just written.
  std::vector<std::pair<uint32_t, std::string>> level;
  for (size_t i = 0; i < sorted.size(); i += static_cast<size_t>(leaf_fill)) {
    Page p;
    const size_t end = std::min(sorted.size(), i + static_cast<size_t>(leaf_fill));
    for (size_t j = i; j < end; ++j) {
      p.children.push_back(0);
      p.recnos.push_back(sorted[j].recno);
      p.keys.push_back(sorted[j].key);
    }
    put_page(file, l, next, p);
    level.emplace_back(next++, sorted[end - 1].key);
  }
  while (level.size() > 1) {
    std::vector<std::pair<uint32_t, std::string>> up;
    // interior_fill keys and one child more per page.
    const size_t per_page = static_cast<size_t>(interior_fill) + 1;
    for (size_t i = 0; i < level.size(); i += per_page) {
      const size_t end = std::min(level.size(), i + per_page);
      Page p;
      for (size_t j = i; j + 1 < end; ++j) {
        p.children.push_back(level[j].first);
        p.recnos.push_back(0);
        p.keys.push_back(level[j].second);
      }
      p.last_child = level[end - 1].first;
      put_page(file, l, next, p);
      up.emplace_back(next++, level[end - 1].second);
    }
    level = std::move(up);
  }
  put_header(file, l, level[0].first, next);
  return file;
}

}  // namespace osp::test
