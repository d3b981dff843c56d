#include "award/award_walk.h"

#include <algorithm>
#include <vector>

#include "contact_marks.h"
#include "contacts_session.h"

namespace osprey_tool {

namespace {

constexpr size_t kMasksAt = 38;           // confirmed then worked mask, in the data bytes
constexpr int32_t kMasksRecordOffset = 39;  // the same place counted from the deletion mark
constexpr int32_t kMasksLength = 4;
constexpr int32_t kMarksPerRead = 65536;  // contacts whose marks are read at a time
constexpr int32_t kProgressEvery = 1000;

const char kNoBands[] = "               ";  // 15 blanks

}  // namespace

bool clear_band_tables(LogHandle* log, int32_t* cleared, std::string* error) {
  *cleared = 0;
  DbfHandle* mst = &log->mst.handle;
  for (int32_t recno = 1; recno <= mst->record_count; ++recno) {
    const int32_t r = dbf_read(mst, recno, log->mst_image);
    if (r != 0) {
      *error = "master record " + std::to_string(recno) + " cannot be read (status " +
               std::to_string(r) + ")";
      return false;
    }
    char bands[16];
    Wget_bit(bands, log->mst_image);
    if (bands[0] == '-' || std::string(bands, 15) == kNoBands) continue;
    Wput_bit(log, kNoBands);
    const int32_t w =
        dbf_write2(mst, recno, log->mst_image + kMasksAt, kMasksRecordOffset, kMasksLength);
    if (w != 0) {
      *error = "master record " + std::to_string(recno) + " cannot be written (status " +
               std::to_string(w) + ")";
      return false;
    }
    ++*cleared;
  }
  return true;
}

bool walk_live_contacts(LogHandle* log, const std::string& excluded, uint8_t not_received,
                        const std::function<void(int32_t)>& progress, WalkCounts* counts,
                        std::string* error) {
  // The library's walk reads every record, deleted or not; it is handed the
  // live ones only, one call each (without a device context a call handles
  // one contact).
  const int32_t count = log->dbs.handle.record_count;
  std::vector<ContactMarks> marks;
  for (int32_t first = 1; first <= count; first += kMarksPerRead) {
    const int32_t last = std::min(count, first + kMarksPerRead - 1);
    if (!read_contact_marks(*log, first, last, &marks, error)) return false;
    for (int32_t recno = first; recno <= last; ++recno) {
      if (progress && recno % kProgressEvery == 0) progress(recno);
      if (marks[static_cast<size_t>(recno - first)].deleted) {
        ++counts->deleted;
        continue;
      }
      int32_t at = recno;
      const int32_t r = WkdCfmCheck(nullptr, log, &at, excluded.c_str(), not_received);
      if (r != 0) {
        *error = "contact " + std::to_string(recno) + " cannot be read (status " +
                 std::to_string(r) + ")";
        return false;
      }
      ++counts->walked;
    }
  }
  return true;
}

bool recompute_tables(LogHandle* log, void* device_context, const std::string& excluded,
                      uint8_t not_received, WalkCounts* counts, std::string* error) {
  const int32_t count = log->dbs.handle.record_count;
  std::vector<ContactMarks> marks;
  for (int32_t first = 1; first <= count; first += kMarksPerRead) {
    const int32_t last = std::min(count, first + kMarksPerRead - 1);
    if (!read_contact_marks(*log, first, last, &marks, error)) return false;
    for (const ContactMarks& m : marks) ++(m.deleted ? counts->deleted : counts->walked);
  }
  const int32_t r = OSP_award_recompute(device_context, log, excluded.c_str(), not_received);
  if (r != 0) {
    *error = "the tables could not be recomputed (status " + std::to_string(r) + ")";
    return false;
  }
  return true;
}

int32_t award_rows(LogHandle* log, std::vector<AwardRow>* rows) {
  constexpr int kNameBytes = 28;
  int32_t r = log->mst.handle.record_count == 0 ? OSP_END_OF_ORDER
                                                : OSP_top(log, OSP_MODE_MASTERS_BY_CODE);
  for (; r == 0; r = OSP_skip(log, 1, OSP_MODE_MASTERS_BY_CODE)) {
    char bands[16];
    Wget_bit(bands, log->mst_image);
    if (bands[0] == '-') continue;
    AwardRow row;
    row.code.assign(reinterpret_cast<const char*>(log->mst_image), 6);
    std::string name(reinterpret_cast<const char*>(log->mst_image) + 6, kNameBytes);
    name.erase(name.find_last_not_of(' ') + 1);
    row.name = utf8_of(name.c_str(), name.size());
    row.name_columns = static_cast<int>(name.size());
    row.bands.assign(bands, 15);
    rows->push_back(row);
  }
  return r == OSP_END_OF_ORDER ? 0 : r;
}

}  // namespace osprey_tool
