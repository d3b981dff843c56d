// Opening a log: every result with its message and the files it leaves
// closed, the questions and what each answer does, files that must never be
// destroyed, and paths that do not fit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/file.h"
#include "log/log_test_util.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/path_fault_env.h"

namespace osp::test {
namespace {

namespace fs = std::filesystem;

constexpr size_t kContactHeader = 449;
constexpr size_t kContactRecord = 58;

// The remark offsets (OFS) of every contact in a contact file.
std::vector<uint32_t> remark_offsets_of(const std::vector<uint8_t>& bytes) {
  std::vector<uint32_t> out;
  for (size_t at = kContactHeader; at + kContactRecord <= bytes.size(); at += kContactRecord) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | bytes[at + 54 + static_cast<size_t>(i)];
    out.push_back(v);
  }
  return out;
}

std::vector<uint32_t> remark_offsets(const std::string& dbs) {
  return remark_offsets_of(read_file(dbs));
}

int32_t stored_remarks_count(const std::string& dbr) {
  const std::vector<uint8_t> h = bytes_at(dbr, 4, 4);
  if (h.size() != 4) return -1;
  return static_cast<int32_t>(h[0] | h[1] << 8 | h[2] << 16 | static_cast<uint32_t>(h[3]) << 24);
}

// Entries of an open index, walked from the top.
int count_entries(IdxHandle* h) {
  int n = 0;
  for (int32_t r = idx_top(h); r != 0; r = idx_next(h)) ++n;
  return n;
}

class LogOpenTest : public LogTest {
 protected:
  // The count the open remarks file's header holds for the contacts.
  int32_t remarks_count_of() const {
    const uint8_t* h = log_.dbr_header;
    return static_cast<int32_t>(h[4] | h[5] << 8 | h[6] << 16 |
                                static_cast<uint32_t>(h[7]) << 24);
  }
};

// ---- Result 0 ----

TEST_F(LogOpenTest, OpensTheWholeSetBuildingEveryMissingIndexInSlotOrder) {
  make_log(300);
  ASSERT_EQ(open(5), 0);
  EXPECT_TRUE(hooks_.boxes.empty());
  EXPECT_EQ(built_indexes(), (std::vector<std::string>{path(".dx0"), path(".dx1"), path(".dx2"),
                                                      path(".dx3"), path(".dx4")}));
  for (const CapturedText& t : hooks_.texts) EXPECT_EQ(t.device_context, &dc_);
  EXPECT_GT(+log_.dbs.handle.file, 0);
  EXPECT_GT(+log_.mst.handle.file, 0);
  EXPECT_GT(+log_.dbr_file, 0);
  EXPECT_EQ(+log_.dbr_dirty, 0);
  EXPECT_EQ(+log_.dbs.handle.record_count, 300);
  const int masters = static_cast<int>(LogGenerator(7).masters().size());
  EXPECT_EQ(+log_.mst.handle.record_count, masters);
  const int expected[5] = {300, 300, masters, masters, masters};
  const int key_lengths[5] = {6, 6, 6, 7, 4};
  for (int i = 0; i < 5; ++i) {
    ASSERT_GT(+log_.index_slot[i].file, 0) << i;
    EXPECT_EQ(count_entries(&log_.index_slot[i]), expected[i]) << i;
    EXPECT_EQ(bytes_at(path(kSetExtensions[3 + i]), 12, 1)[0], key_lengths[i]) << i;
  }
  ASSERT_NE(+log_.viewer, nullptr);
  EXPECT_EQ(+log_.viewer_count, 300);

  OspreyClose(&log_, 5);
  expect_set_closed();
}

TEST_F(LogOpenTest, AnyExtensionOfTheBasePathNamesTheSameSet) {
  make_complete_log(20);
  const std::string with_extension = base_ + ".xyz";
  ASSERT_EQ(OspreyOpen(nullptr, &log_, with_extension.c_str(), 0, 0), 0);
  EXPECT_STREQ(log_.mst.path, path(".mst").c_str());
  EXPECT_STREQ(log_.index_slot[4].path, path(".dx4").c_str());
  EXPECT_TRUE(hooks_.texts.empty());
  OspreyClose(&log_, 0);
  // The paths stay in the handle: a null base path reopens the same set.
  ASSERT_EQ(OspreyOpen(nullptr, &log_, nullptr, 0, 0), 0);
  EXPECT_EQ(+log_.dbs.handle.record_count, 20);
  OspreyClose(&log_, 0);
  expect_set_closed();
}

TEST_F(LogOpenTest, SlotFiveBelongsToTheCaller) {
  make_complete_log(10);
  std::strcpy(log_.index_slot[5].path, "caller's own");
  log_.index_slot[5].file = 77;
  ASSERT_EQ(open(0), 0);
  OspreyClose(&log_, 5);
  EXPECT_STREQ(log_.index_slot[5].path, "caller's own");
  EXPECT_EQ(+log_.index_slot[5].file, 77);
  log_.index_slot[5].file = OSP_NO_FILE;
}

// ---- Result 42: the master file ----

TEST_F(LogOpenTest, MissingOrMisshapenMasterFileIs42WithoutAQuestion) {
  make_log(10);
  fs::remove(path(".mst"));
  EXPECT_EQ(open(5), 42);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_status_box(0, 5, path(".mst"));
  expect_set_closed();
  EXPECT_FALSE(file_exists(path(".dx0")));

  // A contact table in the master file's place: record size 58, not 49.
  hooks_.boxes.clear();
  fs::copy_file(path(".dbs"), path(".mst"));
  EXPECT_EQ(open(5), 42);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_status_box(0, 2, path(".mst"));
  expect_set_closed();
}

// ---- Result 40: the contact file ----

TEST_F(LogOpenTest, DecliningANewContactFileIs40AndMakesNothing) {
  make_log(10);
  fs::remove(path(".dbs"));
  const std::vector<uint8_t> remarks = read_file(path(".dbr"));
  hooks_.answer({kNo});
  EXPECT_EQ(open(5), 40);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_create_question(0, path(".dbs"));
  expect_set_closed();
  EXPECT_FALSE(file_exists(path(".dbs")));
  EXPECT_EQ(read_file(path(".dbr")), remarks);
  EXPECT_FALSE(file_exists(path(".dbr~")));
}

TEST_F(LogOpenTest, ContactFileOfTheWrongRecordSizeIs40WithoutAQuestion) {
  make_log(10);
  fs::copy_file(path(".mst"), path(".dbs"), fs::copy_options::overwrite_existing);
  EXPECT_EQ(open(5), 40);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_status_box(0, 2, path(".dbs"));
  expect_set_closed();
  // A quick open refuses it the same way.
  hooks_.boxes.clear();
  EXPECT_EQ(open(2), 40);
  expect_status_box(0, 2, path(".dbs"));
  expect_set_closed();
}

// ---- Result 41: the remarks file ----

TEST_F(LogOpenTest, DecliningANewRemarksFileIs41AndTouchesNoContact) {
  make_log(30);
  fs::remove(path(".dbr"));
  const std::vector<uint8_t> contacts = read_file(path(".dbs"));
  hooks_.answer({kNo});
  EXPECT_EQ(open(5), 41);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_create_question(0, path(".dbr"));
  expect_set_closed();
  EXPECT_EQ(read_file(path(".dbs")), contacts);
  EXPECT_FALSE(file_exists(path(".dbr")));
}

// ---- Result 5: quick open ----

TEST_F(LogOpenTest, QuickOpenTakesOnlyTheContactAndRemarksFiles) {
  make_log(40);
  fs::remove(path(".mst"));  // a quick open never looks for it
  ASSERT_EQ(open(2), 0);
  EXPECT_TRUE(hooks_.boxes.empty());
  EXPECT_TRUE(hooks_.texts.empty());
  EXPECT_GT(+log_.dbs.handle.file, 0);
  EXPECT_GT(+log_.dbr_file, 0);
  EXPECT_LE(+log_.mst.handle.file, 0);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(+log_.index_slot[i].file, 0) << i;
  EXPECT_EQ(+log_.viewer, nullptr);
  EXPECT_FALSE(file_exists(path(".dx0")));
  OspreyClose(&log_, 2);
  expect_set_closed();
}

TEST_F(LogOpenTest, QuickOpenOfAMissingFileIs5WithoutAsking) {
  make_log(10);
  fs::rename(path(".dbr"), dir_.file("kept"));
  EXPECT_EQ(open(2), 5);
  EXPECT_TRUE(hooks_.boxes.empty());
  expect_set_closed();
  EXPECT_FALSE(file_exists(path(".dbr")));

  fs::rename(dir_.file("kept"), path(".dbr"));
  fs::remove(path(".dbs"));
  EXPECT_EQ(open(2), 5);
  EXPECT_TRUE(hooks_.boxes.empty());
  expect_set_closed();
  EXPECT_FALSE(file_exists(path(".dbs")));
}

// ---- Never destroy a file another program holds ----

TEST_F(LogOpenTest, HeldContactOrRemarksFileFailsTheOpenWithoutAsking) {
  make_log(25);
  const std::vector<uint8_t> contacts = read_file(path(".dbs"));
  const std::vector<uint8_t> remarks = read_file(path(".dbr"));
  hooks_.default_answer = kYes;  // a question would be answered Yes
  struct Case {
    const char* held;
    int32_t flags;
    int32_t result;
  };
  for (const Case c : {Case{".dbs", 5, 40}, Case{".dbr", 5, 41}, Case{".dbs", 2, 5},
                       Case{".dbr", 2, 5}}) {
    SCOPED_TRACE(std::string(c.held) + " flags " + std::to_string(c.flags));
    hooks_.boxes.clear();
    const FileHandle other = file_open_existing(path(c.held).c_str(), kGenericReadWrite);
    ASSERT_NE(other, kNoFile);
    EXPECT_EQ(open(c.flags), c.result);
    file_close(other);
    ASSERT_EQ(hooks_.boxes.size(), 1u);
    expect_status_box(0, 5, path(c.held));
    expect_set_closed();
    EXPECT_EQ(read_file(path(".dbs")), contacts);
    EXPECT_EQ(read_file(path(".dbr")), remarks);
    EXPECT_FALSE(file_exists(path(".dbs~")));
    EXPECT_FALSE(file_exists(path(".dbr~")));
    EXPECT_FALSE(file_exists(path(".dbr$")));
  }
}

TEST_F(LogOpenTest, NewContactFileIsNotMadeWhileAnotherProgramHoldsTheRemarksFile) {
  make_log(25);
  fs::remove(path(".dbs"));
  const std::vector<uint8_t> remarks = read_file(path(".dbr"));
  const FileHandle other = file_open_existing(path(".dbr").c_str(), kGenericReadWrite);
  ASSERT_NE(other, kNoFile);
  hooks_.answer({kYes});
  EXPECT_EQ(open(5), 40);
  file_close(other);
  ASSERT_EQ(hooks_.boxes.size(), 2u);
  expect_create_question(0, path(".dbs"));
  expect_status_box(1, 5, path(".dbr"));
  expect_set_closed();
  EXPECT_EQ(read_file(path(".dbr")), remarks);
  EXPECT_FALSE(file_exists(path(".dbs")));
  EXPECT_FALSE(file_exists(path(".dbr~")));
}

// ---- Yes to a new contact file ----

TEST_F(LogOpenTest, YesToANewContactFileMakesEmptyFilesAndKeepsTheOldRemarksAside) {
  make_complete_log(50);
  fs::remove(path(".dbs"));
  const std::vector<uint8_t> old_remarks = read_file(path(".dbr"));
  hooks_.answer({kYes});
  ASSERT_EQ(open(0), 0);
  ASSERT_EQ(hooks_.boxes.size(), 1u) << "asked once, no count question";
  expect_create_question(0, path(".dbs"));
  EXPECT_EQ(+log_.dbs.handle.record_count, 0);
  EXPECT_EQ(+log_.dbs.handle.record_size, 58);
  EXPECT_EQ(remarks_count_of(), 0);
  // Indexes 0 and 1 were built over the old file: dropped and built anew.
  EXPECT_EQ(built_indexes(), (std::vector<std::string>{path(".dx0"), path(".dx1")}));
  EXPECT_EQ(idx_top(&log_.index_slot[0]), 0);
  OspreyClose(&log_, 0);
  expect_set_closed();

  EXPECT_EQ(read_file(path(".dbs")).size(), 450u);
  EXPECT_EQ(read_file(path(".dbr")), remarks_header(0, {26, 3, 7}));
  EXPECT_EQ(read_file(path(".dbr~")), old_remarks);
}

TEST_F(LogOpenTest, UnusableContactFileIsKeptAsABackupBeforeANewOneIsMade) {
  make_log(50);
  std::vector<uint8_t> damaged = read_file(path(".dbs"));
  damaged[0] = 0x55;  // neither version byte a record file has
  write_file(path(".dbs"), damaged);
  const std::vector<uint8_t> old_remarks = read_file(path(".dbr"));

  hooks_.answer({kNo});
  EXPECT_EQ(open(5), 40);
  expect_create_question(0, path(".dbs"));
  expect_set_closed();
  EXPECT_EQ(read_file(path(".dbs")), damaged);
  EXPECT_FALSE(file_exists(path(".dbs~")));

  // An earlier backup is in the way: nothing is moved, nothing made.
  hooks_.boxes.clear();
  write_file(path(".dbs~"), {1, 2, 3});
  hooks_.answer({kYes});
  EXPECT_EQ(open(5), 40);
  ASSERT_EQ(hooks_.boxes.size(), 2u);
  expect_status_box(1, 5, path(".dbs~"));
  expect_set_closed();
  EXPECT_EQ(read_file(path(".dbs")), damaged);
  EXPECT_EQ(read_file(path(".dbr")), old_remarks);
  EXPECT_FALSE(file_exists(path(".dbr~")));
  fs::remove(path(".dbs~"));

  hooks_.boxes.clear();
  hooks_.answer({kYes});
  ASSERT_EQ(open(5), 0);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  EXPECT_EQ(+log_.dbs.handle.record_count, 0);
  OspreyClose(&log_, 5);
  expect_set_closed();
  EXPECT_EQ(read_file(path(".dbs~")), damaged);
  EXPECT_EQ(read_file(path(".dbr~")), old_remarks);
  EXPECT_EQ(read_file(path(".dbs")).size(), 450u);
}

TEST_F(LogOpenTest, FailedCreationAfterYesIsReportedOnceWithItsPathAndIs40) {
  make_log(10);
  fs::remove(path(".dbs"));
  fs::remove(path(".dbr"));
  struct Case {
    int create_call;  // the create that fails: 1 the remarks file, 2 the contact file
    const char* named;
  };
  for (const Case c : {Case{1, ".dbr"}, Case{2, ".dbs"}}) {
    SCOPED_TRACE(c.named);
    hooks_.boxes.clear();
    hooks_.default_answer = kYes;
    {
      FaultEnv faults;
      ScopedEnv scoped(&faults);
      faults.fail(Op::kCreate, c.create_call);
      EXPECT_EQ(open(5), 40);
    }
    ASSERT_EQ(hooks_.boxes.size(), 2u);
    expect_create_question(0, path(".dbs"));
    expect_status_box(1, 5, path(c.named));
    expect_set_closed();
    EXPECT_FALSE(file_exists(path(".dbs")));
    fs::remove(path(".dbr"));
  }

  // Made, but it still will not open: the user is not asked again and again.
  hooks_.boxes.clear();
  PathFaultEnv taken;
  {
    ScopedEnv scoped(&taken);
    taken.refuse_open(path(".dbs"));
    EXPECT_EQ(open(5), 40);
  }
  ASSERT_EQ(hooks_.boxes.size(), 2u);
  expect_create_question(0, path(".dbs"));
  expect_status_box(1, 5, path(".dbs"));
  expect_set_closed();
}

// ---- Yes to a new remarks file ----

TEST_F(LogOpenTest, YesToANewRemarksFileDropsEveryRemarkLinkAndMakesTheCountsAgree) {
  make_log(120);
  fs::remove(path(".dbr"));
  const auto before = remark_offsets(path(".dbs"));
  ASSERT_EQ(before.size(), 120u);
  ASSERT_NE(std::count(before.begin(), before.end(), 0u), 120) << "some contacts have remarks";
  hooks_.answer({kYes});
  ASSERT_EQ(open(5), 0);
  ASSERT_EQ(hooks_.boxes.size(), 1u) << "no count question";
  expect_create_question(0, path(".dbr"));
  EXPECT_EQ(remarks_count_of(), 120);
  EXPECT_NE(+log_.dbr_dirty, 0);
  OspreyClose(&log_, 5);
  expect_set_closed();
  EXPECT_EQ(remark_offsets(path(".dbs")), std::vector<uint32_t>(120, 0u));
  std::vector<uint8_t> header = remarks_header(120, {26, 3, 7});
  EXPECT_EQ(read_file(path(".dbr")), header);
}

TEST_F(LogOpenTest, LinkThatCannotBeDroppedFailsTheOpenAndLeavesNoLinkIntoTheNewFile) {
  make_log(30);
  const std::vector<uint8_t> old_remarks(300, 0x41);  // unusable: wrong marker
  write_file(path(".dbr"), old_remarks);
  const std::vector<uint8_t> contacts = read_file(path(".dbs"));
  for (const Fault fault : {Fault::kFail, Fault::kShort}) {
    SCOPED_TRACE(fault == Fault::kFail ? "failed write" : "short write");
    hooks_.boxes.clear();
    hooks_.answer({kYes});
    {
      FaultEnv faults;
      ScopedEnv scoped(&faults);
      // Write 1 is the new header; 2 on drop the links, the fourth fails.
      faults.fail(Op::kWrite, 5, fault);
      EXPECT_EQ(open(5), 41);
    }
    expect_set_closed();
    ASSERT_EQ(hooks_.boxes.size(), 2u);
    expect_status_box(1, 22, path(".dbs"));
    // Taken back: the old remarks file in its place, no backup, the links as
    // they were (whatever the failed write left of its own link aside).
    EXPECT_EQ(read_file(path(".dbr")), old_remarks);
    EXPECT_FALSE(file_exists(path(".dbr~")));
    EXPECT_FALSE(file_exists(path(".dbr$")));
    const auto links = remark_offsets(path(".dbs"));
    const auto before = remark_offsets_of(contacts);
    EXPECT_TRUE(std::equal(links.begin() + 4, links.end(), before.begin() + 4));
  }

  // The next open that can drop every link uses the new file.
  hooks_.boxes.clear();
  hooks_.answer({kYes});
  ASSERT_EQ(open(5), 0);
  OspreyClose(&log_, 5);
  EXPECT_EQ(remark_offsets(path(".dbs")), std::vector<uint32_t>(30, 0u));
}

TEST_F(LogOpenTest, NewRemarksFileBesideAnEmptyContactFileWritesNoRecord) {
  write_master_file(path(".mst"), LogGenerator(1).masters());
  ASSERT_EQ(dbf_create(path(".dbs").c_str()), 0);
  const std::vector<uint8_t> contacts = read_file(path(".dbs"));
  hooks_.answer({kYes});
  ASSERT_EQ(open(0), 0);
  EXPECT_EQ(remarks_count_of(), 0);
  OspreyClose(&log_, 0);
  EXPECT_EQ(read_file(path(".dbs")), contacts);
  EXPECT_EQ(stored_remarks_count(path(".dbr")), 0);
}

TEST_F(LogOpenTest, UnusableRemarksFileIsKeptAsABackupBeforeANewOne) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  for (const Case& c : {Case{"wrong marker", std::vector<uint8_t>(300, 0x41)},
                        Case{"short header", std::vector<uint8_t>{0x1A, 26, 3, 7}}}) {
    SCOPED_TRACE(c.what);
    make_log(40);
    fs::remove(path(".dbr~"));
    write_file(path(".dbr"), c.bytes);
    hooks_.boxes.clear();
    hooks_.answer({kYes});
    ASSERT_EQ(open(5), 0);
    expect_create_question(0, path(".dbr"));
    OspreyClose(&log_, 5);
    expect_set_closed();
    EXPECT_EQ(read_file(path(".dbr~")), c.bytes);
    EXPECT_EQ(stored_remarks_count(path(".dbr")), 40);
    EXPECT_EQ(remark_offsets(path(".dbs")), std::vector<uint32_t>(40, 0u));
  }
}

