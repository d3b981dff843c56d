// A platform that hands every call to another: the base of the test
// platforms, which override only the calls they change.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/env.h"

namespace osp::test {

class ForwardingEnv : public platform::Env {
 public:
  explicit ForwardingEnv(platform::Env* base) : base_(base) {}

  platform::Handle open_existing(const char* path, unsigned access, unsigned share) override {
    return base_->open_existing(path, access, share);
  }
  platform::Handle create_always(const char* path) override { return base_->create_always(path); }
  platform::Handle create_new(const char* path) override { return base_->create_new(path); }
  int32_t read(platform::Handle h, void* buffer, int32_t count) override {
    return base_->read(h, buffer, count);
  }
  int32_t write(platform::Handle h, const void* buffer, int32_t count) override {
    return base_->write(h, buffer, count);
  }
  int64_t seek(platform::Handle h, int64_t offset) override { return base_->seek(h, offset); }
  bool set_end(platform::Handle h) override { return base_->set_end(h); }
  bool flush(platform::Handle h) override { return base_->flush(h); }
  bool close(platform::Handle h) override { return base_->close(h); }
  int64_t size(platform::Handle h) override { return base_->size(h); }
  uint32_t file_time_number(platform::Handle h) override { return base_->file_time_number(h); }
  bool remove(const char* path) override { return base_->remove(path); }
  bool rename(const char* from, const char* to) override { return base_->rename(from, to); }
  bool sync_folder(const char* path) override { return base_->sync_folder(path); }
  bool copy(const char* from, const char* to, bool fail_if_exists) override {
    return base_->copy(from, to, fail_if_exists);
  }
  bool exists(const char* path) override { return base_->exists(path); }
  int32_t profile_int(const char* section, const char* key, int32_t default_value,
                      const char* file) override {
    return base_->profile_int(section, key, default_value, file);
  }
  bool profile_write_string(const char* section, const char* key, const char* value,
                            const char* file) override {
    return base_->profile_write_string(section, key, value, file);
  }
  void local_time(OspLocalTime* now) override { base_->local_time(now); }
  int32_t message_box(int32_t use_active, const char* text, const char* caption,
                      uint32_t style) override {
    return base_->message_box(use_active, text, caption, style);
  }
  void text_out(void* dc, int32_t x, int32_t y, const char* text, int32_t length) override {
    base_->text_out(dc, x, y, text, length);
  }
  void beep(uint32_t type) override { base_->beep(type); }
  void* allocate(std::size_t bytes) override { return base_->allocate(bytes); }
  void release(void* p) override { base_->release(p); }

 protected:
  platform::Env* base_;
};

}  // namespace osp::test
