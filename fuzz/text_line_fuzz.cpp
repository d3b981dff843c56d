// Arbitrary bytes as text lines and contact lines: reading them with both
// line readers at several buffer sizes, searching one half in the other, and
// appending the first 219 bytes (blank-padded) to a log as a contact line
// must neither crash, hang nor touch memory out of bounds, and a line reader
// must never write past the buffer it is given.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "osprey32.h"

namespace {

constexpr int32_t kGuard = 8;

const std::string& work_dir() {
  static const std::string dir = [] {
    std::string d = (std::filesystem::temp_directory_path() / "osprey-line-fuzz-XXXXXX").string();
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

// Questions (making the missing remarks file) are answered Yes.
int32_t answer_yes(void*, int32_t, const char*, const char*, uint32_t) { return 6; }

LogHandle* open_log() {
  static LogHandle log{};
  static bool opened = [] {
    const std::string base = work_dir() + "/LINES";
    if (dbf_create((base + ".dbs").c_str()) != 0) return false;
    return OspreyOpen(nullptr, &log, base.c_str(), 0, 2) == 0;
  }();
  return opened ? &log : nullptr;
}

void read_all(const std::string& path, int32_t size, bool padded) {
  const OspFile h = T_Open(path.c_str());
  if (h == OSP_NO_FILE) std::abort();
  std::vector<char> buffer(static_cast<size_t>(size) + kGuard, '#');
  for (int lines = 0; lines < 4096; ++lines) {
    const int32_t r = padded ? T_GetDbs(buffer.data(), size, h) : T_Gets(buffer.data(), size, h);
    for (int32_t i = 0; i < kGuard; ++i) {
      if (buffer[static_cast<size_t>(size + i)] != '#') std::abort();
    }
    if (r != 0) break;
  }
  ::close(static_cast<int>(h));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const OspHooks hooks{&answer_yes, nullptr, nullptr, nullptr, nullptr};
  OspSetHooks(&hooks);
  const std::string path = work_dir() + "/LINES.TXT";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  for (const int32_t s : {0, 2, 3, 7, 219, 4096}) {
    read_all(path, s, false);
    read_all(path, s, true);
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string first = text.substr(0, size / 2);
  const std::string second = text.substr(size / 2);
  const int32_t at = JStrStr(first.c_str(), second.c_str());
  if (at >= 0 && std::strncmp(first.c_str() + at, second.c_str(), std::strlen(second.c_str())) != 0)
    std::abort();

  if (LogHandle* log = open_log()) {
    std::string line = text.substr(0, 219);
    line.resize(219, ' ');
    Text_QFRappend(log, line.c_str());
    OSP_zap(log);
  }
  return 0;
}
