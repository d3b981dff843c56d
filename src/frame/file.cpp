#include "frame/file.h"

namespace osp {

FileHandle file_open_existing(const char* path, unsigned access) {
  return platform::env()->open_existing(path, access, platform::kShareNone);
}

FileHandle file_create(const char* path) { return platform::env()->create_always(path); }

int32_t file_read(FileHandle h, void* buffer, int32_t count) {
  return platform::env()->read(h, buffer, count);
}

int32_t file_read_at(FileHandle h, int64_t offset, void* buffer, int32_t count) {
  if (offset < 0 || offset > kMaxFilePosition) return -1;
  return platform::env()->read_at(h, offset, buffer, count);
}

int32_t file_write(FileHandle h, const void* buffer, int32_t count) {
  return platform::env()->write(h, buffer, count);
}

int64_t file_seek(FileHandle h, int64_t offset) {
  if (offset < 0 || offset > kMaxFilePosition) return -1;
  return platform::env()->seek(h, offset);
}

int32_t file_truncate(FileHandle h, int64_t length) {
  if (file_seek(h, length) != length) return 0;
  return platform::env()->set_end(h) ? 1 : 0;
}

bool file_flush(FileHandle h) { return platform::env()->flush(h); }

bool file_close(FileHandle h) { return platform::env()->close(h); }

}  // namespace osp
