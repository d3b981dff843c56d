#include "record/view_codec.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "record/contact_record.h"
#include "record/remark_block.h"
#include "support/contact_file_builder.h"
#include "support/log_generator.h"

namespace osp::log {
namespace {

using test::TestContact;

// Puts c's record and remark block into a handle, as the cursor leaves them.
void load(const TestContact& c, LogHandle* lh) {
  const std::vector<uint8_t> data = test::contact_data(c, 0);
  std::memcpy(lh->dbs_image, data.data(), data.size());
  const std::vector<uint8_t> block = test::remark_block_of(c);
  std::memset(lh->remark_len, 0, 3);
  if (!block.empty()) {
    std::memcpy(lh->remark_len, block.data(), 3);
    std::memcpy(lh->remark_text, block.data() + 3, block.size() - 3);
  }
}

TEST(ViewCodec, GeneratedContactsRoundTripEveryField) {
  test::LogGenerator gen(20260307);
  LogHandle lh{};
  for (int i = 0; i < 2000; ++i) {
    const TestContact c = gen.next();
    load(c, &lh);
    std::memset(&lh.view, 'Z', sizeof lh.view);
    unpack_view(&lh, kUnpackBoth);
    const ContactView want = test::expected_view(c);
    ASSERT_EQ(test::view_difference(lh.view, want), "") << "contact " << i;

    // Packing the view over a record of other bytes gives the record back
    // (OFS excepted, which packing leaves alone) and leaves the view as is.
    uint8_t image[contact::kRecordSize];
    std::memset(image, 0xA5, sizeof image);
    pack_contact(&lh.view, image);
    const std::vector<uint8_t> data = test::contact_data(c, 0xA5A5A5A5);
    ASSERT_EQ(std::vector<uint8_t>(image, image + contact::kDataSize), data) << "contact " << i;
    ASSERT_EQ(test::view_difference(lh.view, want), "") << "contact " << i;
  }
}

TEST(ViewCodec, ShowsTheFrequencyOfEveryBand) {
  LogHandle lh{};
  for (int band = 0; band < 15; ++band) {
    for (const std::string& f : test::LogGenerator::band_frequencies(band)) {
      TestContact c;
      c.frequency = f;
      load(c, &lh);
      unpack_view(&lh, kUnpackBoth);
      EXPECT_EQ(std::string(lh.view.frequency), f) << "band " << band;
      uint8_t image[contact::kRecordSize] = {};
      pack_contact(&lh.view, image);
      EXPECT_EQ(std::memcmp(image + contact::kFreq.data(), lh.dbs_image + contact::kFreq.data(), 4),
                0)
          << f;
    }
  }
}

TEST(ViewCodec, OptionsChooseSeparatorsAndRemarks) {
  TestContact c;
  c.remarks = {"ABC", "", "XYZ"};
  LogHandle lh{};
  load(c, &lh);
  unpack_view(&lh, 0);
  EXPECT_STREQ(lh.view.date, "030507");
  EXPECT_STREQ(lh.view.time, "2105J");
  EXPECT_EQ(std::string(lh.view.remark1), std::string(28, ' '));
  EXPECT_EQ(std::string(lh.view.remark3), std::string(54, ' '));

  unpack_view(&lh, kUnpackRemarks);
  EXPECT_EQ(std::string(lh.view.remark1), "ABC" + std::string(25, ' '));
  EXPECT_EQ(std::string(lh.view.remark2), std::string(54, ' '));
  EXPECT_EQ(std::string(lh.view.remark3), "XYZ" + std::string(51, ' '));
}

TEST(ViewCodec, DamagedRemarkLengthsAreCappedToTheirFields) {
  LogHandle lh{};
  for (int i = 0; i < 136; ++i) lh.remark_text[i] = static_cast<char>('!' + i % 90);
  lh.remark_len[0] = lh.remark_len[1] = lh.remark_len[2] = 255;
  std::memset(&lh.view, 'Z', sizeof lh.view);
  unpack_view(&lh, kUnpackBoth);
  EXPECT_EQ(std::string(lh.view.remark1), std::string(lh.remark_text, 28));
  EXPECT_EQ(std::string(lh.view.remark2), std::string(lh.remark_text + 28, 54));
  EXPECT_EQ(std::string(lh.view.remark3), std::string(lh.remark_text + 82, 54));
}

TEST(ViewCodec, PackingAKindThreeCodeMarksItInRecordAndView) {
  LogHandle lh{};
  load(TestContact{}, &lh);
  unpack_view(&lh, kUnpackBoth);
  std::memcpy(lh.view.code, "5000  ", 7);
  pack_view(&lh);
  EXPECT_STREQ(lh.view.code, "500A  ");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(lh.dbs_image) + contact::kCode.data(), 6),
            "500A  ");
  // A four-digit code of another kind is left as it is.
  std::memcpy(lh.view.code, "1001  ", 7);
  pack_view(&lh);
  EXPECT_STREQ(lh.view.code, "1001  ");
}

TEST(ViewCodec, PackingCleansTheViewsFrequencyAndKeepsOfs) {
  LogHandle lh{};
  load(TestContact{}, &lh);
  contact::set_remark_offset(lh.dbs_image, 4242);
  unpack_view(&lh, kUnpackBoth);
  std::memcpy(lh.view.frequency, "430.   ", 8);
  pack_view(&lh);
  EXPECT_STREQ(lh.view.frequency, "430    ");
  EXPECT_EQ(contact::remark_offset(lh.dbs_image), 4242u);
}

TEST(ViewCodec, ShorterTextsLeaveTheRestOfTheirFields) {
  LogHandle lh{};
  TestContact c;
  c.callsign = "QA1ABCD";
  c.name = "ABCDEFGHIJKL";
  load(c, &lh);
  unpack_view(&lh, kUnpackBoth);
  std::strcpy(lh.view.callsign, "QB2");
  std::strcpy(lh.view.name, "XY");
  // A view field filled to its width without a NUL is taken only to its width.
  std::memcpy(lh.view.portable, "/1 #", 4);
  pack_view(&lh);
  const char* rec = reinterpret_cast<char*>(lh.dbs_image);
  EXPECT_EQ(std::string(rec + contact::kCallsign.data(), 7), "QB2ABCD");
  EXPECT_EQ(std::string(rec + contact::kName.data(), 12), "XYCDEFGHIJKL");
  EXPECT_EQ(std::string(rec + contact::kPotbl.data(), 3), "/1 ");
  EXPECT_EQ(std::string(rec + contact::kMode.data(), 3), "CW ");
}

}  // namespace
}  // namespace osp::log
