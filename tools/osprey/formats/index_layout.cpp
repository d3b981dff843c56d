#include "formats/index_layout.h"

#include <algorithm>

#include "formats/le_bytes.h"

namespace osprey_tool {

namespace {

class Walk {
 public:
  Walk(std::span<const uint8_t> file, const IndexHeader& header, IndexTreeVisitor& visitor)
      : file_(file), header_(header), visitor_(visitor),
        file_pages_(file.size() / kIndexPageSize), seen_(file_pages_, false) {}

  // Walks the subtree under page number at depth and tells *below what it
  // holds.
  bool visit(uint32_t number, int depth, IndexSubtree* below) {
    *below = {};
    if (number == 0 || number >= header_.next_free)
      return visitor_.fault(IndexPageFault::kOutOfRange, number, depth, 0);
    if (number >= file_pages_) return visitor_.fault(IndexPageFault::kBeyondFile, number, depth, 0);
    if (depth > kIndexDeepest) return visitor_.fault(IndexPageFault::kTooDeep, number, depth, 0);
    if (seen_[number]) return visitor_.fault(IndexPageFault::kReachedTwice, number, depth, 0);
    seen_[number] = true;
    const uint32_t count = get_u32(file_, size_t{number} * kIndexPageSize + kIndexCount);
    if (count > static_cast<uint32_t>(std::max<int16_t>(header_.max_keys, 0)))
      return visitor_.fault(IndexPageFault::kCountAboveMax, number, depth, count);
    const IndexPage page = read_index_page(file_, header_, number);
    if (!visitor_.page(page, depth)) return false;
    if (page.leaf()) {
      if (!page.entries.empty()) *below = {true, page.entries.back().key};
      return true;
    }
    for (size_t i = 0; i <= page.entries.size(); ++i) {
      if (!visitor_.before_child(page, i, depth)) return false;
      IndexSubtree sub;
      const uint32_t child = i < page.entries.size() ? page.entries[i].child : page.right;
      if (!visit(child, depth + 1, &sub)) return false;
      if (!visitor_.after_child(page, i, sub)) return false;
      if (sub.any) *below = std::move(sub);
    }
    return true;
  }

 private:
  std::span<const uint8_t> file_;
  const IndexHeader& header_;
  IndexTreeVisitor& visitor_;
  size_t file_pages_;
  std::vector<bool> seen_;
};

}  // namespace

IndexHeader read_index_header(std::span<const uint8_t> file) {
  IndexHeader h;
  h.root = get_u32(file, kIndexRoot);
  h.next_free = get_u32(file, kIndexNextFree);
  h.key_length = get_i16(file, kIndexKeyLength);
  h.max_keys = get_i16(file, kIndexMaxKeys);
  h.key_type = get_i16(file, kIndexKeyType);
  h.entry_size = get_i16(file, kIndexEntrySize);
  h.unique = file.size() > kIndexUnique ? file[kIndexUnique] : 0;
  for (size_t i = kIndexExpression; i < file.size() && i < kIndexPageSize && file[i] != 0; ++i)
    h.expression += static_cast<char>(file[i]);
  return h;
}

IndexPage read_index_page(std::span<const uint8_t> file, const IndexHeader& header,
                          uint32_t number) {
  IndexPage page;
  page.number = number;
  const size_t base = size_t{number} * kIndexPageSize;
  page.count = get_u32(file, base + kIndexCount);
  const auto key_length = static_cast<size_t>(std::max<int16_t>(header.key_length, 0));
  const auto size = static_cast<size_t>(std::max<int16_t>(header.entry_size, 0));
  size_t at = base + kIndexEntries;
  if (size >= kIndexEntryKey + key_length) {
    for (uint32_t i = 0; i < page.count && at + size <= base + kIndexPageSize; ++i, at += size) {
      IndexPage::Entry e{get_u32(file, at + kIndexEntryChild), get_u32(file, at + kIndexEntryRecno),
                         {}};
      if (at + kIndexEntryKey + key_length <= file.size())
        e.key.assign(reinterpret_cast<const char*>(file.data() + at + kIndexEntryKey), key_length);
      page.entries.push_back(std::move(e));
    }
  }
  page.right = get_u32(file, at);
  return page;
}

bool walk_index_tree(std::span<const uint8_t> file, const IndexHeader& header,
                     IndexTreeVisitor& visitor) {
  IndexSubtree all;
  return Walk(file, header, visitor).visit(header.root, 1, &all);
}

}  // namespace osprey_tool
