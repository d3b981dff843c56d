// The fixed layout's index: the packed keys of all records in file order,
// stored as a delta stream (mostly one byte per record).
#include <algorithm>
#include <cstring>

#include "frame/bytes.h"
#include "frame/status.h"
#include "platform/env.h"
#include "text/packed_key.h"
#include "text/text_index.h"
#include "text/user_text_file.h"

namespace osp::text {

namespace {

constexpr int32_t kFixedRecordSize = 26;   // 24 columns and the line end
constexpr int32_t kHeaderLineLength = 25;  // before the header line's line feed
constexpr int32_t kHeaderProbe = 512;
constexpr int32_t kReadBlock = 2520 * kFixedRecordSize;  // 65520
constexpr int32_t kStreamBlock = 65536;
constexpr int32_t kWriteAt = kStreamBlock - 5;  // written once this much is waiting
constexpr int64_t kStreamStart = 4;
constexpr uint32_t kLongestDelta = 255;

bool header_line_fits(IndexWork* w) {
  if (file_seek(w->text, 0) != 0) return false;
  const int32_t got = file_read(w->text, w->work, kHeaderProbe);
  if (got <= 0) return false;
  const auto* end = static_cast<const uint8_t*>(std::memchr(w->work, 0x0A, static_cast<size_t>(got)));
  return end != nullptr && end - w->work == kHeaderLineLength;
}

// Reads the key of each record into keys, at most count. False when the
// text file cannot be read: an index of part of the file would be taken
// for the whole.
bool read_keys(IndexWork* w, uint32_t* keys, int32_t count) {
  int64_t at = kFixedRecordSize;
  int32_t n_keys = 0;
  while (n_keys < count) {
    if (file_seek(w->text, at) != at) return false;
    const int32_t n = file_read(w->text, w->work, kReadBlock);
    if (n < 0) return false;
    if (n == 0) break;
    for (int32_t off = 0; off + kKeyLength <= n && n_keys < count; off += kFixedRecordSize) {
      keys[n_keys++] = packed_key(w->work + off);
    }
    if (n < kReadBlock) break;
    at += n;
  }
  return n_keys == count;
}

// Writes the delta stream of count keys from offset 4. Returns 0, 29 (a key
// not above the one before it) or 22 (a short write).
int32_t write_stream(IndexWork* w, const uint32_t* keys, int32_t count) {
  if (file_seek(w->index, kStreamStart) != kStreamStart) return status::kDataWriteError;
  int32_t waiting = 0;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t key = keys[i];
    if (i > 0 && key <= keys[i - 1]) return status::kBadSortOrder;
    const uint32_t delta = i > 0 ? key - keys[i - 1] : 0;
    if (delta >= 1 && delta <= kLongestDelta) {
      w->work[waiting++] = static_cast<uint8_t>(delta);
    } else {
      w->work[waiting] = 0;
      store_u32(w->work + waiting + 1, key);
      waiting += 5;
    }
    if (waiting >= kWriteAt) {
      if (file_write(w->index, w->work, waiting) != waiting) return status::kDataWriteError;
      waiting = 0;
    }
  }
  if (waiting > 0 && file_write(w->index, w->work, waiting) != waiting)
    return status::kDataWriteError;
  return status::kOk;
}

// Decodes the stored stream into keys. Returns 0 with *whole true when it
// held count keys in strictly rising order, 0 with *whole false when it
// did not (too short, or damaged), 7 when it could not be read.
int32_t decode_stream(IndexWork* w, uint32_t* keys, int32_t count, bool* whole) {
  int64_t at = kStreamStart;
  int32_t n_keys = 0;
  bool sound = true;
  while (sound && n_keys < count) {
    if (file_seek(w->index, at) != at) return status::kIndexReadError;
    const int32_t n = file_read(w->index, w->work, kStreamBlock);
    if (n < 0) return status::kIndexReadError;
    int32_t i = 0;
    while (i < n && n_keys < count) {
      uint32_t key = 0;
      if (w->work[i] != 0) {
        key = keys[n_keys > 0 ? n_keys - 1 : 0] + w->work[i];
        if (n_keys == 0) sound = false;  // the first key is always stored whole
        i += 1;
      } else {
        if (i + 5 > n) break;  // the next block starts at this zero byte
        key = load_u32(w->work + i + 1);
        i += 5;
      }
      if (n_keys > 0 && key <= keys[n_keys - 1]) sound = false;
      if (!sound) break;
      keys[n_keys++] = key;
    }
    if (n < kStreamBlock) break;
    at += i;
  }
  *whole = sound && n_keys == count;
  return status::kOk;
}

}  // namespace

int32_t open_fixed(IndexWork* w) {
  UserTextFile* f = w->file;
  if (!header_line_fits(w)) return status::kBadDataStructure;
  const int64_t size = std::clamp<int64_t>(platform::env()->size(w->text), 0, kMaxFilePosition);
  const auto count = static_cast<int32_t>(std::max<int64_t>(size / kFixedRecordSize - 1, 0));
  f->lead_count = count;
  auto* keys = static_cast<uint32_t*>(
      platform::env()->allocate((static_cast<size_t>(count) + 3) * sizeof(uint32_t)));
  if (keys == nullptr) return status::kNoMemory;
  int32_t r = status::kOk;
  if (w->reuse) {
    bool whole = false;
    r = decode_stream(w, keys, count, &whole);
    if (r == status::kOk && !whole) w->reuse = false;
  }
  if (r == status::kOk && !w->reuse) {
    if (!start_rebuild(w)) {
      r = status::kDataWriteError;
    } else {
      r = read_keys(w, keys, count) ? write_stream(w, keys, count) : status::kDataReadError;
      if (r == status::kOk && !finish_rebuild(w)) r = status::kDataWriteError;
    }
  }
  if (r != status::kOk) {
    platform::env()->release(keys);
    return r;
  }
  f->fixed_keys = keys;
  f->entry_count = 1;
  return status::kOk;
}

}  // namespace osp::text
