#include "support/index_checker.h"

#include <cstdio>

#include "frame/bytes.h"
#include "index/index_format.h"

namespace osp::test {

namespace {

using namespace osp::index;

struct Walker {
  const std::vector<uint8_t>& file;
  int key_length, max_keys, es;
  uint32_t next_free;
  IndexCheck& out;
  std::vector<bool> seen = std::vector<bool>(file.size() / kPageSize + 1, false);
  int leaf_depth = -1;

  bool fail(const std::string& what, uint32_t page_no) {
    if (out.error.empty()) out.error = what + " (page " + std::to_string(page_no) + ")";
    return false;
  }

  // Walks the subtree under page_no at depth; sets greatest to its greatest
  // key and empty when it holds no entry.
  bool walk(uint32_t page_no, int depth, bool is_root, std::string* greatest, bool* empty) {
    if (page_no == 0 || page_no >= next_free) return fail("page number out of range", page_no);
    if ((page_no + 1) * static_cast<size_t>(kPageSize) > file.size())
      return fail("page beyond the end of the file", page_no);
    if (seen[page_no]) return fail("page reached twice", page_no);
    seen[page_no] = true;
    out.pages += 1;
    const uint8_t* page = file.data() + page_no * static_cast<size_t>(kPageSize);
    const uint32_t n = load_u32(page);
    if (n > static_cast<uint32_t>(max_keys)) return fail("count above the maximum", page_no);
    auto child = [&](uint32_t i) { return load_u32(page + entry_offset(int(i), es)); };
    auto recno = [&](uint32_t i) { return load_i32(page + entry_offset(int(i), es) + 4); };
    auto key = [&](uint32_t i) {
      const uint8_t* k = page + entry_offset(int(i), es) + 8;
      return std::string(reinterpret_cast<const char*>(k), static_cast<size_t>(key_length));
    };
    bool leaf = child(n) == 0;
    for (uint32_t i = 0; i < n; ++i)
      if ((child(i) == 0) != leaf) return fail("leaf and interior entries mixed", page_no);

    if (leaf) {
      if (leaf_depth < 0) leaf_depth = depth;
      if (depth != leaf_depth && n > 0) return fail("leaves at different depths", page_no);
      if (n == 0 && !is_root) return fail("empty page left in the tree", page_no);
      for (uint32_t i = 0; i < n; ++i) {
        if (recno(i) == 0) return fail("leaf entry without a record number", page_no);
        const std::string k = key(i);
        if (!out.entries.empty() && out.entries.back().key > k)
          return fail("keys out of order", page_no);
        out.entries.push_back({k, recno(i)});
      }
      *empty = n == 0;
      if (n > 0) *greatest = key(n - 1);
      return true;
    }
    *empty = true;
    for (uint32_t i = 0; i < n; ++i) {
      if (recno(i) != 0) return fail("interior entry with a record number", page_no);
      std::string g;
      bool e = false;
      if (!walk(child(i), depth + 1, false, &g, &e)) return false;
      if (e) return fail("empty subtree", child(i));
      if (g != key(i)) return fail("separator is not the greatest key of its subtree", page_no);
      *empty = false;
    }
    std::string g;
    bool e = false;
    if (!walk(child(n), depth + 1, false, &g, &e)) return false;
    if (e) return fail("empty subtree", child(n));
    *greatest = g;
    *empty = false;
    return true;
  }
};

}  // namespace

IndexCheck check_index(const std::vector<uint8_t>& file, std::optional<uint32_t> root,
                       std::optional<uint32_t> next_free) {
  IndexCheck out;
  if (file.size() < static_cast<size_t>(kPageSize)) {
    out.error = "no header page";
    return out;
  }
  const uint8_t* h = file.data();
  const int key_length = load_i16(h + kHdrKeyLength);
  const int max_keys = load_i16(h + kHdrMaxKeys);
  const int es = load_i16(h + kHdrEntrySize);
  if (key_length < 0 || key_length > kMaxKeyLength || es != entry_size_for(key_length) ||
      max_keys < 1 || max_keys > max_keys_for(es) || load_i16(h + kHdrKeyType) != 0 ||
      h[kHdrUnique] != 0) {
    out.error = "header";
    return out;
  }
  Walker w{file, key_length, max_keys, es, next_free.value_or(load_u32(h + kHdrNextFree)), out};
  std::string greatest;
  bool empty = false;
  w.walk(root.value_or(load_u32(h + kHdrRoot)), 0, true, &greatest, &empty);
  out.depth = w.leaf_depth + 1;
  return out;
}

IndexCheck check_index_file(const std::string& path, std::optional<uint32_t> root,
                            std::optional<uint32_t> next_free) {
  // One read of the whole file: the check runs after every step of long
  // randomised tests.
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
  }
  return check_index(bytes, root, next_free);
}

}  // namespace osp::test
