#include "contacts_check.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <utility>

#include "contacts_session.h"
#include "formats/open_file_reads.h"

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
constexpr int kSlots = 5;

// What the pass over a record file keeps of each record for each open index
// slot over it: the key's first kKeptKey bytes (the library's keys, of 6 and
// 7 bytes, fit; an entry with a longer key is held against its record read
// anew), then the walk's mark: how many entries name the record (0, 1, 2 for
// more), and kUnread when the record could not be read.
constexpr size_t kKeptKey = 7;
constexpr size_t kKept = kKeptKey + 1;
constexpr uint8_t kEntriesSeen = 3;
constexpr uint8_t kUnread = 0x80;
// About how many bytes of a record file one read of the pass takes.
constexpr size_t kPassBytes = size_t{1} << 20;
// Index entries read before their records' facts are looked at.
constexpr size_t kWalkBatch = 256;

// Asks for the cache line of p ahead of its use.
inline void prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

uint32_t u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Where slot's key stands in a record's data bytes: one piece, or two put
// end to end (FLG+CODE).
struct KeyPiece {
  int offset;
  int length;
};
constexpr KeyPiece kKeys[kSlots][2] = {
    {{kContactCalls, kContactData - kContactCalls}, {0, 0}},
    {{kContactCode, kContactData - kContactCode}, {0, 0}},
    {{kMasterCode, kMasterData - kMasterCode}, {0, 0}},
    {{kMasterFlg, 1}, {kMasterCode, kMasterCodeWidth}},
    {{kMasterFlg, kMasterData - kMasterFlg}, {0, 0}},
};

// Copies the first n bytes (at most) of the key slot's record carries into
// out; returns how many.
size_t copy_key(int slot, const uint8_t* data, char* out, size_t n) {
  size_t done = 0;
  for (const KeyPiece& p : kKeys[slot]) {
    const size_t take = std::min(n - done, static_cast<size_t>(p.length));
    std::memcpy(out + done, data + p.offset, take);
    done += take;
  }
  return done;
}

// The bytes slot's key is made of, from a record's data bytes.
std::string record_key(int slot, const uint8_t* data) {
  char key[kContactData];
  return std::string(key, copy_key(slot, data, key, sizeof key));
}

// How many key bytes the pass keeps for slot.
size_t kept_length(int slot) {
  char key[kKeptKey];
  static const uint8_t blank[kContactData] = {};
  return copy_key(slot, blank, key, kKeptKey);
}

// The whole records the file really holds: the header's count, but never
// below 0 nor beyond what the file's size leaves room for, so that a count
// that lies (a damaged header claiming millions of records in a small file)
// sizes no table and runs no loop past the file's end.
int32_t records_held(const DbfSlot& file) {
  const DbfHandle& h = file.handle;
  if (h.record_count <= 0 || h.record_size <= 0) return 0;
  const int64_t size = open_file_size(h.file);
  const int64_t header = static_cast<uint16_t>(h.header_size);
  if (size <= header) return 0;
  return static_cast<int32_t>(std::min<int64_t>(h.record_count, (size - header) / h.record_size));
}

std::string quoted(const std::string& sjis) { return "\"" + utf8_of(sjis.data(), sjis.size()) + "\""; }

// Each contact's link into the remarks file: 0, or the offset of a whole
// block. The remarks file is read whole through the library's handle: the
// links need not rise with the record number.
class RemarkLinks {
 public:
  explicit RemarkLinks(OspFile dbr) {
    const int64_t size = open_file_size(dbr);
    if (size <= 0) return;
    dbr_.resize(static_cast<size_t>(size));
    const int64_t got = read_open_file(dbr, 0, dbr_.data(), dbr_.size());
    dbr_.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
  }

  void check(int32_t r, const uint8_t* data) {
    const uint32_t ofs = u32(data + kContactOfs);
    if (ofs == 0) return;
    bool whole = ofs >= kRemarksHeader && static_cast<uint64_t>(ofs) + 3 <= dbr_.size();
    if (whole) {
      uint64_t end = static_cast<uint64_t>(ofs) + 3;
      for (int i = 0; i < 3; ++i) {
        whole = whole && dbr_[ofs + static_cast<uint32_t>(i)] <= kRemarkMax[i];
        end += dbr_[ofs + static_cast<uint32_t>(i)];
      }
      whole = whole && end <= dbr_.size();
    }
    if (!whole && ++bad_ <= 10)
      problems_.push_back("contact " + std::to_string(r) + " links to offset " +
                          std::to_string(ofs) +
                          " of the remarks file, where no whole block stands");
  }

