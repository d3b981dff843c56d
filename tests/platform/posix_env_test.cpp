#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "frame/file.h"
#include "platform/dos_time.h"
#include "platform/env.h"
#include "platform/profile_file.h"
#include "support/temp_dir.h"

namespace osp {
namespace {

using test::TempDir;

TEST(FileLayer, ShareModeZeroExcludesASecondOpener) {
  TempDir dir;
  const std::string p = dir.file("a.dbs");
  const FileHandle a = file_create(p.c_str());
  ASSERT_NE(a, kNoFile);
  EXPECT_GE(a, 3) << "handles must never be 0, 1 or 2";
  EXPECT_EQ(file_open_existing(p.c_str(), kGenericReadWrite), kNoFile);
  EXPECT_EQ(file_open_existing(p.c_str(), kGenericRead), kNoFile);
  EXPECT_EQ(platform::env()->open_existing(p.c_str(), platform::kRead, platform::kShareRead),
            kNoFile);
  // Another process is shut out too.
  const pid_t child = ::fork();
  if (child == 0) {
    const FileHandle b = file_open_existing(p.c_str(), kGenericRead);
    ::_exit(b == kNoFile ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(file_close(a));
  const FileHandle again = file_open_existing(p.c_str(), kGenericRead);
  EXPECT_NE(again, kNoFile);
  file_close(again);
}

TEST(FileLayer, ReadSharersAdmitEachOtherButNotAnExclusiveOpener) {
  TempDir dir;
  const std::string p = dir.file("t.txt");
  test::write_file(p, {'x'});
  platform::Env* e = platform::env();
  const auto r1 = e->open_existing(p.c_str(), platform::kRead, platform::kShareRead);
  const auto r2 = e->open_existing(p.c_str(), platform::kRead, platform::kShareRead);
  EXPECT_NE(r1, kNoFile);
  EXPECT_NE(r2, kNoFile);
  EXPECT_EQ(file_open_existing(p.c_str(), kGenericRead), kNoFile);
  e->close(r1);
  e->close(r2);
}

TEST(FileLayer, CreateAlwaysNeverEmptiesAFileSomeoneHolds) {
  TempDir dir;
  const std::string p = dir.file("held.dbs");
  test::write_file(p, {1, 2, 3, 4});
  const FileHandle held = file_open_existing(p.c_str(), kGenericReadWrite);
  ASSERT_NE(held, kNoFile);
  EXPECT_EQ(file_create(p.c_str()), kNoFile);
  EXPECT_EQ(test::read_file(p).size(), 4u);
  file_close(held);
  const FileHandle fresh = file_create(p.c_str());
  ASSERT_NE(fresh, kNoFile);
  EXPECT_EQ(test::read_file(p).size(), 0u);
  file_close(fresh);
}

TEST(FileLayer, ReadWriteSeekTruncate) {
  TempDir dir;
  const std::string p = dir.file("f");
  const FileHandle f = file_create(p.c_str());
  ASSERT_NE(f, kNoFile);
  EXPECT_EQ(file_write(f, "abcdef", 6), 6);
  EXPECT_EQ(file_seek(f, 2), 2);
  char buf[8] = {};
  EXPECT_EQ(file_read(f, buf, 8), 4);  // short at the end
  EXPECT_EQ(std::string(buf, 4), "cdef");
  EXPECT_EQ(file_read(f, buf, 8), 0);  // at the end: 0, not -1
  EXPECT_EQ(file_truncate(f, 3), 1);
  EXPECT_EQ(platform::env()->size(f), 3);
  EXPECT_EQ(file_seek(f, -1), -1);
  EXPECT_EQ(file_seek(f, kMaxFilePosition + 1), -1);
  file_close(f);
  EXPECT_EQ(file_read(kNoFile, buf, 1), -1);
  EXPECT_EQ(file_write(kNoFile, buf, 1), -1);
  EXPECT_EQ(file_open_existing(dir.file("missing").c_str(), kGenericRead), kNoFile);
  EXPECT_EQ(file_open_existing(dir.path().c_str(), kGenericRead), kNoFile) << "a directory";
}

// Positioned writes land at their offset, grow the file only from its end,
// and a read-ahead window filled before them never shows the old bytes.
TEST(FileLayer, PositionedWritesAndDataSyncs) {
  TempDir dir;
  const FileHandle f = file_create(dir.file("f").c_str());
  ASSERT_NE(f, kNoFile);
  ASSERT_EQ(file_write(f, "abcdefgh", 8), 8);
  char buf[16] = {};
  ASSERT_EQ(file_read_at(f, 0, buf, 4), 4);
  ASSERT_EQ(file_read_at(f, 4, buf, 4), 4);  // forward: the window now holds the file
  struct Case {
    int64_t offset;
    const char* bytes;
    int32_t result;
    const char* after;
  };
  for (const Case& c : {Case{2, "XY", 2, "abXYefgh"}, Case{8, "IJ", 2, "abXYefghIJ"},
                        Case{0, "", 0, "abXYefghIJ"}, Case{-1, "Z", -1, "abXYefghIJ"},
                        Case{kMaxFilePosition, "ZZ", -1, "abXYefghIJ"}}) {
    SCOPED_TRACE(c.offset);
    EXPECT_EQ(file_write_at(f, c.offset, c.bytes, static_cast<int32_t>(std::strlen(c.bytes))),
              c.result);
    const auto length = static_cast<int32_t>(std::strlen(c.after));
    std::memset(buf, 0, sizeof buf);
    EXPECT_EQ(file_read_at(f, 0, buf, sizeof buf), length);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(length)), c.after);
  }
  EXPECT_TRUE(platform::env()->sync_data(f));
  file_close(f);
  EXPECT_FALSE(platform::env()->sync_data(f));
  EXPECT_EQ(platform::env()->write_at(f, 0, "a", 1), -1);
}

TEST(DosTime, PacksDateHighAndTimeLow) {
  EXPECT_EQ(platform::pack_dos_time(2026, 3, 7, 21, 5, 30),
            ((46u << 9 | 3u << 5 | 7u) << 16) | (21u << 11 | 5u << 5 | 15u));
  EXPECT_EQ(platform::pack_dos_time(1979, 12, 31, 0, 0, 0), 0u);
}

TEST(FileTimeNumber, FollowsTheFilesLastWrite) {
  TempDir dir;
  const std::string p = dir.file("t");
  const FileHandle f = file_create(p.c_str());
  const uint32_t n = platform::env()->file_time_number(f);
  EXPECT_NE(n, 0u);
  EXPECT_GE(n >> 25, 46u) << "year 2026 or later";
  file_close(f);
  EXPECT_EQ(platform::env()->file_time_number(kNoFile), 0u);
}

TEST(ProfileFile, LookupIsCaseInsensitiveAndSetKeepsOtherLines) {
  std::string ini = "; note\r\n[FileTime]\r\nDbs=123\r\nmst = -5\r\n\r\n[Other]\r\nDbs=9\r\n";
  std::string v;
  ASSERT_TRUE(platform::profile_lookup(ini, "filetime", "DBS", &v));
  EXPECT_EQ(v, "123");
  ASSERT_TRUE(platform::profile_lookup(ini, "FileTime", "MST", &v));
  EXPECT_EQ(platform::profile_parse_int(v), -5);
  EXPECT_FALSE(platform::profile_lookup(ini, "FileTime", "dbr", &v));
  EXPECT_FALSE(platform::profile_lookup(ini, "Missing", "Dbs", &v));

  ini = platform::profile_set(ini, "FILETIME", "dbs", "77");
  ini = platform::profile_set(ini, "FileTime", "dbr", "8");
  ini = platform::profile_set(ini, "New", "k", "v");
  ASSERT_TRUE(platform::profile_lookup(ini, "FileTime", "Dbs", &v));
  EXPECT_EQ(v, "77");
  ASSERT_TRUE(platform::profile_lookup(ini, "FileTime", "dbr", &v));
  EXPECT_EQ(v, "8");
  ASSERT_TRUE(platform::profile_lookup(ini, "Other", "Dbs", &v));
  EXPECT_EQ(v, "9");
  ASSERT_TRUE(platform::profile_lookup(ini, "new", "K", &v));
  EXPECT_EQ(v, "v");
  EXPECT_NE(ini.find("; note"), std::string::npos);
}

TEST(ProfileFile, IntegersParseLikeThePlatformCall) {
  EXPECT_EQ(platform::profile_parse_int("  42abc"), 42);
  EXPECT_EQ(platform::profile_parse_int("abc"), 0);
  EXPECT_EQ(platform::profile_parse_int("4294967295"), -1);  // wraps to 32 bits
  EXPECT_EQ(platform::profile_parse_int("3000000000"), static_cast<int32_t>(3000000000u));
}

TEST(ProfileFile, OneFileWhateverTheCaseOfItsExtension) {
  TempDir dir;
  platform::Env* e = platform::env();
  const std::string upper = dir.file("LOG.FDT");
  const std::string lower = dir.file("LOG.fdt");
  EXPECT_EQ(e->profile_int("FileTime", "dbs", -7, lower.c_str()), -7);
  ASSERT_TRUE(e->profile_write_string("FileTime", "dbs", "1234", upper.c_str()));
  EXPECT_TRUE(test::file_exists(lower)) << "a new profile file takes the lower-case extension";
  EXPECT_FALSE(test::file_exists(upper));
  EXPECT_EQ(e->profile_int("FILETIME", "DBS", 0, lower.c_str()), 1234);
  EXPECT_EQ(e->profile_int("FileTime", "dbs", 0, upper.c_str()), 1234);
  ASSERT_TRUE(e->profile_write_string("FileTime", "mst", "5", upper.c_str()));
  EXPECT_EQ(e->profile_int("FileTime", "mst", 0, lower.c_str()), 5);
  EXPECT_EQ(e->profile_int("FileTime", "dbs", 0, lower.c_str()), 1234);
  ASSERT_TRUE(e->profile_write_string("FileTime", "dx0", "", upper.c_str()));
  EXPECT_EQ(e->profile_int("FileTime", "dx0", -3, lower.c_str()), -3);
}

}  // namespace
}  // namespace osp