TEST_F(LogOpenTest, RemarksFileThatCannotBeMadeLeavesEveryLinkAndGoesOnWithoutRemarks) {
  make_log(60);
  // An earlier backup is in the way: it is never replaced.
  write_file(path(".dbr"), std::vector<uint8_t>(300, 0x41));
  write_file(path(".dbr~"), {1, 2, 3});
  const std::vector<uint8_t> contacts = read_file(path(".dbs"));
  hooks_.answer({kYes});
  ASSERT_EQ(open(5), 0);
  ASSERT_EQ(hooks_.boxes.size(), 2u) << "no count question without a remarks file";
  expect_create_question(0, path(".dbr"));
  expect_status_box(1, 5, path(".dbr~"));
  EXPECT_LE(+log_.dbr_file, 0);
  OspreyClose(&log_, 5);
  expect_set_closed();
  EXPECT_EQ(read_file(path(".dbs")).size(), contacts.size());
  EXPECT_EQ(remark_offsets(path(".dbs")), remark_offsets_of(contacts));
  EXPECT_EQ(read_file(path(".dbr")), std::vector<uint8_t>(300, 0x41));
  EXPECT_EQ(read_file(path(".dbr~")), (std::vector<uint8_t>{1, 2, 3}));

  // A missing remarks file whose creation fails: the same.
  fs::remove(path(".dbr"));
  hooks_.boxes.clear();
  hooks_.answer({kYes});
  {
    FaultEnv faults;
    ScopedEnv scoped(&faults);
    faults.fail(Op::kCreate, 1);
    ASSERT_EQ(open(5), 0);
  }
  ASSERT_EQ(hooks_.boxes.size(), 2u);
  expect_status_box(1, 5, path(".dbr"));
  EXPECT_LE(+log_.dbr_file, 0);
  OspreyClose(&log_, 5);
  expect_set_closed();
  EXPECT_EQ(remark_offsets(path(".dbs")), remark_offsets_of(contacts));
}

