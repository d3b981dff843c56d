#include "support/index_reader.h"

#include <sstream>

#include "support/temp_dir.h"

namespace osp::test {

namespace {

using osprey_tool::IndexPageFault;
using osprey_tool::IndexSubtree;
using osprey_tool::kIndexPageSize;

// Checks each page the walk reaches and goes on past every fault.
class Walker : public osprey_tool::IndexTreeVisitor {
 public:
  explicit Walker(IndexTree* tree) : tree_(tree) {}

  bool fault(IndexPageFault fault, uint32_t page, int, uint32_t count) override {
    switch (fault) {
      case IndexPageFault::kOutOfRange:
      case IndexPageFault::kBeyondFile:
        add_fault("child page " + std::to_string(page) + " outside the file's pages");
        break;
      case IndexPageFault::kTooDeep: add_fault("tree deeper than any index can be"); break;
      case IndexPageFault::kReachedTwice:
        add_fault("page " + std::to_string(page) + " reached twice");
        break;
      case IndexPageFault::kCountAboveMax:
        add_fault(where(page) + "count " + std::to_string(count) + " above the maximum");
        break;
    }
    return true;
  }

  bool page(const IndexPage& page, int depth) override {
    tree_->pages.push_back(page);
    if (!page.leaf()) return true;
    if (leaf_depth_ == 0) leaf_depth_ = depth;
    if (depth != leaf_depth_)
      add_fault(where(page.number) + "leaf at depth " + std::to_string(depth));
    tree_->height = leaf_depth_;
    for (const IndexPage::Entry& e : page.entries) {
      if (e.child != 0) add_fault(where(page.number) + "leaf entry with a child");
      if (e.recno == 0) add_fault(where(page.number) + "leaf entry without a record number");
      yield(IndexEntry{e.key, e.recno});
    }
    return true;
  }

  bool before_child(const IndexPage& page, size_t i, int) override {
    if (i < page.entries.size() && page.entries[i].recno != 0)
      add_fault(where(page.number) + "interior entry with a record number");
    return true;
  }

  bool after_child(const IndexPage& page, size_t i, const IndexSubtree& sub) override {
    if (i == page.entries.size()) return true;
    if (!sub.any) {
      add_fault(where(page.number) + "empty subtree under a key");
    } else if (sub.greatest != page.entries[i].key) {
      add_fault(where(page.number) + "separator differs from its subtree's greatest key");
    }
    return true;
  }

 private:
  static std::string where(uint32_t page) { return "page " + std::to_string(page) + ": "; }

  void yield(const IndexEntry& e) {
    if (!tree_->entries.empty()) {
      const IndexEntry& p = tree_->entries.back();
      if (e.key < p.key || (e.key == p.key && e.recno <= p.recno))
        add_fault("entry of record " + std::to_string(e.recno) + " out of order");
    }
    tree_->entries.push_back(e);
  }

  void add_fault(const std::string& text) { tree_->faults.push_back(text); }

  IndexTree* tree_;
  int leaf_depth_ = 0;
};

}  // namespace

std::string IndexTree::fault_text() const {
  std::ostringstream out;
  for (const std::string& f : faults) out << f << "\n";
  return out.str();
}

IndexTree read_index(const std::string& path) {
  IndexTree tree;
  const std::vector<uint8_t> file = read_file(path);
  if (file.size() < kIndexPageSize) {
    tree.faults.push_back("shorter than a header page");
    return tree;
  }
  IndexHeader& h = tree.header;
  h = read_index_header(file);
  if (h.key_length < 0 || h.key_length > osprey_tool::kIndexMaxKeyLength)
    tree.faults.push_back("key length out of range");
  if (h.entry_size != osprey_tool::index_entry_size_for(h.key_length))
    tree.faults.push_back("entry size does not fit the key");
  if (h.entry_size <= 0 || h.max_keys != osprey_tool::index_max_keys_for(h.entry_size))
    tree.faults.push_back("keys per page do not fit the entry size");
  if (h.key_type != 0) tree.faults.push_back("key type not 0");
  if (h.unique != 0) tree.faults.push_back("unique flag set");
  if (file.size() < static_cast<std::size_t>(h.next_free) * kIndexPageSize)
    tree.faults.push_back("file shorter than its pages");
  if (!tree.ok()) return tree;
  if (h.root == 0 || h.root >= h.next_free) {
    tree.faults.push_back("root " + std::to_string(h.root) + " outside the file's pages");
    return tree;
  }
  Walker walker(&tree);
  osprey_tool::walk_index_tree(file, h, walker);
  return tree;
}

}  // namespace osp::test
