// The variable layout's index: the lists in file order and in j_key order,
// stored in the ".HDX" file, and the c_key order sorted afresh at each open.
#include <cstring>

#include "frame/bytes.h"
#include "frame/status.h"
#include "platform/env.h"
#include "text/packed_key.h"
#include "text/text_index.h"
#include "text/user_text_file.h"

namespace osp::text {

namespace {

constexpr int64_t kScanStart = 20;      // records begin at or after this offset
constexpr int32_t kScanBlock = 65536;
constexpr int32_t kScanOverlap = 10;    // searched again at the start of the next block
constexpr int32_t kKeyColumns = kJKeyColumn + kKeyLength;
constexpr uint8_t kLineFeed = 0x0A;
constexpr uint8_t kApostrophe = 0x27;

uint8_t* allocate_entries(int32_t count) {
  return static_cast<uint8_t*>(
      platform::env()->allocate(static_cast<size_t>(count) * kEntrySize));
}

void release(uint8_t** list) {
  platform::env()->release(*list);
  *list = nullptr;
}

int64_t list_bytes(int32_t count) { return static_cast<int64_t>(count) * kEntrySize; }

// Keeps the first count entries of *list in a block of their own size.
bool shrink(uint8_t** list, int32_t count) {
  uint8_t* smaller = allocate_entries(count);
  if (smaller == nullptr) return false;
  std::memcpy(smaller, *list, static_cast<size_t>(list_bytes(count)));
  release(list);
  *list = smaller;
  return true;
}

// The c_key and j_key of the record at position, packed from its cleaned
// columns, so that a record line that ends early is found by the blanks it
// shows. The columns come from the scan block when they lie in it
// (in_block bytes from the record's start are there), else from the file.
// False when the file cannot be positioned there.
bool record_keys(FileHandle text, const uint8_t* block, int32_t in_block, uint32_t position,
                 uint32_t* c_key, uint32_t* j_key) {
  uint8_t record[kRecordColumns];
  int32_t got = kKeyColumns;
  if (in_block >= kKeyColumns) {
    std::memcpy(record, block, kKeyColumns);
  } else {
    if (file_seek(text, position) != position) return false;
    got = file_read(text, record, kKeyColumns);
    if (got < 0) return false;
  }
  clean_record(record, got, 0);
  *c_key = packed_key(record);
  *j_key = packed_key(record + kJKeyColumn);
  return true;
}

// Finds the records of the text file: wherever a line feed is followed by an
// apostrophe, the record begins after the apostrophe. Takes at most
// kMaxEntries, and none that begins where a 3-byte position cannot point.
// Returns the number found, or -1 when the text file cannot be read (an
// index of part of the file would be taken for the whole).
int32_t scan_records(IndexWork* w, uint8_t* file_order, uint8_t* j_order) {
  int64_t block_start = kScanStart;
  int32_t found = 0;
  bool done = false;
  while (!done && found < kMaxEntries) {
    if (file_seek(w->text, block_start) != block_start) return -1;
    const int32_t n = file_read(w->text, w->work, kScanBlock);
    if (n < 0) return -1;
    if (n <= kScanOverlap) break;
    for (int32_t j = 0; j < n - kScanOverlap; ++j) {
      if (w->work[j] != kLineFeed || w->work[j + 1] != kApostrophe) continue;
      const int64_t position = block_start + j + 2;
      if (position >= kPositionLimit) {
        done = true;
        break;
      }
      uint32_t c_key = 0;
      uint32_t j_key = 0;
      if (!record_keys(w->text, w->work + j + 2, n - (j + 2), static_cast<uint32_t>(position),
                       &c_key, &j_key))
        return -1;
      set_entry(file_order + list_bytes(found), static_cast<uint32_t>(position), c_key);
      set_entry(j_order + list_bytes(found), static_cast<uint32_t>(position), j_key);
      if (++found == kMaxEntries) break;
      j += 2;
    }
    block_start += n - kScanOverlap;
  }
  return found;
}

bool read_lists(IndexWork* w, uint8_t* file_order, uint8_t* j_order, int32_t count) {
  const auto bytes = static_cast<int32_t>(list_bytes(count));
  return file_seek(w->index, kHeaderLength) == kHeaderLength &&
         file_read(w->index, file_order, bytes) == bytes &&
         file_read(w->index, j_order, bytes) == bytes;
}

bool write_lists(IndexWork* w, const uint8_t* file_order, const uint8_t* j_order, int32_t count) {
  const auto bytes = static_cast<int32_t>(list_bytes(count));
  uint8_t number[4];
  store_i32(number, count);
  return file_seek(w->index, 4) == 4 && file_write(w->index, number, 4) == 4 &&
         file_write(w->index, file_order, bytes) == bytes &&
         file_write(w->index, j_order, bytes) == bytes;
}

// The stored lists are whole when the file holds exactly the entries its
// count announces (an index cut short, or damaged, is rebuilt).
bool stored_lists_whole(const IndexWork& w) {
  return w.stored_count >= 1 && w.stored_count <= kMaxEntries &&
         w.index_size == kHeaderLength + 2 * list_bytes(w.stored_count);
}

struct Lists {
  uint8_t* file_order = nullptr;
  uint8_t* c_order = nullptr;
  uint8_t* j_order = nullptr;
  ~Lists() {
    release(&file_order);
    release(&c_order);
    release(&j_order);
  }
};

int32_t build_lists(IndexWork* w, Lists* lists, int32_t* count) {
  const int32_t capacity = w->reuse ? w->stored_count : kMaxEntries;
  lists->file_order = allocate_entries(capacity);
  lists->j_order = allocate_entries(capacity);
  if (lists->file_order == nullptr || lists->j_order == nullptr) return status::kNoMemory;
  if (w->reuse) {
    if (!read_lists(w, lists->file_order, lists->j_order, capacity)) return status::kIndexReadError;
    *count = capacity;
    return status::kOk;
  }
  if (!start_rebuild(w)) return status::kIndexWriteError;
  *count = scan_records(w, lists->file_order, lists->j_order);
  if (*count < 0) return status::kDataReadError;
  if (*count == 0) return status::kBadDataStructure;
  if (*count < capacity && (!shrink(&lists->file_order, *count) || !shrink(&lists->j_order, *count)))
    return status::kNoMemory;
  return status::kOk;
}

}  // namespace

int32_t open_variable(IndexWork* w) {
  UserTextFile* f = w->file;
  if (w->reuse && !stored_lists_whole(*w)) w->reuse = false;
  Lists lists;
  int32_t count = 0;
  int32_t r = build_lists(w, &lists, &count);
  if (r != status::kOk) return r;
  lists.c_order = allocate_entries(count);
  if (lists.c_order == nullptr) return status::kNoMemory;
  if (!w->reuse) {
    if (entry_key(lists.file_order) == kFirstMarkerKey ||
        (count > 1 && entry_key(lists.file_order + kEntrySize) == kSecondMarkerKey))
      f->marker = 1;
    sort_entries(lists.j_order, count);
    if (!write_lists(w, lists.file_order, lists.j_order, count) || !finish_rebuild(w))
      return status::kIndexWriteError;
  }
  std::memcpy(lists.c_order, lists.file_order, static_cast<size_t>(list_bytes(count)));
  sort_entries(lists.c_order, count);
  f->file_order = lists.file_order;
  f->c_order = lists.c_order;
  f->j_order = lists.j_order;
  lists.file_order = lists.c_order = lists.j_order = nullptr;
  f->entry_count = count;
  return status::kOk;
}

}  // namespace osp::text