// ---- The count check ----

TEST_F(LogOpenTest, CountMismatchIsForcedOnlyOnYesAndAskedInAQuickOpenToo) {
  LogGenerator g(3);
  ContactFileBuilder b;
  for (int i = 0; i < 10; ++i) b.add(g.next());
  b.remarks_count = 3;
  b.remarks_date = {1, 2, 3};
  b.write_log(base_);
  write_master_file(path(".mst"), g.masters());
  const std::vector<uint8_t> remarks = read_file(path(".dbr"));

  for (int32_t flags : {0, 2}) {
    SCOPED_TRACE(flags);
    hooks_.boxes.clear();
    hooks_.answer({kNo});
    ASSERT_EQ(open(flags), 0);
    ASSERT_EQ(hooks_.boxes.size(), 1u);
    expect_count_question(0);
    EXPECT_EQ(remarks_count_of(), 3);
    OspreyClose(&log_, flags);
    expect_set_closed();
    EXPECT_EQ(read_file(path(".dbr")), remarks) << "No leaves the header alone";
  }

  hooks_.boxes.clear();
  hooks_.answer({kYes});
  ASSERT_EQ(open(2), 0);
  expect_count_question(0);
  EXPECT_EQ(remarks_count_of(), 10);
  OspreyClose(&log_, 2);
  std::vector<uint8_t> forced = remarks;
  forced[1] = 26;  // the date of the write-back
  forced[2] = 3;
  forced[3] = 7;
  forced[4] = 10;
  EXPECT_EQ(read_file(path(".dbr")), forced);
  // They agree now: no question.
  hooks_.boxes.clear();
  ASSERT_EQ(open(0), 0);
  EXPECT_TRUE(hooks_.boxes.empty());
  OspreyClose(&log_, 0);
}

