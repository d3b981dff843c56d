// The worked/confirmed check: walks the contacts of a log in record order
// and raises the band tables of the master entries of their areas. A band
// of an area only ever rises: from blank to worked or confirmed, from worked
// to confirmed. An area of kind 6 or 7 that rises lifts its parent area
// (the code's first four or five characters) as well.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::contact {

// Where the walk draws its progress: every tenth record number, right-
// aligned in 7 places, at this point of the caller's device context.
inline constexpr int32_t kProgressX = 40;
inline constexpr int32_t kProgressY = 54;
inline constexpr int32_t kProgressEvery = 10;

// WkdCfmCheck. For contact *recno of log (fully open: contact file, master
// file and index slot 2), in this order: reads it into dbs_image; draws the
// progress number when device_context is not null; raises *recno by one.
// The contact counts unless its CODE begins with two blanks or its route
// mark (first QSL character) is one of excluded_routes (a NUL route mark
// always counts as excluded; a null set is empty). It counts as confirmed
// ('C') unless its received mark (third QSL character) is a blank or the
// low byte of not_received, then as worked ('W'); its band is that of its
// frequency text. The area's master entry, found through slot 2 and read
// into mst_image, is raised on that band when it takes part and shows less
// than the contact's standing there; its two masks are written to the
// master file, and then the same is done for its parent when the code is of
// kind 6 or 7.
// Without a device context one call handles one contact and returns 0;
// with one the walk goes on to the end of the contact file, reading the
// contact file in batches of 2000 records and the master file (up to 65536
// entries) once, and asking the index once per area code; what it does to
// the files and leaves in the handle is the same as record by record (the
// cursor of slot 2 excepted). Memory that cannot be had only makes it read
// record by record.
// Returns 0 (one contact handled); the read status that ended the walk (10
// past the last contact, 11 below 1, 21 short read; silent); 22 or another
// write failure of the masks, reported with the master file's path, which
// ends the walk at once (*recno already points past the contact); 2 when
// the contact or master file's record size is not the log's (reported); 5
// when a file the walk needs is not open (reported unless log is null) or
// recno is null.
int32_t worked_confirmed_walk(void* device_context, LogHandle* log, int32_t* recno,
                              const char* excluded_routes, int32_t not_received);

// OSP_award_recompute (a port extension): the tables as the live contacts
// make them. First every master entry that takes part (its band string does
// not begin with kTakesNoPart) and shows any standing has both masks
// cleared and written; then every contact that is not deleted is credited as
// worked_confirmed_walk credits it. Both files are read in batches as the
// walk with a device context reads them, and progress is drawn the same way
// when device_context is not null.
// Returns 0; the status of a read of either file that failed short of its
// record count (silent); 22 or another write failure of the masks, reported
// with the master file's path, which ends the work at once (the tables then
// stand part-way; a second call mends them); 2 and 5 as the walk.
int32_t worked_confirmed_recompute(void* device_context, LogHandle* log,
                                   const char* excluded_routes, int32_t not_received);

}  // namespace osp::contact