  void unreadable(int32_t r) {
    problems_.push_back("contact " + std::to_string(r) + " cannot be read");
  }

  // The problems found, in record order.
  std::vector<std::string> problems() const {
    std::vector<std::string> all = problems_;
    if (bad_ > 10) all.push_back(std::to_string(bad_ - 10) + " more contacts link to no block");
    return all;
  }

 private:
  std::vector<uint8_t> dbr_;
  std::vector<std::string> problems_;
  int64_t bad_ = 0;
};

// What one pass over a record file keeps of the records it holds, for the
// walks of the indexes over it: kKept bytes a record for each open slot, in
// record order, one cache line's share, as the walks visit records in no order.
struct FileFacts {
  int32_t held = 0;
  std::vector<uint8_t> kept[kSlots];
  uint8_t* of(int slot, int32_t recno) {
    return &kept[slot][static_cast<size_t>(recno - 1) * kKept];
  }
};

// Reads file's records in order, kPassBytes at a time, through the library's
// handle, keeping the keys of the open slots among slots and checking each
// contact's remark link (links: the contact file, with the remarks file
// open); data_bytes is how many data bytes the keys and links reach into. A
// run that cannot be read is read again record by record through dbf_read,
// whose failure marks the record.
FileFacts pass_over(LogHandle* log, DbfSlot* file, int data_bytes, std::initializer_list<int> slots,
                    RemarkLinks* links) {
  FileFacts facts;
  DbfHandle* h = &file->handle;
  facts.held = records_held(*file);
  std::vector<int> kept;
  for (int slot : slots) {
    if (log->index_slot[slot].file <= 0) continue;
    kept.push_back(slot);
    facts.kept[slot].assign(static_cast<size_t>(facts.held) * kKept, 0);
  }
  if (facts.held == 0) return facts;
  const auto size = static_cast<size_t>(h->record_size);
  const bool short_records = h->record_size - 1 < data_bytes;
  const int64_t header = static_cast<uint16_t>(h->header_size);
  const auto run = static_cast<int32_t>(std::max<size_t>(1, kPassBytes / size));
  std::vector<uint8_t> bytes(static_cast<size_t>(run) * size);
  // A record shorter than the library's gives the missing bytes as 0 (the
  // open refuses other record sizes: 64 bytes hold any it lets through).
  uint8_t padded[64] = {};
  for (int32_t first = 1; first <= facts.held; first += run) {
    const int32_t n = std::min(run, facts.held - first + 1);
    const auto want = static_cast<int64_t>(n) * static_cast<int64_t>(size);
    const int64_t at = header + static_cast<int64_t>(first - 1) * static_cast<int64_t>(size);
    const bool read = read_open_file(h->file, at, bytes.data(), static_cast<size_t>(want)) == want;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t r = first + i;
      const uint8_t* data = bytes.data() + static_cast<size_t>(i) * size + 1;
      if (!read) {
        std::memset(padded, 0, sizeof padded);
        if (dbf_read(h, r, padded) != 0) {
          for (int slot : kept) facts.of(slot, r)[kKeptKey] = kUnread;
          if (links != nullptr) links->unreadable(r);
          continue;
        }
        data = padded;
      } else if (short_records) {
        std::memset(padded, 0, sizeof padded);
        std::memcpy(padded, data, size - 1);
        data = padded;
      }
      for (int slot : kept)
        copy_key(slot, data, reinterpret_cast<char*>(facts.of(slot, r)), kKeptKey);
      if (links != nullptr) links->check(r, data);
    }
  }
  return facts;
}

