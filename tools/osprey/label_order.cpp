#include "label_order.h"

#include <algorithm>
#include <cstring>

#include "contact_rows.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kBureauAscending = 1;
constexpr int32_t kMostSorted = 10000;  // contacts the bureau order takes in one run
constexpr size_t kEntrySize = 12;       // group, call key (7), record number (4)

// The bureau order of first..last through the library's sort of QSL cards.
bool bureau_order(LogHandle& log, const ContactRange& range, int32_t first, int32_t last,
                  std::vector<int32_t>* recnos, std::string* error) {
  if (last - first + 1 > kMostSorted) {
    *error = "the bureau order takes at most 10000 contacts a run; choose them with --from and --to";
    return false;
  }
  std::vector<uint8_t> entries((kMostSorted + 1) * kEntrySize);
  const int32_t r = JARL_sort(&log, entries.data(), first, last, range.lists[0].c_str(),
                              range.lists[1].c_str(), range.lists[2].c_str(), kBureauAscending);
  if (r != 0) {
    *error = r == 10 ? "a contact of the range cannot be read"
                     : "the bureau order failed with status " + std::to_string(r);
    return false;
  }
  for (int32_t k = 0; k <= last - first; ++k) {
    const uint8_t* e = entries.data() + static_cast<size_t>(k) * kEntrySize + 8;
    recnos->push_back(static_cast<int32_t>(e[0] | e[1] << 8 | e[2] << 16 |
                                           static_cast<uint32_t>(e[3]) << 24));
  }
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
  const int32_t first = std::max(range.from, 1);
  const int32_t last = range.to <= 0 ? count : std::min(range.to, count);
  if (first > last) return true;
  if (range.order == ContactOrder::kBureau) return bureau_order(log, range, first, last, recnos, error);
  for (int32_t r = first; r <= last; ++r) recnos->push_back(r);
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
  DeletionMarks marks(log.dbs.path, log.dbs.handle);
  for (const int32_t recno : recnos) {
    if (marks.deleted(recno)) continue;
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
