// The POSIX platform: descriptors in place of handles, flock in place of the
// share modes, our own profile-file reader and writer, and the hooks' defaults
// for the user interface.
#if !defined(_WIN32)

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/dos_time.h"
#include "platform/env.h"
#include "platform/profile_file.h"

namespace osp::platform {

namespace {

// Moves a new descriptor to 3 or above, so that no handle is ever 0 (a handle
// of 0 or below counts as closed) and the standard streams stay untouched.
int high_descriptor(int fd) {
  if (fd < 0 || fd >= 3) return fd;
  const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
  ::close(fd);
  return moved;
}

// Takes the lock that stands for the share mode: exclusive for share mode 0,
// shared for read sharing. A conflicting holder makes the open fail.
bool take_lock(int fd, unsigned share) {
  const int op = (share & kShareRead) != 0 ? LOCK_SH : LOCK_EX;
  for (;;) {
    if (::flock(fd, op | LOCK_NB) == 0) return true;
    if (errno != EINTR) return false;
  }
}

Handle open_locked(const char* path, int flags, unsigned share) {
  if (path == nullptr) return kNoFile;
  int fd = ::open(path, flags | O_CLOEXEC, 0666);
  fd = high_descriptor(fd);
  if (fd < 0) return kNoFile;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || !take_lock(fd, share)) {
    ::close(fd);
    return kNoFile;
  }
  return fd;
}

std::string read_whole(const std::string& path) {
  std::string out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  std::fclose(f);
  return out;
}

// Writes content into a new file at path and syncs it to disk.
bool write_synced(const std::string& path, const std::string& content) {
  const int fd = high_descriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  return ::close(fd) == 0 && ok;
}

// Syncs the folder that holds path, so that a rename into it is on the disk.
bool sync_folder_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = high_descriptor(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool lower_equal(const char* a, const char* b) {
  for (;; ++a, ++b) {
    const int ca = (*a >= 'A' && *a <= 'Z') ? *a + 32 : *a;
    const int cb = (*b >= 'A' && *b <= 'Z') ? *b + 32 : *b;
    if (ca != cb) return false;
    if (ca == 0) return true;
  }
}

// The profile file's real name: an existing file in the same directory whose
// name matches without regard to case, else the name with its extension in
// lower case. (The system names the same profile file in two cases.)
std::string resolve_profile_path(const char* file) {
  std::string path(file);
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  if (::access(path.c_str(), F_OK) == 0) return path;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      if (lower_equal(e->d_name, base.c_str())) {
        std::string found = (slash == std::string::npos ? "" : dir) + e->d_name;
        ::closedir(d);
        return found;
      }
    }
    ::closedir(d);
  }
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
    for (size_t i = dot; i < path.size(); ++i) {
      if (path[i] >= 'A' && path[i] <= 'Z') path[i] = static_cast<char>(path[i] + 32);
    }
  }
  return path;
}

