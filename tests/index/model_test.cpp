// Random inserts, removals, searches and walks against an ordered reference,
// with a full check of the file's tree after every step.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "index/index_test_util.h"
#include "support/hooks_fixture.h"

namespace osp::test {
namespace {

struct ModelConfig {
  int key_length;
  int distinct_keys;  // fewer keys than entries: long runs of equal keys
  int steps;
};

class IndexModel : public ::testing::TestWithParam<ModelConfig> {};

TEST_P(IndexModel, AgreesWithAnOrderedReference) {
  const ModelConfig cfg = GetParam();
  const uint32_t seed = 20260307u + static_cast<uint32_t>(cfg.key_length);
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };

  // The key pool: random bytes (any value, NUL and 0xFF included) over the
  // full key length.
  std::vector<std::string> pool;
  for (int i = 0; i < cfg.distinct_keys; ++i) {
    std::string k(static_cast<size_t>(cfg.key_length), '\0');
    for (auto& c : k) c = static_cast<char>(pick(4) == 0 ? pick(256) : 'A' + pick(3));
    pool.push_back(k);
  }

  TempDir dir;
  const std::string path = dir.file("m.ndx");
  IndexLayout layout;
  layout.key_length = cfg.key_length;
  write_file(path, empty_index(layout));
  HookRecorder hooks;  // any message box is a failure
  OpenIndex idx(path);
  ASSERT_EQ(idx.status, 0);

  std::vector<IndexEntry> ref;
  int32_t next_recno = 1;
  int max_depth = 0;
  auto first_not_below = [&](const std::string& prefix) {
    return std::lower_bound(ref.begin(), ref.end(), prefix,
                            [&](const IndexEntry& e, const std::string& p) {
                              return e.key.compare(0, p.size(), p) < 0;
                            }) -
           ref.begin();
  };
  auto recno_at = [&](long i) {
    return i >= 0 && i < static_cast<long>(ref.size()) ? ref[static_cast<size_t>(i)].recno : 0;
  };

  for (int step = 0; step < cfg.steps; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    // Grow for the first half, then shrink to nearly nothing.
    const bool growing = step < cfg.steps / 2;
    const int roll = pick(100);
    if (roll < (growing ? 60 : 25) || ref.empty()) {
      const std::string& key = pool[static_cast<size_t>(pick(cfg.distinct_keys))];
      const int32_t recno = next_recno++;
      index::insert(idx.get(), key.data(), recno);
      const auto at = std::upper_bound(ref.begin(), ref.end(), key,
                                       [](const std::string& k, const IndexEntry& e) {
                                         return k < e.key;
                                       });
      ref.insert(at, {key, recno});
    } else if (roll < 85) {
      // Remove as the log does: search the key, step forward to the record.
      const IndexEntry victim = ref[static_cast<size_t>(pick(static_cast<int>(ref.size())))];
      int32_t r = idx_search(idx.get(), victim.key.data(), cfg.key_length);
      while (r != 0 && r != victim.recno) r = idx_next(idx.get());
      ASSERT_EQ(r, victim.recno);
      ASSERT_EQ(idx.key(), victim.key);
      index::remove(idx.get());
      ref.erase(std::find(ref.begin(), ref.end(), victim));
    } else if (roll < 97) {
      // A prefix search, then one step either way from where it left the cursor.
      std::string prefix = pool[static_cast<size_t>(pick(cfg.distinct_keys))];
      prefix.resize(static_cast<size_t>(1 + pick(cfg.key_length)));
      if (pick(3) == 0) prefix.back() = static_cast<char>(pick(256));
      const long first = first_not_below(prefix);
      const bool found = first < static_cast<long>(ref.size()) &&
                         ref[static_cast<size_t>(first)].key.compare(0, prefix.size(), prefix) == 0;
      ASSERT_EQ(idx_search(idx.get(), prefix.data(), static_cast<int32_t>(prefix.size())),
                found ? recno_at(first) : 0);
      if (pick(2) == 0) {
        ASSERT_EQ(idx_next(idx.get()), recno_at(first + 1));
      } else {
        ASSERT_EQ(idx_back(idx.get()), recno_at(first - 1));
      }
    } else {
      ASSERT_EQ(walk_forward(idx.get()), recnos_of(ref));
      std::vector<int32_t> reversed = recnos_of(ref);
      std::reverse(reversed.begin(), reversed.end());
      ASSERT_EQ(walk_backward(idx.get()), reversed);
    }

    const IndexCheck check = check_open(idx, path);
    ASSERT_TRUE(check.ok()) << check.error;
    ASSERT_EQ(check.entries, ref);
    max_depth = std::max(max_depth, check.depth);
    ASSERT_TRUE(hooks.boxes.empty());
  }
  // The run must have grown trees of several levels and emptied pages.
  EXPECT_GE(max_depth, 3);
  EXPECT_EQ(walk_forward(idx.get()), recnos_of(ref));
  EXPECT_EQ(idx_close(idx.get()), 1);
  const IndexCheck reopened = check_index_file(path);
  EXPECT_TRUE(reopened.ok()) << reopened.error;
  EXPECT_EQ(reopened.entries, ref);
}

INSTANTIATE_TEST_SUITE_P(KeySizes, IndexModel,
                         ::testing::Values(ModelConfig{6, 300, 5000}, ModelConfig{40, 80, 2500},
                                           ModelConfig{200, 40, 1500}),
                         [](const auto& param_info) {
                           return "KeyLength" + std::to_string(param_info.param.key_length);
                         });

}  // namespace
}  // namespace osp::test
