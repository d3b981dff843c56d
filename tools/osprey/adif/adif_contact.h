// A contact of the log as an ADIF record and back.
//
//   CALL          call sign, "/" and the portable designation when there is one
//                 (the log keeps the designation without its slash: "P", "1", "QRP")
//   QSO_DATE      UTC date (a contact logged in Japan Standard Time is moved
//   TIME_ON       back 9 hours, its date with it), HHMM
//   BAND, FREQ    ADIF band (any of ADIF's band list) from the frequency in MHz;
//                 a stored text that names one of the log's bands ("14", "1200")
//                 is a band, not a frequency: BAND alone, the text kept in
//                 APP_OSPREY_FREQ
//   MODE, SUBMODE the stored 3-character mode through one table of ADIF pairs
//                 ("USB": SSB, USB; "P63": PSK, PSK63; "JS8": MFSK, JS8)
//   RST_SENT      his report; RST_RCVD my report
//   QSL_SENT, QSL_RCVD, QSL_SENT_VIA   from the sent, received and route marks
//                 (a mark ADIF has no value for, such as '*', as Y)
//   GRIDSQUARE    grid locator
//   CNTY          the area code, for codes shaped as Japanese area codes
//   NAME          operator name
//   COMMENT       remarks 2 and 3 when they are the flow of one text over the two
//                 (as an import of a COMMENT stores it) and remark 1 is empty;
//   NOTES         else the remarks one a line: remarks 2 and 3 on two lines, or
//                 all three on three lines when remark 1 is not empty
//   APP_OSPREY_CODE, APP_OSPREY_QSL   stored texts that ADIF has no exact field
//                 for, so that a contact comes back as it went out
// Values are UTF-8; the writers make them ASCII for ADI.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

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

// One kind of change an import made: in how many records, the first named.
struct AdifNoteKind {
  static constexpr size_t kNamed = 5;
  size_t count = 0;
  size_t last = 0;            // the record counted last
  std::vector<size_t> first;  // record numbers, at most kNamed

  // Counts record once, however many of its fields it concerns.
  void add(size_t record) {
    if (count != 0 && last == record) return;
    ++count;
    last = record;
    if (first.size() < kNamed) first.push_back(record);
  }
};

// What an import changed on the way in, counted over many records.
struct AdifImportNotes {
  size_t record = 0;                 // the record being read: set before contact_of_adif
  AdifNoteKind reports_dropped;      // reports not in RS or RST form ("-10"), left out
  AdifNoteKind seconds_cut;          // TIME_ON with seconds, kept to the minute
  AdifNoteKind frequencies_rounded;  // FREQ over the log's 7 characters, rounded
  AdifNoteKind names_cut;            // NAME over 12 bytes, cut
  AdifNoteKind grids_cut;            // GRIDSQUARE over 6, cut
  AdifNoteKind remarks_cut;          // COMMENT or NOTES beyond the remarks' room, cut
  AdifNoteKind comment_dropped;      // COMMENT beside NOTES with no remark free
  AdifNoteKind characters_replaced;  // texts with characters without a Shift-JIS form
  AdifNoteKind plain_for_intl;       // an _INTL text Shift-JIS cannot hold: the plain field taken
  AdifNoteKind modes_shared;         // MODE/SUBMODE stored under a name exported as another pair
  AdifNoteKind moved_to_jst;         // a Japanese station's contact stored in JST
};

// The kinds of notes as sentences ("times with seconds were kept to the
// minute"), in the order an import reports them.
struct AdifNoteLine {
  const char* sentence;
  const AdifNoteKind* kind;
};
std::vector<AdifNoteLine> note_lines(const AdifImportNotes& notes);

// Fills *view (every field, blank-padded) from record: times in UTC, but a
// contact with a Japanese station (is_japanese_call) in JST unless keep_utc.
// Values are taken without trailing blanks, tabs and line ends. False, with
// *why filled, when the record cannot become a contact: no or a bad CALL,
// QSO_DATE or TIME_ON, a call that does not fit, a mode that does not fit, a
// frequency the log cannot hold (or one given in Hz). What was kept only in
// part is counted in *notes under notes->record.
bool contact_of_adif(const AdifRecord& record, AdifText& text, ContactView* view, AdifRefusal* why,
                     AdifImportNotes* notes, bool keep_utc = false);

// True for the fields contact_of_adif reads (the rest are skipped and
// counted by an import).
bool is_contact_field(const std::string& name);

}  // namespace osprey_tool
