#include "platform/mem_env.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/dos_time.h"
#include "platform/profile_file.h"

namespace osp::platform {

namespace {

// Files beyond this size are refused, as a full disk would refuse them: a
// write far past the end must not take the process's memory.
constexpr int64_t kLargestFile = int64_t{1} << 28;

bool same_ignoring_case(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

void MemEnv::put(const std::string& path, const uint8_t* data, size_t size) {
  auto f = std::make_shared<File>();
  f->bytes.assign(data, data + size);
  touch(f.get());
  files_[path] = std::move(f);
}

std::vector<uint8_t> MemEnv::contents(const std::string& path) const {
  const auto it = files_.find(path);
  return it == files_.end() ? std::vector<uint8_t>{} : it->second->bytes;
}

void MemEnv::clear() {
  files_.clear();
  open_.clear();
}

MemEnv::Open* MemEnv::find(Handle h) {
  const auto it = open_.find(h);
  return it == open_.end() ? nullptr : &it->second;
}

bool MemEnv::may_join(const std::shared_ptr<File>& file, unsigned share) const {
  for (const auto& [handle, o] : open_) {
    if (o.file != file) continue;
    if ((share & kShareRead) == 0 || (o.share & kShareRead) == 0) return false;
  }
  return true;
}

Handle MemEnv::add_handle(std::shared_ptr<File> file, unsigned share, bool writable) {
  const Handle h = next_handle_++;
  if (next_handle_ <= 0) next_handle_ = 3;
  open_[h] = Open{std::move(file), 0, share, writable};
  return h;
}

Handle MemEnv::open_existing(const char* path, unsigned access, unsigned share) {
  if (path == nullptr) return kNoFile;
  const auto it = files_.find(path);
  if (it == files_.end() || !may_join(it->second, share)) return kNoFile;
  return add_handle(it->second, share, (access & kWrite) != 0);
}

Handle MemEnv::create_always(const char* path) {
  if (path == nullptr || *path == '\0') return kNoFile;
  auto& slot = files_[path];
  if (slot == nullptr) {
    slot = std::make_shared<File>();
  } else {
    if (!may_join(slot, kShareNone)) return kNoFile;
    slot->bytes.clear();
  }
  touch(slot.get());
  return add_handle(slot, kShareNone, true);
}

Handle MemEnv::create_new(const char* path) {
  if (path == nullptr || *path == '\0' || files_.count(path) != 0) return kNoFile;
  return create_always(path);
}

int32_t MemEnv::read(Handle h, void* buffer, int32_t count) {
  Open* o = find(h);
  if (o == nullptr) return -1;
  const int32_t n = read_at(h, o->position, buffer, count);
  if (n > 0) o->position += n;
  return n;
}

int32_t MemEnv::read_at(Handle h, int64_t offset, void* buffer, int32_t count) {
  Open* o = find(h);
  if (o == nullptr || count < 0 || offset < 0) return -1;
  const auto size = static_cast<int64_t>(o->file->bytes.size());
  if (offset >= size) return 0;
  const int64_t n = std::min<int64_t>(count, size - offset);
  if (n == 0) return 0;
  std::memcpy(buffer, o->file->bytes.data() + offset, static_cast<size_t>(n));
  return static_cast<int32_t>(n);
}

int32_t MemEnv::write(Handle h, const void* buffer, int32_t count) {
  Open* o = find(h);
  if (o == nullptr || !o->writable || count < 0) return -1;
  if (count == 0) return 0;
  const int64_t end = o->position + count;
  if (end > kLargestFile) return -1;
  std::vector<uint8_t>& bytes = o->file->bytes;
  if (end > static_cast<int64_t>(bytes.size())) bytes.resize(static_cast<size_t>(end));
  std::memcpy(bytes.data() + o->position, buffer, static_cast<size_t>(count));
  o->position = end;
  touch(o->file.get());
  return count;
}

int64_t MemEnv::seek(Handle h, int64_t offset) {
  Open* o = find(h);
  if (o == nullptr || offset < 0) return -1;
  o->position = offset;
  return offset;
}

bool MemEnv::set_end(Handle h) {
  Open* o = find(h);
  if (o == nullptr || !o->writable || o->position > kLargestFile) return false;
  o->file->bytes.resize(static_cast<size_t>(o->position));
  touch(o->file.get());
  return true;
}

bool MemEnv::flush(Handle h) { return find(h) != nullptr; }

bool MemEnv::close(Handle h) { return open_.erase(h) == 1; }

int64_t MemEnv::size(Handle h) {
  Open* o = find(h);
  return o == nullptr ? -1 : static_cast<int64_t>(o->file->bytes.size());
}

uint32_t MemEnv::file_time_number(Handle h) {
  Open* o = find(h);
  if (o == nullptr) return 0;
  // The fixed day, at a second of the day that each write moves on.
  const uint32_t second = o->file->time % 86400;
  return pack_dos_time(2026, 3, 7, static_cast<int>(second / 3600),
                       static_cast<int>(second / 60 % 60), static_cast<int>(second % 60));
}

bool MemEnv::remove(const char* path) {
  if (path == nullptr) return false;
  const auto it = files_.find(path);
  if (it == files_.end() || !may_join(it->second, kShareNone)) return false;
  files_.erase(it);
  return true;
}

bool MemEnv::rename(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) return false;
  const auto it = files_.find(from);
  if (it == files_.end()) return false;
  const auto target = files_.find(to);
  if (target != files_.end() && target->second != it->second &&
      !may_join(target->second, kShareNone))
    return false;
  std::shared_ptr<File> f = it->second;
  files_.erase(it);
  files_[to] = std::move(f);
  return true;
}

bool MemEnv::copy(const char* from, const char* to, bool fail_if_exists) {
  if (from == nullptr || to == nullptr) return false;
  const auto it = files_.find(from);
  if (it == files_.end() || !may_join(it->second, kShareRead)) return false;
  if (fail_if_exists && files_.count(to) != 0) return false;
  const std::vector<uint8_t> bytes = it->second->bytes;
  const Handle h = create_always(to);
  if (h == kNoFile) return false;
  const bool ok = write(h, bytes.data(), static_cast<int32_t>(bytes.size())) ==
                  static_cast<int32_t>(bytes.size());
  close(h);
  return ok;
}

bool MemEnv::exists(const char* path) { return path != nullptr && files_.count(path) != 0; }

std::string MemEnv::profile_name(const char* file) const {
  for (const auto& [name, f] : files_)
    if (same_ignoring_case(name, file)) return name;
  return file;
}

int32_t MemEnv::profile_int(const char* section, const char* key, int32_t default_value,
                            const char* file) {
  if (section == nullptr || key == nullptr || file == nullptr) return default_value;
  const std::vector<uint8_t> bytes = contents(profile_name(file));
  std::string value;
  if (!profile_lookup(std::string(bytes.begin(), bytes.end()), section, key, &value) ||
      value.empty())
    return default_value;
  return profile_parse_int(value);
}

bool MemEnv::profile_write_string(const char* section, const char* key, const char* value,
                                  const char* file) {
  if (section == nullptr || key == nullptr || value == nullptr || file == nullptr) return false;
  const std::string name = profile_name(file);
  const std::vector<uint8_t> old = contents(name);
  const std::string content =
      profile_set(std::string(old.begin(), old.end()), section, key, value);
  put(name, reinterpret_cast<const uint8_t*>(content.data()), content.size());
  return true;
}

void MemEnv::local_time(OspLocalTime* now) {
  now->year = 2026;
  now->month = 3;
  now->day = 7;
  now->hour = 12;
  now->minute = 0;
  now->second = 0;
}

int32_t MemEnv::message_box(int32_t, const char*, const char*, uint32_t style) {
  const uint32_t type = style & kMbTypeMask;
  return type == kMbYesNo || type == kMbYesNoCancel ? kIdNo : kIdOk;
}

}  // namespace osp::platform