// Writes count bytes at p, at the current position (offset below 0) or at
// offset, until all are written or the system writes no more; returns the
// number written, or -1 when not one byte could be.
int32_t write_fully(int fd, const char* p, int32_t count, int64_t offset) {
  int32_t done = 0;
  while (done < count) {
    const auto rest = static_cast<size_t>(count - done);
    const ssize_t n = offset < 0 ? ::write(fd, p + done, rest)
                                 : ::pwrite(fd, p + done, rest, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    if (n == 0) break;
    done += static_cast<int32_t>(n);
  }
  return done;
}

class PosixEnv final : public Env {
 public:
  Handle open_existing(const char* path, unsigned access, unsigned share) override {
    const int mode = (access & kWrite) != 0 ? ((access & kRead) != 0 ? O_RDWR : O_WRONLY)
                                            : O_RDONLY;
    return open_locked(path, mode, share);
  }

  Handle create_always(const char* path) override {
    // Open without truncating, take the lock, then empty the file: a file
    // that someone else holds is never destroyed.
    const Handle h = open_locked(path, O_RDWR | O_CREAT, kShareNone);
    if (h == kNoFile) return kNoFile;
    if (::ftruncate(h, 0) != 0) {
      ::close(h);
      return kNoFile;
    }
    return h;
  }

  Handle create_new(const char* path) override {
    return open_locked(path, O_RDWR | O_CREAT | O_EXCL, kShareNone);
  }

  int32_t read(Handle h, void* buffer, int32_t count) override {
    if (!is_open(h) || count < 0) return -1;
    int32_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < count) {
      const ssize_t n = ::read(h, p + done, static_cast<size_t>(count - done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (n == 0) break;
      done += static_cast<int32_t>(n);
    }
    return done;
  }

  int32_t read_at(Handle h, int64_t offset, void* buffer, int32_t count) override {
    if (!is_open(h) || count < 0 || offset < 0) return -1;
    int32_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < count) {
      const ssize_t n = ::pread(h, p + done, static_cast<size_t>(count - done),
                                static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return -1;
      }
      if (n == 0) break;
      done += static_cast<int32_t>(n);
    }
    return done;
  }

  int32_t write(Handle h, const void* buffer, int32_t count) override {
    if (!is_open(h) || count < 0) return -1;
    return write_fully(h, static_cast<const char*>(buffer), count, -1);
  }

  int32_t write_at(Handle h, int64_t offset, const void* buffer, int32_t count) override {
    if (!is_open(h) || count < 0 || offset < 0) return -1;
    return write_fully(h, static_cast<const char*>(buffer), count, offset);
  }

  int64_t seek(Handle h, int64_t offset) override {
    if (!is_open(h) || offset < 0) return -1;
    const off_t r = ::lseek(h, static_cast<off_t>(offset), SEEK_SET);
    return r < 0 ? -1 : static_cast<int64_t>(r);
  }

  bool set_end(Handle h) override {
    if (!is_open(h)) return false;
    const off_t pos = ::lseek(h, 0, SEEK_CUR);
    return pos >= 0 && ::ftruncate(h, pos) == 0;
  }

  bool flush(Handle h) override { return is_open(h) && ::fsync(h) == 0; }

  bool sync_data(Handle h) override {
#if defined(__APPLE__)
    // No fdatasync here; fsync flushes the same data.
    return flush(h);
#else
    return is_open(h) && ::fdatasync(h) == 0;
#endif
  }

  bool close(Handle h) override { return is_open(h) && ::close(h) == 0; }

  int64_t size(Handle h) override {
    struct stat st {};
    if (!is_open(h) || ::fstat(h, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
  }

  uint32_t file_time_number(Handle h) override {
    struct stat st {};
    if (!is_open(h) || ::fstat(h, &st) != 0) return 0;
    struct tm t {};
    const time_t mtime = st.st_mtime;
    if (::localtime_r(&mtime, &t) == nullptr) return 0;
    return pack_dos_time(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min,
                         t.tm_sec);
  }

  bool remove(const char* path) override { return path != nullptr && ::unlink(path) == 0; }

  bool rename(const char* from, const char* to) override {
    return from != nullptr && to != nullptr && ::rename(from, to) == 0;
  }

  bool copy(const char* from, const char* to, bool fail_if_exists) override {
    const Handle src = open_locked(from, O_RDONLY, kShareRead);
    if (src == kNoFile) return false;
    const Handle dst = fail_if_exists ? create_new(to) : create_always(to);
    bool ok = dst != kNoFile;
    char buf[65536];
    while (ok) {
      const int32_t n = read(src, buf, sizeof buf);
      if (n < 0) ok = false;
      if (n <= 0) break;
      ok = write(dst, buf, n) == n;
    }
    ::close(src);
    if (dst != kNoFile) ::close(dst);
    return ok;
  }

  bool exists(const char* path) override {
    struct stat st {};
    return path != nullptr && ::stat(path, &st) == 0;
  }

  int32_t profile_int(const char* section, const char* key, int32_t default_value,
                      const char* file) override {
    if (section == nullptr || key == nullptr || file == nullptr) return default_value;
    std::string value;
    // A missing key and an empty value both give the default.
    if (!profile_lookup(read_whole(resolve_profile_path(file)), section, key, &value) ||
        value.empty())
      return default_value;
    return profile_parse_int(value);
  }

  bool profile_write_string(const char* section, const char* key, const char* value,
                            const char* file) override {
    if (section == nullptr || key == nullptr || value == nullptr || file == nullptr)
      return false;
    const std::string path = resolve_profile_path(file);
    const std::string content = profile_set(read_whole(path), section, key, value);
    // Write a new copy beside the old one, sync it, rename it over and sync
    // the folder, so that a crash leaves one whole profile file or the other
    // and a value written is on the disk before the caller goes on.
    const std::string temp = path + ".tmp";
    if (!write_synced(temp, content)) {
      ::unlink(temp.c_str());
      return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
      ::unlink(temp.c_str());
      return false;
    }
    return sync_folder_of(path);
  }

  bool sync_folder(const char* path) override {
    return path != nullptr && sync_folder_of(path);
  }

  void local_time(OspLocalTime* now) override {
    const time_t t = ::time(nullptr);
    struct tm lt {};
    ::localtime_r(&t, &lt);
    now->year = lt.tm_year + 1900;
    now->month = lt.tm_mon + 1;
    now->day = lt.tm_mday;
    now->hour = lt.tm_hour;
    now->minute = lt.tm_min;
    now->second = lt.tm_sec;
  }

  int32_t message_box(int32_t, const char* text, const char* caption, uint32_t style) override {
    std::fprintf(stderr, "%s: %s\n", caption != nullptr ? caption : "",
                 text != nullptr ? text : "");
    switch (style & kMbTypeMask) {
      case 0:  // OK
      case 1:  // OK, Cancel
        return kIdOk;
      case 2:  // Abort, Retry, Ignore
        return 3;
      case 3:  // Yes, No, Cancel
      case 4:  // Yes, No
        return kIdNo;
      default:
        return kIdCancel;
    }
  }

  void text_out(void*, int32_t, int32_t, const char*, int32_t) override {}
  void beep(uint32_t) override {}
};

}  // namespace

Env* default_env() {
  static PosixEnv instance;
  return &instance;
}

}  // namespace osp::platform

#endif  // !_WIN32
