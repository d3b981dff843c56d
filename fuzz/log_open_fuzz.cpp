// Arbitrary bytes as a log's contact file and remarks file beside a small
// master file, through a full open: the five indexes are built, walked in
// call-sign and area-code order and searched, the log is closed with its
// file times and opened again. Nothing may crash, hang, touch memory out of
// bounds, keep a file open after the close, or make the contact file grow
// beyond its records. The first two input bytes say how many of the rest
// belong to the contact file (the layout of the log_fuzz target's inputs).
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "mem_files.h"
#include "osprey32.h"

namespace {

constexpr int32_t kMaxSteps = 64;
constexpr int32_t kByCall = 16;
constexpr int32_t kByCode = 17;
constexpr int32_t kCheckTimes = 1;

// A master file of three 49-byte entries: CODE, NAME, FLG, HED, ERIA, CFM,
// WKD, RSV.
const std::vector<uint8_t>& master_file() {
  static const std::vector<uint8_t> bytes = [] {
    struct Field {
      const char* name;
      uint8_t length;
    };
    const Field fields[] = {{"CODE", 6}, {"NAME", 28}, {"FLG", 1}, {"HED", 1},
                            {"ERIA", 2}, {"CFM", 2},   {"WKD", 2}, {"RSV", 6}};
    const char* codes[] = {"1001  ", "1002  ", "10    "};
    const int header = 32 + 32 * 8 + 1;
    std::vector<uint8_t> b(static_cast<size_t>(header), 0);
    b[0] = 0x03;
    b[4] = 3;
    b[8] = static_cast<uint8_t>(header & 0xFF);
    b[9] = static_cast<uint8_t>(header >> 8);
    b[10] = 49;
    for (int i = 0; i < 8; ++i) {
      uint8_t* d = &b[static_cast<size_t>(32 * (i + 1))];
      std::memcpy(d, fields[i].name, std::strlen(fields[i].name));
      d[11] = 'C';
      d[16] = fields[i].length;
    }
    b[static_cast<size_t>(header - 1)] = 0x0D;
    for (const char* code : codes) {
      std::vector<uint8_t> rec(49, ' ');
      std::memcpy(&rec[1], code, 6);
      rec[35] = '0';
      b.insert(b.end(), rec.begin(), rec.end());
    }
    b.push_back(0x1A);
    return b;
  }();
  return bytes;
}

void walk(LogHandle* log, int32_t mode) {
  if (OSP_top(log, mode) != 0) return;
  for (int32_t i = 1; i < kMaxSteps && OSP_skip(log, 1, mode) == 0; ++i) {
  }
  OSP_btm(log, mode);
  OSP_skip(log, -1, mode);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string base = "FUZZ";
  size_t dbs_size = 0;
  osp::platform::MemEnv* store = osp::fuzz::put_log_files(base, data, size, &dbs_size);
  if (store == nullptr) return 0;
  osp::platform::MemEnv& files = *store;
  files.put(base + ".mst", master_file().data(), master_file().size());

  for (int round = 0; round < 2; ++round) {
    LogHandle log{};
    if (OspreyOpen(nullptr, &log, base.c_str(), 0, kCheckTimes) != 0) {
      if (files.open_handles() != 0) __builtin_trap();  // a failed open holds nothing
      return 0;
    }
    walk(&log, kByCall);
    walk(&log, kByCode);
    const int32_t count = dbf_rcount(&log.dbs.handle);
    for (int32_t recno = 1; recno <= count && recno <= 8; ++recno) {
      if (OSP_read(&log, recno, 1) != 0) continue;
      char key[8] = {};
      std::memcpy(key, log.view.callsign, 6);
      OSP_seek(&log, key, kByCall + 512);
    }
    OspreyClose(&log, kCheckTimes);
    if (files.open_handles() != 0) __builtin_trap();
  }
  if (files.contents(base + ".dbs").size() > dbs_size + 1) __builtin_trap();
  return 0;
}
