#include "index/key_expression.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dbf/field_descriptors.h"
#include "frame/file.h"
#include "frame/status.h"
#include "support/index_reader.h"
#include "support/record_file_builder.h"
#include "support/temp_dir.h"

namespace osp::index {
namespace {

using test::FieldSpec;
using test::RecordFileBuilder;
using test::TempDir;

// A master-file-like schema with one numeric field and one field that runs
// past the record (its record size is claimed one byte short).
class KeyExpressionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordFileBuilder b({{"CODE", 6}, {"FLG", 1}, {"HED", 1}, {"ERIA", 2}, {"NUM", 4, 'N'},
                         {"WIDE", 255}, {"WIDE2", 2}});
    b.add({"100101", "A", "H", "12", "0001", "w", "zz"});
    path_ = dir_.file("m.mst");
    b.write(path_);
    const FileHandle f = file_open_existing(path_.c_str(), kGenericRead);
    ASSERT_NE(f, kNoFile);
    ASSERT_EQ(dbf::read_record_layout(f, &layout_), status::kOk);
    file_close(f);
  }
  void TearDown() override { dbf::release_record_layout(&layout_); }

  int32_t parse(const std::string& text) { return parse_key_expression(text.c_str(), layout_, &key_); }

  std::vector<std::pair<int32_t, int32_t>> terms() const {
    std::vector<std::pair<int32_t, int32_t>> out;
    for (int i = 0; i < key_.term_count; ++i) out.emplace_back(key_.terms[i].offset, key_.terms[i].length);
    return out;
  }

  TempDir dir_;
  std::string path_;
  dbf::RecordLayout layout_;
  KeyExpression key_;
};

TEST_F(KeyExpressionTest, DescriptorsGiveNamesTypesLengthsAndOffsets) {
  ASSERT_EQ(layout_.field_count, 7);
  EXPECT_STREQ(layout_.fields[3].name, "ERIA");
  EXPECT_EQ(layout_.fields[3].offset, 9);
  EXPECT_EQ(layout_.fields[4].type, 'N');
  EXPECT_EQ(layout_.fields[5].length, 255);
  EXPECT_EQ(layout_.record_size, 1 + 6 + 1 + 1 + 2 + 4 + 255 + 2);
}

TEST_F(KeyExpressionTest, SeparatorsAreAnyRunOfPlusAndBlank) {
  ASSERT_EQ(parse("FLG+HED+ERIA"), 0);
  const auto plain = terms();
  EXPECT_EQ(key_.key_length, 4);
  for (const char* variant : {"FLG HED ERIA", " FLG + HED++ERIA ", "+FLG+++HED  ERIA+", "FLG+ +HED+ERIA"}) {
    ASSERT_EQ(parse(variant), 0) << variant;
    EXPECT_EQ(terms(), plain) << variant;
    EXPECT_EQ(key_.key_length, 4) << variant;
  }
}

TEST_F(KeyExpressionTest, KeyIsTheFieldsBytesInTermOrderRepeatsIncluded) {
  ASSERT_EQ(parse("ERIA+CODE+ERIA"), 0);
  EXPECT_EQ(key_.key_length, 10);
  RecordFileBuilder b({{"CODE", 6}, {"FLG", 1}, {"HED", 1}, {"ERIA", 2}});
  b.add({"100101", "A", "H", "1\xFF"});
  const std::string record = b.record(1);
  std::string key(10, '?');
  extract_key(key_, reinterpret_cast<const uint8_t*>(record.data()),
              reinterpret_cast<uint8_t*>(key.data()));
  EXPECT_EQ(key, "1\xFF" "100101" "1\xFF");
}

TEST_F(KeyExpressionTest, EmptyExpressionHasNoTerms) {
  for (const char* text : {"", "+", "  + "}) {
    ASSERT_EQ(parse(text), 0) << text;
    EXPECT_EQ(key_.term_count, 0);
    EXPECT_EQ(key_.key_length, 0);
  }
}

TEST_F(KeyExpressionTest, RefusedTerms) {
  EXPECT_EQ(parse("code"), status::kBadKeyExpression);      // names are case-sensitive
  EXPECT_EQ(parse("CODEX"), status::kBadKeyExpression);     // compared in full
  EXPECT_EQ(parse("COD"), status::kBadKeyExpression);
  EXPECT_EQ(parse("CODE+NUM"), status::kBadKeyExpression);  // not a character field
  EXPECT_EQ(parse("CODE-FLG"), status::kBadKeyExpression);  // no other operators
  EXPECT_EQ(parse("CODE\tFLG"), status::kBadKeyExpression);
}

TEST_F(KeyExpressionTest, KeyOfAtMost256Bytes) {
  EXPECT_EQ(parse("WIDE+FLG"), 0);
  EXPECT_EQ(key_.key_length, 256);
  EXPECT_EQ(parse("WIDE+ERIA"), status::kBadKeyExpression);
}

TEST_F(KeyExpressionTest, ExpressionOfAtMost98Characters) {
  std::string text = "CODE";
  while (text.size() + 4 <= 98) text += "+FLG";
  text.resize(98, ' ');
  EXPECT_EQ(parse(text), 0);
  EXPECT_EQ(parse(text + " "), status::kBadKeyExpression);
}

TEST_F(KeyExpressionTest, FieldRunningPastTheRecordIsRefused) {
  // The same file with its record size claimed two bytes short: WIDE2 then
  // runs past the record.
  RecordFileBuilder b({{"CODE", 6}, {"WIDE2", 2}});
  b.claim_record_size(static_cast<int16_t>(b.record_size() - 1));
  const std::string path = dir_.file("short.mst");
  b.write(path);
  const FileHandle f = file_open_existing(path.c_str(), kGenericRead);
  dbf::RecordLayout layout;
  ASSERT_EQ(dbf::read_record_layout(f, &layout), 0);
  file_close(f);
  EXPECT_EQ(parse_key_expression("CODE", layout, &key_), 0);
  EXPECT_EQ(parse_key_expression("WIDE2", layout, &key_), status::kBadKeyExpression);
  dbf::release_record_layout(&layout);
}

}  // namespace
}  // namespace osp::index
