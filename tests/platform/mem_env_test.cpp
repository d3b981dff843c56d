// The in-memory Env must behave as the disk does for everything the library
// relies on, so that what the fuzz targets find through it holds on disk:
// the same checks run against both.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/env.h"
#include "platform/mem_env.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using platform::Env;
using platform::Handle;
using platform::kNoFile;

class EnvAgreementTest : public ::testing::TestWithParam<bool> {
 protected:
  Env* env() { return GetParam() ? static_cast<Env*>(&mem_) : platform::default_env(); }
  std::string path(const std::string& name) { return GetParam() ? name : dir_.file(name); }

  platform::MemEnv mem_;
  test::TempDir dir_;
};

TEST_P(EnvAgreementTest, PositionedReadsShareModesAndEnds) {
  Env* e = env();
  const std::string p = path("a.dbs");
  const Handle a = e->create_always(p.c_str());
  ASSERT_NE(a, kNoFile);
  EXPECT_GE(a, 3);
  ASSERT_EQ(e->write(a, "0123456789", 10), 10);
  char buf[16] = {};
  EXPECT_EQ(e->read_at(a, 3, buf, 4), 4);
  EXPECT_EQ(std::string(buf, 4), "3456");
  EXPECT_EQ(e->read_at(a, 8, buf, 16), 2) << "short at the end";
  EXPECT_EQ(e->read_at(a, 10, buf, 4), 0);
  EXPECT_EQ(e->read_at(a, 400, buf, 4), 0);
  EXPECT_EQ(e->read_at(a, -1, buf, 4), -1);
  // A write after a positioned read goes where a seek puts it.
  ASSERT_EQ(e->seek(a, 12), 12);
  ASSERT_EQ(e->write(a, "X", 1), 1);
  EXPECT_EQ(e->size(a), 13) << "a gap before the write reads as zeros";
  EXPECT_EQ(e->read_at(a, 10, buf, 3), 3);
  EXPECT_EQ(buf[0], '\0');
  // Share mode 0 excludes everybody; create-always does not empty a held file.
  EXPECT_EQ(e->open_existing(p.c_str(), platform::kRead, platform::kShareRead), kNoFile);
  EXPECT_EQ(e->create_always(p.c_str()), kNoFile);
  EXPECT_EQ(e->create_new(p.c_str()), kNoFile);
  ASSERT_EQ(e->seek(a, 5), 5);
  ASSERT_TRUE(e->set_end(a));
  EXPECT_EQ(e->size(a), 5);
  ASSERT_TRUE(e->close(a));
  EXPECT_FALSE(e->close(a));

  const Handle r1 = e->open_existing(p.c_str(), platform::kRead, platform::kShareRead);
  const Handle r2 = e->open_existing(p.c_str(), platform::kRead, platform::kShareRead);
  EXPECT_NE(r1, kNoFile);
  EXPECT_NE(r2, kNoFile);
  EXPECT_EQ(e->open_existing(p.c_str(), platform::kReadWrite, platform::kShareNone), kNoFile);
  EXPECT_EQ(e->read(r1, buf, 16), 5);
  e->close(r1);
  e->close(r2);

  const std::string q = path("b.dbs");
  EXPECT_TRUE(e->copy(p.c_str(), q.c_str(), true));
  EXPECT_FALSE(e->copy(p.c_str(), q.c_str(), true)) << "fail if it exists";
  EXPECT_TRUE(e->remove(p.c_str()));
  EXPECT_FALSE(e->exists(p.c_str()));
  EXPECT_TRUE(e->rename(q.c_str(), p.c_str()));
  EXPECT_TRUE(e->exists(p.c_str()));
  EXPECT_EQ(e->open_existing(q.c_str(), platform::kRead, platform::kShareNone), kNoFile);
}

TEST_P(EnvAgreementTest, ProfileFilesMatchNamesWithoutRegardToCase) {
  Env* e = env();
  const std::string written = path("LOG.FDT");
  const std::string read = path("LOG.fdt");
  EXPECT_EQ(e->profile_int("FileTime", "DBS", 17, read.c_str()), 17);
  ASSERT_TRUE(e->profile_write_string("FileTime", "DBS", "1234", written.c_str()));
  ASSERT_TRUE(e->profile_write_string("FileTime", "DX0", "-5", read.c_str()));
  EXPECT_EQ(e->profile_int("filetime", "dbs", 0, read.c_str()), 1234);
  EXPECT_EQ(e->profile_int("FileTime", "DX0", 0, written.c_str()), -5);
}

TEST(MemEnv, FileTimeMovesWithEachWrite) {
  platform::MemEnv mem;
  const Handle h = mem.create_always("t");
  const uint32_t before = mem.file_time_number(h);
  ASSERT_EQ(mem.write(h, "x", 1), 1);
  EXPECT_NE(mem.file_time_number(h), before);
  mem.close(h);
  EXPECT_EQ(mem.open_handles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(DiskAndMemory, EnvAgreementTest, ::testing::Bool(),
                         [](const auto& param_info) { return param_info.param ? "Memory" : "Disk"; });

}  // namespace
}  // namespace osp
