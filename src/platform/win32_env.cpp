// The Windows platform: the real Win32 calls.
#if defined(_WIN32)

#include <windows.h>

#include "platform/env.h"
#include "platform/profile_file.h"

namespace osp::platform {

namespace {

HANDLE as_handle(Handle h) { return reinterpret_cast<HANDLE>(h); }
Handle from_handle(HANDLE h) {
  // INVALID_HANDLE_VALUE is -1, which is kNoFile already; a handle of 0 or
  // below would count as closed, and the file calls never return one.
  return h == INVALID_HANDLE_VALUE || h == nullptr ? kNoFile : reinterpret_cast<Handle>(h);
}

// The profile file's full path. The profile calls look for a file named
// without a directory in the Windows directory; the library means the file
// beside its log, in the current directory, as it does for every other file.
// False when the path cannot be made or does not fit.
bool full_profile_path(const char* file, char (&out)[MAX_PATH]) {
  const DWORD n = GetFullPathNameA(file, MAX_PATH, out, nullptr);
  return n > 0 && n < MAX_PATH;
}

class Win32Env final : public Env {
 public:
  Handle open_existing(const char* path, unsigned access, unsigned share) override {
    if (path == nullptr) return kNoFile;
    DWORD rights = 0;
    if ((access & kRead) != 0) rights |= GENERIC_READ;
    if ((access & kWrite) != 0) rights |= GENERIC_WRITE;
    const DWORD share_mode = (share & kShareRead) != 0 ? FILE_SHARE_READ : 0;
    return from_handle(CreateFileA(path, rights, share_mode, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  Handle create_always(const char* path) override {
    // CREATE_ALWAYS with share mode 0 fails on a file that someone holds
    // before it empties anything.
    if (path == nullptr) return kNoFile;
    return from_handle(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  Handle create_new(const char* path) override {
    if (path == nullptr) return kNoFile;
    return from_handle(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  int32_t read(Handle h, void* buffer, int32_t count) override {
    DWORD done = 0;
    if (!is_open(h) || count < 0 || !ReadFile(as_handle(h), buffer, static_cast<DWORD>(count), &done, nullptr))
      return -1;
    return static_cast<int32_t>(done);
  }

  // ReadFile with an offset in the OVERLAPPED structure: one call, which on a
  // handle opened for synchronous use also leaves the position after the
  // bytes read. Reading at or past the end gives ERROR_HANDLE_EOF: 0 bytes.
  int32_t read_at(Handle h, int64_t offset, void* buffer, int32_t count) override {
    if (!is_open(h) || count < 0 || offset < 0) return -1;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD done = 0;
    if (!ReadFile(as_handle(h), buffer, static_cast<DWORD>(count), &done, &at))
      return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return static_cast<int32_t>(done);
  }

  int32_t write(Handle h, const void* buffer, int32_t count) override {
    DWORD done = 0;
    if (!is_open(h) || count < 0 || !WriteFile(as_handle(h), buffer, static_cast<DWORD>(count), &done, nullptr))
      return -1;
    return static_cast<int32_t>(done);
  }

  int32_t write_at(Handle h, int64_t offset, const void* buffer, int32_t count) override {
    if (!is_open(h) || count < 0 || offset < 0) return -1;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    DWORD done = 0;
    if (!WriteFile(as_handle(h), buffer, static_cast<DWORD>(count), &done, &at)) return -1;
    return static_cast<int32_t>(done);
  }

  int64_t seek(Handle h, int64_t offset) override {
    if (!is_open(h) || offset < 0) return -1;
    LARGE_INTEGER to;
    LARGE_INTEGER now;
    to.QuadPart = offset;
    if (!SetFilePointerEx(as_handle(h), to, &now, FILE_BEGIN)) return -1;
    return now.QuadPart;
  }

  // The handle checks matter: -1 is also the pseudo handle of the current
  // process, which CloseHandle accepts as if it were a file.
  bool set_end(Handle h) override { return is_open(h) && SetEndOfFile(as_handle(h)) != 0; }
  // FlushFileBuffers refuses a handle without write access; such a handle has
  // nothing to write back, and its flush succeeds as on every platform.
  bool flush(Handle h) override {
    if (!is_open(h)) return false;
    return FlushFileBuffers(as_handle(h)) != 0 || GetLastError() == ERROR_ACCESS_DENIED;
  }
  // The system has no lighter flush that keeps the data's order: the same.
  bool sync_data(Handle h) override { return flush(h); }
  bool close(Handle h) override { return is_open(h) && CloseHandle(as_handle(h)) != 0; }

  int64_t size(Handle h) override {
    LARGE_INTEGER s;
    if (!is_open(h) || !GetFileSizeEx(as_handle(h), &s)) return -1;
    return s.QuadPart;
  }

  uint32_t file_time_number(Handle h) override {
    FILETIME written;
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    if (!is_open(h)) return 0;
    if (!GetFileTime(as_handle(h), nullptr, nullptr, &written)) return 0;
    if (!FileTimeToLocalFileTime(&written, &local)) return 0;
    if (!FileTimeToDosDateTime(&local, &date, &time)) return 0;
    return (static_cast<uint32_t>(date) << 16) | time;
  }

  bool remove(const char* path) override { return path != nullptr && DeleteFileA(path) != 0; }
  bool rename(const char* from, const char* to) override {
    return from != nullptr && to != nullptr &&
           MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  }
  bool copy(const char* from, const char* to, bool fail_if_exists) override {
    return from != nullptr && to != nullptr &&
           CopyFileA(from, to, fail_if_exists ? TRUE : FALSE) != 0;
  }
  bool exists(const char* path) override {
    return path != nullptr && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  }

  int32_t profile_int(const char* section, const char* key, int32_t default_value,
                      const char* file) override {
    char path[MAX_PATH];
    if (section == nullptr || key == nullptr || file == nullptr ||
        !full_profile_path(file, path))
      return default_value;
    // The value is read as text and parsed as on every other platform, so a
    // stored number reads back the same everywhere (the integer call's
    // handling of signs and of numbers beyond 31 bits differs between
    // Windows versions). As with the integer call, a missing or empty value
    // gives the default.
    char text[256];
    GetPrivateProfileStringA(section, key, "", text, static_cast<DWORD>(sizeof text), path);
    if (text[0] == '\0') return default_value;
    return profile_parse_int(text);
  }
  bool profile_write_string(const char* section, const char* key, const char* value,
                            const char* file) override {
    char path[MAX_PATH];
    if (section == nullptr || key == nullptr || value == nullptr || file == nullptr ||
        !full_profile_path(file, path) || WritePrivateProfileStringA(section, key, value, path) == 0)
      return false;
    // The profile call leaves the file to the system's cache; a value written
    // (the stale mark above all) must be on the disk before the change it
    // covers. Best effort: the value is written either way.
    const HANDLE f = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) {
      FlushFileBuffers(f);
      CloseHandle(f);
    }
    return true;
  }

  void local_time(OspLocalTime* now) override {
    SYSTEMTIME t;
    GetLocalTime(&t);
    now->year = t.wYear;
    now->month = t.wMonth;
    now->day = t.wDay;
    now->hour = t.wHour;
    now->minute = t.wMinute;
    now->second = t.wSecond;
  }

  int32_t message_box(int32_t use_active, const char* text, const char* caption,
                      uint32_t style) override {
    // The owner: the active window, or its parent when use_active is 0 and
    // the active window has one.
    HWND owner = GetActiveWindow();
    if (use_active == 0 && owner != nullptr) {
      if (HWND parent = GetParent(owner)) owner = parent;
    }
    return MessageBoxA(owner, text, caption, style);
  }

  void text_out(void* device_context, int32_t x, int32_t y, const char* text,
                int32_t length) override {
    if (device_context != nullptr) TextOutA(static_cast<HDC>(device_context), x, y, text, length);
  }

  void beep(uint32_t type) override { MessageBeep(type); }
};

}  // namespace

Env* default_env() {
  static Win32Env instance;
  return &instance;
}

}  // namespace osp::platform

#endif  // _WIN32
