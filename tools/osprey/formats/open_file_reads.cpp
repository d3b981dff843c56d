#include "formats/open_file_reads.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace osprey_tool {

namespace {

// The most one system call is asked for.
constexpr size_t kPiece = size_t{1} << 30;

}  // namespace

#if defined(_WIN32)

int64_t open_file_size(OspFile f) {
  LARGE_INTEGER size;
  if (f == OSP_NO_FILE || !GetFileSizeEx(reinterpret_cast<HANDLE>(f), &size)) return -1;
  return size.QuadPart;
}

int64_t read_open_file(OspFile f, int64_t offset, void* buffer, size_t count) {
  if (f == OSP_NO_FILE || offset < 0) return -1;
  auto* p = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const int64_t at = offset + static_cast<int64_t>(done);
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(static_cast<uint64_t>(at));
    where.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(at) >> 32);
    const size_t want = count - done < kPiece ? count - done : kPiece;
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(f), p + done, static_cast<DWORD>(want), &got, &where)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return static_cast<int64_t>(done);
}

#else

int64_t open_file_size(OspFile f) {
  struct stat st {};
  if (f == OSP_NO_FILE || ::fstat(f, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

int64_t read_open_file(OspFile f, int64_t offset, void* buffer, size_t count) {
  if (f == OSP_NO_FILE || offset < 0) return -1;
  auto* p = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    const size_t want = count - done < kPiece ? count - done : kPiece;
    const auto at = static_cast<off_t>(offset + static_cast<int64_t>(done));
    const ssize_t got = ::pread(f, p + done, want, at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

#endif

}  // namespace osprey_tool
