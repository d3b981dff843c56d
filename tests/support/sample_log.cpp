#include "support/sample_log.h"

#include "dbf/record_file.h"

namespace osp::test {

namespace {

void fixed_clock(void*, OspLocalTime* now) { *now = kSampleDate; }

ContactSpec contact(const char* call, const char* portable, const char* code, const char* grid,
                    const char* freq, const char* mode, const char* name, const char* qsl,
                    int year, int month, int day, int hour, int minute, bool utc, int his_rs,
                    char his_t, int my_rs, char my_t) {
  ContactSpec c;
  c.callsign = call;
  c.portable = portable;
  c.code = code;
  c.grid = grid;
  c.frequency = freq;
  c.mode = mode;
  c.name = name;
  c.qsl = qsl;
  c.year = year;
  c.month = month;
  c.day = day;
  c.hour = hour;
  c.minute = minute;
  c.utc = utc;
  c.his_rs = his_rs;
  c.his_t = his_t;
  c.my_rs = my_rs;
  c.my_t = my_t;
  return c;
}

}  // namespace

const std::vector<ContactSpec>& sample_contacts() {
  static const std::vector<ContactSpec> contacts = {
      contact("QA1XYZ", "", "100105", "PM95UQ", "7.025", "CW", "能登 一郎", "J  ", 2026, 1, 3,
              9, 15, false, 59, '9', 59, '9'),
      contact("QB3QHB", "", "2501", "PM74RR", "14.050", "CW", "佐藤 花子", "J**", 2026, 1, 5,
              3, 40, true, 57, '9', 59, '9'),
      contact("QA8ZZK", "", "0101", "QN03", "144.50", "FM", "ﾀﾅｶ", "D* ", 2026, 2, 11, 14, 2,
              false, 59, ' ', 59, ' '),
      contact("QE6KQT", "", "4001", "PM53", "21.250", "SSB", "鈴木 健", "J  ", 2026, 2, 11,
              14, 30, false, 57, ' ', 59, ' '),
      contact("QM4HUX", "1", "13008B", "PM95", "430.00", "FM", "表 ソラ", "N  ", 2026, 2, 28,
              22, 5, false, 59, ' ', 55, ' '),
      contact("QF2WXY", "", "2002", "PM85", "1.9", "CW", "山本 美咲", "J*", 2025, 12, 31, 23,
              59, false, 56, '9', 57, '9'),
      contact("QA1XX", "", "1001", "PM95", "3.5", "CW", "古川", "J**", 1999, 12, 31, 14, 59,
              true, 59, '9', 59, '9'),
  };
  return contacts;
}

int32_t write_sample_contact_file(const std::string& path) {
  const OspHooks clock{nullptr, nullptr, nullptr, &fixed_clock, nullptr};
  OspSetHooks(&clock);
  int32_t status = dbf_create(path.c_str());
  DbfHandle h{};
  h.file = OSP_NO_FILE;
  if (status == 0) status = dbf_open(path.c_str(), &h);
  for (const ContactSpec& c : sample_contacts()) {
    if (status != 0) break;
    const ContactData data = contact_data(c);
    status = osp::dbf::append(&h, data.data());
  }
  if (status == 0) status = dbf_delete(&h, kSampleDeletedRecord);
  dbf_close(&h);
  OspSetHooks(nullptr);
  return status;
}

}  // namespace osp::test
