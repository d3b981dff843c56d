#include "formats/file_bytes.h"

#include <fstream>
#include <iterator>

namespace osprey_tool {

bool read_whole_file(const std::string& path, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    out->clear();
    return false;
  }
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool read_file_bytes(const std::string& path, int64_t offset, size_t size,
                     std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  out->assign(size, 0);
  in.seekg(offset);
  in.read(reinterpret_cast<char*>(out->data()), static_cast<std::streamsize>(size));
  const auto got = static_cast<size_t>(in.gcount());
  out->resize(got);
  return got == size;
}

}  // namespace osprey_tool
