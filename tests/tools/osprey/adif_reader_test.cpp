// Reading ADI and ADX: records, headers, character references, and damaged
// files that must end in an error naming the record, never a read past the
// end.
#include "adif_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace osprey_tool {
namespace {

// Reads every record; returns "NAME=value;" per field and "|" per record,
// then "ERROR n: text" or "END".
std::string read_all(const std::string& text) {
  AdifReader reader(text);
  AdifRecord r;
  std::string out;
  for (int guard = 0; guard < 100; ++guard) {
    const AdifRead step = reader.next(&r);
    if (step == AdifRead::kEnd) return out + "END";
    if (step == AdifRead::kError)
      return out + "ERROR " + std::to_string(reader.record_number()) + ": " + reader.error();
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
      {"<CALL:2>AB<EOR><CALL:2>CD", "CALL=AB;|ERROR 2: record 2 has no <EOR>"},
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
  };
  for (const Case& k : cases)
    EXPECT_EQ(read_all(k.text).substr(0, k.want.size()), k.want) << k.text;
}

TEST(AdifReader, TellsTheFormatsApart) {
  EXPECT_EQ(AdifReader("\xEF\xBB\xBF  <?xml version=\"1.0\"?><ADX/>").format(), AdifFormat::kAdx);
  EXPECT_EQ(AdifReader("<ADX></ADX>").format(), AdifFormat::kAdx);
  EXPECT_EQ(AdifReader("made by hand <EOH>").format(), AdifFormat::kAdi);
}

}  // namespace
}  // namespace osprey_tool
