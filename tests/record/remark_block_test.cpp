#include "record/remark_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frame/file.h"
#include "record/view_codec.h"
#include "support/contact_file_builder.h"
#include "support/fault_env.h"
#include "support/temp_dir.h"

namespace osp::log {
namespace {

// Packed LogHandle fields are passed to the test macros by value (+field):
// the macros bind references, which a packed field cannot take.

using test::Fault;
using test::FaultEnv;
using test::Op;
using test::ScopedEnv;

std::vector<uint8_t> block(uint8_t l1, uint8_t l2, uint8_t l3, const std::string& text) {
  std::vector<uint8_t> b(3 + text.size());
  b[0] = l1;
  b[1] = l2;
  b[2] = l3;
  std::memcpy(b.data() + 3, text.data(), text.size());
  return b;
}

// A remarks file with blocks at known offsets, open in a handle.
class RemarkRead : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ContactFileBuilder b;
    good_ = b.add_remark_bytes(block(3, 0, 5, "ABC" "HELLO"));
    empty_ = b.add_remark_bytes(block(0, 0, 0, ""));
    long1_ = b.add_remark_bytes(block(29, 0, 0, std::string(29, 'x')));
    full_ = b.add_remark_bytes(block(28, 54, 54, std::string(28, 'a') + std::string(54, 'b') +
                                                    std::string(54, 'c')));
    cut_text_ = b.add_remark_bytes(block(10, 10, 10, "only nine"));
    path_ = dir_.file("log.dbr");
    std::vector<uint8_t> bytes = b.dbr_bytes();
    bytes.insert(bytes.end(), {2, 1});  // the lengths of a block cut short
    cut_lengths_ = static_cast<uint32_t>(bytes.size() - 2);
    end_ = static_cast<uint32_t>(bytes.size());
    test::write_file(path_, bytes);
    lh_.dbr_file = file_open_existing(path_.c_str(), kGenericReadWrite);
    ASSERT_NE(+lh_.dbr_file, kNoFile);
  }
  void TearDown() override {
    if (lh_.dbr_file != kNoFile) file_close(lh_.dbr_file);
  }

  // Loads a block with text first, so that each case shows it empties the buffer.
  void preload() {
    ASSERT_EQ(read_remark_block(&lh_, good_), 0);
    ASSERT_EQ(lh_.remark_block_len, 11);
  }
  void expect_empty() {
    EXPECT_EQ(lh_.remark_len[0] + lh_.remark_len[1] + lh_.remark_len[2], 0);
    EXPECT_EQ(lh_.remark_block_len, 3);
    EXPECT_EQ(+lh_.remark_part2, lh_.remark_text);
    EXPECT_EQ(+lh_.remark_part3, lh_.remark_text);
  }

  test::TempDir dir_;
  std::string path_;
  LogHandle lh_{};
  uint32_t good_, empty_, long1_, full_, cut_text_, cut_lengths_, end_;
};

TEST_F(RemarkRead, ReadsABlockIntoTheBuffer) {
  ASSERT_EQ(read_remark_block(&lh_, good_), 0);
  EXPECT_EQ(std::vector<uint8_t>(lh_.remark_len, lh_.remark_len + 3),
            (std::vector<uint8_t>{3, 0, 5}));
  EXPECT_EQ(std::string(lh_.remark_text, 8), "ABCHELLO");
  EXPECT_EQ(+lh_.remark_part2, lh_.remark_text + 3);
  EXPECT_EQ(+lh_.remark_part3, lh_.remark_text + 3);
  EXPECT_EQ(lh_.remark_block_len, 11);

  ASSERT_EQ(read_remark_block(&lh_, full_), 0);
  EXPECT_EQ(lh_.remark_block_len, 139);
  EXPECT_EQ(+lh_.remark_part3, lh_.remark_text + 82);
  unpack_view(&lh_, kUnpackBoth);
  EXPECT_EQ(std::string(lh_.view.remark3), std::string(54, 'c'));
}

TEST_F(RemarkRead, OffsetsThatHoldNoBlockGiveNoRemarks) {
  const struct {
    const char* what;
    uint32_t offset;
    int32_t result;
  } cases[] = {
      {"no remarks", 0, 0},         {"inside the header", 1, 11},
      {"header end", 255, 11},      {"lengths all 0", empty_, 0},
      {"first length 29", long1_, 0}, {"at the end of the file", end_, 0},
      {"far past the end", 0x7FFFFFF0, 0}, {"lengths cut short", cut_lengths_, 21},
      {"text cut short", cut_text_, 21}, {"beyond a 32-bit position", 0xFFFFFFFF, 21},
  };
  for (const auto& c : cases) {
    preload();
    EXPECT_EQ(read_remark_block(&lh_, c.offset), c.result) << c.what;
    expect_empty();
  }
}

