// A platform that wraps another and makes chosen calls fail or come out
// short, so that every failure path of the file layer's callers can be
// reached in a test.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "platform/env.h"
#include "support/forwarding_env.h"

namespace osp::test {

enum class Op { kOpen, kCreate, kRead, kWrite, kSeek, kTruncate, kFlush, kClose, kRemove,
                kRename, kCopy, kProfileWrite, kAllocate, kCount };

enum class Fault {
  kFail,   // the call fails (-1, kNoFile or false)
  kShort,  // reads and writes move fewer bytes than asked (others fail)
};

class FaultEnv final : public ForwardingEnv {
 public:
  explicit FaultEnv(platform::Env* base = platform::default_env());

  // The nth call of op from now on (1-based) gets the fault; later calls
  // succeed again unless sticky, when every call from the nth on gets it.
  void fail(Op op, int nth, Fault fault = Fault::kFail, bool sticky = false);
  // Calls of op made so far.
  int calls(Op op) const { return counts_[static_cast<std::size_t>(op)]; }
  // Faults that actually struck.
  int faults() const { return struck_; }
  void clear();

  // Every allocation of more than max_bytes fails (SIZE_MAX: no limit).
  void limit_allocation(std::size_t max_bytes) { allocation_limit_ = max_bytes; }
  // Bytes allocated through this Env and not yet released, and the most
  // there ever were at once.
  std::size_t live_bytes() const { return live_bytes_; }
  std::size_t peak_bytes() const { return peak_bytes_; }
  // Files opened or created through this Env and not yet closed through it:
  // what the library holds, whatever else the process has open.
  std::size_t open_files() const { return files_.size(); }

  platform::Handle open_existing(const char* path, unsigned access, unsigned share) override;
  platform::Handle create_always(const char* path) override;
  platform::Handle create_new(const char* path) override;
  int32_t read(platform::Handle h, void* buffer, int32_t count) override;
  int32_t write(platform::Handle h, const void* buffer, int32_t count) override;
  int64_t seek(platform::Handle h, int64_t offset) override;
  bool set_end(platform::Handle h) override;
  bool flush(platform::Handle h) override;
  bool close(platform::Handle h) override;
  bool remove(const char* path) override;
  bool rename(const char* from, const char* to) override;
  bool copy(const char* from, const char* to, bool fail_if_exists) override;
  bool profile_write_string(const char* section, const char* key, const char* value,
                            const char* file) override;
  void* allocate(std::size_t count) override;
  void release(void* p) override;

 private:
  struct Plan {
    int nth = 0;  // 0: no fault planned
    Fault fault = Fault::kFail;
    bool sticky = false;
  };
  // Counts the call and says which fault, if any, strikes it.
  bool strikes(Op op, Fault* fault);
  // Notes a handle the base Env handed out.
  platform::Handle opened(platform::Handle h);

  std::array<int, static_cast<std::size_t>(Op::kCount)> counts_{};
  std::array<Plan, static_cast<std::size_t>(Op::kCount)> plans_{};
  int struck_ = 0;
  std::size_t allocation_limit_ = SIZE_MAX;
  std::size_t live_bytes_ = 0;
  std::size_t peak_bytes_ = 0;
  std::unordered_map<void*, std::size_t> blocks_;  // what this Env handed out
  std::unordered_set<platform::Handle> files_;       // the handles it opened
};

// Installs an Env for the lifetime of the scope.
class ScopedEnv {
 public:
  explicit ScopedEnv(platform::Env* e) { platform::set_env(e); }
  ~ScopedEnv() { platform::set_env(nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
};

}  // namespace osp::test
