// Arbitrary bytes as a record file: open, read every record (up to a bound),
// write within a record, pack and close must neither crash, hang nor touch
// memory out of bounds, whatever the header claims.
#include <cstdint>
#include <string>
#include <vector>

#include "mem_files.h"
#include "osprey32.h"

namespace {

constexpr int32_t kMaxReads = 64;
constexpr char kPath[] = "FUZZ.dbs";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  osp::platform::MemEnv& files = osp::fuzz::fresh_files();
  files.put(kPath, data, size);
  DbfHandle h{};
  h.file = OSP_NO_FILE;
  if (dbf_open(kPath, &h) != 0) {
    // A failed open leaves the handle closed; closing it again does nothing.
    dbf_close(&h);
    return 0;
  }
  const int32_t record_size = dbf_rsize(&h);
  const int32_t count = dbf_rcount(&h);
  std::vector<uint8_t> record(static_cast<size_t>(record_size));
  const int32_t reads = count < kMaxReads ? count : kMaxReads;
  for (int32_t recno = 1; recno <= reads; ++recno) dbf_read(&h, recno, record.data());
  dbf_read(&h, 0, record.data());
  if (count < INT32_MAX) dbf_read(&h, count + 1, record.data());

  // The input's last bytes choose a write that stays inside one record, and
  // the size of the pack's work buffer.
  const uint8_t a = size > 0 ? data[size - 1] : 0;
  const uint8_t b = size > 1 ? data[size - 2] : 0;
  if (reads >= 1) {
    const int32_t recno = 1 + a % reads;
    const int32_t offset = b % record_size;
    const int32_t length = record_size - offset < 8 ? record_size - offset : 8;
    const uint8_t payload[8] = {'*', ' ', 'J', 'A', '1', 0x83, 0x5C, 0x1A};
    dbf_write2(&h, recno, payload, offset, length);
    if ((a & 1) != 0) dbf_delete(&h, recno);
  }
  std::vector<uint8_t> buffer(static_cast<size_t>(record_size) * (1 + a % 8) + b % 7);
  dbf_packwk(&h, buffer.data(), static_cast<int32_t>(buffer.size()));
  dbf_close(&h);
  // Nothing may make the file grow beyond its records and one more, the
  // record the write above may have completed.
  if (files.contents(kPath).size() > size + static_cast<size_t>(record_size) + 1) __builtin_trap();
  return 0;
}
