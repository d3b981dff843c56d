// A small runner for the test programs built for Windows, where no test
// framework is cross-built: a program is a table of named checks, each a
// function that records failed expectations. The runner prints one line per
// check, the failures under it, and a closing "N passed, N failed" line.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace osp::wintest {

// Collects the failed expectations of the check that is running.
class Checker {
 public:
  void fail(const char* file, int line, const std::string& what) {
    const char* base = file;
    for (const char* p = file; *p != '\0'; ++p) {
      if (*p == '/' || *p == '\\') base = p + 1;
    }
    failures_.push_back(std::string(base) + ":" + std::to_string(line) + ": " + what);
  }
  bool failed() const { return !failures_.empty(); }
  const std::vector<std::string>& failures() const { return failures_; }

 private:
  std::vector<std::string> failures_;
};

// One entry of a program's table: a name and the function that checks it.
template <typename Context>
struct Check {
  const char* name;
  void (*run)(Context& context, Checker& c);
};

// Runs every check in order and prints the outcome. Returns the number of
// failed checks.
template <typename Context, size_t N>
int run_checks(const Check<Context> (&checks)[N], Context& context) {
  int passed = 0;
  int failed = 0;
  for (const Check<Context>& check : checks) {
    Checker c;
    check.run(context, c);
    if (c.failed()) {
      ++failed;
      std::printf("FAIL %s\n", check.name);
      for (const std::string& f : c.failures()) std::printf("     %s\n", f.c_str());
    } else {
      ++passed;
      std::printf("ok   %s\n", check.name);
    }
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return failed;
}

}  // namespace osp::wintest

// Expectations: record a failure and carry on with the check.
#define WCHECK(c, cond)                                             \
  do {                                                              \
    if (!(cond)) (c).fail(__FILE__, __LINE__, "expected " #cond); \
  } while (0)

#define WCHECK_EQ(c, expected, actual)                                                     \
  do {                                                                                     \
    const long long osp_e_ = static_cast<long long>(expected);                            \
    const long long osp_a_ = static_cast<long long>(actual);                              \
    if (osp_e_ != osp_a_)                                                                  \
      (c).fail(__FILE__, __LINE__,                                                         \
               std::string(#actual " is ") + std::to_string(osp_a_) + ", expected " +     \
                   std::to_string(osp_e_));                                                \
  } while (0)

namespace osp::wintest {

// A directory of its own under the system's temporary directory, removed
// with its files when the program ends.
class TempDir {
 public:
  TempDir() {
    char base[MAX_PATH];
    const DWORD n = GetTempPathA(MAX_PATH, base);
    if (n == 0 || n >= MAX_PATH) return;
    for (unsigned attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::string candidate = std::string(base) + "osprey-" +
                                    std::to_string(GetCurrentProcessId()) + "-" +
                                    std::to_string(attempt);
      if (CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~TempDir() {
    if (path_.empty()) return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
          DeleteFileA((path_ + "\\" + found.cFileName).c_str());
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(path_.c_str());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// The whole file, read with the Win32 calls; empty when it cannot be opened.
inline std::vector<uint8_t> read_file(const std::string& path) {
  std::vector<uint8_t> bytes;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  uint8_t chunk[4096];
  DWORD got = 0;
  while (ReadFile(f, chunk, sizeof chunk, &got, nullptr) && got > 0)
    bytes.insert(bytes.end(), chunk, chunk + got);
  CloseHandle(f);
  return bytes;
}

// Replaces the file's content; false when it cannot be written whole.
inline bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(f);
  return ok && done == bytes.size();
}

// The file's size from its directory entry (readable while someone holds the
// file open without sharing), or -1.
inline long long file_size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Looks an export up by its plain name into *entry; false, after saying
// which, when the DLL lacks it.
template <typename F>
bool bind_export(HMODULE dll, const char* name, F* entry) {
  *entry = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
  if (*entry != nullptr) return true;
  std::printf("missing export: %s\n", name);
  return false;
}

}  // namespace osp::wintest
