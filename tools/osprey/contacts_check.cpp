#include "contacts_check.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "contacts_session.h"

namespace osprey_tool {

namespace {

// Data bytes (the record without its deletion flag) and where each index's
// key stands in them.
constexpr int kContactData = 57;
constexpr int kMasterData = 48;
constexpr int kContactCalls = 0;
constexpr int kContactCode = 10;
constexpr int kContactOfs = 53;
constexpr int kMasterCode = 0;
constexpr int kMasterCodeWidth = 6;
constexpr int kMasterFlg = 34;
constexpr uint32_t kRemarksHeader = 256;
constexpr int kRemarkMax[3] = {28, 54, 54};

uint32_t u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The bytes slot's key is made of, from a record's data bytes.
std::string record_key(int slot, const uint8_t* data) {
  const char* d = reinterpret_cast<const char*>(data);
  switch (slot) {
    case 0: return std::string(d + kContactCalls, kContactData - kContactCalls);
    case 1: return std::string(d + kContactCode, kContactData - kContactCode);
    case 2: return std::string(d + kMasterCode, kMasterData - kMasterCode);
    case 3: return std::string(d + kMasterFlg, 1) + std::string(d + kMasterCode, kMasterCodeWidth);
    default: return std::string(d + kMasterFlg, kMasterData - kMasterFlg);
  }
}

// The whole records the file really holds: the header's count, but never
// below 0 nor beyond what the file's size leaves room for, so that a count
// that lies (a damaged header claiming millions of records in a small file)
// sizes no table and runs no loop past the file's end.
int32_t records_held(const DbfSlot& file) {
  const DbfHandle& h = file.handle;
  if (h.record_count <= 0 || h.record_size <= 0) return 0;
  std::ifstream in(std::string(file.path, strnlen(file.path, sizeof file.path)),
                   std::ios::binary | std::ios::ate);
  const auto size = in ? static_cast<int64_t>(in.tellg()) : -1;
  const int64_t header = static_cast<uint16_t>(h.header_size);
  if (size <= header) return 0;
  return static_cast<int32_t>(std::min<int64_t>(h.record_count, (size - header) / h.record_size));
}

std::string quoted(const std::string& sjis) { return "\"" + utf8_of(sjis.data(), sjis.size()) + "\""; }

void check_index(LogHandle* log, int slot, LogCheck* out) {
  IdxHandle* idx = &log->index_slot[slot];
  DbfSlot* slot_file = slot < 2 ? &log->dbs : &log->mst;
  DbfHandle* file = &slot_file->handle;
  IndexSummary summary;
  summary.slot = slot;
  summary.path = utf8_of(idx->path, sizeof idx->path);
  const std::string where = "index " + std::to_string(slot) + " (" + summary.path + "): ";
  if (idx->file <= 0) {
    // A log that may not be written is opened without rebuilding.
    out->problems.push_back(where + "missing or out of date, and not rebuilt: the log may not "
                                    "be written");
    out->indexes.push_back(summary);
    return;
  }
  const int32_t count = records_held(*slot_file);
  std::vector<uint8_t> seen(static_cast<size_t>(count) + 1, 0);
  std::string previous;
  bool first = true;
  for (int32_t r = idx_top(idx); r != 0; r = idx_next(idx)) {
    ++summary.entries;
    const std::string key = Idx_ReadKey(log, slot);
    if (!first && key < previous)
      out->problems.push_back(where + "key " + quoted(key) + " (record " + std::to_string(r) +
                              ") stands after " + quoted(previous));
    first = false;
    previous = key;
    if (r < 1 || r > count) {
      out->problems.push_back(where + "an entry points at record " + std::to_string(r) +
                              ", outside the file's " + std::to_string(count) +
                              " records: the index must be rebuilt");
      continue;
    }
    if (seen[static_cast<size_t>(r)] < 2) seen[static_cast<size_t>(r)] += 1;
    uint8_t data[64] = {};
    const int32_t status = dbf_read(file, r, data);
    if (status != 0) {
      out->problems.push_back(where + "record " + std::to_string(r) + " cannot be read (status " +
                              std::to_string(status) + ")");
      continue;
    }
    const std::string carried = record_key(slot, data);
    if (key.size() > carried.size() || carried.compare(0, key.size(), key) != 0)
      out->problems.push_back(where + "record " + std::to_string(r) + " carries " +
                              quoted(carried.substr(0, key.size())) + " but its entry " +
                              quoted(key) + ": the index must be rebuilt");
  }
  int64_t missing = 0;
  for (int32_t r = 1; r <= count; ++r) {
    const uint8_t n = seen[static_cast<size_t>(r)];
    if (n == 0 && ++missing <= 10)
      out->problems.push_back(where + "record " + std::to_string(r) + " has no entry");
    if (n > 1) out->problems.push_back(where + "record " + std::to_string(r) + " has more than one entry");
  }
  if (missing > 10)
    out->problems.push_back(where + std::to_string(missing - 10) + " more records have no entry");
  out->indexes.push_back(summary);
}

void check_remarks(LogHandle* log, LogCheck* out) {
  const auto remarks_count = static_cast<int32_t>(u32(log->dbr_header + 4));
  if (log->dbr_file <= 0) {
    out->problems.push_back("the remarks file (.dbr) is not open");
    return;
  }
  if (remarks_count != log->dbs.handle.record_count)
    out->problems.push_back("the remarks file (.dbr) accounts for " + std::to_string(remarks_count) +
                            " contacts, the contact file (.dbs) holds " +
                            std::to_string(log->dbs.handle.record_count));
  std::ifstream in(std::string(log->dbr_name, strnlen(log->dbr_name, sizeof log->dbr_name)),
                   std::ios::binary);
  const std::vector<uint8_t> dbr((std::istreambuf_iterator<char>(in)), {});
  int64_t bad = 0;
  const int32_t held = records_held(log->dbs);
  for (int32_t r = 1; r <= held; ++r) {
    uint8_t data[64] = {};
    if (dbf_read(&log->dbs.handle, r, data) != 0) {
      out->problems.push_back("contact " + std::to_string(r) + " cannot be read");
      continue;
    }
    const uint32_t ofs = u32(data + kContactOfs);
    if (ofs == 0) continue;
    bool whole = ofs >= kRemarksHeader && static_cast<uint64_t>(ofs) + 3 <= dbr.size();
    if (whole) {
      uint64_t end = static_cast<uint64_t>(ofs) + 3;
      for (int i = 0; i < 3; ++i) {
        whole = whole && dbr[ofs + static_cast<uint32_t>(i)] <= kRemarkMax[i];
        end += dbr[ofs + static_cast<uint32_t>(i)];
      }
      whole = whole && end <= dbr.size();
    }
    if (!whole && ++bad <= 10)
      out->problems.push_back("contact " + std::to_string(r) + " links to offset " +
                              std::to_string(ofs) + " of the remarks file, where no whole block stands");
  }
  if (bad > 10) out->problems.push_back(std::to_string(bad - 10) + " more contacts link to no block");
}

// A header that counts more records than the file holds (or fewer than 0).
void check_count(const DbfSlot& file, LogCheck* out) {
  const int32_t held = records_held(file);
  if (file.handle.record_count == held) return;
  out->problems.push_back(utf8_of(file.path, sizeof file.path) + ": the header counts " +
                          std::to_string(file.handle.record_count) +
                          " records, the file holds " + std::to_string(held));
}

}  // namespace

LogCheck check_log(LogHandle* log) {
  LogCheck out;
  check_count(log->dbs, &out);
  check_count(log->mst, &out);
  for (int slot = 0; slot < 5; ++slot) check_index(log, slot, &out);
  check_remarks(log, &out);
  return out;
}

}  // namespace osprey_tool
