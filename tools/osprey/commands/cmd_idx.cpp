// osprey idx info / dump: an index file's header and tree, and its entries in
// key order. The file is first opened through the library, which judges the
// header as every caller sees it; the tree is then read page by page here,
// so that a damaged tree can be described rather than only refused.

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "exit_codes.h"
#include "log_files.h"
#include "output.h"
#include "sjis_text.h"
#include "osprey32.h"

namespace osprey_tool {

namespace {

constexpr uint32_t kPageSize = 512;

uint32_t u32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
int16_t i16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

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
  uint32_t root = 0, next_free = 0, file_pages = 0;
  int key_length = 0, max_keys = 0, key_type = 0, entry_size = 0, unique = 0;
  std::string expression;
  int height = 0;
  uint32_t pages = 0;
  std::vector<Entry> entries;
  std::string damage;  // empty when the tree is whole
};

// Reads the header and walks every page reachable from the root, in key
// order, without trusting any count or page number it finds.
Tree read_tree(const std::vector<uint8_t>& file) {
  Tree t;
  const uint8_t* h = file.data();
  t.root = u32(h);
  t.next_free = u32(h + 4);
  t.key_length = i16(h + 12);
  t.max_keys = i16(h + 14);
  t.key_type = i16(h + 16);
  t.entry_size = i16(h + 18);
  t.unique = h[23];
  t.file_pages = static_cast<uint32_t>(file.size() / kPageSize);
  for (size_t i = 24; i < kPageSize && i < file.size() && h[i] != 0; ++i)
    t.expression += static_cast<char>(h[i]);
  // The text is stored with one blank after it.
  if (!t.expression.empty() && t.expression.back() == ' ') t.expression.pop_back();

  std::vector<bool> seen(t.file_pages, false);
  struct Frame {
    uint32_t page;
    uint32_t next;  // the next child to go down into
  };
  std::vector<Frame> path;
  auto enter = [&](uint32_t page_no) {
    if (page_no == 0 || page_no >= t.next_free || page_no >= t.file_pages) {
      t.damage = "page " + std::to_string(page_no) + " is not in the file";
      return false;
    }
    if (seen[page_no]) {
      t.damage = "page " + std::to_string(page_no) + " is reached twice";
      return false;
    }
    const uint8_t* page = file.data() + page_no * kPageSize;
    const uint32_t n = page[0] | (page[1] << 8);
    if (n > static_cast<uint32_t>(t.max_keys)) {
      t.damage = "page " + std::to_string(page_no) + " holds " + std::to_string(n) + " keys";
      return false;
    }
    seen[page_no] = true;
    t.pages += 1;
    path.push_back({page_no, 0});
    return true;
  };
  if (!enter(t.root)) return t;
  while (!path.empty()) {
    Frame& f = path.back();
    const uint8_t* page = file.data() + f.page * kPageSize;
    const uint32_t n = page[0] | (page[1] << 8);
    auto at = [&](uint32_t i) { return page + 4 + i * static_cast<uint32_t>(t.entry_size); };
    if (u32(at(n)) == 0) {  // a leaf
      const int depth = static_cast<int>(path.size());
      if (n > 0 && t.height != 0 && depth != t.height) {
        t.damage = "leaves at different depths";
        return t;
      }
      if (n > 0 || t.height == 0) t.height = depth;
      for (uint32_t i = 0; i < n; ++i)
        t.entries.push_back({static_cast<int32_t>(u32(at(i) + 4)),
                             std::string(reinterpret_cast<const char*>(at(i) + 8),
                                         static_cast<size_t>(t.key_length))});
      path.pop_back();
      continue;
    }
    if (f.next > n) {
      path.pop_back();
      continue;
    }
    const uint32_t child = u32(at(f.next));
    f.next += 1;
    if (child != 0 && !enter(child)) return t;
  }
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
  std::ifstream in(path, std::ios::binary);
  file->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
  std::printf("root page        %u\n", t.root);
  std::printf("next free page   %u\n", t.next_free);
  std::printf("key length       %d\n", t.key_length);
  std::printf("keys per page    %d\n", t.max_keys);
  std::printf("key type         %d (character)\n", t.key_type);
  std::printf("entry size       %d\n", t.entry_size);
  std::printf("unique           %d\n", t.unique);
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
