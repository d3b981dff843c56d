// Opening logs that someone damaged: a contact file whose header counts far
// more records than it holds, and index files copied over one another with
// their file times left agreeing.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/bytes.h"
#include "log/log_test_util.h"
#include "osprey32.h"

namespace osp::test {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kByCall = 16;
constexpr int32_t kContacts = 40;
constexpr int32_t kWriteContacts = 16;

class LogDamageTest : public LogTest {
 protected:
  // Makes the contact file's header claim count records.
  void claim_contacts(int32_t count) {
    std::vector<uint8_t> dbs = read_file(path(".dbs"));
    store_i32(&dbs[4], count);
    write_file(path(".dbs"), dbs);
  }
};

TEST_F(LogDamageTest, CountBeyondTheContactFileNeitherGrowsItNorRunsOn) {
  make_complete_log(kContacts);
  claim_contacts(19000000);
  const auto dbs_size = fs::file_size(path(".dbs"));

  // Indexes kept (times not checked): the log opens; a contact that is not
  // there reads as 21, one that is reads.
  hooks_.answer({kNo});  // leave the remarks file's count as it is
  ASSERT_EQ(open(0), 0);
  EXPECT_EQ(OSP_read(&log_, kContacts, 1), 0);
  EXPECT_EQ(OSP_read(&log_, kContacts + 1, 1), 21);
  EXPECT_NE(OSP_append(&log_, kWriteContacts, nullptr), 0) << "an append would land where no record is";
  OspreyClose(&log_, 0);
  EXPECT_EQ(fs::file_size(path(".dbs")), dbs_size);

  // The viewer is sized from the records the file holds, not from the count
  // (19 million views would ask for 4 GB).
  hooks_.answer({kNo});
  ASSERT_EQ(open(OSP_OPEN_VIEWER), 0);
  EXPECT_EQ(+log_.viewer_count, kContacts);
  EXPECT_EQ(+log_.viewer_capacity, 1000);
  OspreyClose(&log_, OSP_CLOSE_FREE_VIEWER);

  // A new remarks file clears the links of the records that are there, and
  // only of those.
  fs::remove(path(".dbr"));
  hooks_.boxes.clear();
  hooks_.answer({kYes});
  ASSERT_EQ(open(0), 0);
  EXPECT_EQ(OSP_read(&log_, kContacts, 3), 0);
  OspreyClose(&log_, 0);
  EXPECT_EQ(fs::file_size(path(".dbs")), dbs_size);
  const std::vector<uint8_t> dbs = read_file(path(".dbs"));
  for (int32_t recno = 1; recno <= kContacts; ++recno)
    EXPECT_EQ(load_u32(&dbs[449 + (recno - 1) * 58 + 54]), 0u) << recno;

  // Indexes rebuilt: the build refuses the count at once, naming the index.
  hooks_.boxes.clear();
  fs::remove(path(".dx0"));
  EXPECT_EQ(open(0), 23);
  expect_set_closed();
  EXPECT_EQ(fs::file_size(path(".dbs")), dbs_size);
}

TEST_F(LogDamageTest, IndexBuiltForAnotherKeyIsRebuiltThoughItsTimeAgrees) {
  struct Case {
    const char* what;
    const char* replaced;
    const char* copied;  // null: the key length in the header is changed
  };
  const Case cases[] = {{"area-code index over the call-sign index", ".dx0", ".dx1"},
                        {"FLG+CODE over FLG+HED+ERIA", ".dx4", ".dx3"},
                        {"call-sign index with key length 5", ".dx0", nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    make_complete_log(kContacts);
    const std::string target = path(c.replaced);
    const auto time = fs::last_write_time(target);
    if (c.copied != nullptr) {
      fs::copy_file(path(c.copied), target, fs::copy_options::overwrite_existing);
    } else {
      std::vector<uint8_t> index = read_file(target);
      store_i16(&index[12], 5);  // entries stay 12 bytes
      write_file(target, index);
    }
    fs::last_write_time(target, time);

    ASSERT_EQ(open(1), 0);
    EXPECT_EQ(built_indexes(), std::vector<std::string>{target});
    ASSERT_EQ(OSP_read(&log_, 7, 1), 0);
    char key[8] = {};
    std::memcpy(key, log_.view.callsign, 6);
    EXPECT_EQ(OSP_seek(&log_, key, kByCall), 0) << key;
    OspreyClose(&log_, 1);
    hooks_.texts.clear();
  }
}

}  // namespace
}  // namespace osp::test
