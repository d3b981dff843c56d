// The user text file (user_text_file.h): its open, lookups, walks and close,
// and the columns of its records.
#include "text/user_text_file.h"

#include <cstring>
#include <string>

#include "frame/bytes.h"
#include "frame/report.h"
#include "frame/status.h"
#include "frame/ui.h"
#include "log/log_cursor.h"
#include "platform/env.h"
#include "record/master_record.h"
#include "text/packed_key.h"
#include "text/text_index.h"

namespace osp::text {

// User_open: the text file, its index file and the choice between reusing
// and rebuilding the index.
namespace {

// "テキストデータ読み込み中・・・": reading text data... (30 bytes).
constexpr char kReadingText[] =
    "\x83\x65\x83\x4C\x83\x58\x83\x67\x83\x66\x81\x5B\x83\x5E\x93\xC7\x82\xDD\x8D\x9E\x82\xDD"
    "\x92\x86\x81\x45\x81\x45\x81\x45";
constexpr int32_t kHeaderBytes = 24;
constexpr int32_t kLeadLetter = 23;  // the header byte that carries the lead count (type 0)

// The index file's path: the text file's path cut at its last '.' (if
// any), with the layout's extension.
std::string index_path(const char* text_path, int32_t type) {
  std::string path(text_path);
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos) path.resize(dot);
  return path + (type == kMasterNameType ? ".IDX" : ".HDX");
}

void mark_closed(UserTextFile* f) {
  f->file_order = nullptr;
  f->c_order = nullptr;
  f->j_order = nullptr;
  f->fixed_keys = nullptr;
  f->text_file = kNoFile;
  f->entry_count = -1;
}

// Reads the header line's first bytes into header_text; with type 0 a
// capital letter in byte 23 gives the lead count.
void read_header(FileHandle text, int32_t type, UserTextFile* f) {
  uint8_t head[kHeaderBytes] = {};
  if (file_seek(text, 0) == 0) file_read(text, head, kHeaderBytes);
  const uint8_t letter = head[kLeadLetter];
  if (type == kLeadCountType && letter >= 'A' && letter <= 'Z') f->lead_count = letter - 64;
  head[kLeadLetter] = 0;
  std::memcpy(f->header_text, head, kHeaderBytes);
}

FileHandle open_index(const char* path) {
  const FileHandle h = platform::env()->open_existing(path, platform::kReadWrite, platform::kShareRead);
  if (platform::is_open(h)) return h;
  return platform::env()->create_new(path);
}

// Reads the stored stamp and count and decides whether the index may be
// reused.
void read_index_header(IndexWork* w) {
  uint8_t head[kHeaderLength];
  const bool whole = file_seek(w->index, 0) == 0 && file_read(w->index, head, kHeaderLength) == kHeaderLength;
  const uint32_t stored = whole ? load_u32(head) : kUnfinishedStamp;
  w->stored_count = whole ? load_i32(head + 4) : 0;
  w->index_size = platform::env()->size(w->index);
  w->stamp = platform::env()->file_time_number(w->text);
  w->reuse = whole && stored == w->stamp && stored != kUnfinishedStamp &&
             w->index_size >= kShortestReusable;
}

}  // namespace

bool start_rebuild(IndexWork* w) {
  uint8_t stamp[4];
  store_u32(stamp, kUnfinishedStamp);
  return file_truncate(w->index, 0) == 1 && file_seek(w->index, 0) == 0 &&
         file_write(w->index, stamp, 4) == 4;
}

bool finish_rebuild(IndexWork* w) {
  uint8_t stamp[4];
  store_u32(stamp, w->stamp);
  return file_seek(w->index, 0) == 0 && file_write(w->index, stamp, 4) == 4;
}

int32_t user_open(void* device_context, int32_t type, UserTextFile* file, const char* path) {
  if (file == nullptr) return status::kCannotOpen;
  if (path != nullptr) {
    const size_t n = strnlen(path, sizeof file->file_name);
    if (n == sizeof file->file_name) {
      // A path longer than the structure holds names no file it could open.
      mark_closed(file);
      report_status(status::kCannotOpen, path);
      return status::kCannotOpen;
    }
    std::memcpy(file->file_name, path, n + 1);
  }
  file->file_name[sizeof file->file_name - 1] = '\0';
  mark_closed(file);
  draw_file_progress(device_context, 45, kReadingText, 30, file->file_name);

  file->marker = 0;
  IndexWork w;
  w.file = file;
  w.text = platform::env()->open_existing(file->file_name, platform::kRead, platform::kShareRead);
  if (!platform::is_open(w.text)) {
    report_status(status::kCannotOpen, file->file_name);
    return status::kCannotOpen;
  }
  read_header(w.text, type, file);
  const std::string index = index_path(file->file_name, type);
  w.index = open_index(index.c_str());
  if (!platform::is_open(w.index)) {
    file_close(w.text);
    report_status(status::kIndexWriteError, index.c_str());
    return status::kIndexWriteError;
  }
  read_index_header(&w);

  int32_t r = status::kNoMemory;
  w.work = static_cast<uint8_t*>(platform::env()->allocate(kWorkBufferSize));
  if (w.work != nullptr) r = type < kFirstFixedType ? open_variable(&w) : open_fixed(&w);
  platform::env()->release(w.work);
  file_close(w.index);
  if (r == status::kOk) {
    file->text_file = w.text;
    return status::kOk;
  }
  file_close(w.text);
  // An index that was not finished must not be found by the next open.
  platform::env()->remove(index.c_str());
  mark_closed(file);
  const bool about_text = r == status::kNoMemory || r == status::kBadDataStructure ||
                          r == status::kDataReadError;
  report_status(r, about_text ? file->file_name : index.c_str());
  return r;
}

// User_Seek, User_Read and User_close: lookups and walks of an open user
// text file, and its close.
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

namespace {

template <size_t N>
void field_from(const uint8_t* record, int32_t column, char (&field)[N]) {
  std::memcpy(field, record + column, N - 1);
  field[N - 1] = '\0';
}

}  // namespace

void clean_record(uint8_t* record, int32_t got, int32_t from) {
  if (got < 0) got = 0;
  int32_t end = got < kRecordColumns ? got : kRecordColumns;
  for (int32_t i = from; i < end; ++i) {
    if (record[i] < 0x20) {
      end = i;
      break;
    }
  }
  if (end < kRecordColumns) std::memset(record + end, ' ', static_cast<size_t>(kRecordColumns - end));
}

int32_t read_record(FileHandle text, uint32_t position, uint8_t* record) {
  if (file_seek(text, position) != position) return 0;
  const int32_t got = file_read(text, record, kRecordColumns);
  return got < 0 ? 0 : got;
}

void fill_fields(const uint8_t* record, UserTextFile* file) {
  field_from(record, 0, file->c_key);
  field_from(record, 6, file->info1);
  field_from(record, kJKeyColumn, file->j_key);
  field_from(record, kInfo2Column, file->info2);
  field_from(record, 52, file->info3);
}

}  // namespace osp::text
