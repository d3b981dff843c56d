// An ADI file of varied records imported and exported again: every field
// comes back as it was given, or the import's notes name the record under
// the kind of change it made, and no other kind.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adif/adif_contact.h"
#include "adif/adif_reader.h"

namespace osprey_tool {
namespace {

using Kind = AdifNoteKind AdifImportNotes::*;

struct RoundTrip {
  std::string fields;  // one record's ADI fields, <EOR> left off
  std::vector<std::pair<std::string, Kind>> changed;  // field ("" for none) and its note
};

std::string tag(const std::string& name, const std::string& value) {
  return "<" + name + ":" + std::to_string(value.size()) + ">" + value;
}

std::string contact(const std::string& call, const std::string& time, const std::string& rest) {
  return tag("CALL", call) + tag("QSO_DATE", "20231231") + tag("TIME_ON", time) + rest;
}

TEST(AdifRoundTrip, EveryFieldComesBackOrIsNamed) {
  const std::string comment54 = std::string(54, 'a') + " " + std::string(20, 'b');
  const std::string comment53 = std::string(53, 'a') + " " + std::string(20, 'b');
  const std::vector<RoundTrip> cases = {
      {contact("QA1ABC", "1205",
               tag("BAND", "40m") + tag("FREQ", "7.050") + tag("MODE", "CW") +
                   tag("RST_SENT", "599") + tag("RST_RCVD", "579") + tag("QSL_SENT", "Y") +
                   tag("QSL_RCVD", "N") + tag("QSL_SENT_VIA", "B") + tag("GRIDSQUARE", "PM95vq") +
                   tag("CNTY", "100101") + tag("NAME", "Taro") + tag("COMMENT", "QSL via bureau")),
       {}},
      {contact("QA1ABC \t", "1206\r\n", tag("BAND", "20m ") + tag("FREQ", "14.025\n") +
                                            tag("MODE", "SSB") + tag("SUBMODE", "USB")),
       {}},
      {contact("QA1ABC/QRP", "1207", tag("BAND", "30m") + tag("MODE", "FT8")), {}},
      {contact("QA1ABC/P", "1208", tag("FREQ", "5.3665") + tag("BAND", "60m")), {}},
      {contact("QA1ABC", "1209", tag("FREQ", "0.4755") + tag("BAND", "630m")), {}},
      {contact("QA1ABC", "1210", tag("FREQ", "70.2") + tag("BAND", "4m")), {}},
      {contact("QA1ABC", "1211", tag("MODE", "PSK") + tag("SUBMODE", "PSK63")), {}},
      {contact("QA1ABC", "1212", tag("MODE", "MFSK") + tag("SUBMODE", "JS8")), {}},
      {contact("QA1ABC", "1213", tag("MODE", "DIGITALVOICE") + tag("SUBMODE", "C4FM")), {}},
      {contact("QA1ABC", "1214", tag("MODE", "JT9") + tag("SUBMODE", "JT9H FAST")), {}},
      {contact("QA1ABC", "1215", tag("MODE", "PSK31")), {{"MODE", &AdifImportNotes::modes_shared}}},
      {contact("QA1ABC", "1216", tag("MODE", "JT65") + tag("SUBMODE", "JT65B")),
       {{"SUBMODE", &AdifImportNotes::modes_shared}}},
      {contact("JA1ABC", "2030", tag("FREQ", "7.1")), {{"", &AdifImportNotes::moved_to_jst}}},
      {contact("8N1ABC", "0000", ""), {{"", &AdifImportNotes::moved_to_jst}}},
      {contact("JT1ABC", "2030", ""), {}},  // Mongolia
      {contact("QA1ABC", "120530", ""), {{"TIME_ON", &AdifImportNotes::seconds_cut}}},
      {contact("QA1ABC", "1217", tag("FREQ", "14.0745678")),
       {{"FREQ", &AdifImportNotes::frequencies_rounded}}},
      {contact("QA1ABC", "1218", tag("RST_SENT", "-10") + tag("RST_RCVD", "+05")),
       {{"RST_SENT", &AdifImportNotes::reports_dropped},
        {"RST_RCVD", &AdifImportNotes::reports_dropped}}},
      {contact("QA1ABC", "1219", tag("NAME", "Alexander Longname")),
       {{"NAME", &AdifImportNotes::names_cut}}},
      {contact("QA1ABC", "1220", tag("GRIDSQUARE", "PM95vq12")),
       {{"GRIDSQUARE", &AdifImportNotes::grids_cut}}},
      {contact("QA1ABC", "1221", tag("NAME", "Joerg Mayer") + tag("NAME_INTL", "J\xC3\xB6rg Mayer")),
       {{"NAME_INTL", &AdifImportNotes::plain_for_intl}}},
      {contact("QA1ABC", "1222", tag("COMMENT", comment54)), {}},
      {contact("QA1ABC", "1223", tag("COMMENT", comment53)), {}},
      {contact("QA1ABC", "1224", tag("NOTES", "QSL via QB2ABC\r\nTNX")), {}},
      {contact("QA1ABC", "1225", tag("NOTES", "Chiyoda\r\nQSL via QB2ABC\r\nTNX") +
                                     tag("COMMENT", "FB op")),
       {{"COMMENT", &AdifImportNotes::comment_dropped}}},
      {contact("QA1ABC", "1226", tag("COMMENT", std::string(120, 'x'))),
       {{"COMMENT", &AdifImportNotes::remarks_cut}}},
  };
  std::string file = "made by hand\n<EOH>\n";
  for (const RoundTrip& c : cases) file += c.fields + "<EOR>\n";
  AdifReader reader(file);
  AdifText text;
  for (size_t i = 0; i < cases.size(); ++i) {
    const RoundTrip& c = cases[i];
    AdifRecord in;
    ASSERT_EQ(reader.next(&in), AdifRead::kRecord) << reader.error();
    ContactView view;
    AdifRefusal why;
    AdifImportNotes notes;
    notes.record = i + 1;
    ASSERT_TRUE(contact_of_adif(in, text, &view, &why, &notes)) << c.fields << ": " << why.reason;
    const AdifRecord out = adif_of_contact(view, text);
    const auto changed = [&c](const std::string& name) {
      for (const auto& [field, kind] : c.changed)
        if (field == name) return true;
      return false;
    };
    for (const AdifField& f : in.fields) {
      const std::string name = f.name.size() > 5 && f.name.compare(f.name.size() - 5, 5, "_INTL") == 0
                                   ? f.name.substr(0, f.name.size() - 5)
                                   : f.name;
      const std::string* back = out.find(name);
      const std::string given = f.name == "NOTES" ? f.value : value_text(f.value);
      if (changed(f.name)) {
        EXPECT_TRUE(back == nullptr || *back != given) << c.fields << ": " << f.name;
      } else {
        EXPECT_EQ(back != nullptr ? *back : "(none)", given) << c.fields << ": " << f.name;
      }
    }
    for (const AdifNoteLine& line : note_lines(notes)) {
      bool named = false;
      for (const auto& [field, kind] : c.changed) named = named || &(notes.*kind) == line.kind;
      EXPECT_EQ(line.kind->count, named ? 1u : 0u) << c.fields << ": " << line.sentence;
      if (named) {
        EXPECT_EQ(line.kind->first, std::vector<size_t>{i + 1});
      }
    }
    if (c.fields.find("JA1ABC") != std::string::npos) {
      EXPECT_STREQ(view.date, "24/01/01");
      EXPECT_STREQ(view.time, "05:30J");
    }
    if (c.fields.find("14.0745678") != std::string::npos) {
      EXPECT_STREQ(view.frequency, "14.0746");
    }
    if (c.fields.find("QRP") != std::string::npos) {
      EXPECT_STREQ(view.portable, "QRP");
    }
  }
}

}  // namespace
}  // namespace osprey_tool
