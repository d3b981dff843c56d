#include "frame/file.h"

#include <cstring>

namespace osp {

namespace {

// The read-ahead windows: a few files' worth, shared by the process (the
// library runs one call at a time). Static, so that reading never allocates.
constexpr int32_t kWindowBytes = 16384;
constexpr int kWindows = 4;
// How far past the end of the previous read a read may start and still count
// as going forward: a record's mark byte lies between two records' data. (A
// page of an index tree two pages on is not a step forward.)
constexpr int64_t kForwardGap = 64;

struct Window {
  platform::Env* env = nullptr;
  FileHandle file = kNoFile;
  int64_t last_start = 0;  // the previous read through this handle
  int64_t last_end = 0;
  int64_t start = 0;  // the bytes held
  int32_t length = 0;
  bool at_end = false;  // the bytes held run to the end of the file
  uint32_t used = 0;    // for replacing the least recently used window
  uint8_t* bytes = nullptr;
};

// The bytes live apart from the bookkeeping, so that forgetting a window
// (on every write) costs a few stores, not a clearing of its bytes.
uint8_t g_window_bytes[kWindows][kWindowBytes];
Window g_windows[kWindows];
uint32_t g_clock = 0;

void reset(Window* w) {
  uint8_t* const bytes = g_window_bytes[w - g_windows];
  *w = Window{};
  w->bytes = bytes;
}

Window* window_of(FileHandle h) {
  platform::Env* e = platform::env();
  for (Window& w : g_windows)
    if (w.file == h && w.env == e) return &w;
  return nullptr;
}

// Forgets whatever is held for handle h, under any Env: a handle number
// that is closed, or opened again, or written under one Env may be read
// under another that wraps it.
FileHandle forget_window(FileHandle h) {
  for (Window& w : g_windows)
    if (w.file == h) reset(&w);
  return h;
}

// Copies what the window holds of [offset, offset + count); -1 when it does
// not hold all of it (up to the end of the file).
int32_t from_window(const Window& w, int64_t offset, void* buffer, int32_t count) {
  const int64_t end = w.start + w.length;
  if (w.length == 0 || offset < w.start || offset > end) return -1;
  const int64_t available = end - offset;
  if (available < count && !w.at_end) return -1;
  const int32_t n = available < count ? static_cast<int32_t>(available) : count;
  std::memcpy(buffer, w.bytes + (offset - w.start), static_cast<size_t>(n));
  return n;
}

// The window for h: its own, or the least recently used one taken over.
Window* take_window(FileHandle h) {
  Window* w = window_of(h);
  if (w == nullptr) {
    w = &g_windows[0];
    for (Window& c : g_windows)
      if (c.file == kNoFile || c.used < w->used) w = &c;
    reset(w);
    w->env = platform::env();
    w->file = h;
  }
  w->used = ++g_clock;
  return w;
}

// The hold of a writer that gathers bytes for these files (hold_writes).
FileHandle g_held[2] = {kNoFile, kNoFile};
void* g_holder = nullptr;
WriteHeld g_write_held = nullptr;

// Has the holder write what it holds before anything else touches h.
FileHandle settle(FileHandle h) {
  if (g_write_held != nullptr && h != kNoFile && (h == g_held[0] || h == g_held[1])) {
    const WriteHeld write = g_write_held;
    void* const owner = g_holder;
    release_writes(owner);
    write(owner);
  }
  return h;
}

}  // namespace

void hold_writes(FileHandle first, FileHandle second, void* owner, WriteHeld write_held) {
  g_held[0] = first;
  g_held[1] = second;
  g_holder = owner;
  g_write_held = write_held;
}

void release_writes(const void* owner) {
  if (owner != g_holder) return;
  g_held[0] = g_held[1] = kNoFile;
  g_holder = nullptr;
  g_write_held = nullptr;
}

void file_settle(FileHandle h) { settle(h); }

int64_t file_size(FileHandle h) { return platform::env()->size(settle(h)); }

bool file_sync_data(FileHandle h) { return platform::env()->sync_data(settle(h)); }

FileHandle file_open_existing(const char* path, unsigned access) {
  return forget_window(platform::env()->open_existing(path, access, platform::kShareNone));
}

FileHandle file_create(const char* path) {
  return forget_window(platform::env()->create_always(path));
}

int32_t file_read(FileHandle h, void* buffer, int32_t count) {
  settle(h);
  return platform::env()->read(h, buffer, count);
}

int32_t file_read_at(FileHandle h, int64_t offset, void* buffer, int32_t count) {
  if (offset < 0 || offset > kMaxFilePosition || count < 0) return -1;
  settle(h);
  if (!platform::is_open(h)) return platform::env()->read_at(h, offset, buffer, count);
  Window* w = take_window(h);
  int32_t n = from_window(*w, offset, buffer, count);
  if (n < 0) {
    const bool forward = w->last_end > 0 && offset >= w->last_start &&
                         offset <= w->last_end + kForwardGap;
    if (forward && count < kWindowBytes) {
      w->length = 0;
      const int32_t got = platform::env()->read_at(h, offset, w->bytes, kWindowBytes);
      if (got < 0) return -1;
      w->start = offset;
      w->length = got;
      w->at_end = got < kWindowBytes;
      n = from_window(*w, offset, buffer, count);
    } else {
      n = platform::env()->read_at(h, offset, buffer, count);
      if (n < 0) return -1;
    }
  }
  w->last_start = offset;
  w->last_end = offset + n;
  return n;
}

int32_t file_write(FileHandle h, const void* buffer, int32_t count) {
  forget_window(settle(h));
  return platform::env()->write(h, buffer, count);
}

int32_t file_write_at(FileHandle h, int64_t offset, const void* buffer, int32_t count) {
  forget_window(settle(h));
  if (offset < 0 || count < 0 || offset + count > kMaxFilePosition + 1) return -1;
  return platform::env()->write_at(h, offset, buffer, count);
}

int64_t file_seek(FileHandle h, int64_t offset) {
  if (offset < 0 || offset > kMaxFilePosition) return -1;
  return platform::env()->seek(settle(h), offset);
}

int32_t file_truncate(FileHandle h, int64_t length) {
  forget_window(settle(h));
  if (file_seek(h, length) != length) return 0;
  return platform::env()->set_end(h) ? 1 : 0;
}

bool file_flush(FileHandle h) { return platform::env()->flush(settle(h)); }

bool file_close(FileHandle h) {
  forget_window(settle(h));
  return platform::env()->close(h);
}

}  // namespace osp
