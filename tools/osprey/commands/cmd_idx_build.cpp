// osprey idx build / idx check: builds an index file over a record file with
// MakeIndex, and checks an index file against its record file by reading the
// pages of both itself.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "exit_codes.h"
#include "sjis_text.h"
#include "osprey32.h"

namespace osprey_tool {

namespace {

constexpr size_t kPage = 512;
constexpr size_t kMaxFaultsShown = 20;

const char* status_text(int32_t status) {
  switch (status) {
    case OSP_CANNOT_OPEN: return "a file cannot be opened or created";
    case OSP_NO_MEMORY: return "memory cannot be allocated";
    case OSP_INDEX_WRITE_ERROR: return "index write error";
    case OSP_DATA_READ_ERROR: return "record file read error";
    case OSP_INDEX_BUILD_ERROR: return "index build error (work file)";
    case OSP_WORK_FILE_ERROR: return "a work file cannot be made";
    case OSP_BAD_KEY_EXPRESSION: return "key expression invalid";
    default: return "error";
  }
}

bool read_whole(const std::string& path, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

uint32_t u32(const std::vector<uint8_t>& f, size_t at) {
  if (at + 4 > f.size()) return 0;
  return static_cast<uint32_t>(f[at]) | (static_cast<uint32_t>(f[at + 1]) << 8) |
         (static_cast<uint32_t>(f[at + 2]) << 16) | (static_cast<uint32_t>(f[at + 3]) << 24);
}

int32_t i16(const std::vector<uint8_t>& f, size_t at) {
  if (at + 2 > f.size()) return 0;
  return static_cast<int16_t>(static_cast<uint16_t>(f[at] | (f[at + 1] << 8)));
}

// A key for people: Shift-JIS text as UTF-8 when it is text, else hex.
std::string show_key(const std::string& key) {
  bool text = true;
  for (unsigned char c : key) text = text && c >= 0x20 && c != 0x7F;
  if (text) {
    static Cp932Text converter;
    std::string utf8;
    if (converter.to_utf8(reinterpret_cast<const uint8_t*>(key.data()), key.size(), &utf8))
      return "\"" + utf8 + "\"";
  }
  static const char digits[] = "0123456789ABCDEF";
  std::string hex = "0x";
  for (unsigned char c : key) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

// The record file as the check needs it: its records and where the key's
// fields lie in each.
struct Records {
  int32_t count = 0;
  int32_t header_size = 0;
  int32_t record_size = 0;
  std::vector<uint8_t> bytes;
  std::vector<std::pair<int32_t, int32_t>> terms;  // offset in a record, length
  int32_t key_length = 0;

  std::string key(uint32_t recno) const {
    std::string k;
    const size_t base = static_cast<size_t>(header_size) +
                        static_cast<size_t>(recno - 1) * static_cast<size_t>(record_size);
    for (const auto& [offset, length] : terms)
      k.append(reinterpret_cast<const char*>(&bytes[base + static_cast<size_t>(offset)]),
               static_cast<size_t>(length));
    return k;
  }
};

// Reads the record file and finds the expression's fields. Empty on success,
// else why not.
std::string load_records(const std::string& path, const std::string& expression, Records* r) {
  if (!read_whole(path, &r->bytes)) return "cannot read " + path;
  const std::vector<uint8_t>& b = r->bytes;
  if (b.size() < 32) return path + ": shorter than a record-file header";
  r->count = static_cast<int32_t>(u32(b, 4));
  r->header_size = i16(b, 8);
  r->record_size = i16(b, 10);
  if (r->count < 0 || r->header_size < 33 || r->record_size < 1)
    return path + ": unusable record-file header";
  if (static_cast<uint64_t>(r->header_size) +
          static_cast<uint64_t>(r->count) * static_cast<uint64_t>(r->record_size) >
      b.size()) {
    return path + ": the record count exceeds the records the file holds";
  }
  if (expression.size() > 98) return "the expression is longer than 98 characters";
  struct Field {
    std::string name;
    uint8_t type;
    int32_t offset;
    int32_t length;
  };
  std::vector<Field> fields;
  int32_t offset = 1;
  for (int32_t i = 0; i < (r->header_size - 33) / 32; ++i) {
    const size_t d = 32 + 32 * static_cast<size_t>(i);
    std::string name;
    for (size_t k = 0; k < 11 && b[d + k] != 0; ++k) name += static_cast<char>(b[d + k]);
    fields.push_back({name, b[d + 11], offset, b[d + 16]});
    offset += b[d + 16];
  }
  size_t p = 0;
  for (;;) {
    while (p < expression.size() && (expression[p] == '+' || expression[p] == ' ')) ++p;
    if (p == expression.size()) break;
    const size_t start = p;
    while (p < expression.size() && expression[p] != '+' && expression[p] != ' ') ++p;
    const std::string term = expression.substr(start, p - start);
    const Field* found = nullptr;
    for (const Field& f : fields) {
      if (f.name == term) {
        found = &f;
        break;
      }
    }
    if (found == nullptr) return "no field named " + term;
    if (found->type != 'C') return "field " + term + " is not a character field";
    if (found->offset + found->length > r->record_size) return "field " + term + " runs past the record";
    r->terms.emplace_back(found->offset, found->length);
    r->key_length += found->length;
  }
  if (r->key_length > 256) return "the key is longer than 256 bytes";
  return {};
}

class IndexCheck {
 public:
  IndexCheck(const std::vector<uint8_t>& file, const Records& records, bool any_duplicate_order)
      : file_(file), records_(records), any_duplicate_order_(any_duplicate_order),
        seen_records_(static_cast<size_t>(records.count) + 1, false) {}

  void run() {
    if (file_.size() < kPage) {
      fault("the file is shorter than its header page");
      return;
    }
    root_ = u32(file_, 0);
    blocks_ = u32(file_, 4);
    key_length_ = i16(file_, 12);
    max_keys_ = i16(file_, 14);
    entry_size_ = i16(file_, 18);
    if (key_length_ != records_.key_length)
      fault("key length " + std::to_string(key_length_) + ", the expression gives " +
            std::to_string(records_.key_length));
    if (entry_size_ != ((key_length_ - 1) & ~3) + 12) fault("entry size does not fit the key length");
    if (entry_size_ <= 0 || max_keys_ != 508 / entry_size_) fault("keys per page do not fit the entry size");
    if (i16(file_, 16) != 0) fault("key type is not 0 (character)");
    if (file_[23] != 0) fault("unique flag is set");
    if (static_cast<uint64_t>(blocks_) * kPage > file_.size())
      fault("the header counts " + std::to_string(blocks_) + " blocks, the file holds fewer");
    if (!faults_.empty()) return;
    if (root_ == 0 || root_ >= blocks_) {
      fault("root page " + std::to_string(root_) + " lies outside the file's pages");
      return;
    }
    std::string greatest;
    bool any = false;
    visit(root_, 1, &greatest, &any);
    for (int32_t r = 1; r <= records_.count; ++r) {
      if (!seen_records_[static_cast<size_t>(r)]) fault("record " + std::to_string(r) + " has no entry");
    }
  }

  const std::vector<std::string>& faults() const { return faults_; }
  size_t entries() const { return entries_; }
  int height() const { return leaf_depth_; }
  size_t pages() const { return visited_.size(); }
  uint32_t root() const { return root_; }
  uint32_t blocks() const { return blocks_; }

 private:
  void visit(uint32_t number, int depth, std::string* greatest, bool* any) {
    const std::string where = "page " + std::to_string(number) + ": ";
    *any = false;
    if (number == 0 || number >= blocks_) {
      fault("a child page number " + std::to_string(number) + " lies outside the file's pages");
      return;
    }
    if (depth > 64 || !visited_.insert(number).second) {
      fault(where + "reached twice (a cycle)");
      return;
    }
    const size_t base = static_cast<size_t>(number) * kPage;
    const uint32_t count = u32(file_, base);
    if (count > static_cast<uint32_t>(max_keys_)) {
      fault(where + "count " + std::to_string(count) + " above the keys per page");
      return;
    }
    const auto entry = [&](uint32_t i) { return base + 4 + i * static_cast<size_t>(entry_size_); };
    const uint32_t right = u32(file_, entry(count));
    if (right == 0) {  // a leaf
      if (leaf_depth_ == 0) leaf_depth_ = depth;
      if (depth != leaf_depth_)
        fault(where + "a leaf at depth " + std::to_string(depth) + ", others at " +
              std::to_string(leaf_depth_));
      for (uint32_t i = 0; i < count; ++i) {
        const size_t e = entry(i);
        const std::string key(reinterpret_cast<const char*>(&file_[e + 8]),
                              static_cast<size_t>(key_length_));
        if (u32(file_, e) != 0) fault(where + "a leaf entry has a child");
        leaf_entry(where, key, u32(file_, e + 4));
        *greatest = key;
        *any = true;
      }
      return;
    }
    for (uint32_t i = 0; i < count; ++i) {
      const size_t e = entry(i);
      const std::string key(reinterpret_cast<const char*>(&file_[e + 8]),
                            static_cast<size_t>(key_length_));
      if (u32(file_, e + 4) != 0) fault(where + "an interior entry has a record number");
      std::string sub;
      bool sub_any = false;
      visit(u32(file_, e), depth + 1, &sub, &sub_any);
      if (!sub_any) {
        fault(where + "the subtree under key " + show_key(key) + " is empty");
      } else if (sub != key) {
        fault(where + "separator " + show_key(key) + " differs from its subtree's greatest key " +
              show_key(sub));
      }
      if (sub_any) {
        *greatest = sub;
        *any = true;
      }
    }
    std::string sub;
    bool sub_any = false;
    visit(right, depth + 1, &sub, &sub_any);
    if (sub_any) {
      *greatest = sub;
      *any = true;
    }
  }

  void leaf_entry(const std::string& where, const std::string& key, uint32_t recno) {
    ++entries_;
    if (recno == 0 || recno > static_cast<uint32_t>(records_.count)) {
      fault(where + "record number " + std::to_string(recno) + " outside the record file");
    } else {
      if (seen_records_[recno]) fault("record " + std::to_string(recno) + " has two entries");
      seen_records_[recno] = true;
      if (records_.key(recno) != key)
        fault(where + "record " + std::to_string(recno) + " has key " + show_key(records_.key(recno)) +
              ", its entry " + show_key(key));
    }
    if (entries_ > 1) {
      if (key < last_key_) {
        fault(where + "key " + show_key(key) + " of record " + std::to_string(recno) +
              " comes after the greater " + show_key(last_key_));
      } else if (key == last_key_ && recno < last_recno_ && !any_duplicate_order_) {
        fault(where + "equal keys out of record order: " + std::to_string(last_recno_) + " before " +
              std::to_string(recno));
      }
    }
    last_key_ = key;
    last_recno_ = recno;
  }

  void fault(const std::string& text) { faults_.push_back(text); }

  const std::vector<uint8_t>& file_;
  const Records& records_;
  bool any_duplicate_order_;
  std::vector<bool> seen_records_;
  std::set<uint32_t> visited_;
  std::vector<std::string> faults_;
  uint32_t root_ = 0;
  uint32_t blocks_ = 0;
  int32_t key_length_ = 0;
  int32_t max_keys_ = 0;
  int32_t entry_size_ = 0;
  int leaf_depth_ = 0;
  size_t entries_ = 0;
  std::string last_key_;
  uint32_t last_recno_ = 0;
};

struct BuildArgs {
  std::string record_file;
  std::string expression;
  std::string index_file;
};

struct CheckArgs {
  std::string record_file;
  std::string expression;
  std::string index_file;
  bool any_duplicate_order = false;
};

void run_build(const BuildArgs& a) {
  const int32_t status =
      MakeIndex(a.record_file.c_str(), a.expression.c_str(), a.index_file.c_str());
  if (status != 0) {
    std::fprintf(stderr, "osprey: cannot build %s: status %d (%s)\n", a.index_file.c_str(),
                 status, status_text(status));
    set_exit_status(exit_code::kUnusable);
    return;
  }
  std::vector<uint8_t> header;
  read_whole(a.index_file, &header);
  std::printf("built %s over %s for \"%s\": key length %d, root page %u, %u blocks\n",
              a.index_file.c_str(), a.record_file.c_str(), a.expression.c_str(), i16(header, 12),
              u32(header, 0), u32(header, 4));
}

void run_check(const CheckArgs& a) {
  Records records;
  const std::string problem = load_records(a.record_file, a.expression, &records);
  if (!problem.empty()) {
    std::fprintf(stderr, "osprey: %s\n", problem.c_str());
    set_exit_status(exit_code::kUnusable);
    return;
  }
  std::vector<uint8_t> file;
  if (!read_whole(a.index_file, &file)) {
    std::fprintf(stderr, "osprey: cannot read %s\n", a.index_file.c_str());
    set_exit_status(exit_code::kUnusable);
    return;
  }
  IndexCheck check(file, records, a.any_duplicate_order);
  check.run();
  if (check.faults().empty()) {
    std::printf("OK: %s holds every record of %s once, in key order: %zu entries, height %d, "
                "%zu pages (root %u, %u blocks)\n",
                a.index_file.c_str(), a.record_file.c_str(), check.entries(), check.height(),
                check.pages(), check.root(), check.blocks());
    return;
  }
  std::printf("FAULTY: %s: %zu faults\n", a.index_file.c_str(), check.faults().size());
  for (size_t i = 0; i < check.faults().size() && i < kMaxFaultsShown; ++i)
    std::printf("  %s\n", check.faults()[i].c_str());
  if (check.faults().size() > kMaxFaultsShown)
    std::printf("  ... and %zu more\n", check.faults().size() - kMaxFaultsShown);
  set_exit_status(exit_code::kProblemsFound);
}

}  // namespace

void add_idx_build_commands(CLI::App& idx) {
  auto build_args = std::make_shared<BuildArgs>();
  auto* build = idx.add_subcommand("build", "Build an index file over a record file");
  build->add_option("RECORDFILE", build_args->record_file, "The record file")->required();
  build->add_option("EXPRESSION", build_args->expression,
                    "Key expression: field names joined by + (e.g. FLG+CODE)")->required();
  build->add_option("INDEXFILE", build_args->index_file, "The index file to make (replaced)")
      ->required();
  build->callback([build_args] { run_build(*build_args); });

  auto check_args = std::make_shared<CheckArgs>();
  auto* check = idx.add_subcommand(
      "check",
      "Check an index file against its record file: every record exactly once, keys equal to "
      "the record's fields, key order (equal keys in record order), tree shape");
  // The same order as idx build: the record file, the key, the index file.
  check->add_option("RECORDFILE", check_args->record_file, "The record file")->required();
  check->add_option("EXPRESSION", check_args->expression, "The index's key expression")
      ->required();
  check->add_option("INDEXFILE", check_args->index_file, "The index file")->required();
  check->add_flag("--any-duplicate-order", check_args->any_duplicate_order,
                  "Accept equal keys in any record order (an index edited since it was built)");
  check->callback([check_args] { run_check(*check_args); });
}

}  // namespace osprey_tool
