// The print formats as one table: template, contact and the exact bytes of
// the line, for both the log-listing and the QSL-card escapes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "osprey32.h"
#include "print/print_format.h"

namespace osp::print {
namespace {

// Puts text into a view field, blank-padded to its width, NUL last.
template <size_t N>
void put(char (&field)[N], const std::string& text) {
  for (size_t i = 0; i < N - 1; ++i) field[i] = i < text.size() ? text[i] : ' ';
  field[N - 1] = '\0';
}

// The contact of most rows: QA1ABC on 05/03/07 at 21:05 UTC, record 7 of 41.
void base_contact(LogHandle& log) {
  ContactView& v = log.view;
  put(v.callsign, "QA1ABC");
  put(v.portable, "");
  put(v.date, "05/03/07");
  put(v.time, "21:05U");
  put(v.his_report, "599");
  put(v.my_report, "57 ");
  put(v.frequency, "7.050");
  put(v.mode, "CW");
  put(v.code, "01001A");
  put(v.grid, "PM95UQ");
  put(v.qsl, "J Y");
  put(v.name, "ABCDEF");
  put(v.remark1, "Tokyo");
  put(v.remark2, "TNX %QSL via bureau% 73");
  put(v.remark3, "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQR");
  log.dbs.handle.current_recno = 7;
  log.dbs.handle.record_count = 41;
}

using Tweak = void (*)(LogHandle&);
void none(LogHandle&) {}

enum Format { kData, kQsl };

struct Row {
  Format format;
  const char* template_text;
  Tweak tweak;
  std::string expected;
  int32_t result;
};

const std::string kFullQA1ABC = "\x82\x70\x82\x60\x82\x50\x82\x60\x82\x61\x82\x62";

const std::vector<Row>& rows() {
  static const std::vector<Row> table = {
      // The walk: text copied, unknown escapes printed, a last '!' kept.
      {kData, "plain text", none, "plain text", 0},
      {kData, "!x and !", none, "!x and !", 0},
      {kQsl, "!ZZ!", none, "!ZZ!", 0},
      // An empty view prints nothing for the marked escapes.
      {kData, "!C", [](LogHandle& l) { l.view.callsign[0] = '\0'; }, "", 1},
      {kData, "!n", [](LogHandle& l) { l.view.callsign[0] = '\0'; }, "", 0},
      {kData, "[!q]", [](LogHandle& l) { l.view.callsign[0] = '\0'; }, "[]", 1},
      // Date, time, zone, reports, frequency, code.
      {kData, "!d !t !u", none, "05/03/07 21:05U UTC", 1},
      {kData, "!D !T!u", [](LogHandle& l) { put(l.view.time, "09:30J"); }, "03/07 09:30 JST", 1},
      {kData, "!h!m!M!g", none, "59957 CW PM95UQ", 1},
      {kData, "!f|!F", [](LogHandle& l) { put(l.view.frequency, "144.00"); }, "144 |144.00 ", 1},
      {kData, "!f", none, "7.05", 1},
      {kData, "!J!j", none, "01001 01001A", 1},
      {kData, "!J", [](LogHandle& l) { put(l.view.code, "1001"); }, "1001  ", 1},
      {kData, "!q!s!r!n|", none, "J Y7     |", 1},
      // Width rule: one digit, two digits, too wide, a leading zero.
      {kData, "!N5", none, "ABCDE", 1},
      {kData, "!N12", none, "ABCDEF      ", 1},
      {kData, "!N15", none, "A5", 1},
      {kData, "!N05", none, "ABCDE5", 1},
      {kData, "!Nx.", none, ".", 1},
      {kData, "!N", none, "", 1},
      {kData, "!Q3!Q30", none, "TokTok0", 1},
      // A name cut inside a double-byte character ends in a blank.
      {kData, "!N3", [](LogHandle& l) { put(l.view.name, "\x88\xea\x98\x59"); }, "\x88\xea ", 1},
      // Range rule; a start beyond the end prints nothing.
      {kData, "!R0,54", none, "TNX %QSL via bureau% 73" + std::string(31, ' '), 1},
      {kData, "!K10,20", none, "abcdefghijklmnopqrst", 1},
      {kData, "!K50-9", none, "OPQR", 1},
      {kData, "[!R60,5][!K99,99]", none, "[][]", 1},
      {kData, "[!R7]]", none, "[]", 1},  // the ']' after 7 is the separator
      // Call and portable: kinds 0, 1 and 3, in full width and as text.
      {kData, "!c", none, "QA1ABC    ", 1},
      {kData, "!c", [](LogHandle& l) { put(l.view.portable, "1"); }, "QA1ABC/1  ", 1},
      {kData, "!C", [](LogHandle& l) { put(l.view.portable, "1"); },
       kFullQA1ABC + "\x81\x5e\x82\x50    ", 1},
      {kData, "!c",
       [](LogHandle& l) {
         put(l.view.portable, "KH6");
         put(l.view.remark3, "$DX");
       },
       "KH6/QA1ABC", 1},
      {kData, "!c9",  // a width skips the $DX test
       [](LogHandle& l) {
         put(l.view.portable, "KH6");
         put(l.view.remark3, "$DX");
       },
       "QA1ABC/KH", 1},
      {kData, "!c",  // logged in Japan time: never abroad
       [](LogHandle& l) {
         put(l.view.portable, "KH6");
         put(l.view.time, "21:05J");
         put(l.view.remark2, "$DX");
       },
       "QA1ABC/KH6", 1},
      // QSL escapes.
      {kQsl, "!C3!C2", none, "\x82\x50\x82\x60", 1},
      {kQsl, "!CP", [](LogHandle& l) { put(l.view.callsign, "QA0ABC"); },
       "\x82\x70\x82\x60\x83\xd3\x82\x60\x82\x61\x82\x62        ", 1},
      {kQsl, "!cp|!PT|", [](LogHandle& l) { put(l.view.portable, "2"); }, "QA1ABC/2  |2  |", 1},
      {kQsl, "!DY", [](LogHandle& l) { put(l.view.date, "99/12/31"); }, "1999", 1},
      {kQsl, "!DY !DT !Dy", none, "2005 05/03/07 05", 1},
      {kQsl, "!DJ !Dd !DD !Dm !DM", [](LogHandle& l) { put(l.view.date, "05/12/07"); },
       "Dec 7 07 12 12", 1},
      {kQsl, "[!DJ][!DJ]", [](LogHandle& l) { put(l.view.date, "05/13/07"); }, "[   ][   ]", 1},
      {kQsl, "!TH:!TM !Th:!Tm", [](LogHandle& l) { put(l.view.time, "09:05U"); }, "09:05 9:5", 1},
      {kQsl, "!HR !hR!hS!hT", none, "599 599", 1},
      {kQsl, "!FR", [](LogHandle& l) { put(l.view.frequency, "1.910"); }, "1.9", 1},
      {kQsl, "!FR", [](LogHandle& l) { put(l.view.frequency, "14.195"); }, "14", 1},
      {kQsl, "!FR", [](LogHandle& l) { put(l.view.frequency, "1200"); }, "1200", 1},
      {kQsl, "!F3|!F5|!F7", [](LogHandle& l) { put(l.view.frequency, "14.195"); },
       "14 |14.19|14.195 ", 1},
      {kQsl, "!MD!JC!Jc!GL", none, "CW 01001A01001 PM95UQ", 1},
      {kQsl, "[!NA][!QT]", none, "[ABCDEF][Tokyo]", 1},
      {kQsl, "!NO", none, "7", 1},
      {kQsl, "!NO", [](LogHandle& l) { l.dbs.handle.current_recno = 0; }, "42", 1},
      {kQsl, "!R1", none, "QSL via bureau", 1},
      {kQsl, "!R1,05,03|", none, "QSL|", 1},
      {kQsl, "!R1,60,03", none, "QSL via bureau,60,03", 1},
      {kQsl, "[!R2]", none, "[ ]", 1},
      // Route 'M': the call sign after the '@', in capitals; places past the
      // remark's end are blanks.
      {kQsl, "!C1!C2!C3!C4!C5!C6!C7",
       [](LogHandle& l) {
         put(l.view.qsl, "M");
         put(l.view.remark2, "via @qq2abc");
       },
       "\x82\x70\x82\x70\x82\x51\x82\x60\x82\x61\x82\x62  ", 1},
      {kQsl, "!C4!C5!C7",
       [](LogHandle& l) {
         put(l.view.qsl, "M");
         put(l.view.remark2, std::string(49, 'x') + "@ABCD");
       },
       "\x82\x63    ", 1},
      // A view whose fields have no terminators: each field read within its width.
      {kQsl, "!DT|!MD|!PT",
       [](LogHandle& l) { std::memset(&l.view, 'X', sizeof l.view); },
       "XXXXXXXX|XXX|XXX", 1},
  };
  return table;
}

TEST(PrintFormats, ExpandEachEscapeToItsBytes) {
  for (const Row& row : rows()) {
    LogHandle log{};
    base_contact(log);
    row.tweak(log);
    std::vector<char> out(expansion_limit(std::strlen(row.template_text)) + 16, '#');
    const int32_t result = row.format == kData
                               ? PrintDataFmt(&log, out.data(), row.template_text)
                               : PrintQslFmt(&log, out.data(), row.template_text);
    const std::string line(out.data());
    EXPECT_EQ(line, row.expected) << row.template_text;
    EXPECT_EQ(result, row.result) << row.template_text;
  }
}

void far_day(void*, OspLocalTime* now) {
  *now = OspLocalTime{-2147483647 - 1, 0, -2147483647 - 1, 0, 0, 0};
}

// The widest escapes, each on a contact that makes it as long as it gets,
// written into a line with far more room: each stays within the room its
// template is promised, so a caller's line of that size is never overrun.
TEST(PrintFormats, LongestExpansionsStayWithinTheirRoom) {
  LogHandle log{};
  base_contact(log);
  put(log.view.remark2, "%" + std::string(53, 'R'));
  put(log.view.portable, "KH6");
  log.dbs.handle.current_recno = -2147483647 - 1;
  OspHooks hooks{nullptr, nullptr, nullptr, &far_day, nullptr};
  OspSetHooks(&hooks);
  struct Case {
    bool qsl;
    const char* template_text;
    size_t length;
  };
  const Case cases[] = {
      {false, "!C", 20},  {false, "!n", 11},    {false, "!R,,54", 54}, {false, "!Q28", 28},
      {true, "!R1", 53},  {true, "!Nw", 27},    {true, "!CP", 20},     {true, "!R1,00,54", 54},
  };
  for (const Case& c : cases) {
    std::vector<char> out(4096, '#');
    Line line{out.data(), out.size()};
    if (c.qsl) {
      expand_qsl_template(log, c.template_text, line);
    } else {
      expand_data_template(log, c.template_text, line);
    }
    EXPECT_EQ(line.position, c.length) << c.template_text;
    EXPECT_LT(line.position, expansion_limit(std::strlen(c.template_text))) << c.template_text;
  }
  OspSetHooks(nullptr);
}

void fixed_day(void*, OspLocalTime* now) { *now = OspLocalTime{2026, 12, 6, 10, 0, 0}; }
void impossible_day(void*, OspLocalTime* now) { *now = OspLocalTime{2026, 14, 6, 10, 0, 0}; }

TEST(PrintFormats, TodayIsDayMonthNameAndYear) {
  LogHandle log{};
  base_contact(log);
  char out[64];
  OspHooks hooks{nullptr, nullptr, nullptr, &fixed_day, nullptr};
  OspSetHooks(&hooks);
  EXPECT_EQ(PrintQslFmt(&log, out, "[!Nw]"), 1);
  EXPECT_STREQ(out, "[06/Dec/2026]");
  hooks.local_time = &impossible_day;  // a month outside the table gives blanks
  OspSetHooks(&hooks);
  PrintQslFmt(&log, out, "!Nw");
  EXPECT_STREQ(out, "06/   /2026");
  OspSetHooks(nullptr);
}

}  // namespace
}  // namespace osp::print
