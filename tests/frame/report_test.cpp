#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/report.h"
#include "frame/sjis.h"
#include "frame/status.h"
#include "frame/version.h"
#include "osprey32.h"
#include "support/hooks_fixture.h"

namespace osp {
namespace {

using test::HookRecorder;
using test::sjis;

TEST(Version, IsTheConstant) { EXPECT_EQ(GetOspdllVersion(), 275456); }

TEST(ReportStatus, ZeroShowsNothing) {
  HookRecorder hooks;
  EXPECT_EQ(report_status(0, "anything"), 0);
  EXPECT_TRUE(hooks.boxes.empty());
}

TEST(ReportStatus, ComposesMessageSubjectCaptionAndStyle) {
  HookRecorder hooks;
  EXPECT_EQ(report_status(7, "A.dx1"), 1);
  ASSERT_EQ(hooks.boxes.size(), 1u);
  EXPECT_EQ(hooks.boxes[0].text, sjis(" インデックス読み込みエラー（A.dx1）"));
  EXPECT_EQ(hooks.boxes[0].caption, "OSPREY32.DLL");
  EXPECT_EQ(hooks.boxes[0].style, 0x10u);
  EXPECT_EQ(hooks.boxes[0].use_active, 0);
}

TEST(ReportStatus, ReturnsWhatTheBoxReturned) {
  HookRecorder hooks;
  hooks.default_answer = 0;
  EXPECT_EQ(report_status(5, "x"), 0);
}

TEST(ReportStatus, EveryCodeHasItsMessage) {
  const struct {
    int32_t code;
    const char* utf8;
  } table[] = {
      {2, "データファイルの構造が違う"}, {3, "インデックスの構造が違う"},
      {5, "ファイルがオープンできない"}, {6, "メモリーが確保できない"},
      {7, "インデックス読み込みエラー"}, {8, "インデックス書き込みエラー"},
      {15, "インデックスの再構築が必要"}, {21, "データ読み込みエラー"},
      {22, "データ書き込みエラー"},       {23, "インデックス構築エラー"},
      {25, "作業ファイルが作れない"},     {26, "キー表現式が不正"},
      {29, "不正なソート、又は重複"},
  };
  for (const auto& row : table) EXPECT_EQ(status_message(row.code), sjis(row.utf8)) << row.code;
  for (int32_t code : {1, 4, 9, 10, 11, 12, 24, 27, -1, 40, 0x7FFFFFFF})
    EXPECT_EQ(status_message(code), sjis("なんらかのエラー発生")) << code;
}

TEST(ReportStatus, LongSubjectIsCutToFitWithoutSplittingACharacter) {
  char out[kReportTextSize + 16];
  std::memset(out, 'Z', sizeof out);
  const std::string kanji = sjis("漢");  // two bytes
  // Subjects of every length and both parities of double-byte alignment.
  for (size_t len = 0; len < 400; len += 1) {
    std::string subject;
    if (len % 2 == 1) subject += 'a';
    while (subject.size() < len) subject += kanji;
    compose_status_text(2, subject.c_str(), out);
    const std::string text(out);
    ASSERT_LT(text.size(), static_cast<size_t>(kReportTextSize));
    ASSERT_EQ(out[kReportTextSize], 'Z') << "wrote past the buffer";
    const std::string close = sjis("）");
    ASSERT_EQ(text.substr(text.size() - close.size()), close);
    // The text is a whole sequence of Shift-JIS characters.
    size_t i = 0;
    while (i < text.size()) i += sjis_lead_byte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    ASSERT_EQ(i, text.size()) << "a double-byte character was split at length " << len;
    if (len < 100) {
      EXPECT_NE(text.find(subject), std::string::npos);
    }
  }
}

TEST(ReportStatus, NullSubjectCountsAsEmpty) {
  char out[kReportTextSize];
  compose_status_text(5, nullptr, out);
  EXPECT_EQ(std::string(out), sjis(" ファイルがオープンできない（）"));
}

}  // namespace
}  // namespace osp
