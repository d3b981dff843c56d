// The deletion mark and the three QSL marks of stored contacts, read in large
// pieces through the library's handle of the contact file (no cursor, no
// remarks): what the QSL round selects its contacts by.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "osprey32.h"

namespace osprey_tool {

// The route mark that means the contact gets no card.
inline constexpr char kNoCardRoute = 'N';

struct ContactMarks {
  bool deleted = false;
  char route = ' ';     // first QSL character: how the card travels
  char sent = ' ';      // second: the card was sent
  char received = ' ';  // third: the card came
};

// The marks of records first..last of the log's contact file, record first
// at place 0. False, with a sentence in *error, when the file cannot be read
// (a record the file lacks ends the read as a failure too).
bool read_contact_marks(const LogHandle& log, int32_t first, int32_t last,
                        std::vector<ContactMarks>* marks, std::string* error);

// True when the contact's card is still to send: live, its route not among
// no_card_routes, its sent mark blank.
bool card_unsent(const ContactMarks& m, const std::string& no_card_routes);

// Why contact recno's QSL marks may not be set (no such contact, or a
// deleted one), or empty when they may.
std::string mark_refusal(const LogHandle& log, int32_t recno);

}  // namespace osprey_tool