void check_index(LogHandle* log, int slot, FileFacts& facts, LogCheck* out) {
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
  const int32_t count = facts.held;
  const size_t kept = kept_length(slot);
  std::string previous;
  bool first = true;
  const auto check_entry = [&](int32_t r, const std::string& key) {
    ++summary.entries;
    if (!first && key < previous)
      out->problems.push_back(where + "key " + quoted(key) + " (record " + std::to_string(r) +
                              ") stands after " + quoted(previous));
    first = false;
    previous = key;
    if (r < 1 || r > count) {
      out->problems.push_back(where + "an entry points at record " + std::to_string(r) +
                              ", outside the file's " + std::to_string(count) +
                              " records: the index must be rebuilt");
      return;
    }
    uint8_t* const fact = facts.of(slot, r);
    uint8_t& mark = fact[kKeptKey];
    if ((mark & kEntriesSeen) < 2) mark = static_cast<uint8_t>(mark + 1);
    std::string carried;
    if (key.size() <= kept && (mark & kUnread) == 0) {
      if (std::memcmp(fact, key.data(), key.size()) == 0) return;
      carried.assign(reinterpret_cast<const char*>(fact), kept);
    } else {
      uint8_t data[64] = {};
      const int32_t status = dbf_read(file, r, data);
      if (status != 0) {
        out->problems.push_back(where + "record " + std::to_string(r) + " cannot be read (status " +
                                std::to_string(status) + ")");
        return;
      }
      carried = record_key(slot, data);
    }
    if (key.size() > carried.size() || carried.compare(0, key.size(), key) != 0)
      out->problems.push_back(where + "record " + std::to_string(r) + " carries " +
                              quoted(carried.substr(0, key.size())) + " but its entry " +
                              quoted(key) + ": the index must be rebuilt");
  };
  // The entries come in key order, their records in no order: they are taken
  // kWalkBatch at a time, and the facts of a batch's records are fetched into
  // the cache together before the entries are checked one by one.
  std::vector<std::pair<int32_t, std::string>> batch(kWalkBatch);
  int32_t next = idx_top(idx);
  while (next != 0) {
    size_t n = 0;
    for (; n < batch.size() && next != 0; ++n, next = idx_next(idx)) {
      batch[n].first = next;
      batch[n].second.assign(Idx_ReadKey(log, slot));
      if (next >= 1 && next <= count) prefetch(facts.of(slot, next));
    }
    for (size_t i = 0; i < n; ++i) check_entry(batch[i].first, batch[i].second);
  }
  int64_t missing = 0;
  for (int32_t r = 1; r <= count; ++r) {
    const uint8_t n = facts.of(slot, r)[kKeptKey] & kEntriesSeen;
    if (n == 0 && ++missing <= 10)
      out->problems.push_back(where + "record " + std::to_string(r) + " has no entry");
    if (n > 1) out->problems.push_back(where + "record " + std::to_string(r) + " has more than one entry");
  }
  if (missing > 10)
    out->problems.push_back(where + std::to_string(missing - 10) + " more records have no entry");
  out->indexes.push_back(summary);
}

// The remarks file's count against the contact file's, then the links.
void check_remarks(LogHandle* log, const std::vector<std::string>& link_problems, LogCheck* out) {
  const auto remarks_count = static_cast<int32_t>(u32(log->dbr_header + 4));
  if (log->dbr_file <= 0) {
    out->problems.push_back("the remarks file (.dbr) is not open");
    return;
  }
  if (remarks_count != log->dbs.handle.record_count)
    out->problems.push_back("the remarks file (.dbr) accounts for " + std::to_string(remarks_count) +
                            " contacts, the contact file (.dbs) holds " +
                            std::to_string(log->dbs.handle.record_count));
  for (const std::string& p : link_problems) out->problems.push_back(p);
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
  // A read of the contact file through the library has it write what it
  // holds of the contact and remarks files, which the reads below cannot see.
  if (log->dbs.handle.record_count > 0) {
    uint8_t data[64];
    dbf_read(&log->dbs.handle, 1, data);
  }
  check_count(log->dbs, &out);
  check_count(log->mst, &out);
  std::vector<std::string> link_problems;
  {
    // The remarks file's bytes are let go before the index walks.
    std::unique_ptr<RemarkLinks> links;
    // A copy: the packed handle's member may stand at an odd address.
    const OspFile dbr = log->dbr_file;
    if (dbr > 0) links = std::make_unique<RemarkLinks>(dbr);
    FileFacts contacts = pass_over(log, &log->dbs, kContactData, {0, 1}, links.get());
    if (links) link_problems = links->problems();
    links.reset();
    for (int slot = 0; slot < 2; ++slot) check_index(log, slot, contacts, &out);
  }
  FileFacts masters = pass_over(log, &log->mst, kMasterData, {2, 3, 4}, nullptr);
  for (int slot = 2; slot < kSlots; ++slot) check_index(log, slot, masters, &out);
  check_remarks(log, link_problems, &out);
  return out;
}

}  // namespace osprey_tool
