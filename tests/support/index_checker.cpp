#include "support/index_checker.h"

#include <cstdio>

#include "formats/index_layout.h"

namespace osp::test {

namespace {

using osprey_tool::IndexPage;
using osprey_tool::IndexPageFault;
using osprey_tool::IndexSubtree;

// Checks each page the walk reaches and stops at the first fault.
class Walker : public osprey_tool::IndexTreeVisitor {
 public:
  explicit Walker(IndexCheck& out) : out_(out) {}

  int leaf_depth() const { return leaf_depth_; }

  bool fault(IndexPageFault fault, uint32_t page, int, uint32_t) override {
    switch (fault) {
      case IndexPageFault::kOutOfRange: return fail("page number out of range", page);
      case IndexPageFault::kBeyondFile: return fail("page beyond the end of the file", page);
      case IndexPageFault::kTooDeep: return fail("tree deeper than any index", page);
      case IndexPageFault::kReachedTwice: return fail("page reached twice", page);
      case IndexPageFault::kCountAboveMax: return fail("count above the maximum", page);
    }
    return false;
  }

  bool page(const IndexPage& page, int depth) override {
    out_.pages += 1;
    const bool leaf = page.leaf();
    for (const IndexPage::Entry& e : page.entries)
      if ((e.child == 0) != leaf) return fail("leaf and interior entries mixed", page.number);
    if (!leaf) return true;
    if (leaf_depth_ == 0) leaf_depth_ = depth;
    if (depth != leaf_depth_ && !page.entries.empty())
      return fail("leaves at different depths", page.number);
    if (page.entries.empty() && depth != 1) return fail("empty page left in the tree", page.number);
    for (const IndexPage::Entry& e : page.entries) {
      if (e.recno == 0) return fail("leaf entry without a record number", page.number);
      if (!out_.entries.empty() && out_.entries.back().key > e.key)
        return fail("keys out of order", page.number);
      out_.entries.push_back({e.key, static_cast<int32_t>(e.recno)});
    }
    return true;
  }

  bool before_child(const IndexPage& page, size_t i, int) override {
    if (i < page.entries.size() && page.entries[i].recno != 0)
      return fail("interior entry with a record number", page.number);
    return true;
  }

  bool after_child(const IndexPage& page, size_t i, const IndexSubtree& sub) override {
    const bool last = i == page.entries.size();
    if (!sub.any) return fail("empty subtree", last ? page.right : page.entries[i].child);
    if (!last && sub.greatest != page.entries[i].key)
      return fail("separator is not the greatest key of its subtree", page.number);
    return true;
  }

 private:
  bool fail(const std::string& what, uint32_t page_no) {
    if (out_.error.empty()) out_.error = what + " (page " + std::to_string(page_no) + ")";
    return false;
  }

  IndexCheck& out_;
  int leaf_depth_ = 0;  // the root being at depth 1
};

}  // namespace

IndexCheck check_index(const std::vector<uint8_t>& file, std::optional<uint32_t> root,
                       std::optional<uint32_t> next_free) {
  IndexCheck out;
  if (file.size() < osprey_tool::kIndexPageSize) {
    out.error = "no header page";
    return out;
  }
  osprey_tool::IndexHeader h = osprey_tool::read_index_header(file);
  if (h.key_length < 0 || h.key_length > osprey_tool::kIndexMaxKeyLength ||
      h.entry_size != osprey_tool::index_entry_size_for(h.key_length) || h.max_keys < 1 ||
      h.max_keys > osprey_tool::index_max_keys_for(h.entry_size) || h.key_type != 0 ||
      h.unique != 0) {
    out.error = "header";
    return out;
  }
  h.root = root.value_or(h.root);
  h.next_free = next_free.value_or(h.next_free);
  Walker walker(out);
  osprey_tool::walk_index_tree(file, h, walker);
  out.depth = walker.leaf_depth();
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
