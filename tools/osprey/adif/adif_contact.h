// A contact of the log as an ADIF record and back.
//
//   CALL          call sign, the portable designation as "/suffix"
//   QSO_DATE      UTC date (a contact logged in Japan Standard Time is moved
//   TIME_ON       back 9 hours, its date with it), HHMM
//   BAND, FREQ    ADIF band from the frequency in MHz; a short frequency text
//                 that names a band outside the band's edges ("1200") gives
//                 BAND alone and keeps the text in APP_OSPREY_FREQ
//   MODE, SUBMODE the stored mode, or its mode and submode ("USB": SSB, USB)
//   RST_SENT      his report; RST_RCVD my report
//   QSL_SENT, QSL_RCVD, QSL_SENT_VIA   from the sent, received and route marks
//   GRIDSQUARE    grid locator
//   CNTY          the area code, for codes shaped as Japanese area codes
//   NAME          operator name
//   COMMENT       the remarks on one line; NOTES the three remarks, one a line
//   APP_OSPREY_CODE, APP_OSPREY_QSL, APP_OSPREY_PORTABLE   stored texts that
//                 ADIF has no exact field for, so that a contact comes back
//                 as it went out
// Values are UTF-8; the writers make them ASCII for ADI.
#pragma once

#include <cstddef>
#include <string>

#include "adif/adif_record.h"
#include "adif/adif_text.h"
#include "osprey32.h"

namespace osprey_tool {

// The record of a contact unpacked with separators and remarks (yy/mm/dd,
// hh:mmZ).
AdifRecord adif_of_contact(const ContactView& view, AdifText& text);
// The same into *out, replacing its fields.
void adif_of_contact(const ContactView& view, AdifText& text, AdifRecord* out);

// The key on which two contacts count as the same: call (with portable),
// UTC date and time, band and mode, as the record of adif_of_contact gives
// them.
std::string duplicate_key(const AdifRecord& record);

// duplicate_key of the contact's record, without converting its texts.
std::string duplicate_key(const ContactView& view);

// Why a record was refused: the field concerned and a sentence.
struct AdifRefusal {
  std::string field;
  std::string reason;
};

// What an import changed on the way in, counted over many records.
struct AdifImportNotes {
  size_t reports_dropped = 0;      // reports not in RS or RST form ("-10")
  size_t texts_cut = 0;            // texts cut to their field's width
  size_t characters_replaced = 0;  // characters without a Shift-JIS form, now '?'
};

// Fills *view (every field, blank-padded) from record, times kept in UTC.
// False, with *why filled, when the record cannot become a contact: no or a
// bad CALL, QSO_DATE or TIME_ON, a call that does not fit, a mode that does
// not fit, a frequency the log cannot hold.
bool contact_of_adif(const AdifRecord& record, AdifText& text, ContactView* view, AdifRefusal* why,
                     AdifImportNotes* notes);

// True for the fields contact_of_adif reads (the rest are skipped and
// counted by an import).
bool is_contact_field(const std::string& name);

}  // namespace osprey_tool
