// Which contacts a print or label run takes, and in which order: the live
// contacts of a range of record numbers (all of them, or only those whose
// card is still to send), in record order or in the order the QSL bureau
// sorts cards.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "osprey32.h"

namespace osprey_tool {

enum class ContactOrder { kRecord, kBureau };

struct ContactRange {
  int32_t from = 1;  // first record number
  int32_t to = 0;    // last record number; 0 or above the count: the last contact
  ContactOrder order = ContactOrder::kRecord;
  // The three prefix lists of the bureau order (special prefixes sorted in
  // their own groups), each a list such as "QA1,QB2".
  std::string lists[3];
  // Route marks (first QSL character) of contacts that get no card: passed
  // over.
  std::string no_card_routes;
  // Only the contacts whose card is still to send (sent mark blank).
  bool unsent = false;
};

// The record numbers of the live contacts range selects, in its order. The
// bureau order takes any number of contacts (sorted in runs the library can
// take, then merged). False, with a sentence in *error, when the order
// cannot be had.
bool contact_order(LogHandle& log, const ContactRange& range, std::vector<int32_t>* recnos,
                   std::string* error);

// Reads each contact range selects, in its order, into log's view (with
// date and time separators and remarks) and calls each, which returns false
// to stop. False when the order cannot be
// had or a contact cannot be read: the failure is then shown as one of
// context and the exit status set.
bool for_each_contact(LogHandle& log, const ContactRange& range, const std::string& context,
                      const std::function<bool()>& each);

// Takes up to three prefix lists into range. False, with a sentence in
// *error, for more.
bool take_lists(const std::vector<std::string>& lists, ContactRange* range, std::string* error);

// Parses "--order" text: "bureau" or "record". False for anything else.
bool parse_contact_order(const std::string& text, ContactOrder* order);

}  // namespace osprey_tool
