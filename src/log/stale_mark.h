// Marking the indexes of a log for rebuilding until the next close stores
// fresh file times. An open that checks file times rebuilds indexes 0 and 1
// when the contact file's time differs from the one the profile file holds
// under "DBS" (indexes 2 to 4 for the master file, "MST"). Times are kept to
// two seconds, so a change made within two seconds of the close that stored
// them would go unnoticed; and an index that was part-way through an edit
// when the process ended cannot be trusted. So before the first change to a
// record file since its header was last written back, the profile's time of
// that file is cleared (0 never equals a real time). The close with file
// times stores it again. What a log's profile holds is remembered from the
// first change on (in the log's state, which the open makes anew and the close
// ends), so that later changes do not read the profile file again.
#pragma once

#include "osprey32.h"

namespace osp::log {

// Before a change to the contact file that the indexes over it follow.
void mark_contact_indexes_stale(LogHandle* log);

// Before a change to the master file that the indexes over it follow.
void mark_master_indexes_stale(LogHandle* log);

}  // namespace osp::log
