// User_Seek, User_Read and User_close: lookups and walks of an open user
// text file, and its close.
#include <cstring>

#include "frame/status.h"
#include "log/log_cursor.h"
#include "record/master_record.h"
#include "platform/env.h"
#include "text/packed_key.h"
#include "text/user_record.h"
#include "text/user_text_file.h"

namespace osp::text {

namespace {

constexpr int32_t kFixedRecordSize = 26;
constexpr int32_t kMastersByCode = 34;  // cursor mode: masters through index slot 2

// The first of count rising keys that is not below key; count when none.
int32_t lower_bound_key(const uint32_t* keys, int32_t count, uint32_t key) {
  int32_t low = 0;
  int32_t high = count;
  while (low < high) {
    const int32_t mid = low + (high - low) / 2;
    if (keys[mid] < key) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

// Type 3: info2 (columns 24-51) becomes the name of the master whose code
// is the record's j_key, when the code does not begin with two blanks and
// the log finds it.
void take_master_name(LogHandle* log, uint8_t* record) {
  if (log == nullptr || (record[kJKeyColumn] == ' ' && record[kJKeyColumn + 1] == ' ')) return;
  char code[kKeyLength + 1];
  std::memcpy(code, record + kJKeyColumn, kKeyLength);
  code[kKeyLength] = '\0';
  if (log::seek(log, code, kMastersByCode) != status::kOk) return;
  static_assert(log::master::kName.width == kInfo2Width, "the area name fills info2");
  std::memcpy(record + kInfo2Column, log->mst_image + log::master::kName.data(), kInfo2Width);
}

// The 1-based place of the first of the leading records in file order whose
// key is key, or 0.
uint8_t lead_place(const UserTextFile* f, uint32_t key) {
  const int32_t leading = f->lead_count < f->entry_count ? f->lead_count : f->entry_count;
  for (int32_t i = 0; i < leading; ++i) {
    if (entry_key(f->file_order + static_cast<int64_t>(i) * kEntrySize) == key)
      return static_cast<uint8_t>(i + 1);
  }
  return 0;
}

void release(void* p) { platform::env()->release(p); }

}  // namespace

int32_t user_seek(LogHandle* log, int32_t type, UserTextFile* file, const void* key) {
  if (file == nullptr || key == nullptr || file->entry_count < 1) return -1;
  uint32_t k = 0;
  if (type >= kFirstPackedKeyType) {
    std::memcpy(&k, key, sizeof k);
  } else {
    k = packed_key(static_cast<const uint8_t*>(key));
  }
  uint8_t record[kRecordColumns];
  int32_t got = 0;
  int32_t result = 1;
  if (type >= kFirstFixedType) {
    if (file->fixed_keys == nullptr || file->lead_count < 1) return -1;
    const int32_t e = lower_bound_key(file->fixed_keys, file->lead_count, k);
    if (e == file->lead_count || file->fixed_keys[e] != k) return -1;
    const auto position = static_cast<uint32_t>(kFixedRecordSize * (static_cast<int64_t>(e) + 1));
    got = read_record(file->text_file, position, record);
    if (got > kFixedRecordSize) got = kFixedRecordSize;
  } else {
    if (file->c_order == nullptr) return -1;
    const int32_t e = lower_bound_entry(file->c_order, file->entry_count, k);
    const uint8_t* entry = file->c_order + static_cast<int64_t>(e) * kEntrySize;
    if (e == file->entry_count || entry_key(entry) != k) return -1;
    got = read_record(file->text_file, entry_position(entry), record);
    result = e + 1;
    if (type == kLeadCountType) file->marker = lead_place(file, k);
  }
  clean_record(record, got, 0);
  if (type == kMasterNameType) take_master_name(log, record);
  fill_fields(record, file);
  return result;
}

int32_t user_read(int32_t selector, int32_t position, UserTextFile* file) {
  if (file == nullptr) return status::kRecnoAboveCount;
  const auto which = static_cast<uint8_t>(selector);
  const uint8_t* list = which == 'C' ? file->c_order : which == 'J' ? file->j_order : file->file_order;
  if (position > file->entry_count) return status::kRecnoAboveCount;
  if (position < 1) return status::kRecnoBelowOne;
  // A fixed-layout file has no lists to walk.
  if (list == nullptr) return status::kRecnoAboveCount;
  uint8_t record[kRecordColumns];
  const int32_t got = read_record(
      file->text_file, entry_position(list + static_cast<int64_t>(position - 1) * kEntrySize), record);
  clean_record(record, got, 1);
  fill_fields(record, file);
  return status::kOk;
}

void user_close(int32_t type, UserTextFile* file) {
  if (file == nullptr) return;
  if (file->entry_count != -1) {
    if (platform::is_open(file->text_file)) file_close(file->text_file);
    // Whatever this open allocated is freed, whichever type the caller names.
    release(file->fixed_keys);
    release(file->j_order);
    release(file->c_order);
    release(file->file_order);
    if (type < kFirstFixedType) file->lead_count = 0;
  }
  file->fixed_keys = nullptr;
  file->j_order = nullptr;
  file->c_order = nullptr;
  file->file_order = nullptr;
  file->text_file = kNoFile;
  file->entry_count = -1;
}

}  // namespace osp::text
