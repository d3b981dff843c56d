// A platform that keeps, for every file of one folder, what the disk would
// hold should the power go: the file as it was at its last sync (the
// platform's flush, or a profile write, which syncs), or nothing for a file
// never synced. A rename reaches the disk with the next sync of its folder.
// restore() then puts the folder in that state, dropping every
// write that was not synced, so that a test can reopen a log as it would be
// found after the power came back. Since the system may also have written a
// file back on its own before the power went, restore can keep chosen files
// as they stood at that moment, unsynced writes included.
#pragma once

#include <map>
#include <utility>
#include <string>
#include <vector>

#include "platform/env.h"
#include "support/forwarding_env.h"

namespace osp::test {

class PowerLossEnv final : public ForwardingEnv {
 public:
  // Takes every file now in folder as synced.
  explicit PowerLossEnv(std::string folder, platform::Env* base = platform::default_env());

  // Sync points passed so far.
  int syncs() const { return syncs_; }
  // The power goes right after sync point n (1-based; 0 before the first):
  // syncs after it no longer reach the disk.
  void lose_power_after(int n) { last_kept_ = n; }
  // Puts every file of the folder back to its content at its last kept sync
  // and deletes files that were never synced; files whose names end with
  // one of written_back instead keep what they held when the power went.
  // Files must be closed first.
  void restore(const std::vector<std::string>& written_back = {});

  platform::Handle open_existing(const char* path, unsigned access, unsigned share) override {
    return track(base_->open_existing(path, access, share), path);
  }
  platform::Handle create_always(const char* path) override {
    return track(base_->create_always(path), path);
  }
  platform::Handle create_new(const char* path) override {
    return track(base_->create_new(path), path);
  }
  bool flush(platform::Handle h) override;
  bool close(platform::Handle h) override {
    paths_.erase(h);
    return base_->close(h);
  }
  bool profile_write_string(const char* section, const char* key, const char* value,
                            const char* file) override;
  bool rename(const char* from, const char* to) override;
  bool sync_folder(const char* path) override;

 private:
  platform::Handle track(platform::Handle h, const char* path);
  // Counts a sync point; true when it still reaches the disk. The first
  // sync that does not takes the picture of the moment the power went.
  bool kept_sync();
  void keep(const std::string& path);
  std::map<std::string, std::vector<char>> picture() const;

  std::string folder_;
  int syncs_ = 0;
  int last_kept_ = 1 << 30;
  std::map<platform::Handle, std::string> paths_;
  std::map<std::string, std::vector<char>> synced_;  // by path
  std::map<std::string, std::vector<char>> moment_;  // when the power went
  bool moment_taken_ = false;
  std::vector<std::pair<std::string, std::string>> renames_;  // not yet synced
};

}  // namespace osp::test
