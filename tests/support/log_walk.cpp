#include "support/log_walk.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/env.h"

namespace osp::test {

namespace {

uint32_t u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::vector<uint8_t> whole_file(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The remarks file's bytes, read through the log's own handle while the log
// holds the file (on Windows the log's open keeps every other opener out),
// or by its name when the log has it closed.
std::vector<uint8_t> remarks_bytes(const LogHandle* log) {
  const platform::Handle h = log->dbr_file;
  if (!platform::is_open(h)) return whole_file(log->dbr_name);
  const int64_t size = platform::env()->size(h);
  if (size <= 0 || size > (int64_t{1} << 30)) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  const int32_t got = platform::env()->read_at(h, 0, bytes.data(), static_cast<int32_t>(size));
  bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return bytes;
}

}  // namespace

std::vector<SlotEntry> slot_entries(LogHandle* log, int slot) {
  std::vector<SlotEntry> out;
  IdxHandle* idx = &log->index_slot[slot];
  for (int32_t r = idx_top(idx); r != 0; r = idx_next(idx)) {
    out.push_back({Idx_ReadKey(log, slot), r});
  }
  return out;
}

std::string record_key(int slot, const uint8_t* data) {
  const char* d = reinterpret_cast<const char*>(data);
  switch (slot) {
    case 0: return std::string(d, 6);
    case 1: return std::string(d + 10, 6);
    case 2: return std::string(d, 6);
    case 3: return std::string(d + 34, 1) + std::string(d, 6);
    default: return std::string(d + 34, 4);
  }
}

std::vector<std::string> log_problems(LogHandle* log) {
  std::vector<std::string> problems;
  for (int slot = 0; slot < 5; ++slot) {
    DbfHandle* file = slot < 2 ? &log->dbs.handle : &log->mst.handle;
    const int32_t count = file->record_count;
    std::vector<int> seen(static_cast<size_t>(count > 0 ? count : 0) + 1, 0);
    std::string previous;
    const std::string where = "index " + std::to_string(slot) + ": ";
    for (const SlotEntry& e : slot_entries(log, slot)) {
      if (e.recno < 1 || e.recno > count) {
        problems.push_back(where + "entry for record " + std::to_string(e.recno) +
                           " outside the file's " + std::to_string(count));
        continue;
      }
      seen[static_cast<size_t>(e.recno)] += 1;
      uint8_t data[64] = {};
      if (dbf_read(file, e.recno, data) != 0) {
        problems.push_back(where + "record " + std::to_string(e.recno) + " cannot be read");
        continue;
      }
      const std::string key = record_key(slot, data).substr(0, e.key.size());
      if (key != e.key)
        problems.push_back(where + "record " + std::to_string(e.recno) + " carries '" + key +
                           "', its entry '" + e.key + "'");
      if (e.key < previous) problems.push_back(where + "'" + e.key + "' after '" + previous + "'");
      previous = e.key;
    }
    for (int32_t r = 1; r <= count; ++r) {
      if (seen[static_cast<size_t>(r)] != 1)
        problems.push_back(where + "record " + std::to_string(r) + " has " +
                           std::to_string(seen[static_cast<size_t>(r)]) + " entries");
    }
  }
  const int32_t dbr_count = static_cast<int32_t>(u32(log->dbr_header + 4));
  if (dbr_count != log->dbs.handle.record_count)
    problems.push_back("the remarks file counts " + std::to_string(dbr_count) +
                       " contacts, the contact file " +
                       std::to_string(log->dbs.handle.record_count));
  const std::vector<uint8_t> dbr = remarks_bytes(log);
  for (int32_t r = 1; r <= log->dbs.handle.record_count; ++r) {
    uint8_t data[64] = {};
    if (dbf_read(&log->dbs.handle, r, data) != 0) {
      problems.push_back("contact " + std::to_string(r) + " cannot be read");
      continue;
    }
    const uint32_t ofs = u32(data + 53);
    if (ofs == 0) continue;
    const bool whole = ofs >= 256 && ofs + 3 <= dbr.size() && dbr[ofs] <= 28 &&
                       dbr[ofs + 1] <= 54 && dbr[ofs + 2] <= 54 &&
                       ofs + 3 + dbr[ofs] + dbr[ofs + 1] + dbr[ofs + 2] <= dbr.size();
    if (!whole)
      problems.push_back("contact " + std::to_string(r) + " links to no whole block at " +
                         std::to_string(ofs));
  }
  return problems;
}

}  // namespace osp::test
