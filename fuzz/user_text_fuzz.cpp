// Arbitrary bytes as a user text file and its index file: opening it in
// either layout (reusing the index or rebuilding it), looking keys up,
// walking its three orders and closing must neither crash, hang nor touch
// memory out of bounds. Input: a type byte (0-4), a flag byte (bit 0: stamp
// the index with the text file's time, so that it is reused), two bytes of
// text-file length, then the text file and the index file.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "osprey32.h"
#include "platform/env.h"

namespace {

constexpr int32_t kMaxReads = 64;

// A directory of this process's own, removed at exit.
const std::string& work_dir() {
  static const std::string dir = [] {
    std::string d = (std::filesystem::temp_directory_path() / "osprey-text-fuzz-XXXXXX").string();
    if (::mkdtemp(d.data()) == nullptr) std::abort();
    static std::string to_remove;
    to_remove = d;
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(to_remove, ec);
    });
    return d;
  }();
  return dir;
}

void write_bytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

int32_t answer_no(void*, int32_t, const char*, const char*, uint32_t) { return 7; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const OspHooks hooks{&answer_no, nullptr, nullptr, nullptr, nullptr};
  OspSetHooks(&hooks);
  if (size < 4) return 0;
  const int32_t type = data[0] % 5;
  const bool stamp = (data[1] & 1) != 0;
  size_t text_size = static_cast<size_t>(data[2]) | (static_cast<size_t>(data[3]) << 8);
  data += 4;
  size -= 4;
  if (text_size > size) text_size = size;
  const std::string text = work_dir() + "/USER.TXT";
  const std::string index = work_dir() + (type == 3 ? "/USER.IDX" : "/USER.HDX");
  write_bytes(text, data, text_size);
  std::string index_bytes(reinterpret_cast<const char*>(data + text_size), size - text_size);
  if (stamp && index_bytes.size() >= 4) {
    osp::platform::Env* env = osp::platform::env();
    const auto h = env->open_existing(text.c_str(), osp::platform::kRead, osp::platform::kShareRead);
    const uint32_t t = env->file_time_number(h);
    env->close(h);
    for (int i = 0; i < 4; ++i) index_bytes[static_cast<size_t>(i)] = static_cast<char>(t >> (8 * i));
  }
  write_bytes(index, reinterpret_cast<const uint8_t*>(index_bytes.data()), index_bytes.size());

  UserTextFile file{};
  if (User_open(nullptr, type, &file, text.c_str()) != 0) return 0;
  const uint32_t packed = text_size >= 4 ? static_cast<uint32_t>(data[0]) << 24 | data[1] << 16 | data[2] << 8 | data[3] : 0;
  const char* keys[] = {"      ", "AAAAAA", "ZZZZZZ", "000000"};
  for (const char* key : keys) {
    User_Seek(nullptr, type, &file, type >= 4 ? static_cast<const void*>(&packed) : key);
  }
  if (text_size > 6 && type < 4) User_Seek(nullptr, type, &file, data + text_size - 6);
  for (const int32_t selector : {'C', 'J', 'F'}) {
    for (int32_t i = 0; i <= kMaxReads && i <= file.entry_count + 1; ++i) User_Read(selector, i, &file);
  }
  User_close(type, &file);
  if (User_Seek(nullptr, type, &file, keys[0]) != -1) std::abort();
  return 0;
}
