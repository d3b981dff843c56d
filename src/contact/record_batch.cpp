#include "contact/record_batch.h"

#include "dbf/record_file.h"
#include "frame/file.h"
#include "platform/env.h"

namespace osp::contact {

RecordBatch::~RecordBatch() { platform::env()->release(bytes_); }

bool RecordBatch::load(const DbfHandle* h, int32_t first, int32_t count) {
  held_ = 0;
  if (first < 1 || count < 1 || h->record_size < 2 || first > h->record_count) return false;
  if (count > h->record_count - first + 1) count = h->record_count - first + 1;
  const int64_t want = static_cast<int64_t>(count) * h->record_size;
  if (want > INT32_MAX) return false;
  if (want > capacity_) {
    platform::env()->release(bytes_);
    bytes_ = static_cast<uint8_t*>(platform::env()->allocate(static_cast<size_t>(want)));
    capacity_ = bytes_ == nullptr ? 0 : want;
    if (bytes_ == nullptr) return false;
  }
  const int64_t at = dbf::record_position(h, first);
  if (at < 0 || file_seek(h->file, at) != at) return false;
  const int32_t got = file_read(h->file, bytes_, static_cast<int32_t>(want));
  if (got <= 0) return false;
  first_ = first;
  record_size_ = h->record_size;
  held_ = got / record_size_;  // whole records: the mark, then the data bytes
  return held_ > 0;
}

const uint8_t* RecordBatch::data(int32_t recno) const {
  if (held_ == 0 || recno < first_ || recno - first_ >= held_) return nullptr;
  return bytes_ + static_cast<int64_t>(recno - first_) * record_size_ + 1;
}

uint8_t* RecordBatch::mutable_data(int32_t recno) {
  return const_cast<uint8_t*>(static_cast<const RecordBatch*>(this)->data(recno));
}

}  // namespace osp::contact
