// The order in which the QSL bureau sorts cards: an array of 12-byte entries
// (group, call key, record number) over a range of contacts, or the range in
// record order. No record moves.
#include <cstring>

#include "contact/dates_prefixes.h"
#include "frame/bytes.h"
#include "frame/sort.h"
#include "frame/status.h"
#include "frame/report.h"
#include "frame/ui.h"
#include "record/contact_record.h"
#include "log/log_cursor.h"
#include "log/log_guard.h"
#include "platform/env.h"
#include "print/bureau_sort.h"

namespace osp::print {

namespace {

namespace field = log::contact;

constexpr int kKeyLength = 7;        // CALLS + IGN
constexpr int kKeyAreaPlace = 2;     // the area digit of a call sign
constexpr int kRemarkCallLength = 6; // at most this much of a remark's call sign
constexpr uint8_t kRouteViaManager = 'M';
constexpr uint8_t kAreaZeroMark = ':';  // '0' sorts after '9' as ':'
constexpr uint8_t kLastForeignCode = '4';

// "印字件数は１万以内です": the number of printed items must be 10,000 or fewer.
constexpr char kTooManyText[] =
    "\x88\xF3\x8E\x9A\x8C\x8F\x90\x94\x82\xCD\x82\x50\x96\x9C\x88\xC8\x93\xE0\x82\xC5\x82\xB7";

// With route mark 'M', the call sign after a qualifying '@' in remark 2,
// else in remark 3, replaces the call key: its first (at most 6) characters
// from place 0 on, places 3 to 6 blank first.
void take_manager_call(uint8_t* key, const ContactView& view) {
  const char* remark = view.remark2;
  int32_t p = contact::find_at_call(remark);
  if (p <= 0) {
    remark = view.remark3;
    p = contact::find_at_call(remark);
    if (p <= 0) return;
  }
  const size_t room = sizeof view.remark2 - static_cast<size_t>(p);
  const size_t m = strnlen(remark + p, room < kRemarkCallLength ? room : kRemarkCallLength);
  std::memset(key + 3, ' ', kKeyLength - 3);
  std::memcpy(key, remark + p, m);
}

bool listed(const char* list, const uint8_t* key) {
  return list != nullptr && contact::is_listed_prefix(list, reinterpret_cast<const char*>(key)) != 0;
}

}  // namespace

void make_bureau_entry(uint8_t* record, const ContactView& view, const char* const lists[3],
                       int32_t recno, uint8_t* entry) {
  uint8_t* key = record + field::kCallsign.data();
  if (record[field::kRouteMark.data()] == kRouteViaManager) take_manager_call(key, view);
  auto group = static_cast<uint8_t>(key[kKeyAreaPlace] - '0');
  if (listed(lists[0], key)) {
    group = static_cast<uint8_t>(group + kGroupList1);
  } else if (listed(lists[1], key)) {
    group = static_cast<uint8_t>(group + kGroupList2);
  } else if (listed(lists[2], key)) {
    group = static_cast<uint8_t>(group + kGroupList3);
  } else {
    if (group == 0) {
      key[kKeyAreaPlace] = kAreaZeroMark;
      group = kGroupAreaZero;
    }
    if (key[0] == '8') {
      group = kGroupEight;
    } else if (key[0] == '7' && key[1] == 'J') {
      group = kGroupSevenJ;
    } else if (key[5] == ' ' && key[6] == ' ') {
      // A suffix of two letters sorts before the three-letter suffixes of
      // its area: it moves one place to the right.
      key[5] = key[4];
      key[4] = key[3];
      key[3] = ' ';
    }
  }
  const bool foreign_code = record[field::kCode.data()] > kLastForeignCode;
  const bool utc = (record[field::kTime.data() + 1] & field::kUtc) != 0;
  if (foreign_code || utc) {
    if (key[0] == '0') key[0] = kAreaZeroMark;
    group = key[0] <= kAreaZeroMark ? kGroupForeignDigit : kGroupForeignLetter;
  }
  entry[0] = group;
  std::memcpy(entry + 1, key, kKeyLength);
  store_i32(entry + 1 + kKeyLength, recno);
}

int32_t jarl_sort(LogHandle* log, void* entries, int32_t first, int32_t last, const char* list1,
                  const char* list2, const char* list3, int32_t mode) {
  if (log == nullptr || entries == nullptr) return status::kRecnoAboveCount;
  auto* out = static_cast<uint8_t*>(entries);
  std::memset(out, 0, static_cast<size_t>(kSortEntryCount) * kSortEntrySize);
  if (log::require_open(log, log::need::kContacts) != status::kOk) return status::kRecnoAboveCount;
  const int32_t n = log->dbs.handle.record_count;
  if (last > n) last = n;
  if (first > n) first = n;
  if (first < 1) first = 1;
  const int64_t count = static_cast<int64_t>(last) - first + 1;
  if (count > kMaxSortedContacts) {
    message_box(1, kTooManyText, kCaption, platform::kMbOk | platform::kMbIconAsterisk);
    return -1;
  }
  const auto record_at = [out](int64_t k) { return out + k * kSortEntrySize + 1 + kKeyLength; };
  if (count < 2) {
    store_i32(record_at(0), first);
    return status::kOk;
  }
  if (mode == kRecordOrderAscending || mode == kRecordOrderDescending) {
    for (int64_t i = 0; i < count; ++i) {
      const int64_t recno = mode == kRecordOrderAscending ? first + i : last - i;
      store_i32(record_at(i), static_cast<int32_t>(recno));
    }
    return status::kOk;
  }
  const char* const lists[3] = {list1, list2, list3};
  for (int32_t r = first, k = 0; r <= last; ++r, ++k) {
    if (log::read_contact(log, r, OSP_READ_FULL) != status::kOk) return status::kRecnoAboveCount;
    make_bureau_entry(log->dbs_image, log->view, lists, r, out + static_cast<size_t>(k) * kSortEntrySize);
  }
  const bool ascending = mode % 2 != 0;
  sort_records_by(out, static_cast<int32_t>(count), kSortEntrySize,
                  [ascending](const uint8_t* a, const uint8_t* b) {
                    const int c = std::memcmp(a, b, kSortEntrySize);
                    return ascending ? c : -c;
                  });
  return status::kOk;
}

}  // namespace osp::print
