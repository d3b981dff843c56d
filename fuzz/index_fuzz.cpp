// Opens arbitrary bytes as an index file and works on it: searches, walks in
// both directions, insertions and removals, a flush, and after closing a
// second open and a full walk of whatever the edits left.
//
// Input layout: the index file's bytes, then the operations, then one byte
// with the number of operations (at most 48). Each operation is 8 bytes:
// kind, a length or count, and 6 key bytes repeated to the key length.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "index/index_file.h"
#include "mem_files.h"
#include "osprey32.h"

namespace {

constexpr size_t kOpBytes = 8;
constexpr int kMaxOps = 48;
constexpr int kMaxWalk = 20000;

int32_t quiet_box(void*, int32_t, const char*, const char*, uint32_t) { return 1; }

constexpr char kPath[] = "FUZZ.ndx";

void walk(IdxHandle* h) {
  int n = 0;
  for (int32_t r = idx_top(h); r != 0 && n < kMaxWalk; r = idx_next(h)) ++n;
  n = 0;
  for (int32_t r = idx_bottom(h); r != 0 && n < kMaxWalk; r = idx_back(h)) ++n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool hooks_set = false;
  if (!hooks_set) {
    const OspHooks hooks{&quiet_box, nullptr, nullptr, nullptr, nullptr};
    OspSetHooks(&hooks);
    hooks_set = true;
  }
  if (size < 1) return 0;
  int ops = data[size - 1] % (kMaxOps + 1);
  size -= 1;
  if (static_cast<size_t>(ops) * kOpBytes > size) ops = static_cast<int>(size / kOpBytes);
  const size_t file_size = size - static_cast<size_t>(ops) * kOpBytes;
  const uint8_t* op = data + file_size;

  osp::fuzz::fresh_files().put(kPath, data, file_size);

  IdxHandle h{};
  std::snprintf(h.path, sizeof h.path, "%s", kPath);
  if (idx_open(h.path, &h) != 0) return 0;
  const int32_t key_length = osp::index::key_length(&h);
  std::string key(static_cast<size_t>(key_length), '\0');
  int32_t recno = 1;
  for (int i = 0; i < ops; ++i, op += kOpBytes) {
    for (int32_t k = 0; k < key_length; ++k) key[static_cast<size_t>(k)] = static_cast<char>(op[2 + k % 6]);
    const int count = op[1] % 40;
    switch (op[0] % 8) {
      case 0:
        idx_search(&h, key.data(), count % (key_length + 2));
        break;
      case 1:
        for (int c = 0; c < count; ++c) idx_next(&h);
        break;
      case 2:
        for (int c = 0; c < count; ++c) idx_back(&h);
        break;
      case 3:
        (op[1] & 1) != 0 ? idx_bottom(&h) : idx_top(&h);
        break;
      case 4:
      case 5:
        osp::index::insert(&h, key.data(), recno++);
        break;
      case 6: {
        // Positioned as the log's writes position a removal.
        int32_t r = idx_search(&h, key.data(), key_length);
        for (int c = 0; c < count && r != 0; ++c) r = idx_next(&h);
        osp::index::remove(&h);
        break;
      }
      default:
        osp::index::remove(&h);
        osp::index::flush(&h);
        break;
    }
    if (osp::index::current_key(&h) == nullptr) __builtin_trap();
  }
  walk(&h);
  idx_close(&h);
  if (h.file > 0) __builtin_trap();  // the header write-back cannot fail here

  IdxHandle again{};
  std::snprintf(again.path, sizeof again.path, "%s", kPath);
  if (idx_open(again.path, &again) == 0) {
    walk(&again);
    idx_close(&again);
  }
  return 0;
}
