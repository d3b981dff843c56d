// Arbitrary bytes as a log's contact file and remarks file: a quick open,
// reading every contact with its remark block, walking in record order and
// closing must neither crash, hang nor touch memory out of bounds. The first
// two input bytes say how many of the rest belong to the contact file.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "osprey32.h"

namespace {

constexpr int32_t kMaxReads = 64;

// A directory of this process's own, removed at exit.
const std::string& work_dir() {
  static const std::string dir = [] {
    std::string d = (std::filesystem::temp_directory_path() / "osprey-log-fuzz-XXXXXX").string();
    if (::mkdtemp(d.data()) == nullptr) std::abort();
    static std::string to_remove;
    to_remove = d;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(to_remove, ec);
    });
    return d;
  }();
  return dir;
}

void write_bytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// Questions are answered No and messages are dropped, silently.
int32_t answer_no(void*, int32_t, const char*, const char*, uint32_t) { return 7; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const OspHooks hooks{&answer_no, nullptr, nullptr, nullptr, nullptr};
  OspSetHooks(&hooks);
  if (size < 2) return 0;
  size_t dbs_size = static_cast<size_t>(data[0]) | (static_cast<size_t>(data[1]) << 8);
  data += 2;
  size -= 2;
  if (dbs_size > size) dbs_size = size;
  const std::string base = work_dir() + "/FUZZ";
  write_bytes(base + ".dbs", data, dbs_size);
  write_bytes(base + ".dbr", data + dbs_size, size - dbs_size);

  LogHandle log{};
  if (OspreyOpen(nullptr, &log, base.c_str(), 0, 2) != 0) return 0;
  const int32_t count = dbf_rcount(&log.dbs.handle);
  const int32_t reads = count < kMaxReads ? count : kMaxReads;
  for (int32_t recno = 1; recno <= reads; ++recno) OSP_read(&log, recno, 3);
  OSP_read(&log, 0, 3);
  if (count < INT32_MAX) OSP_read(&log, count + 1, 1);
  if (OSP_top(&log, 24) == 0) {
    for (int32_t i = 1; i < reads && OSP_skip(&log, 1, 24) == 0; ++i) {
    }
  }
  OspreyClose(&log, 2);
  return 0;
}