// ---- Paths ----

TEST_F(LogOpenTest, OverlongBasePathFailsAsItsFirstFileWithoutTouchingAny) {
  const std::string base = dir_.file(std::string(300 - dir_.path().size(), 'q'));
  LogHandle before{};
  std::strcpy(before.mst.path, "kept.mst");
  log_ = before;
  EXPECT_EQ(OspreyOpen(&dc_, &log_, base.c_str(), 0, 5), 42);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_status_box(0, 5, base + ".mst");
  EXPECT_EQ(std::memcmp(&log_, &before, sizeof before), 0) << "the handle is untouched";

  hooks_.boxes.clear();
  EXPECT_EQ(OspreyOpen(&dc_, &log_, base.c_str(), 0, 2), 5);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_status_box(0, 5, base + ".dbs");
  EXPECT_TRUE(fs::is_empty(dir_.path()));

  // A reopen whose stored path has no end in its field.
  hooks_.boxes.clear();
  std::memset(log_.dbr_name, 'r', sizeof log_.dbr_name);
  EXPECT_EQ(OspreyOpen(&dc_, &log_, nullptr, 0, 2), 5);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_status_box(0, 5, std::string(260, 'r'));
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(LogOpenTest, QuestionNamesAPathOfTheLongestLengthInFull) {
  // Folders nested so that the contact file's path has 259 characters.
  std::string folder = dir_.path();
  while (folder.size() + 1 + 100 + 4 < 259) {
    folder += "/" + std::string(100, 'd');
    fs::create_directory(folder);
  }
  const std::string base = folder + "/" + std::string(259 - folder.size() - 1 - 4, 'L');
  write_generated_log(base, 5, 2);
  fs::remove(base + ".dbs");
  ASSERT_EQ((base + ".dbs").size(), 259u);
  hooks_.answer({kNo});
  EXPECT_EQ(OspreyOpen(&dc_, &log_, base.c_str(), 0, 5), 40);
  ASSERT_EQ(hooks_.boxes.size(), 1u);
  expect_create_question(0, base + ".dbs");
}

}  // namespace
}  // namespace osp::test
