#include "support/power_loss_env.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

namespace osp::test {

namespace fs = std::filesystem;

namespace {

std::vector<char> contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool is_profile(const fs::path& p) {
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return ext == ".fdt";
}

}  // namespace

PowerLossEnv::PowerLossEnv(std::string folder, platform::Env* base)
    : ForwardingEnv(base), folder_(std::move(folder)) {
  for (const auto& e : fs::directory_iterator(folder_))
    if (e.is_regular_file()) keep(e.path().string());
}

platform::Handle PowerLossEnv::track(platform::Handle h, const char* path) {
  if (h != platform::kNoFile && path != nullptr) paths_[h] = fs::absolute(path).string();
  return h;
}

bool PowerLossEnv::kept_sync() {
  if (syncs_ == last_kept_ && !moment_taken_) {
    moment_ = picture();
    moment_taken_ = true;
  }
  return ++syncs_ <= last_kept_;
}

std::map<std::string, std::vector<char>> PowerLossEnv::picture() const {
  std::map<std::string, std::vector<char>> files;
  for (const auto& e : fs::directory_iterator(folder_))
    if (e.is_regular_file()) files[fs::absolute(e.path()).string()] = contents(e.path().string());
  return files;
}

void PowerLossEnv::keep(const std::string& path) {
  synced_[fs::absolute(path).string()] = contents(path);
}

bool PowerLossEnv::flush(platform::Handle h) {
  const bool ok = base_->flush(h);
  const auto it = paths_.find(h);
  if (ok && kept_sync() && it != paths_.end()) keep(it->second);
  return ok;
}

bool PowerLossEnv::profile_write_string(const char* section, const char* key, const char* value,
                                        const char* file) {
  const bool ok = base_->profile_write_string(section, key, value, file);
  if (ok && kept_sync()) {
    for (const auto& e : fs::directory_iterator(folder_))
      if (e.is_regular_file() && is_profile(e.path())) keep(e.path().string());
  }
  return ok;
}

bool PowerLossEnv::rename(const char* from, const char* to) {
  const bool ok = base_->rename(from, to);
  if (ok) renames_.emplace_back(fs::absolute(from).string(), fs::absolute(to).string());
  return ok;
}

bool PowerLossEnv::sync_folder(const char* path) {
  const bool ok = base_->sync_folder(path);
  if (ok && kept_sync()) {
    for (const auto& [from, to] : renames_) {
      const auto it = synced_.find(from);
      if (it == synced_.end()) continue;
      synced_[to] = std::move(it->second);
      synced_.erase(from);
    }
    renames_.clear();
  }
  return ok;
}

void PowerLossEnv::restore(const std::vector<std::string>& written_back) {
  // The power went after the last sync point when no later one came.
  if (!moment_taken_) moment_ = picture();
  std::map<std::string, std::vector<char>> disk = synced_;
  for (const auto& [path, bytes] : moment_) {
    for (const std::string& end : written_back)
      if (path.size() >= end.size() && path.compare(path.size() - end.size(), end.size(), end) == 0)
        disk[path] = bytes;
  }
  for (const auto& e : fs::directory_iterator(folder_)) {
    const std::string path = fs::absolute(e.path()).string();
    if (e.is_regular_file() && disk.count(path) == 0) fs::remove(path);
  }
  for (const auto& [path, bytes] : disk) {
    // A file the lost writes did not change keeps its time as well.
    if (fs::exists(path) && contents(path) == bytes) continue;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
}

}  // namespace osp::test
