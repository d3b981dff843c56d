// Consecutive records of a record file held in memory after one read, so
// that a walk over many records costs one read per batch instead of one
// per record. A batch only ever hands out records whose bytes were really
// read; for anything else the caller reads the record itself (and gets
// the record file's own status).
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::contact {

class RecordBatch {
 public:
  RecordBatch() = default;
  ~RecordBatch();
  RecordBatch(const RecordBatch&) = delete;
  RecordBatch& operator=(const RecordBatch&) = delete;

  // Reads up to count records of h from record first (at least 1; records
  // past the record count are not read). Returns false, with the batch
  // empty, when no memory can be had or nothing could be read.
  bool load(const DbfHandle* h, int32_t first, int32_t count);

  // The data bytes (record size - 1, without the mark) of record recno, or
  // null when the batch does not hold all of them.
  const uint8_t* data(int32_t recno) const;
  // The same, writable, so that a caller that writes a record keeps the
  // batch in step.
  uint8_t* mutable_data(int32_t recno);

 private:
  uint8_t* bytes_ = nullptr;
  int64_t capacity_ = 0;  // bytes allocated
  int32_t first_ = 0;
  int32_t held_ = 0;  // whole records read
  int32_t record_size_ = 0;
};

}  // namespace osp::contact
