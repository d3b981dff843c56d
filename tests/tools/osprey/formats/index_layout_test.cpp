// The command's walk of an index tree over damaged files: each damage is
// named with its page, and no byte outside the file is read.
#include "formats/index_layout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/index_pages.h"

namespace osp::test {
namespace {

using osprey_tool::IndexPageFault;

struct Walked {
  std::vector<std::pair<IndexPageFault, uint32_t>> faults;
  size_t entries = 0;
};

// Goes on past every fault, as the command's idx check does.
class Recorder : public osprey_tool::IndexTreeVisitor {
 public:
  explicit Recorder(Walked* w) : w_(w) {}
  bool fault(IndexPageFault fault, uint32_t page, int, uint32_t) override {
    w_->faults.emplace_back(fault, page);
    return true;
  }
  bool page(const osprey_tool::IndexPage& page, int) override {
    if (page.leaf()) w_->entries += page.entries.size();
    return true;
  }

 private:
  Walked* w_;
};

Walked walk(const std::vector<uint8_t>& file) {
  Walked w;
  Recorder r(&w);
  osprey_tool::walk_index_tree(file, osprey_tool::read_index_header(file), r);
  return w;
}

// 40 entries: leaves 1 and 2 under root 3; next free page 4.
std::vector<uint8_t> two_leaves() {
  std::vector<IndexEntry> sorted;
  for (int i = 0; i < 40; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "K%05d", i);
    sorted.push_back({key, i + 1});
  }
  return packed_index(sorted);
}

void put_u32(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  if (f.size() < at + 4) f.resize(at + 4, 0);
  store_u32(f.data() + at, v);
}

TEST(IndexTreeWalk, NamesEachDamageWithItsPage) {
  constexpr size_t kRoot = 3 * 512;
  const struct {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    std::vector<std::pair<IndexPageFault, uint32_t>> faults;
    size_t entries;
  } cases[] = {
      {"whole", [](auto&) {}, {}, 40},
      {"child 0", [](auto& f) { put_u32(f, kRoot + 4, 0); },
       {{IndexPageFault::kOutOfRange, 0}}, 9},
      {"child past the next free page", [](auto& f) { put_u32(f, kRoot + 4, 4); },
       {{IndexPageFault::kOutOfRange, 4}}, 9},
      {"next free page past the file's end",
       [](auto& f) {
         put_u32(f, 4, 9);
         put_u32(f, kRoot + 4, 7);
       },
       {{IndexPageFault::kBeyondFile, 7}}, 9},
      {"the root its own child", [](auto& f) { put_u32(f, kRoot + 4, 3); },
       {{IndexPageFault::kReachedTwice, 3}}, 9},
      {"a leaf counting too many", [](auto& f) { put_u32(f, 512, 32); },
       {{IndexPageFault::kCountAboveMax, 1}}, 9},
      {"a chain deeper than any index",
       [](auto& f) {
         // Pages 4 to 73 each an interior page with no entries whose last
         // child is the next; the root's last child starts the chain.
         for (uint32_t p = 4; p < 74; ++p) put_u32(f, p * 512 + 4, p + 1);
         put_u32(f, 74 * 512 + 508, 0);
         put_u32(f, 4, 75);
         put_u32(f, kRoot + 4 + 16, 4);
       },
       {{IndexPageFault::kTooDeep, 67}}, 31},
      {"entries that cannot fit a page",
       [](auto& f) {
         store_i16(f.data() + 18, 0);      // entry size
         store_i16(f.data() + 14, 30000);  // keys per page
         put_u32(f, kRoot, 30000);
       },
       {}, 0},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> file = two_leaves();
    c.damage(file);
    const Walked w = walk(file);
    EXPECT_EQ(w.faults, c.faults) << c.what;
    EXPECT_EQ(w.entries, c.entries) << c.what;
  }
}

}  // namespace
}  // namespace osp::test
