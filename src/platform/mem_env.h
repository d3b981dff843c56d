// An Env whose files live in memory: no disk, no descriptors, no clock. Fuzz
// targets and tests run whole logs through it many thousand times a second.
// Share modes, create-always and create-new behave as on disk; profile files
// are kept as files of the same store. The time is fixed (2026-03-07
// 12:00:00) and every file's time number is the one of its last write, in
// seconds counted by writes, so that a changed file's time moves.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/env.h"

namespace osp::platform {

class MemEnv final : public Env {
 public:
  MemEnv() = default;

  // Puts a file with the given bytes in place of any file of that name.
  void put(const std::string& path, const uint8_t* data, size_t size);
  // The bytes of a file; empty when there is none.
  std::vector<uint8_t> contents(const std::string& path) const;
  // Forgets every file and closes every handle.
  void clear();
  // Handles still open.
  size_t open_handles() const { return open_.size(); }

  Handle open_existing(const char* path, unsigned access, unsigned share) override;
  Handle create_always(const char* path) override;
  Handle create_new(const char* path) override;
  int32_t read(Handle h, void* buffer, int32_t count) override;
  int32_t read_at(Handle h, int64_t offset, void* buffer, int32_t count) override;
  int32_t write(Handle h, const void* buffer, int32_t count) override;
  int64_t seek(Handle h, int64_t offset) override;
  bool set_end(Handle h) override;
  bool flush(Handle h) override;
  bool close(Handle h) override;
  int64_t size(Handle h) override;
  uint32_t file_time_number(Handle h) override;
  bool remove(const char* path) override;
  bool rename(const char* from, const char* to) override;
  bool copy(const char* from, const char* to, bool fail_if_exists) override;
  bool exists(const char* path) override;
  int32_t profile_int(const char* section, const char* key, int32_t default_value,
                      const char* file) override;
  bool profile_write_string(const char* section, const char* key, const char* value,
                            const char* file) override;
  void local_time(OspLocalTime* now) override;
  // Questions are answered No, other boxes OK; nothing is shown.
  int32_t message_box(int32_t use_active, const char* text, const char* caption,
                      uint32_t style) override;
  void text_out(void*, int32_t, int32_t, const char*, int32_t) override {}
  void beep(uint32_t) override {}

 private:
  struct File {
    std::vector<uint8_t> bytes;
    uint32_t time = 0;
  };
  struct Open {
    std::shared_ptr<File> file;
    int64_t position = 0;
    unsigned share = kShareNone;
    bool writable = false;
  };

  // The open handle h, or null.
  Open* find(Handle h);
  // True when an opener with share may join those holding file.
  bool may_join(const std::shared_ptr<File>& file, unsigned share) const;
  Handle add_handle(std::shared_ptr<File> file, unsigned share, bool writable);
  // The stored name of a profile file: an existing one whose name matches
  // without regard to case, else the name as given.
  std::string profile_name(const char* file) const;
  void touch(File* f) { f->time = ++clock_; }

  std::map<std::string, std::shared_ptr<File>> files_;
  std::map<Handle, Open> open_;
  Handle next_handle_ = 3;
  uint32_t clock_ = 0;
};

}  // namespace osp::platform
