// osprey idx build / idx check: builds an index file over a record file with
// MakeIndex, and checks an index file against its record file by reading the
// pages of both itself.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "exit_codes.h"
#include "formats/dbf_layout.h"
#include "formats/file_bytes.h"
#include "formats/index_layout.h"
#include "sjis_text.h"
#include "osprey32.h"

namespace osprey_tool {

namespace {

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
  if (!read_whole_file(path, &r->bytes)) return "cannot read " + path;
  const std::vector<uint8_t>& b = r->bytes;
  RecordFileHeader header;
  if (b.size() < kDbfFixedHeader || !read_record_header(b, &header))
    return path + ": shorter than a record-file header";
  r->count = header.record_count;
  r->header_size = header.header_size;
  r->record_size = header.record_size;
  if (r->count < 0 || r->header_size < 33 || r->record_size < 1)
    return path + ": unusable record-file header";
  if (static_cast<uint64_t>(r->header_size) +
          static_cast<uint64_t>(r->count) * static_cast<uint64_t>(r->record_size) >
      b.size()) {
    return path + ": the record count exceeds the records the file holds";
  }
  if (expression.size() > 98) return "the expression is longer than 98 characters";
  // Every descriptor the header has room for before its end mark.
  std::vector<FieldDescriptor> fields;
  int offset = 1;
  for (int32_t i = 0; i < (r->header_size - 33) / 32; ++i) {
    const size_t d = kDbfFixedHeader + kDbfDescriptorSize * static_cast<size_t>(i);
    fields.push_back(read_field_descriptor(b.data() + d, offset));
    offset += fields.back().length;
  }
  size_t p = 0;
  for (;;) {
    while (p < expression.size() && (expression[p] == '+' || expression[p] == ' ')) ++p;
    if (p == expression.size()) break;
    const size_t start = p;
    while (p < expression.size() && expression[p] != '+' && expression[p] != ' ') ++p;
    const std::string term = expression.substr(start, p - start);
    const FieldDescriptor* found = nullptr;
    for (const FieldDescriptor& f : fields) {
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

// Walks the tree and collects every fault it finds, going on past each.
class IndexCheck : public IndexTreeVisitor {
 public:
  IndexCheck(const std::vector<uint8_t>& file, const Records& records, bool any_duplicate_order)
      : file_(file), records_(records), any_duplicate_order_(any_duplicate_order),
        seen_records_(static_cast<size_t>(records.count) + 1, false) {}

  void run() {
    if (file_.size() < kIndexPageSize) {
      add_fault("the file is shorter than its header page");
      return;
    }
    header_ = read_index_header(file_);
    const IndexHeader& h = header_;
    if (h.key_length != records_.key_length)
      add_fault("key length " + std::to_string(h.key_length) + ", the expression gives " +
                std::to_string(records_.key_length));
    if (h.entry_size != index_entry_size_for(h.key_length))
      add_fault("entry size does not fit the key length");
    if (h.entry_size <= 0 || h.max_keys != index_max_keys_for(h.entry_size))
      add_fault("keys per page do not fit the entry size");
    if (h.key_type != 0) add_fault("key type is not 0 (character)");
    if (h.unique != 0) add_fault("unique flag is set");
    if (static_cast<uint64_t>(h.next_free) * kIndexPageSize > file_.size())
      add_fault("the header counts " + std::to_string(h.next_free) +
                " blocks, the file holds fewer");
    if (!faults_.empty()) return;
    if (h.root == 0 || h.root >= h.next_free) {
      add_fault("root page " + std::to_string(h.root) + " lies outside the file's pages");
      return;
    }
    walk_index_tree(file_, h, *this);
    for (int32_t r = 1; r <= records_.count; ++r) {
      if (!seen_records_[static_cast<size_t>(r)])
        add_fault("record " + std::to_string(r) + " has no entry");
    }
  }

  const std::vector<std::string>& faults() const { return faults_; }
  size_t entries() const { return entries_; }
  int height() const { return leaf_depth_; }
  size_t pages() const { return pages_; }
  uint32_t root() const { return header_.root; }
  uint32_t blocks() const { return header_.next_free; }

  bool fault(IndexPageFault fault, uint32_t page, int, uint32_t count) override {
    switch (fault) {
      case IndexPageFault::kOutOfRange:
      case IndexPageFault::kBeyondFile:
        add_fault("a child page number " + std::to_string(page) + " lies outside the file's pages");
        break;
      case IndexPageFault::kTooDeep:
      case IndexPageFault::kReachedTwice: add_fault(where(page) + "reached twice (a cycle)"); break;
      case IndexPageFault::kCountAboveMax:
        add_fault(where(page) + "count " + std::to_string(count) + " above the keys per page");
        break;
    }
    return true;
  }

  bool page(const IndexPage& page, int depth) override {
    ++pages_;
    if (!page.leaf()) return true;
    if (leaf_depth_ == 0) leaf_depth_ = depth;
    if (depth != leaf_depth_)
      add_fault(where(page.number) + "a leaf at depth " + std::to_string(depth) + ", others at " +
                std::to_string(leaf_depth_));
    for (const IndexPage::Entry& e : page.entries) {
      if (e.child != 0) add_fault(where(page.number) + "a leaf entry has a child");
      leaf_entry(where(page.number), e.key, e.recno);
    }
    return true;
  }

  bool before_child(const IndexPage& page, size_t i, int) override {
    if (i < page.entries.size() && page.entries[i].recno != 0)
      add_fault(where(page.number) + "an interior entry has a record number");
    return true;
  }

  bool after_child(const IndexPage& page, size_t i, const IndexSubtree& sub) override {
    if (i == page.entries.size()) return true;
    const std::string& key = page.entries[i].key;
    if (!sub.any) {
      add_fault(where(page.number) + "the subtree under key " + show_key(key) + " is empty");
    } else if (sub.greatest != key) {
      add_fault(where(page.number) + "separator " + show_key(key) +
                " differs from its subtree's greatest key " + show_key(sub.greatest));
    }
    return true;
  }

 private:
  static std::string where(uint32_t page) { return "page " + std::to_string(page) + ": "; }

  void leaf_entry(const std::string& where, const std::string& key, uint32_t recno) {
    ++entries_;
    if (recno == 0 || recno > static_cast<uint32_t>(records_.count)) {
      add_fault(where + "record number " + std::to_string(recno) + " outside the record file");
    } else {
      if (seen_records_[recno]) add_fault("record " + std::to_string(recno) + " has two entries");
      seen_records_[recno] = true;
      if (records_.key(recno) != key)
        add_fault(where + "record " + std::to_string(recno) + " has key " +
                  show_key(records_.key(recno)) + ", its entry " + show_key(key));
    }
    if (entries_ > 1) {
      if (key < last_key_) {
        add_fault(where + "key " + show_key(key) + " of record " + std::to_string(recno) +
                  " comes after the greater " + show_key(last_key_));
      } else if (key == last_key_ && recno < last_recno_ && !any_duplicate_order_) {
        add_fault(where + "equal keys out of record order: " + std::to_string(last_recno_) +
                  " before " + std::to_string(recno));
      }
    }
    last_key_ = key;
    last_recno_ = recno;
  }

  void add_fault(const std::string& text) { faults_.push_back(text); }

  const std::vector<uint8_t>& file_;
  const Records& records_;
  bool any_duplicate_order_;
  std::vector<bool> seen_records_;
  IndexHeader header_;
  std::vector<std::string> faults_;
  int leaf_depth_ = 0;
  size_t pages_ = 0;
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
  std::vector<uint8_t> file;
  read_whole_file(a.index_file, &file);
  const IndexHeader h = read_index_header(file);
  std::printf("built %s over %s for \"%s\": key length %d, root page %u, %u blocks\n",
              a.index_file.c_str(), a.record_file.c_str(), a.expression.c_str(), h.key_length,
              h.root, h.next_free);
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
  if (!read_whole_file(a.index_file, &file)) {
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