TEST_F(RemarkRead, ClosedRemarksFileGivesNoRemarks) {
  preload();
  file_close(lh_.dbr_file);
  lh_.dbr_file = kNoFile;
  EXPECT_EQ(read_remark_block(&lh_, good_), 0);
  expect_empty();
  // A handle of 0 counts as closed too: nothing is read from descriptor 0.
  lh_.dbr_file = 0;
  EXPECT_EQ(read_remark_block(&lh_, good_), 0);
  expect_empty();
  lh_.dbr_file = kNoFile;
}

TEST_F(RemarkRead, FileLayerFailuresGiveStatus21AndNoRemarks) {
  // The block is read in one positioned read (under a fault-injecting Env a
  // seek and a read): a read that comes back with less than the lengths
  // promise is as bad as one that fails.
  const struct {
    const char* what;
    Op op;
    Fault fault;
    uint32_t at;
  } cases[] = {
      {"seek fails", Op::kSeek, Fault::kFail, 0},
      {"read fails", Op::kRead, Fault::kFail, 0},
      {"read short of the text", Op::kRead, Fault::kShort, 1},
  };
  for (const auto& c : cases) {
    preload();
    FaultEnv env;
    ScopedEnv scoped(&env);
    env.fail(c.op, 1, c.fault);
    EXPECT_EQ(read_remark_block(&lh_, c.at == 0 ? good_ : full_), 21) << c.what;
    EXPECT_EQ(env.faults(), 1) << c.what;
    expect_empty();
  }
  // A short read that still holds the whole block is no failure.
  FaultEnv env;
  ScopedEnv scoped(&env);
  env.fail(Op::kRead, 1, Fault::kShort);
  EXPECT_EQ(read_remark_block(&lh_, good_), 0);
  EXPECT_EQ(lh_.remark_block_len, 11);
}

TEST(PackRemarks, BlankRemarksContributeNothing) {
  LogHandle lh{};
  std::memcpy(lh.view.remark1, ("ABC" + std::string(25, ' ')).c_str(), 29);
  std::memcpy(lh.view.remark2, std::string(54, ' ').c_str(), 55);
  std::memcpy(lh.view.remark3, ("XYZ" + std::string(51, ' ')).c_str(), 55);
  pack_remarks(&lh);
  EXPECT_EQ(std::vector<uint8_t>(lh.remark_len, lh.remark_len + 3),
            (std::vector<uint8_t>{3, 0, 3}));
  EXPECT_EQ(std::string(lh.remark_text, 6), "ABCXYZ");
  EXPECT_EQ(lh.remark_block_len, 9);
  EXPECT_EQ(+lh.remark_part2, lh.remark_text + 3);
  EXPECT_EQ(+lh.remark_part3, lh.remark_text + 3);
  uint8_t out[kRemarkBlockMax];
  ASSERT_EQ(remark_block_bytes(&lh, out), 9);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 9), block(3, 0, 3, "ABCXYZ"));
}

TEST(PackRemarks, KeepsLeadingBlanksAndStopsAtEachFieldsWidth) {
  LogHandle lh{};
  std::strcpy(lh.view.remark1, "");
  std::strcpy(lh.view.remark2, "  x  ");
  // Remark 3 fills its field to the last byte, NUL included.
  std::memset(lh.view.remark3, 'q', sizeof lh.view.remark3);
  pack_remarks(&lh);
  EXPECT_EQ(std::vector<uint8_t>(lh.remark_len, lh.remark_len + 3),
            (std::vector<uint8_t>{0, 3, 54}));
  EXPECT_EQ(std::string(lh.remark_text, 57), "  x" + std::string(54, 'q'));
  EXPECT_EQ(lh.remark_block_len, 60);
}

TEST(PackRemarks, DamagedLengthsAreCutWhenTheBlockIsWritten) {
  LogHandle lh{};
  lh.remark_len[0] = 200;
  lh.remark_len[1] = 1;
  lh.remark_len[2] = 200;
  uint8_t out[kRemarkBlockMax];
  EXPECT_EQ(remark_block_bytes(&lh, out), 3 + 28 + 1 + 54);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{28, 1, 54}));
}

}  // namespace
}  // namespace osp::log
