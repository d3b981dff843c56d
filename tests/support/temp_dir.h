// A temporary directory that lives for one test.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace osp::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path()/name.
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

// Whole-file helpers for checking bytes on disk.
std::vector<uint8_t> read_file(const std::string& path);
void write_file(const std::string& path, const std::vector<uint8_t>& bytes);
bool file_exists(const std::string& path);

}  // namespace osp::test
