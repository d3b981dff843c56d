// Arbitrary bytes as a record file: open, read every record (up to a bound),
// write within a record, pack and close must neither crash, hang nor touch
// memory out of bounds, whatever the header claims.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "osprey32.h"

namespace {

constexpr int32_t kMaxReads = 64;

// A file in a directory of this process's own, removed at exit.
const std::string& work_path() {
  static const std::string path = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "osprey-dbf-fuzz-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) std::abort();
    static std::string to_remove;
    to_remove = dir;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(to_remove, ec);
    });
    return dir + "/FUZZ.dbs";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = work_path();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  DbfHandle h{};
  h.file = OSP_NO_FILE;
  if (dbf_open(path.c_str(), &h) != 0) {
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
  return 0;
}
