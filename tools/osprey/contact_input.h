// The fields of a contact as `osprey add` and `osprey edit` take them: each
// value is either one the log holds exactly as given (in the form the view
// shows it) or refused with the reason; and the contact as its packed record
// gives it back, for showing what will be stored before asking.
#pragma once

#include <string>

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

}  // namespace osprey_tool
