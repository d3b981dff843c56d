// The sort of a user text file's lists: by packed key, equal keys in the
// order they had, whatever digits the keys share.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "text/packed_key.h"

namespace osp::text {
namespace {

TEST(PackedKeySort, AgreesWithAStableSortForKeysOfEveryShape) {
  struct Case {
    const char* what;
    uint32_t mask;   // the key bits that vary
    uint32_t fixed;  // the bits every key has
  };
  const Case cases[] = {
      {"random keys", 0xFFFFFFFFu, 0},
      {"few keys, many ties", 0x00000007u, 0x06690669u},
      {"only the high digit varies", 0xFFC00000u, 0x1234u},
      {"only the middle digit varies", 0x003FF800u, 0},
  };
  std::mt19937 random(20261208);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int32_t count = 5000;
    std::vector<uint8_t> entries(static_cast<size_t>(count) * kEntrySize);
    for (int32_t i = 0; i < count; ++i)
      set_entry(entries.data() + static_cast<size_t>(i) * kEntrySize, static_cast<uint32_t>(i),
                (random() & c.mask) | c.fixed);
    std::vector<uint64_t> expected;  // key and position, in a stable order by key
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t* e = entries.data() + static_cast<size_t>(i) * kEntrySize;
      expected.push_back(static_cast<uint64_t>(entry_key(e)) << 32 | entry_position(e));
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](uint64_t a, uint64_t b) { return (a >> 32) < (b >> 32); });
    sort_entries(entries.data(), count);
    for (int32_t i = 0; i < count; ++i) {
      const uint8_t* e = entries.data() + static_cast<size_t>(i) * kEntrySize;
      ASSERT_EQ(static_cast<uint64_t>(entry_key(e)) << 32 | entry_position(e), expected[i]) << i;
    }
  }
}

}  // namespace
}  // namespace osp::text
