// Helpers shared by the index tests: an index opened for the length of a
// test, walks in both directions, and the tree check with the root and next
// free page the open index still holds.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "index/index_file.h"
#include "index/index_state.h"
#include "osprey32.h"
#include "support/index_checker.h"
#include "support/index_pages.h"
#include "support/temp_dir.h"

namespace osp::test {

// An IdxHandle opened on path for the scope (closed at its end if still open).
struct OpenIndex {
  IdxHandle h{};
  int32_t status = -1;
  explicit OpenIndex(const std::string& path) {
    std::memset(&h, 0, sizeof h);
    std::strncpy(h.path, path.c_str(), sizeof h.path - 1);
    status = idx_open(h.path, &h);
  }
  ~OpenIndex() {
    if (h.file > 0) idx_close(&h);
  }
  OpenIndex(const OpenIndex&) = delete;
  OpenIndex& operator=(const OpenIndex&) = delete;
  IdxHandle* operator->() { return &h; }
  IdxHandle* get() { return &h; }
  index::IndexState* state() { return static_cast<index::IndexState*>(h.state); }
  std::string key() const {
    return std::string(index::current_key(&h), static_cast<size_t>(index::key_length(&h)));
  }
};

inline std::vector<int32_t> walk_forward(IdxHandle* h) {
  std::vector<int32_t> out;
  for (int32_t r = idx_top(h); r != 0; r = idx_next(h)) out.push_back(r);
  return out;
}

inline std::vector<int32_t> walk_backward(IdxHandle* h) {
  std::vector<int32_t> out;
  for (int32_t r = idx_bottom(h); r != 0; r = idx_back(h)) out.push_back(r);
  return out;
}

inline std::vector<int32_t> recnos_of(const std::vector<IndexEntry>& entries) {
  std::vector<int32_t> out;
  for (const auto& e : entries) out.push_back(e.recno);
  return out;
}

// The bytes of an open index's file, once the pages it keeps changed are in it.
inline std::vector<uint8_t> file_of(OpenIndex& idx, const std::string& path) {
  EXPECT_TRUE(index::write_dirty_pages(idx.get(), idx.state()));
  return read_file(path);
}

// The tree check of an open index's file, with the root and next free page
// the state holds, once the pages it keeps changed are in the file.
inline IndexCheck check_open(OpenIndex& idx, const std::string& path) {
  EXPECT_TRUE(index::write_dirty_pages(idx.get(), idx.state()));
  return check_index_file(path, idx.state()->root, idx.state()->next_free);
}

// Entries with keys "K00000", "K00001", ... (key length 6) and recnos 1, 2, ...
inline std::vector<IndexEntry> numbered_entries(int count, int first = 0) {
  std::vector<IndexEntry> out;
  for (int i = 0; i < count; ++i) {
    char key[16];
    std::snprintf(key, sizeof key, "K%05d", first + i);
    out.push_back({key, first + i + 1});
  }
  return out;
}

}  // namespace osp::test
