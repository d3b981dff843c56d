// Arbitrary record files (header, descriptors, records) and key expressions
// through MakeIndex: no crash, hang or sanitizer report, the work files are
// gone afterwards, and a successful build is a well-formed tree.
//
// Input: the expression up to the first newline (at most 120 bytes), then the
// record file's bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "mem_files.h"
#include "osprey32.h"

namespace {

uint32_t u32(const std::vector<uint8_t>& f, size_t at) {
  return static_cast<uint32_t>(f[at]) | (static_cast<uint32_t>(f[at + 1]) << 8) |
         (static_cast<uint32_t>(f[at + 2]) << 16) | (static_cast<uint32_t>(f[at + 3]) << 24);
}

// Walks a built tree: every page within the file, each reached once.
void check_tree(const std::vector<uint8_t>& f) {
  if (f.size() < 512) std::abort();
  const uint32_t root = u32(f, 0);
  const uint32_t blocks = u32(f, 4);
  const int entry = f[18] | (f[19] << 8);
  if (blocks == 0 || root == 0 || root >= blocks || f.size() < size_t{blocks} * 512 || entry < 8)
    std::abort();
  std::vector<bool> seen(blocks, false);
  std::vector<uint32_t> stack{root};
  while (!stack.empty()) {
    const uint32_t p = stack.back();
    stack.pop_back();
    if (p == 0 || p >= blocks || seen[p]) std::abort();
    seen[p] = true;
    const size_t base = size_t{p} * 512;
    const uint32_t n = u32(f, base);
    if (4 + (n + 1) * static_cast<size_t>(entry) > 512 + entry) std::abort();
    for (uint32_t i = 0; i <= n; ++i) {
      const uint32_t child = u32(f, base + 4 + i * static_cast<size_t>(entry));
      if (child != 0) stack.push_back(child);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const size_t limit = size < 121 ? size : 121;
  const auto* newline = static_cast<const uint8_t*>(std::memchr(data, '\n', limit));
  if (newline == nullptr) return 0;
  const std::string expression(reinterpret_cast<const char*>(data),
                               static_cast<size_t>(newline - data));
  if (expression.find('\0') != std::string::npos) return 0;

  osp::platform::MemEnv& files = osp::fuzz::fresh_files();
  const std::string records = "dir/log.dbs";
  const std::string index = "dir/log.dx0";
  const size_t rest = size - static_cast<size_t>(newline + 1 - data);
  files.put(records, newline + 1, rest);

  const int32_t status = MakeIndex(records.c_str(), expression.c_str(), index.c_str());
  if (files.exists("dir/NDXTEMP.$$1") || files.exists("dir/NDXTEMP.$$2"))
    std::abort();  // a work file outlived the build
  if (files.open_handles() != 0) std::abort();
  if (status == 0) check_tree(files.contents(index));
  return 0;
}
