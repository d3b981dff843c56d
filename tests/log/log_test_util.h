// A fixture for the tests of opening and closing a log: a temporary folder
// with a log's base path, the recorded hooks, the caller's LogHandle, and
// checks of the boxes shown and of the files left closed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "frame/file.h"
#include "frame/report.h"
#include "osprey32.h"
#include "support/contact_file_builder.h"
#include "support/hooks_fixture.h"
#include "support/log_generator.h"
#include "support/master_file_builder.h"
#include "support/temp_dir.h"

namespace osp::test {

// The files of a log's set that the library opens, by extension.
inline const char* const kSetExtensions[8] = {".mst", ".dbs", ".dbr", ".dx0",
                                              ".dx1", ".dx2", ".dx3", ".dx4"};

inline constexpr uint32_t kQuestionStyle = 0x24;  // Yes/No, question icon
inline constexpr uint32_t kMismatchStyle = 0x14;  // Yes/No, stop icon
inline constexpr uint32_t kStatusStyle = 0x10;    // OK, stop icon
inline constexpr int32_t kYes = OSP_ANSWER_YES;
inline constexpr int32_t kNo = OSP_ANSWER_NO;

// The text a status box shows for code and subject.
inline std::string status_text(int32_t code, const std::string& subject) {
  char text[kReportTextSize];
  compose_status_text(code, subject.c_str(), text);
  return text;
}

class LogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // A test that failed half-way must not leave its files held.
    if (log_.dbs.handle.file > 0 || log_.dbr_file > 0 || log_.mst.handle.file > 0 ||
        log_.viewer != nullptr)
      OspreyClose(&log_, 4);
  }

  std::string path(const std::string& extension) const { return base_ + extension; }

  // Writes a generated log of count contacts: .dbs, .dbr and .mst, no index.
  void make_log(size_t count, uint64_t seed = 7) { write_generated_log(base_, count, seed); }

  int32_t open(int32_t flags, int32_t viewer_length = 0) {
    return OspreyOpen(&dc_, &log_, base_.c_str(), viewer_length, flags);
  }

  // Opens fully (building every index) and closes with the file times, so
  // that the log has all eight files and a profile that agrees with them.
  void make_complete_log(size_t count, uint64_t seed = 7) {
    make_log(count, seed);
    ASSERT_EQ(open(1), 0);
    OspreyClose(&log_, 1);
    hooks_.boxes.clear();
    hooks_.texts.clear();
  }

  // Every file of the set is closed: the handle says so, the viewer is not
  // allocated, and each file that exists can be opened exclusively again.
  void expect_set_closed(bool viewer_freed = true) {
    EXPECT_LE(+log_.dbs.handle.file, 0);
    EXPECT_LE(+log_.mst.handle.file, 0);
    EXPECT_LE(+log_.dbr_file, 0);
    for (int i = 0; i < 5; ++i) EXPECT_LE(+log_.index_slot[i].file, 0) << "slot " << i;
    if (viewer_freed) {
      EXPECT_EQ(+log_.viewer, nullptr);
    }
    for (const char* extension : kSetExtensions) {
      const std::string p = path(extension);
      if (!file_exists(p)) continue;
      const FileHandle f = file_open_existing(p.c_str(), kGenericReadWrite);
      EXPECT_NE(f, kNoFile) << p << " is still held";
      if (f != kNoFile) file_close(f);
    }
  }

  // The box at index i (of hooks_.boxes) shows status code with subject.
  void expect_status_box(size_t i, int32_t code, const std::string& subject) {
    ASSERT_LT(i, hooks_.boxes.size()) << "no box " << i;
    const CapturedBox& b = hooks_.boxes[i];
    EXPECT_EQ(b.text, status_text(code, subject)) << "box " << i;
    EXPECT_EQ(b.caption, "OSPREY32.DLL");
    EXPECT_EQ(b.style, kStatusStyle);
    EXPECT_EQ(b.use_active, 0);
  }

  // The box at index i asks whether to create the file at p anew.
  void expect_create_question(size_t i, const std::string& p) {
    ASSERT_LT(i, hooks_.boxes.size()) << "no box " << i;
    const CapturedBox& b = hooks_.boxes[i];
    EXPECT_EQ(b.text, p + sjis("がオープンできません！  新規作成しますか？")) << "box " << i;
    EXPECT_EQ(b.caption, "OSPREY32.DLL");
    EXPECT_EQ(b.style, kQuestionStyle);
    EXPECT_EQ(b.use_active, 0);
  }

  // The box at index i asks whether to force the remarks file's count.
  void expect_count_question(size_t i) {
    ASSERT_LT(i, hooks_.boxes.size()) << "no box " << i;
    const CapturedBox& b = hooks_.boxes[i];
    EXPECT_EQ(b.text, sjis("強引に合わせておきますか？"));
    EXPECT_EQ(b.caption, sjis(".ＤＢＳと.ＤＢＲが不整合のおそれ"));
    EXPECT_EQ(b.style, kMismatchStyle);
    EXPECT_EQ(b.use_active, 0);
  }

  // The index files whose progress text was drawn, in order.
  std::vector<std::string> built_indexes() const {
    std::vector<std::string> built;
    for (const CapturedText& t : hooks_.texts)
      if (t.y == 160 && t.text.find_first_not_of(' ') != std::string::npos)
        built.push_back(t.text);
    return built;
  }

  TempDir dir_;
  HookRecorder hooks_;
  std::string base_ = dir_.file("LOG");
  LogHandle log_{};
  int dc_ = 0;  // stands for the caller's device context
};

// Bytes of a file at an offset, for checking a header or a record in place.
inline std::vector<uint8_t> bytes_at(const std::string& path, size_t offset, size_t count) {
  const std::vector<uint8_t> all = read_file(path);
  if (offset + count > all.size()) return {};
  return std::vector<uint8_t>(all.begin() + static_cast<std::ptrdiff_t>(offset),
                              all.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

}  // namespace osp::test
