#include "labels/label_order.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "contact_marks.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kBureauAscending = 1;
constexpr int32_t kMostSorted = 10000;  // contacts the library sorts in one call
constexpr size_t kEntrySize = 12;       // group, call key (7), record number (4)

using SortEntry = std::array<uint8_t, kEntrySize>;

int32_t recno_of(const uint8_t* entry) {
  const uint8_t* e = entry + 8;
  return static_cast<int32_t>(e[0] | e[1] << 8 | e[2] << 16 | static_cast<uint32_t>(e[3]) << 24);
}

// The bureau order of the contacts of first..last that keep says to keep,
// through the library's sort of QSL cards. A range longer than one sort
// takes is sorted in runs of equal length (each at least half a sort, so
// that every run is really sorted) and the runs merged by the same
// comparison the library uses: the 12 bytes of the entry, unsigned.
bool bureau_order(LogHandle& log, const ContactRange& range, int32_t first, int32_t last,
                  const std::vector<bool>& keep, std::vector<int32_t>* recnos,
                  std::string* error) {
  const int32_t count = last - first + 1;
  const int32_t runs = (count + kMostSorted - 1) / kMostSorted;
  const int32_t per_run = (count + runs - 1) / runs;
  std::vector<uint8_t> entries((kMostSorted + 1) * kEntrySize);
  std::vector<SortEntry> kept;
  for (int32_t lo = first; lo <= last; lo += per_run) {
    const int32_t hi = std::min(last, lo + per_run - 1);
    const int32_t r = JARL_sort(&log, entries.data(), lo, hi, range.lists[0].c_str(),
                                range.lists[1].c_str(), range.lists[2].c_str(), kBureauAscending);
    if (r != 0) {
      *error = r == 10 ? "a contact of the range cannot be read"
                       : "the bureau order failed with status " + std::to_string(r);
      return false;
    }
    for (int32_t k = 0; k <= hi - lo; ++k) {
      const uint8_t* e = entries.data() + static_cast<size_t>(k) * kEntrySize;
      const int32_t recno = recno_of(e);
      if (recno < first || recno > last || !keep[static_cast<size_t>(recno - first)]) continue;
      SortEntry copy;
      std::copy(e, e + kEntrySize, copy.begin());
      kept.push_back(copy);
    }
  }
  if (runs > 1) std::sort(kept.begin(), kept.end());
  for (const SortEntry& e : kept) recnos->push_back(recno_of(e.data()));
  return true;
}

}  // namespace

bool parse_contact_order(const std::string& text, ContactOrder* order) {
  if (text == "bureau") {
    *order = ContactOrder::kBureau;
  } else if (text == "record") {
    *order = ContactOrder::kRecord;
  } else {
    return false;
  }
  return true;
}

bool contact_order(LogHandle& log, const ContactRange& range, std::vector<int32_t>* recnos,
                   std::string* error) {
  recnos->clear();
  const int32_t count = log.dbs.handle.record_count;
  int32_t first = std::max(range.from, 1);
  int32_t last = range.to <= 0 ? count : std::min(range.to, count);
  if (first > last) return true;
  std::vector<ContactMarks> marks;
  if (!read_contact_marks(log, first, last, &marks, error)) return false;
  std::vector<bool> keep(marks.size());
  for (size_t i = 0; i < marks.size(); ++i) {
    const ContactMarks& m = marks[i];
    keep[i] = range.unsent ? card_unsent(m, range.no_card_routes)
                           : !m.deleted && range.no_card_routes.find(m.route) == std::string::npos;
  }
  // Only the span from the first contact kept to the last is sorted: the
  // cards of a week stand at the end of a long log.
  const auto head = std::find(keep.begin(), keep.end(), true);
  if (head == keep.end()) return true;
  const auto tail = std::find(keep.rbegin(), keep.rend(), true);
  const int32_t from = first;
  first = from + static_cast<int32_t>(head - keep.begin());
  last = from + static_cast<int32_t>(keep.rend() - tail) - 1;
  if (range.order == ContactOrder::kBureau) {
    const std::vector<bool> span(keep.begin() + (first - from), keep.begin() + (last - from) + 1);
    return bureau_order(log, range, first, last, span, recnos, error);
  }
  for (int32_t r = first; r <= last; ++r)
    if (keep[static_cast<size_t>(r - from)]) recnos->push_back(r);
  return true;
}

bool for_each_contact(LogHandle& log, const ContactRange& range, const std::string& context,
                      const std::function<bool()>& each) {
  constexpr int32_t kSeparatorsAndRemarks = OSP_READ_FULL;
  std::vector<int32_t> recnos;
  std::string error;
  if (!contact_order(log, range, &recnos, &error)) {
    fail_with_message(context, error);
    return false;
  }
  for (const int32_t recno : recnos) {
    const int32_t r = OSP_read(&log, recno, kSeparatorsAndRemarks);
    if (r != 0) {
      fail_with_status(context + ": record " + std::to_string(recno), r);
      return false;
    }
    if (!each()) break;
  }
  return true;
}

bool take_lists(const std::vector<std::string>& lists, ContactRange* range, std::string* error) {
  if (lists.size() > 3) {
    *error = "--lists takes at most three prefix lists";
    return false;
  }
  for (size_t i = 0; i < lists.size(); ++i) range->lists[i] = lists[i];
  return true;
}

}  // namespace osprey_tool
