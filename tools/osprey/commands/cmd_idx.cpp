// osprey idx info / dump: an index file's header and tree, and its entries in
// key order. The file is first opened through the library, which judges the
// header as every caller sees it; the tree is then read page by page here,
// so that a damaged tree can be described rather than only refused.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "exit_codes.h"
#include "formats/file_bytes.h"
#include "formats/index_layout.h"
#include "log_files.h"
#include "output.h"
#include "sjis_text.h"
#include "osprey32.h"

namespace osprey_tool {

namespace {

// Shift-JIS (code page 932) to UTF-8; false when the bytes are not text.
bool sjis_to_utf8(const std::string& in, std::string* out) {
  static Cp932Text converter;
  return converter.to_utf8(reinterpret_cast<const uint8_t*>(in.data()), in.size(), out);
}

std::string shown(const std::string& sjis) {
  std::string utf8;
  return sjis_to_utf8(sjis, &utf8) ? utf8 : sjis;
}

// A key as UTF-8 text in double quotes, or as hex when it holds bytes that
// are not text (control bytes, NULs, invalid double-byte characters).
std::string key_text(const std::string& key) {
  bool text = true;
  for (unsigned char c : key)
    if (c < 0x20 || c == 0x7F) text = false;
  std::string utf8;
  if (text && sjis_to_utf8(key, &utf8)) return "\"" + utf8 + "\"";
  std::string hex = "x'";
  for (unsigned char c : key) {
    char b[3];
    std::snprintf(b, sizeof b, "%02X", c);
    hex += b;
  }
  return hex + "'";
}

int32_t on_box(void*, int32_t, const char* text, const char* caption, uint32_t) {
  std::fprintf(stderr, "osprey: %s:%s\n", shown(caption != nullptr ? caption : "").c_str(),
               shown(text != nullptr ? text : "").c_str());
  return 1;  // IDOK
}

struct Entry {
  int32_t recno;
  std::string key;
};

struct Tree {
  IndexHeader header;
  std::string expression;  // without the blank stored after it
  uint32_t file_pages = 0;
  int height = 0;
  uint32_t pages = 0;
  std::vector<Entry> entries;
  std::string damage;  // empty when the tree is whole
};

// Takes the entries in key order, stopping at the first damage.
class TreeReader : public IndexTreeVisitor {
 public:
  explicit TreeReader(Tree* t) : t_(t) {}

  bool fault(IndexPageFault fault, uint32_t page, int, uint32_t count) override {
    const std::string where = "page " + std::to_string(page);
    switch (fault) {
      case IndexPageFault::kOutOfRange:
      case IndexPageFault::kBeyondFile: t_->damage = where + " is not in the file"; break;
      case IndexPageFault::kTooDeep: t_->damage = where + " lies deeper than any index"; break;
      case IndexPageFault::kReachedTwice: t_->damage = where + " is reached twice"; break;
      case IndexPageFault::kCountAboveMax:
        t_->damage = where + " holds " + std::to_string(count) + " keys";
        break;
    }
    return false;
  }

  bool page(const IndexPage& page, int depth) override {
    t_->pages += 1;
    if (!page.leaf()) return true;
    const bool any = !page.entries.empty();
    if (any && t_->height != 0 && depth != t_->height) {
      t_->damage = "leaves at different depths";
      return false;
    }
    if (any || t_->height == 0) t_->height = depth;
    for (const IndexPage::Entry& e : page.entries)
      t_->entries.push_back({static_cast<int32_t>(e.recno), e.key});
    return true;
  }

 private:
  Tree* t_;
};

// Reads the header and walks every page reachable from the root, in key
// order, without trusting any count or page number it finds.
Tree read_tree(const std::vector<uint8_t>& file) {
  Tree t;
  t.header = read_index_header(file);
  t.file_pages = static_cast<uint32_t>(file.size() / kIndexPageSize);
  t.expression = t.header.expression;
  // The text is stored with one blank after it.
  if (!t.expression.empty() && t.expression.back() == ' ') t.expression.pop_back();
  TreeReader reader(&t);
  walk_index_tree(file, t.header, reader);
  return t;
}

// Opens path through the library (its header checks) and reads the whole
// file. Sets the exit status and returns false on failure.
bool load(const std::string& path, std::vector<uint8_t>* file) {
  const OspHooks hooks{&on_box, nullptr, nullptr, nullptr, nullptr};
  OspSetHooks(&hooks);
  IdxHandle h{};
  std::snprintf(h.path, sizeof h.path, "%s", path.c_str());
  // Viewing only: an index that may not be written can still be shown.
  const int32_t status = idx_open_readonly(path.c_str(), &h);
  if (status != 0) {
    if (status == OSP_CANNOT_OPEN && !held_file({path}).empty()) {
      std::fprintf(stderr, "osprey: %s: the index is in use: held open by another program\n",
                   path.c_str());
      set_exit_status(exit_code::kInUse);
      return false;
    }
    std::fprintf(stderr, "osprey: %s: cannot open the index (status %d)\n", path.c_str(), status);
    set_exit_status(exit_code::kUnusable);
    return false;
  }
  idx_close(&h);
  if (!read_whole_file(path, file)) {
    std::fprintf(stderr, "osprey: %s: cannot read the index\n", path.c_str());
    set_exit_status(exit_code::kUnusable);
    return false;
  }
  return true;
}

bool whole(const std::string& path, const Tree& t) {
  if (t.damage.empty()) return true;
  std::fprintf(stderr, "osprey: %s: damaged tree: %s\n", path.c_str(), t.damage.c_str());
  set_exit_status(exit_code::kUnusable);
  return false;
}

void info(const std::string& path) {
  std::vector<uint8_t> file;
  if (!load(path, &file)) return;
  const Tree t = read_tree(file);
  std::printf("file             %s\n", path.c_str());
  std::printf("root page        %u\n", t.header.root);
  std::printf("next free page   %u\n", t.header.next_free);
  std::printf("key length       %d\n", t.header.key_length);
  std::printf("keys per page    %d\n", t.header.max_keys);
  std::printf("key type         %d (character)\n", t.header.key_type);
  std::printf("entry size       %d\n", t.header.entry_size);
  std::printf("unique           %d\n", t.header.unique);
  std::printf("expression       \"%s\"\n", shown(t.expression).c_str());
  if (!whole(path, t)) return;
  std::printf("tree height      %d\n", t.height);
  std::printf("pages            %u in the tree, %u unused, %u in the file\n", t.pages,
              t.file_pages > t.pages + 1 ? t.file_pages - t.pages - 1 : 0, t.file_pages);
  std::printf("entries          %zu\n", t.entries.size());
}

void dump(const std::string& path) {
  std::vector<uint8_t> file;
  if (!load(path, &file)) return;
  const Tree t = read_tree(file);
  if (!whole(path, t)) return;
  for (const Entry& e : t.entries) {
    if (!output_ok()) break;
    std::printf("%10d  %s\n", e.recno, key_text(e.key).c_str());
  }
}

}  // namespace

void add_idx_walk_commands(CLI::App& idx) {
  static std::string info_path;
  auto* info_cmd = idx.add_subcommand("info", "Header fields, tree height, pages and entries");
  info_cmd->add_option("FILE", info_path, "Index file")->required();
  info_cmd->callback([] { info(info_path); });

  static std::string dump_path;
  auto* dump_cmd = idx.add_subcommand("dump", "Entries in key order: record number and key");
  dump_cmd->add_option("FILE", dump_path, "Index file")->required();
  dump_cmd->callback([] { dump(dump_path); });
}

}  // namespace osprey_tool
