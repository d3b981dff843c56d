// The sample contact file the repository ships (samples/SAMPLE.dbs): seven
// contacts with Shift-JIS names, the fourth marked deleted, made through the
// library with a fixed clock so that the same bytes come out every time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "osprey32.h"
#include "support/contact_builder.h"

namespace osp::test {

// The sample's contacts in record order.
const std::vector<ContactSpec>& sample_contacts();

// The record that the sample marks deleted.
inline constexpr int32_t kSampleDeletedRecord = 4;

// The date the sample's header carries.
inline constexpr OspLocalTime kSampleDate{2026, 3, 7, 21, 5, 30};

// Creates the sample at path: dbf_create, one append per contact, then the
// deletion. The library's hooks are replaced by a fixed clock while it runs
// and the platform's own are restored afterwards. Returns 0 or the status of
// the record-file operation that failed.
int32_t write_sample_contact_file(const std::string& path);

}  // namespace osp::test
