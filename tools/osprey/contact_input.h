// The fields of a contact as `osprey add` and `osprey edit` take them: each
// value is either one the log holds exactly as given (in the form the view
// shows it) or refused with the reason; and the contact as its packed record
// gives it back, for showing what will be stored before asking.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "osprey32.h"

namespace osprey_tool {

// YYYY-MM-DD, YY/MM/DD or YYMMDD (a day of the calendar, in a year from 1952
// to 2051) as the view's yy/mm/dd. False, with the reason in *error.
bool date_text(const std::string& in, std::string* out, std::string* error);

// HH:MM or HHMM, optionally followed by U (UTC) or J (JST), as the view's
// hh:mmZ; zone is the letter taken when the value names none. False, with
// the reason in *error.
bool time_text(const std::string& in, char zone, std::string* out, std::string* error);

// Each of these gives the reason a value (as typed, UTF-8) cannot be stored
// as given, or an empty string when it can.
std::string call_problem(const std::string& call);          // in capitals
std::string portable_problem(const std::string& portable);
std::string frequency_problem(const std::string& frequency);
std::string report_problem(const std::string& option, const std::string& report);
std::string code_problem(const std::string& code);

// The view of log as its packed contact record (dbs_image) gives it back:
// the text fields of the view (which the packing may have adjusted), with
// the frequency and the two reports unpacked from the record.
ContactView stored_view(const LogHandle& log);

// The fields of a contact as given (UTF-8); a field that is not given keeps
// the view's value.
struct ContactFields {
  std::optional<std::string> call, portable, date, time, freq, mode, his, my, code, grid, qsl,
      name, remark1, remark2, remark3;
  bool jst = false;  // the time is JST (without a time: the view's time becomes JST)
};

// Applies the fields given to the view, with the checks above; a time that
// names no zone keeps the view's. False, with the reason, on a value the log
// cannot hold as given.
bool apply_fields(const ContactFields& f, ContactView* v, std::string* error);

// Packs log's view into its record image through the library (an update
// that only finds the change, writing nothing) and gives the view as the
// record holds it in *stored. False when the library fails (its status in
// *status), or, with *status 0 and the reason in *error, when a frequency or
// code given would be stored otherwise.
bool pack_view(LogHandle* log, const ContactFields& f, ContactView* stored, int32_t* status,
               std::string* error);

// A view with every field blank, dated now (UTC).
ContactView blank_view();

// The live contacts already logged with the same call sign, moment (date and
// time compared in UTC, whichever zone each was logged in), band and mode as
// v, whose packed record gives the moment at. Leaves log's view and record
// image to the last contact read.
std::vector<int32_t> duplicates_of(LogHandle* log, const ContactView& v, int64_t at);

}  // namespace osprey_tool
