// The user text file: lookups and walks in both layouts, the index file's
// reuse and rebuild, and opens that fail part-way.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "log/log_fixture.h"
#include "osprey32.h"
#include "support/fault_env.h"
#include "support/hooks_fixture.h"
#include "support/temp_dir.h"
#include "support/user_text_builder.h"
#include "text/packed_key.h"

namespace osp {
namespace {

namespace fs = std::filesystem;
using test::Fault;
using test::FaultEnv;
using test::Op;
using test::record_columns;
using test::ScopedEnv;

void put(const std::string& path, const std::string& bytes) {
  test::write_file(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

// Moves the file's last-write time, as saving it again would.
// Each call moves it to a time of its own (file times are kept to two
// seconds, so files written in quick succession could share one).
void touch(const std::string& path) {
  static int hours = 0;
  fs::last_write_time(path, fs::last_write_time(path) - std::chrono::hours(++hours));
}

// Records begin after offset 20: headers are at least that long.
const std::string kHeader = "AREA LIST 2026 EDITION.";

std::string trimmed(const char* field) {
  std::string s(field);
  s.erase(s.find_last_not_of(' ') + 1);
  return s;
}

// "c_key|info1|j_key|info2|info3" of the fields, each without trailing blanks.
std::string fields(const UserTextFile& f) {
  return trimmed(f.c_key) + "|" + trimmed(f.info1) + "|" + trimmed(f.j_key) + "|" +
         trimmed(f.info2) + "|" + trimmed(f.info3);
}

class UserTextFileTest : public ::testing::Test {
 protected:
  void TearDown() override { User_close(type_, &file_); }

  int32_t open(int32_t type, const std::string& path) {
    type_ = type;
    return User_open(nullptr, type, &file_, path.c_str());
  }
  int32_t seek(const std::string& key, LogHandle* log = nullptr) {
    return User_Seek(log, type_, &file_, key.c_str());
  }
  // The c_keys of a list walked from 1 to entry_count.
  std::vector<std::string> walk(char selector) {
    std::vector<std::string> keys;
    for (int32_t i = 1; User_Read(selector, i, &file_) == 0; ++i) keys.push_back(trimmed(file_.c_key));
    return keys;
  }

  test::TempDir dir_;
  test::HookRecorder hooks_;
  UserTextFile file_{};
  int32_t type_ = 1;
  std::string text_ = dir_.file("AREA.TXT");
  std::string hdx_ = dir_.file("AREA.HDX");
  std::string idx_ = dir_.file("AREA.IDX");
};

const std::vector<std::string> kAreas = {
    record_columns("JA1AAA", "TOKYO", "100200", "CHIYODA", "FIRST"),
    record_columns("AB0001", "OSAKA", "250100", "KITA"),
    record_columns("JA1AAA", "SECOND", "000100", "AGAIN"),
    record_columns("ZZ9ZZZ", "LAST", "999999"),
    record_columns("B     ", "SHORT"),
};

TEST_F(UserTextFileTest, VariableLayoutLooksUpAndWalksItsThreeOrders) {
  put(text_, test::variable_text("AREA LIST 2026 EDITION.B", kAreas));
  ASSERT_EQ(open(1, text_), 0);
  EXPECT_EQ(file_.entry_count, 5);
  EXPECT_STREQ(file_.header_text, "AREA LIST 2026 EDITION.");
  EXPECT_EQ(test::read_file(hdx_).size(), 8u + 14 * 5);

  EXPECT_EQ(seek("AB0001"), 1);
  EXPECT_EQ(fields(file_), "AB0001|OSAKA|250100|KITA|");
  // Repeated keys: the first in file order, then the next one in key order.
  EXPECT_EQ(seek("JA1AAA"), 3);
  EXPECT_EQ(fields(file_), "JA1AAA|TOKYO|100200|CHIYODA|FIRST");
  ASSERT_EQ(User_Read('C', 4, &file_), 0);
  EXPECT_EQ(fields(file_), "JA1AAA|SECOND|000100|AGAIN|");
  // A line that ends early reads as blanks and is found by them.
  EXPECT_EQ(seek("B     "), 2);
  EXPECT_EQ(fields(file_), "B|SHORT|||");
  EXPECT_EQ(seek("QQ0000"), -1);

  EXPECT_EQ(walk('C'), (std::vector<std::string>{"AB0001", "B", "JA1AAA", "JA1AAA", "ZZ9ZZZ"}));
  EXPECT_EQ(walk('F'), (std::vector<std::string>{"JA1AAA", "AB0001", "JA1AAA", "ZZ9ZZZ", "B"}));
  EXPECT_EQ(walk('J'), (std::vector<std::string>{"B", "JA1AAA", "JA1AAA", "AB0001", "ZZ9ZZZ"}));
  EXPECT_EQ(User_Read('C', 6, &file_), 10);
  EXPECT_EQ(User_Read('C', 0, &file_), 11);
  User_close(type_, &file_);
  EXPECT_EQ(file_.entry_count, -1);
  EXPECT_EQ(seek("AB0001"), -1);
  EXPECT_TRUE(hooks_.boxes.empty());
}

TEST_F(UserTextFileTest, TheIndexIsReusedUntilTheTextFileIsSavedAgain) {
  put(text_, test::variable_text(kHeader, kAreas));
  ASSERT_EQ(open(2, text_), 0);
  User_close(type_, &file_);
  struct Step {
    bool touch;
    bool damage;  // the stored count disagrees with the file's length
    bool rebuilt;
  };
  for (const Step& s : {Step{false, false, false}, Step{true, false, true},
                        Step{false, true, true}, Step{false, false, false}}) {
    if (s.touch) touch(text_);
    if (s.damage) {
      auto b = test::read_file(hdx_);
      b[4] = 9;
      test::write_file(hdx_, b);
    }
    FaultEnv env;
    ScopedEnv scoped(&env);
    ASSERT_EQ(open(2, text_), 0);
    EXPECT_EQ(env.calls(Op::kWrite) > 0, s.rebuilt) << s.touch << s.damage;
    EXPECT_EQ(seek("ZZ9ZZZ"), 5);
    EXPECT_EQ(fields(file_), "ZZ9ZZZ|LAST|999999||");
    User_close(type_, &file_);
  }
}

TEST_F(UserTextFileTest, Type0TakesTheLeadCountFromTheHeaderAndMarksTheLeadingRecords) {
  file_.lead_count = 77;
  put(text_, test::variable_text("HEADER TEXT OF 23 BYTESC", kAreas));
  ASSERT_EQ(open(0, text_), 0);
  EXPECT_EQ(file_.lead_count, 3);
  EXPECT_EQ(seek("AB0001"), 1);
  EXPECT_EQ(file_.marker, 2);
  EXPECT_EQ(seek("ZZ9ZZZ"), 5);  // the fourth record is beyond the three leading ones
  EXPECT_EQ(file_.marker, 0);
  User_close(type_, &file_);
  EXPECT_EQ(file_.lead_count, 0);
  // Without a capital letter the lead count stays as it was.
  file_.lead_count = 2;
  put(text_, test::variable_text("HEADER TEXT OF 23 BYTES.", kAreas));
  ASSERT_EQ(open(0, text_), 0);
  EXPECT_EQ(file_.lead_count, 2);
}

TEST_F(UserTextFileTest, TheMarkerKeysMarkAFileThatBeginsWithThem) {
  struct Case {
    std::vector<std::string> keys;
    uint8_t marker;
  };
  for (const Case& c : {Case{{"000000", "AAAAAA"}, 1}, Case{{"AAAAAA", "999999"}, 1},
                        Case{{"999999", "000000"}, 0}}) {
    put(text_, test::variable_text(kHeader, {record_columns(c.keys[0]), record_columns(c.keys[1]),
                                              record_columns("LAST RECORD")}));
    touch(text_);
    ASSERT_EQ(open(1, text_), 0);
    EXPECT_EQ(file_.marker, c.marker) << c.keys[0];
    User_close(type_, &file_);
  }
}

TEST_F(UserTextFileTest, AtMost50000RecordsAllBelowSixteenMebibytes) {
  std::string t = kHeader + "\r\n";
  for (int i = 0; i < 50010; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "K%05d", i);
    t += "'" + std::string(key) + "\r\n";
  }
  put(text_, t);
  ASSERT_EQ(open(1, text_), 0);
  EXPECT_EQ(file_.entry_count, 50000);
  EXPECT_EQ(seek("K49999"), 50000);
  EXPECT_EQ(seek("K50000"), -1);
  User_close(type_, &file_);

  // Records that begin where three position bytes cannot point are not taken.
  std::string far = kHeader + "\r\n'NEAR01\r\n";
  far.resize((1u << 24) - 9, ' ');
  far += "\n'EDGE01\r\n'PAST01\r\n" + std::string(40, ' ');
  put(text_, far);
  touch(text_);
  ASSERT_EQ(open(1, text_), 0);
  EXPECT_EQ(file_.entry_count, 2);
  EXPECT_EQ(seek("EDGE01"), 1);
  EXPECT_EQ(seek("PAST01"), -1);
}

TEST_F(UserTextFileTest, FixedLayoutStoresADeltaStreamAndLooksUpByKey) {
  put(text_, test::fixed_text("FIXED AREA LIST", {"ABC123INFO ONE    100200", "ABC124INFO TWO",
                                                  "ZZZ999LAST"}));
  type_ = 4;
  ASSERT_EQ(User_open(nullptr, 4, &file_, text_.c_str()), 0);
  EXPECT_EQ(file_.entry_count, 1);
  EXPECT_EQ(file_.lead_count, 3);
  const auto stream = test::read_file(hdx_);
  ASSERT_EQ(stream.size(), 4u + 5 + 1 + 5);
  EXPECT_EQ(std::vector<uint8_t>(stream.begin() + 4, stream.begin() + 10),
            (std::vector<uint8_t>{0x00, 0x65, 0x13, 0x7F, 0x53, 0x01}));
  const uint32_t key = 0x537F1365;  // ABC123, already packed (type 4)
  EXPECT_EQ(User_Seek(nullptr, 4, &file_, &key), 1);
  EXPECT_EQ(fields(file_), "ABC123|INFO ONE|100200||");
  const uint32_t missing = 0x537F1367;
  EXPECT_EQ(User_Seek(nullptr, 4, &file_, &missing), -1);
  EXPECT_EQ(User_Read('C', 1, &file_), 10);  // no lists to walk
  User_close(type_, &file_);

  FaultEnv env;
  ScopedEnv scoped(&env);
  ASSERT_EQ(User_open(nullptr, 4, &file_, text_.c_str()), 0);
  EXPECT_EQ(env.calls(Op::kWrite), 0);
  const uint32_t last = text::packed_key(reinterpret_cast<const uint8_t*>("ZZZ999"));
  EXPECT_EQ(User_Seek(nullptr, 4, &file_, &last), 1);
  EXPECT_EQ(fields(file_), "ZZZ999|LAST|||");
}

TEST_F(UserTextFileTest, FixedLayoutRefusesKeysOutOfOrderAndABadHeader) {
  struct Case {
    std::string text;
    int32_t status;
  };
  const Case cases[] = {
      {test::fixed_text("H", {"AAAAAA", "AAAAAA"}), 29},
      {test::fixed_text("H", {"BBBBBB", "AAAAAA"}), 29},
      {"SHORT HEADER\r\nAAAAAA                  \r\n", 2},
  };
  for (const Case& c : cases) {
    put(text_, c.text);
    touch(text_);
    hooks_.boxes.clear();
    EXPECT_EQ(open(3, text_), c.status);
    EXPECT_EQ(file_.entry_count, -1);
    EXPECT_EQ(file_.fixed_keys, nullptr);
    EXPECT_FALSE(test::file_exists(idx_));
    EXPECT_EQ(hooks_.boxes.size(), 1u);
  }
}

TEST_F(UserTextFileTest, Type3FillsInfo2FromTheMasterFile) {
  const std::string base = dir_.file("LOG");
  test::write_log(base, {test::contact("QA1AAA")});
  test::OpenedLog log(base);
  ASSERT_EQ(log.status, 0);
  put(text_, test::fixed_text("WITH MASTERS", {"AAAAAAONE         1001  ", "BBBBBBTWO         9999  ",
                                               "CCCCCCTHREE"}));
  ASSERT_EQ(open(3, text_), 0);
  EXPECT_TRUE(test::file_exists(idx_));
  EXPECT_EQ(seek("AAAAAA", log.get()), 1);
  EXPECT_EQ(fields(file_), "AAAAAA|ONE|1001|CHIYODA|");
  EXPECT_EQ(seek("BBBBBB", log.get()), 1);
  EXPECT_EQ(fields(file_), "BBBBBB|TWO|9999||");
  EXPECT_EQ(seek("CCCCCC", log.get()), 1);
  EXPECT_EQ(fields(file_), "CCCCCC|THREE|||");
}

TEST_F(UserTextFileTest, TheProgressTextNamesTheFile) {
  put(text_, test::variable_text(kHeader, kAreas));
  int dc = 0;
  type_ = 1;
  ASSERT_EQ(User_open(&dc, 1, &file_, text_.c_str()), 0);
  ASSERT_EQ(hooks_.texts.size(), 4u);
  EXPECT_EQ(hooks_.texts[0].text, std::string(200, ' '));
  EXPECT_EQ(hooks_.texts[2].x, 45);
  EXPECT_EQ(test::utf8(hooks_.texts[2].text, ""), "テキストデータ読み込み中・・・");
  EXPECT_EQ(hooks_.texts[3].text, text_);
  EXPECT_EQ(hooks_.texts[3].x, (360 - 9 * static_cast<int32_t>(text_.size())) / 2);
}

// Every open that fails part-way leaves the structure closed, every file
// closed, nothing allocated, and no index that the next open would trust:
// the next open finds every record.
TEST_F(UserTextFileTest, AnOpenThatFailsAnywhereLeavesNothingBehind) {
  std::vector<std::string> records;
  for (int i = 0; i < 3000; ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "K%05d", i);
    records.push_back(record_columns(key, "INFO", "J" + std::string(key + 1)));
  }
  struct Layout {
    int32_t type;
    std::string text;
  };
  const Layout layouts[] = {{1, test::variable_text(kHeader, records)},
                            {4, test::fixed_text("FIXED", records)}};
  const Op ops[] = {Op::kOpen, Op::kCreate, Op::kRead, Op::kWrite, Op::kSeek, Op::kTruncate,
                    Op::kAllocate};
  for (const Layout& layout : layouts) {
    put(text_, layout.text);
    for (const bool existing_index : {false, true}) {
      for (const Op op : ops) {
        for (int nth = 1;; ++nth) {
          if (!existing_index) fs::remove(hdx_);
          FaultEnv env;
          int32_t r = 0;
          {
            ScopedEnv scoped(&env);
            env.fail(op, nth, Fault::kShort);
            r = User_open(nullptr, layout.type, &file_, text_.c_str());
            if (r != 0) {
              EXPECT_EQ(file_.entry_count, -1);
              EXPECT_EQ(file_.file_order, nullptr);
              EXPECT_EQ(file_.c_order, nullptr);
              EXPECT_EQ(file_.j_order, nullptr);
              EXPECT_EQ(file_.fixed_keys, nullptr);
            }
            User_close(layout.type, &file_);
            EXPECT_EQ(env.live_bytes(), 0u);
            EXPECT_EQ(env.open_files(), 0u);
          }
          ASSERT_EQ(User_open(nullptr, layout.type, &file_, text_.c_str()), 0)
              << layout.type << " op " << static_cast<int>(op) << " call " << nth;
          SCOPED_TRACE(testing::Message() << layout.type << " op " << static_cast<int>(op) << " call " << nth << " existing " << existing_index);
          const uint32_t last = text::packed_key(reinterpret_cast<const uint8_t*>("K02999"));
          EXPECT_EQ(User_Seek(nullptr, layout.type, &file_, layout.type == 1 ? "K02999" : static_cast<const void*>(&last)),
                    layout.type == 1 ? 3000 : 1);
          User_close(layout.type, &file_);
          if (env.faults() == 0) break;
        }
      }
    }
  }
}

}  // namespace
}  // namespace osp
