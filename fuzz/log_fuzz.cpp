// Arbitrary bytes as a log's contact file and remarks file: a quick open,
// reading every contact with its remark block, walking in record order and
// closing must neither crash, hang nor touch memory out of bounds. The first
// two input bytes say how many of the rest belong to the contact file.
#include <cstdint>
#include <string>

#include "mem_files.h"
#include "osprey32.h"

namespace {

constexpr int32_t kMaxReads = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string base = "FUZZ";
  size_t dbs_size = 0;
  osp::platform::MemEnv* store = osp::fuzz::put_log_files(base, data, size, &dbs_size);
  if (store == nullptr) return 0;
  osp::platform::MemEnv& files = *store;

  LogHandle log{};
  if (OspreyOpen(nullptr, &log, base.c_str(), 0, 2) != 0) {
    if (files.open_handles() != 0) __builtin_trap();  // a failed open holds nothing
    return 0;
  }
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
  if (files.open_handles() != 0) __builtin_trap();  // the close leaves nothing held
  // The contact file never grows beyond its records and the end mark.
  if (files.contents(base + ".dbs").size() > dbs_size + 1) __builtin_trap();
  return 0;
}
