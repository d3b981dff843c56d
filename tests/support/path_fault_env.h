// A platform that wraps another and refuses to open one chosen file from its
// nth open on, as if another program had taken it: for the failures that
// depend on which file an open names rather than on how many calls came
// before.
#pragma once

#include <string>

#include "platform/env.h"
#include "support/forwarding_env.h"

namespace osp::test {

class PathFaultEnv final : public ForwardingEnv {
 public:
  explicit PathFaultEnv(platform::Env* base = platform::default_env()) : ForwardingEnv(base) {}

  // Opens of path (open_existing, compared as given) fail from the nth on
  // (1-based, counted from now); nth 0 lifts the refusal.
  void refuse_open(const std::string& path, int nth = 1) {
    path_ = path;
    refuse_from_ = nth;
    opens_ = 0;
  }
  // Opens of the chosen path so far, refused ones included.
  int opens() const { return opens_; }

  platform::Handle open_existing(const char* path, unsigned access, unsigned share) override {
    if (refuse_from_ > 0 && path != nullptr && path_ == path && ++opens_ >= refuse_from_)
      return platform::kNoFile;
    return base_->open_existing(path, access, share);
  }

 private:
  std::string path_;
  int refuse_from_ = 0;
  int opens_ = 0;
};

}  // namespace osp::test
