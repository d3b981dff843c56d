#include "support/index_reader.h"

#include <set>
#include <sstream>

#include "support/temp_dir.h"

namespace osp::test {

namespace {

constexpr uint32_t kPage = 512;
constexpr int kDeepest = 64;

uint32_t u32(const std::vector<uint8_t>& f, std::size_t at) {
  if (at + 4 > f.size()) return 0;
  return static_cast<uint32_t>(f[at]) | (static_cast<uint32_t>(f[at + 1]) << 8) |
         (static_cast<uint32_t>(f[at + 2]) << 16) | (static_cast<uint32_t>(f[at + 3]) << 24);
}

int16_t i16(const std::vector<uint8_t>& f, std::size_t at) {
  if (at + 2 > f.size()) return 0;
  return static_cast<int16_t>(f[at] | (f[at + 1] << 8));
}

class Walker {
 public:
  Walker(const std::vector<uint8_t>& file, IndexTree* tree) : file_(file), tree_(tree) {}

  void walk() {
    const IndexHeader& h = tree_->header;
    if (h.root == 0 || h.root >= h.next_free) {
      fault("root " + std::to_string(h.root) + " outside the file's pages");
      return;
    }
    std::string greatest;
    bool any = false;
    visit(h.root, 1, &greatest, &any);
  }

 private:
  // Walks the subtree under page number at the given depth; leaves the
  // subtree's greatest key in *greatest and whether it holds any entry.
  void visit(uint32_t number, int depth, std::string* greatest, bool* any) {
    const IndexHeader& h = tree_->header;
    if (number == 0 || number >= h.next_free) {
      fault("child page " + std::to_string(number) + " outside the file's pages");
      return;
    }
    if (depth > kDeepest) {
      fault("tree deeper than any index can be");
      return;
    }
    if (!seen_.insert(number).second) {
      fault("page " + std::to_string(number) + " reached twice");
      return;
    }
    IndexPage page = read_index_page(file_, h, number);
    tree_->pages.push_back(page);
    const std::string where = "page " + std::to_string(number) + ": ";
    if (page.count > static_cast<uint32_t>(h.max_keys)) {
      fault(where + "count " + std::to_string(page.count) + " above the maximum");
      return;
    }
    *any = false;
    if (page.leaf()) {
      if (leaf_depth_ == 0) leaf_depth_ = depth;
      if (depth != leaf_depth_) fault(where + "leaf at depth " + std::to_string(depth));
      tree_->height = leaf_depth_;
      for (const IndexPage::Entry& e : page.entries) {
        if (e.child != 0) fault(where + "leaf entry with a child");
        if (e.recno == 0) fault(where + "leaf entry without a record number");
        yield(IndexEntry{e.key, e.recno});
        *greatest = e.key;
        *any = true;
      }
      return;
    }
    for (const IndexPage::Entry& e : page.entries) {
      if (e.recno != 0) fault(where + "interior entry with a record number");
      std::string sub;
      bool sub_any = false;
      visit(e.child, depth + 1, &sub, &sub_any);
      if (!sub_any) {
        fault(where + "empty subtree under a key");
      } else if (sub != e.key) {
        fault(where + "separator differs from its subtree's greatest key");
      }
      if (sub_any) {
        *greatest = sub;
        *any = true;
      }
    }
    std::string sub;
    bool sub_any = false;
    visit(page.right, depth + 1, &sub, &sub_any);
    if (sub_any) {
      *greatest = sub;
      *any = true;
    }
  }

  void yield(const IndexEntry& e) {
    if (!tree_->entries.empty()) {
      const IndexEntry& p = tree_->entries.back();
      if (e.key < p.key || (e.key == p.key && e.recno <= p.recno))
        fault("entry of record " + std::to_string(e.recno) + " out of order");
    }
    tree_->entries.push_back(e);
  }

  void fault(const std::string& text) { tree_->faults.push_back(text); }

  const std::vector<uint8_t>& file_;
  IndexTree* tree_;
  std::set<uint32_t> seen_;
  int leaf_depth_ = 0;
};

}  // namespace

std::string IndexTree::fault_text() const {
  std::ostringstream out;
  for (const std::string& f : faults) out << f << "\n";
  return out.str();
}

IndexHeader read_index_header(const std::vector<uint8_t>& file) {
  IndexHeader h;
  h.root = u32(file, 0);
  h.next_free = u32(file, 4);
  h.key_length = i16(file, 12);
  h.max_keys = i16(file, 14);
  h.key_type = i16(file, 16);
  h.entry_size = i16(file, 18);
  h.unique = file.size() > 23 ? file[23] : 0;
  for (std::size_t i = 24; i < file.size() && i < kPage && file[i] != 0; ++i)
    h.expression += static_cast<char>(file[i]);
  return h;
}

IndexPage read_index_page(const std::vector<uint8_t>& file, const IndexHeader& header,
                          uint32_t number) {
  IndexPage page;
  page.number = number;
  const std::size_t base = static_cast<std::size_t>(number) * kPage;
  page.count = u32(file, base);
  const auto size = static_cast<std::size_t>(header.entry_size);
  const auto key_length = static_cast<std::size_t>(header.key_length);
  std::size_t at = base + 4;
  for (uint32_t i = 0; i < page.count && at + size <= base + kPage; ++i, at += size) {
    IndexPage::Entry e{u32(file, at), u32(file, at + 4), {}};
    if (at + 8 + key_length <= file.size())
      e.key.assign(reinterpret_cast<const char*>(&file[at + 8]), key_length);
    page.entries.push_back(e);
  }
  page.right = u32(file, at);
  return page;
}

IndexTree read_index(const std::string& path) {
  IndexTree tree;
  const std::vector<uint8_t> file = read_file(path);
  if (file.size() < kPage) {
    tree.faults.push_back("shorter than a header page");
    return tree;
  }
  IndexHeader& h = tree.header;
  h = read_index_header(file);
  const int expected_size = ((h.key_length - 1) & ~3) + 12;
  if (h.key_length < 0 || h.key_length > 256) tree.faults.push_back("key length out of range");
  if (h.entry_size != expected_size) tree.faults.push_back("entry size does not fit the key");
  if (h.entry_size <= 0 || h.max_keys != 508 / h.entry_size)
    tree.faults.push_back("keys per page do not fit the entry size");
  if (h.key_type != 0) tree.faults.push_back("key type not 0");
  if (h.unique != 0) tree.faults.push_back("unique flag set");
  if (file.size() < static_cast<std::size_t>(h.next_free) * kPage)
    tree.faults.push_back("file shorter than its pages");
  if (!tree.ok()) return tree;
  Walker(file, &tree).walk();
  return tree;
}

}  // namespace osp::test
