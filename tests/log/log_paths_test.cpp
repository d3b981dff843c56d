#include "log/log_paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace osp::log {
namespace {

std::string field(const char* f) { return std::string(f, strnlen(f, kPathSize)); }

TEST(LogPaths, DeriveTheWholeSetFromTheBase) {
  for (const char* base : {"/logs/mine", "/logs/mine.xyz", "/logs/mine.dbs"}) {
    LogHandle lh{};
    std::strcpy(lh.index_slot[5].path, "caller's own");
    LogFile failed = LogFile::kProfile;
    ASSERT_TRUE(derive_log_paths(base, &lh, &failed)) << base;
    EXPECT_EQ(field(lh.mst.path), "/logs/mine.mst");
    EXPECT_EQ(field(lh.dbs.path), "/logs/mine.dbs");
    EXPECT_EQ(field(lh.dbr_name), "/logs/mine.dbr");
    for (int i = 0; i < kLogIndexCount; ++i) {
      EXPECT_EQ(field(lh.index_slot[i].path), "/logs/mine.dx" + std::to_string(i));
    }
    EXPECT_EQ(field(lh.index_slot[5].path), "caller's own");
    char profile[kPathSize];
    ASSERT_TRUE(profile_path(&lh, false, profile));
    EXPECT_STREQ(profile, "/logs/mine.fdt");
    ASSERT_TRUE(profile_path(&lh, true, profile));
    EXPECT_STREQ(profile, "/logs/mine.FDT");
  }
}

TEST(LogPaths, ExtensionIsCutAtTheLastDotWhereverItStands) {
  LogHandle lh{};
  LogFile failed;
  ASSERT_TRUE(derive_log_paths("C:\\a.b\\log", &lh, &failed));
  EXPECT_EQ(field(lh.mst.path), "C:\\a.mst");
  EXPECT_EQ(field(lh.index_slot[4].path), "C:\\a.dx4");
  ASSERT_TRUE(derive_log_paths("", &lh, &failed));
  EXPECT_EQ(field(lh.dbs.path), ".dbs");
}

TEST(LogPaths, OverlongSetIsRefusedWholeAndNamed) {
  // 255 characters and the extension make 259: the longest a field holds.
  const std::string longest(255, 'p');
  LogHandle lh{};
  LogFile failed;
  ASSERT_TRUE(derive_log_paths(longest.c_str(), &lh, &failed));
  EXPECT_EQ(field(lh.dbr_name), longest + ".dbr");
  ASSERT_TRUE(derive_log_paths((longest + ".anything-at-all").c_str(), &lh, &failed));

  const std::string base = std::string(256, 'q') + ".log";
  LogHandle before{};
  std::strcpy(before.mst.path, "kept.mst");
  std::strcpy(before.dbr_name, "kept.dbr");
  LogHandle after = before;
  ASSERT_FALSE(derive_log_paths(base.c_str(), &after, &failed));
  EXPECT_EQ(failed, LogFile::kMaster);
  EXPECT_EQ(std::memcmp(&after, &before, sizeof before), 0) << "a refused set touches nothing";

  // The overlong path can still be named in full.
  for (LogFile f : {LogFile::kMaster, LogFile::kContacts, LogFile::kIndex3}) {
    const size_t n = derived_path_length(base.c_str(), f);
    EXPECT_EQ(n, 260u);
    std::unique_ptr<char[]> text(new char[n + 1]);
    write_derived_path(base.c_str(), f, text.get());
    EXPECT_EQ(std::string(text.get()), std::string(256, 'q') + log_file_extension(f));
  }
}

TEST(LogPaths, StoredPathsMustEndInTheirFields) {
  LogHandle lh{};
  LogFile failed;
  ASSERT_TRUE(derive_log_paths("/x/log", &lh, &failed));
  EXPECT_TRUE(stored_paths_valid(&lh, &failed));
  std::memset(lh.index_slot[2].path, 'z', kPathSize);
  EXPECT_FALSE(stored_paths_valid(&lh, &failed));
  EXPECT_EQ(failed, LogFile::kIndex2);
  std::memset(lh.dbs.path, 'z', kPathSize);
  EXPECT_FALSE(stored_paths_valid(&lh, &failed));
  EXPECT_EQ(failed, LogFile::kContacts);

  // A stored master path without a NUL, or one whose profile path would not
  // fit, has no profile path.
  char profile[kPathSize];
  std::memset(lh.mst.path, 'z', kPathSize);
  EXPECT_FALSE(profile_path(&lh, false, profile));
  std::memset(lh.mst.path, 'z', kMaxPathLength);
  lh.mst.path[kMaxPathLength] = '\0';
  EXPECT_FALSE(profile_path(&lh, false, profile));
}

TEST(LogPaths, BackupNameAppendsATilde) {
  char out[kPathSize];
  ASSERT_TRUE(backup_path("/x/log.dbs", out));
  EXPECT_STREQ(out, "/x/log.dbs~");
  EXPECT_TRUE(backup_path(std::string(258, 'b').c_str(), out));
  EXPECT_EQ(std::strlen(out), 259u);
  EXPECT_FALSE(backup_path(std::string(259, 'b').c_str(), out));
}

}  // namespace
}  // namespace osp::log
