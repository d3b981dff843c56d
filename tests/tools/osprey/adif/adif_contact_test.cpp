// A contact as an ADIF record and back: the fields other loggers read, the
// time moved to UTC, and what the import refuses.
#include "adif/adif_contact.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/contact_file_builder.h"
#include "support/hooks_fixture.h"

namespace osprey_tool {
namespace {

using osp::test::TestContact;

std::string field(const AdifRecord& r, const char* name) {
  const std::string* v = r.find(name);
  return v == nullptr ? "(none)" : *v;
}

TestContact base_contact() {
  TestContact c;
  c.callsign = "QA1ABC";
  c.frequency = "7.050  ";
  c.mode = "CW ";
  c.year = 2003;
  c.month = 5;
  c.day = 7;
  c.hour = 21;
  c.minute = 5;
  c.utc = true;
  return c;
}

struct ExportCase {
  const char* what;
  void (*change)(TestContact&);
  std::vector<std::pair<const char*, std::string>> fields;  // expected; "(none)" = absent
};

TEST(AdifOfContact, MapsEachFieldAsOtherLoggersReadIt) {
  const std::vector<ExportCase> cases = {
      {"UTC stays", [](TestContact&) {},
       {{"CALL", "QA1ABC"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "2105"}, {"BAND", "40m"},
        {"FREQ", "7.050"}, {"MODE", "CW"}, {"SUBMODE", "(none)"}, {"RST_SENT", "599"}}},
      {"JST before 09:00 rolls the date back across a month and a year",
       [](TestContact& c) { c.utc = false; c.year = 2004; c.month = 1; c.day = 1; c.hour = 8; c.minute = 59; },
       {{"QSO_DATE", "20031231"}, {"TIME_ON", "2359"}}},
      {"JST on 1 March of a leap year goes back to 29 February",
       [](TestContact& c) { c.utc = false; c.year = 2024; c.month = 3; c.day = 1; c.hour = 0; c.minute = 0; },
       {{"QSO_DATE", "20240229"}, {"TIME_ON", "1500"}}},
      {"JST in the last century",
       [](TestContact& c) { c.utc = false; c.year = 1999; c.hour = 9; c.minute = 30; },
       {{"QSO_DATE", "19990507"}, {"TIME_ON", "0030"}}},
      {"the portable after one slash", [](TestContact& c) { c.portable = "QRP"; },
       {{"CALL", "QA1ABC/QRP"}, {"APP_OSPREY_PORTABLE", "(none)"}}},
      {"an older log's slash is not doubled", [](TestContact& c) { c.portable = "/MM"; },
       {{"CALL", "QA1ABC/MM"}}},
      {"a band name outside the ADIF edges", [](TestContact& c) { c.frequency = "1200   "; },
       {{"BAND", "23cm"}, {"FREQ", "(none)"}, {"APP_OSPREY_FREQ", "1200"}}},
      {"a band name inside them is still no frequency", [](TestContact& c) { c.frequency = "14     "; },
       {{"BAND", "20m"}, {"FREQ", "(none)"}, {"APP_OSPREY_FREQ", "14"}}},
      {"60m is outside the log's bands but ADIF's", [](TestContact& c) { c.frequency = "5.3665 "; },
       {{"BAND", "60m"}, {"FREQ", "5.3665"}, {"APP_OSPREY_FREQ", "(none)"}}},
      {"630m below 1 MHz", [](TestContact& c) { c.frequency = "0.475  "; },
       {{"BAND", "630m"}, {"FREQ", "0.475"}}},
      {"4m", [](TestContact& c) { c.frequency = "70.2   "; }, {{"BAND", "4m"}}},
      {"3cm", [](TestContact& c) { c.frequency = "10368.1"; }, {{"BAND", "3cm"}}},
      {"5760 MHz is 6cm", [](TestContact& c) { c.frequency = "5760.1 "; },
       {{"BAND", "6cm"}, {"FREQ", "5760.1"}}},
      {"1.9 names 160m", [](TestContact& c) { c.frequency = "1.9    "; },
       {{"BAND", "160m"}, {"FREQ", "(none)"}, {"APP_OSPREY_FREQ", "1.9"}}},
      {"1.91 MHz is in 160m", [](TestContact& c) { c.frequency = "1.91   "; },
       {{"BAND", "160m"}, {"FREQ", "1.91"}}},
      {"a frequency outside every band has no BAND", [](TestContact& c) { c.frequency = "13.5   "; },
       {{"BAND", "(none)"}, {"FREQ", "13.5"}}},
      {"a submode", [](TestContact& c) { c.mode = "USB"; },
       {{"MODE", "SSB"}, {"SUBMODE", "USB"}}},
      {"RTY is RTTY", [](TestContact& c) { c.mode = "RTY"; }, {{"MODE", "RTTY"}}},
      {"P63 is PSK63", [](TestContact& c) { c.mode = "P63"; },
       {{"MODE", "PSK"}, {"SUBMODE", "PSK63"}}},
      {"JS8 is an MFSK submode", [](TestContact& c) { c.mode = "JS8"; },
       {{"MODE", "MFSK"}, {"SUBMODE", "JS8"}}},
      {"DMR is a DIGITALVOICE submode", [](TestContact& c) { c.mode = "DMR"; },
       {{"MODE", "DIGITALVOICE"}, {"SUBMODE", "DMR"}}},
      {"a mode outside the table as it is", [](TestContact& c) { c.mode = "JT4"; },
       {{"MODE", "JT4"}, {"SUBMODE", "(none)"}}},
      {"phone reports; 50 shows as 5 and a blank but is 50",
       [](TestContact& c) { c.his_rs = 50; c.his_t = ' '; c.my_rs = 5; c.my_t = ' '; },
       {{"RST_SENT", "50"}, {"RST_RCVD", "5"}}},
      {"no report", [](TestContact& c) { c.his_rs = 0; c.his_t = ' '; },
       {{"RST_SENT", "(none)"}}},
      {"QSL marks", [](TestContact& c) { c.qsl = "JYN"; },
       {{"QSL_SENT_VIA", "B"}, {"QSL_SENT", "Y"}, {"QSL_RCVD", "N"}, {"APP_OSPREY_QSL", "JYN"}}},
      {"marks ADIF has no value for say the card went and came", [](TestContact& c) { c.qsl = "D**"; },
       {{"QSL_SENT_VIA", "D"}, {"QSL_SENT", "Y"}, {"QSL_RCVD", "Y"}, {"APP_OSPREY_QSL", "D**"}}},
      {"a ward code is CNTY", [](TestContact& c) { c.code = "100101"; },
       {{"CNTY", "100101"}, {"APP_OSPREY_CODE", "100101"}}},
      {"a code of kind 0 is not", [](TestContact& c) { c.code = "QA"; },
       {{"CNTY", "(none)"}, {"APP_OSPREY_CODE", "QA"}}},
      {"two remarks are two NOTES lines, written once",
       [](TestContact& c) { c.remarks = {"", "QSL via QB2ABC", "TNX"}; },
       {{"COMMENT", "(none)"}, {"NOTES", "QSL via QB2ABC\r\nTNX"}}},
      {"one remark is a COMMENT", [](TestContact& c) { c.remarks = {"", "QSL via QB2ABC", ""}; },
       {{"COMMENT", "QSL via QB2ABC"}, {"NOTES", "(none)"}}},
      {"a COMMENT flowed over remarks 2 and 3 is joined without a separator",
       [](TestContact& c) { c.remarks = {"", std::string(54, 'x'), "yz"}; },
       {{"COMMENT", std::string(54, 'x') + "yz"}, {"NOTES", "(none)"}}},
      {"a remark 1 needs three lines", [](TestContact& c) { c.remarks = {"Chiyoda", "", "TNX"}; },
       {{"COMMENT", "(none)"}, {"NOTES", "Chiyoda\r\n\r\nTNX"}}},
  };
  AdifText text;
  for (const ExportCase& k : cases) {
    TestContact c = base_contact();
    k.change(c);
    const AdifRecord r = adif_of_contact(osp::test::expected_view(c), text);
    for (const auto& [name, value] : k.fields) EXPECT_EQ(field(r, name), value) << k.what << ": " << name;
  }
}

TEST(AdifOfContact, JapaneseTextIsUtf8) {
  if (!AdifText().available()) GTEST_SKIP() << "no code page 932 converter";
  TestContact c = base_contact();
  c.name = osp::test::sjis("山田 太郎");
  c.remarks = {osp::test::sjis("東京都千代田区"), "", ""};
  AdifText text;
  const AdifRecord r = adif_of_contact(osp::test::expected_view(c), text);
  EXPECT_EQ(field(r, "NAME"), "山田 太郎");
  EXPECT_EQ(field(r, "NOTES"), "東京都千代田区\r\n\r\n");
}

// Records built from "NAME=value" pairs.
AdifRecord record_of(const std::vector<std::pair<const char*, const char*>>& fields) {
  AdifRecord r;
  for (const auto& [n, v] : fields) r.add(n, v);
  return r;
}

TEST(ContactOfAdif, RefusesWhatTheLogCannotHold) {
  struct Case {
    std::vector<std::pair<const char*, const char*>> fields;
    const char* field;
  };
  const std::vector<Case> cases = {
      {{{"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}}, "CALL"},
      {{{"CALL", "QA1ABCDE"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}}, "CALL"},
      {{{"CALL", "DL/QA1ABC"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}}, "CALL"},
      {{{"CALL", "//////"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}}, "CALL"},
      {{{"CALL", "QA1\x01" "BC"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}}, "CALL"},
      {{{"CALL", "QA1ABC"}, {"APP_OSPREY_PORTABLE", "//"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}}, "CALL"},
      {{{"CALL", "QA1ABC"}, {"APP_OSPREY_PORTABLE", "/"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}}, "CALL"},
      {{{"CALL", "QA1ABC"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}, {"MODE", "S\x13" "B"}}, "MODE"},
      {{{"CALL", "QA1ABC"}, {"TIME_ON", "1200"}}, "QSO_DATE"},
      {{{"CALL", "QA1ABC"}, {"QSO_DATE", "20520101"}, {"TIME_ON", "1200"}}, "QSO_DATE"},
      {{{"CALL", "QA1ABC"}, {"QSO_DATE", "20030230"}, {"TIME_ON", "1200"}}, "QSO_DATE"},
      {{{"CALL", "QA1ABC"}, {"QSO_DATE", "2003057"}, {"TIME_ON", "1200"}}, "QSO_DATE"},
      {{{"CALL", "QA1ABC"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "2400"}}, "TIME_ON"},
      {{{"CALL", "QA1ABC"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "12:00"}}, "TIME_ON"},
      {{{"CALL", "QA1ABC"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}, {"FREQ", "7,050"}}, "FREQ"},
      {{{"CALL", "QA1ABC"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}, {"FREQ", "123456789"}}, "FREQ"},
      {{{"CALL", "QA1ABC"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}, {"FREQ", "7074000"}}, "FREQ"},
      {{{"CALL", "QA1ABC/ABCD"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}}, "CALL"},
      {{{"CALL", "QA1ABC"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}, {"BAND", "60m"}}, "BAND"},
      {{{"CALL", "QA1ABC"}, {"QSO_DATE", "20030507"}, {"TIME_ON", "1200"}, {"MODE", "OLIVIA"}}, "MODE"},
  };
  AdifText text;
  for (const Case& k : cases) {
    ContactView v;
    AdifRefusal why;
    AdifImportNotes notes;
    EXPECT_FALSE(contact_of_adif(record_of(k.fields), text, &v, &why, &notes)) << k.field;
    EXPECT_EQ(why.field, k.field) << why.reason;
    EXPECT_FALSE(why.reason.empty());
  }
}

// A kept portable without a slash comes back from our own export, whatever
// the call said before it.
TEST(ContactOfAdif, KeptPortableComesBackFromItsOwnExport) {
  AdifText text;
  ContactView v, back;
  AdifRefusal why;
  AdifImportNotes notes;
  ASSERT_TRUE(contact_of_adif(record_of({{"CALL", "QA1XYZ/1"}, {"APP_OSPREY_PORTABLE", "ABC"},
                                         {"QSO_DATE", "19520101"}, {"TIME_ON", "1234"}}),
                              text, &v, &why, &notes)) << why.reason;
  EXPECT_STREQ(v.callsign, "QA1XYZ ");
  EXPECT_STREQ(v.portable, "ABC");
  ASSERT_TRUE(contact_of_adif(adif_of_contact(v, text), text, &back, &why, &notes)) << why.reason;
  EXPECT_STREQ(back.callsign, "QA1XYZ ");
  EXPECT_STREQ(back.portable, "ABC");
  EXPECT_EQ(duplicate_key(back), duplicate_key(v));
}

TEST(ContactOfAdif, ReadsOtherLoggersRecords) {
  AdifText text;
  ContactView v;
  AdifRefusal why;
  AdifImportNotes notes;
  const AdifRecord r = record_of({{"call", "qa1abc/1"}, {"QSO_DATE", "19520101"}, {"TIME_ON", "000559"},
                                  {"FREQ", "14.07400000"}, {"MODE", "MFSK"}, {"SUBMODE", "FT4"},
                                  {"RST_SENT", "-10"}, {"RST_RCVD", "57"}, {"QSL_SENT_VIA", "D"},
                                  {"QSL_RCVD", "y"}, {"GRIDSQUARE", "PM95vq12"}, {"CNTY", "01001A"},
                                  {"COMMENT", std::string(120, 'x').c_str()}});
  AdifRecord named = r;
  for (AdifField& f : named.fields)
    if (f.name == "call") f.name = "CALL";
  ASSERT_TRUE(contact_of_adif(named, text, &v, &why, &notes)) << why.field << ": " << why.reason;
  EXPECT_STREQ(v.callsign, "QA1ABC ");
  EXPECT_STREQ(v.portable, "1  ");
  EXPECT_STREQ(v.date, "52/01/01");
  EXPECT_STREQ(v.time, "00:05U");
  EXPECT_STREQ(v.frequency, "14.0740");  // zeros dropped only while too long
  EXPECT_STREQ(v.mode, "FT4");
  EXPECT_STREQ(v.his_report, "   ");
  EXPECT_STREQ(v.my_report, "57 ");
  EXPECT_STREQ(v.qsl, "D Y");
  EXPECT_STREQ(v.grid, "PM95vq");
  EXPECT_STREQ(v.code, "01001A");
  EXPECT_EQ(std::string(v.remark1), std::string(28, ' '));
  EXPECT_EQ(std::string(v.remark2), std::string(54, 'x'));
  EXPECT_EQ(std::string(v.remark3), std::string(54, 'x'));
  EXPECT_EQ(notes.reports_dropped.count, 1u);
  EXPECT_EQ(notes.seconds_cut.count, 1u);
  EXPECT_EQ(notes.grids_cut.count, 1u);
  EXPECT_EQ(notes.remarks_cut.count, 1u);
  EXPECT_EQ(notes.frequencies_rounded.count, 0u);
}

}  // namespace
}  // namespace osprey_tool
