#include "support/temp_dir.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#if defined(_WIN32)
#include <random>
#endif

namespace osp::test {

TempDir::TempDir() {
#if defined(_WIN32)
  // No mkdtemp: a random name, made with create_directory, which fails
  // rather than reuse a folder that exists.
  std::random_device seed;
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const auto dir = std::filesystem::temp_directory_path() / ("osprey-" + std::to_string(seed()));
    std::error_code ec;
    if (std::filesystem::create_directory(dir, ec)) path_ = dir.generic_string();
  }
  if (path_.empty()) throw std::runtime_error("no temporary folder");
#else
  std::string templ = (std::filesystem::temp_directory_path() / "osprey-XXXXXX").string();
  if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
#endif
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const { return path_ + "/" + name; }

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

}  // namespace osp::test
