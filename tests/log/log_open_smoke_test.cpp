#include <gtest/gtest.h>

#include <string>

#include "osprey32.h"
#include "support/hooks_fixture.h"
#include "support/log_generator.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

// A generated log opens fully with every index built, and a close with file
// times followed by an open with the time check builds nothing again.
TEST(LogOpenSmoke, BuildsIndexesOnceAndKeepsThemWhenTimesAgree) {
  test::TempDir dir;
  test::HookRecorder hooks;
  const std::string base = dir.file("LOG");
  test::write_generated_log(base, 300, 7);
  LogHandle log{};
  int dc = 0;
  ASSERT_EQ(OspreyOpen(&dc, &log, base.c_str(), 0, 5), 0);
  EXPECT_TRUE(hooks.boxes.empty());
  EXPECT_EQ(hooks.texts.size(), 5u * 4u) << "progress for five builds";
  EXPECT_EQ(+log.dbs.handle.record_count, 300);
  EXPECT_EQ(+log.viewer_capacity, 1000);
  EXPECT_NE(+log.viewer, nullptr);
  for (int i = 0; i < 5; ++i) EXPECT_GT(+log.index_slot[i].file, 0) << i;
  EXPECT_NE(idx_top(&log.index_slot[0]), 0);
  OspreyClose(&log, 5);
  EXPECT_EQ(+log.viewer, nullptr);

  hooks.texts.clear();
  ASSERT_EQ(OspreyOpen(&dc, &log, nullptr, 0, 1), 0);
  EXPECT_TRUE(hooks.texts.empty()) << "times agree: nothing rebuilt";
  OspreyClose(&log, 1);
}

}  // namespace
}  // namespace osp
