// Reading ADI and ADX: records, headers, character references, and damaged
// files that must end in an error naming the record, never a read past the
// end; and ADX written by AdifWriter read back.
#include "adif/adif_reader.h"

#include <gtest/gtest.h>

#include "adif/adif_text.h"
#include "adif/adif_writer.h"

#include <string>
#include <vector>

namespace osprey_tool {
namespace {

// Reads every record; returns "NAME=value;" per field (after "WARNING text;"
// when the record has one) and "|" per record, then "ERROR n: text" (after
// "UNTERMINATED " when only the last <EOR> is missing) or "END".
std::string read_all(const std::string& text, AdifEncoding encoding = AdifEncoding::kDetect) {
  AdifReader reader(text, encoding);
  AdifRecord r;
  std::string out;
  for (int guard = 0; guard < 100; ++guard) {
    const AdifRead step = reader.next(&r);
    if (step == AdifRead::kEnd) return out + "END";
    if (step == AdifRead::kError)
      return out + (reader.unterminated() ? "UNTERMINATED " : "") + "ERROR " +
             std::to_string(reader.record_number()) + ": " + reader.error();
    if (!reader.warning().empty()) out += "WARNING " + reader.warning() + ";";
    for (const AdifField& f : r.fields) out += f.name + "=" + f.value + ";";
    out += "|";
  }
  return out + "NO END";
}

TEST(AdifReader, ReadsRecordsAndReportsDamage) {
  struct Case {
    std::string text;
    std::string want;  // a prefix of read_all's result
  };
  const std::vector<Case> cases = {
      {"", "END"},
      {"<call:2>AB<eor>", "CALL=AB;|END"},
      {"header <PROGRAMID:2>xy <EOH><CALL:3>A<B <MODE:2:S>CW junk <EOR>\n",
       "CALL=A<B;MODE=CW;|END"},
      {"header <CALL:2>ab no end of header", "ERROR 0: the header has no <EOH>"},
      {"<CALL:16>AB<EOR>", "ERROR 1: field CALL (16 bytes) runs past the end"},
      {"<CALL:2>AB<EOR><CALL:2>CD", "CALL=AB;|UNTERMINATED ERROR 2: record 2 has no <EOR>"},
      {"\xEF\xBB\xBF<CALL:2>AB<EOR>", "CALL=AB;|END"},
      {"\xEF\xBB\xBFmade here <EOH><CALL:2>AB<EOR>", "CALL=AB;|END"},
      {"<CALL:2>AB<NAME:20>Taro<EOR><CALL:2>CD<EOR><CALL:2>EF<eor>",
       "WARNING record 1: field NAME (20 bytes) runs past an <EOR>"},
      {"<CALL:x>AB<EOR>", "ERROR 1: a malformed tag"},
      {"<CALL:9999999999>AB<EOR>", "ERROR 1: a malformed tag"},
      {"<CALL:2>AB<EOR><CALL:2", "CALL=AB;|ERROR 2: a tag has no closing"},
      {"<?xml version=\"1.0\"?>\n<ADX><HEADER><ADIF_VER>3.1.0</ADIF_VER></HEADER><RECORDS>"
       "<RECORD><CALL>QA1ABC</CALL><NOTES_INTL>a &amp; b&#13;\r\nc &#x6771;</NOTES_INTL>"
       "<APP PROGRAMID=\"osprey\" FIELDNAME=\"code\" TYPE=\"S\">100101</APP><NAME/></RECORD>"
       "<RECORD></RECORD></RECORDS></ADX>",
       "CALL=QA1ABC;NOTES_INTL=a & b\r\nc \xE6\x9D\xB1;APP_OSPREY_CODE=100101;NAME=;||END"},
      {"<ADX><RECORDS/></ADX>", "END"},
      {"<ADX><RECORDS><RECORD><CALL>QA1ABC</MODE></RECORD></RECORDS></ADX>",
       "ERROR 1: record 1: field CALL is not closed"},
      {"<ADX><RECORDS><RECORD><CALL>Q&bogus;</CALL></RECORD></RECORDS></ADX>",
       "ERROR 1: record 1: field CALL has damaged text"},
      {"<ADX><RECORDS><RECORD><CALL>QA1ABC</CALL>", "ERROR 1: record 1 has no </RECORD>"},
      {"<ADX><HEADER>", "ERROR 0: no <RECORDS> element"},
      {"<ADX><RECORDS><RECORD><CALL>&#0;</CALL></RECORD></RECORDS></ADX>",
       "ERROR 1: record 1: field CALL has damaged text"},
      {"<ADX><RECORDS><RECORD><NOTES>a\rb\r\nc&#xD;&#10;</NOTES></RECORD></RECORDS></ADX>",
       "NOTES=a\nb\nc\r\n;|END"},
  };
  for (const Case& k : cases)
    EXPECT_EQ(read_all(k.text).substr(0, k.want.size()), k.want) << k.text;
}

// Remarks may hold any bytes; the ADX written for them must be well-formed
// XML that our reader brings back: XML's forbidden control characters as
// blanks, bytes that are not UTF-8 (and U+FFFE, U+FFFF) as U+FFFD.
TEST(AdifWriter, AdxOfAnyRemarkBytesReadsBack) {
  const std::string fffd = "\xEF\xBF\xBD";
  struct Case {
    std::string remark;
    std::string read_back;
  };
  const std::vector<Case> cases = {
      {"a & b <c> \"d\" 'e'", "a & b <c> \"d\" 'e'"},
      {"line 1\r\nline 2\rx\ny\tz", "line 1\r\nline 2\rx\ny\tz"},
      {std::string("A\x01" "B\x0B\x0C" "C\0" "D\x1A\x1F" "E\x7F", 12),
       std::string("A B  C D  E\x7F")},
      {"\xE6\x9D\xB1 \xF0\x9F\x93\xBB", "\xE6\x9D\xB1 \xF0\x9F\x93\xBB"},
      {"\x81\x40\xFF", fffd + "@" + fffd},  // Shift-JIS left unconverted
      {"\xC0\x80|\xED\xA0\x80|\xF4\x90\x80\x80", fffd + fffd + "|" + fffd + fffd + fffd +
                                                     "|" + fffd + fffd + fffd + fffd},
      {"\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD|\xE6\x9D", fffd + fffd + fffd + "|" + fffd + fffd},
  };
  AdifWriter writer(AdifFormat::kAdx);
  for (const Case& c : cases) {
    AdifRecord r;
    r.add("NOTES", c.remark);
    r.add("APP_OSPREY_CODE", c.remark);
    writer.record(r);
  }
  const std::string xml = writer.file("20240102 030405", std::string("made \x02 here\0", 12));
  for (const char c : xml) {
    const auto b = static_cast<unsigned char>(c);
    ASSERT_FALSE(b < 0x20 && b != '\t' && b != '\n' && b != '\r') << "byte " << int{b};
  }
  AdifReader reader(xml);
  for (const Case& c : cases) {
    AdifRecord r;
    ASSERT_EQ(reader.next(&r), AdifRead::kRecord) << reader.error();
    // A non-ASCII remark may come with its ASCII twin first; the _INTL
    // field, which carries it whole, comes before the APP field.
    ASSERT_GE(r.fields.size(), 2u);
    const AdifField& notes = r.fields[r.fields.size() - 2];
    EXPECT_EQ(notes.value, c.read_back) << c.remark;
    EXPECT_EQ(r.fields.back().name, "APP_OSPREY_CODE");
    EXPECT_EQ(r.fields.back().value, c.read_back) << c.remark;
  }
  AdifRecord r;
  EXPECT_EQ(reader.next(&r), AdifRead::kEnd);
}

// Values come out as UTF-8 whatever the file's text: given, declared by
// ADX, or detected (UTF-8, else Shift-JIS, else Latin-1).
TEST(AdifReader, ReadsTheFilesEncoding) {
  if (!AdifText().available()) GTEST_SKIP() << "no code page 932 converter";
  const std::string yamada = "\xE5\xB1\xB1\xE7\x94\xB0";  // 山田
  const struct {
    std::string text;
    AdifEncoding given;
    std::string want;
  } cases[] = {
      {"<NAME:4>\x8E\x52\x93\x63<EOR>", AdifEncoding::kDetect, "NAME=" + yamada + ";|END"},
      {"<NAME:6>" + yamada + "<EOR>", AdifEncoding::kDetect, "NAME=" + yamada + ";|END"},
      {"<NAME:4>J\xF6rg<EOR>", AdifEncoding::kDetect, "NAME=J\xC3\xB6rg;|END"},
      {"<NAME:1>\xC4<EOR>", AdifEncoding::kDetect, "NAME=\xEF\xBE\x84;|END"},  // half-width
      {"<NAME:1>\xC4<EOR>", AdifEncoding::kLatin1, "NAME=\xC3\x84;|END"},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><ADX><RECORDS><RECORD><NAME>\xC4</NAME>"
       "</RECORD></RECORDS></ADX>",
       AdifEncoding::kDetect, "NAME=\xC3\x84;|END"},
      {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><ADX><RECORDS><RECORD><NAME>"
       "\x8E\x52\x93\x63</NAME></RECORD></RECORDS></ADX>",
       AdifEncoding::kDetect, "NAME=" + yamada + ";|END"},
      {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><ADX></ADX>", AdifEncoding::kDetect,
       "ERROR 0: the file's text is in UTF-16"},
  };
  for (const auto& c : cases) EXPECT_EQ(read_all(c.text, c.given).substr(0, c.want.size()), c.want) << c.text;
}

TEST(AdifReader, TellsTheFormatsApart) {
  EXPECT_EQ(AdifReader("\xEF\xBB\xBF  <?xml version=\"1.0\"?><ADX/>").format(), AdifFormat::kAdx);
  EXPECT_EQ(AdifReader("<ADX></ADX>").format(), AdifFormat::kAdx);
  EXPECT_EQ(AdifReader("made by hand <EOH>").format(), AdifFormat::kAdi);
}

}  // namespace
}  // namespace osprey_tool
