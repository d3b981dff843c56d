#include "label_order.h"

#include <algorithm>
#include <cstring>

#include "contact_rows.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

// The bureau order of first..last. The library's sort of QSL cards is not
// part of this build yet, so the order is refused rather than faked.
bool bureau_order(LogHandle&, const ContactRange&, int32_t, int32_t, std::vector<int32_t>*,
                  std::string* error) {
  *error = "the bureau order is not available in this build; use --order record";
  return false;
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
  constexpr int32_t kSeparatorsAndRemarks = 3;
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
