#include "support/fault_env.h"

namespace osp::test {

FaultEnv::FaultEnv(platform::Env* base) : ForwardingEnv(base) {}

void FaultEnv::fail(Op op, int nth, Fault fault, bool sticky) {
  const auto i = static_cast<std::size_t>(op);
  plans_[i] = Plan{counts_[i] + nth, fault, sticky};
}

void FaultEnv::clear() {
  plans_ = {};
  counts_ = {};
  struck_ = 0;
  allocation_limit_ = SIZE_MAX;
}

bool FaultEnv::strikes(Op op, Fault* fault) {
  const auto i = static_cast<std::size_t>(op);
  const int n = ++counts_[i];
  const Plan& p = plans_[i];
  if (p.nth == 0 || n < p.nth || (n > p.nth && !p.sticky)) return false;
  *fault = p.fault;
  ++struck_;
  return true;
}

platform::Handle FaultEnv::opened(platform::Handle h) {
  if (platform::is_open(h)) files_.insert(h);
  return h;
}

platform::Handle FaultEnv::open_existing(const char* path, unsigned access, unsigned share) {
  Fault f;
  if (strikes(Op::kOpen, &f)) return platform::kNoFile;
  return opened(base_->open_existing(path, access, share));
}

platform::Handle FaultEnv::create_always(const char* path) {
  Fault f;
  if (strikes(Op::kCreate, &f)) return platform::kNoFile;
  return opened(base_->create_always(path));
}

platform::Handle FaultEnv::create_new(const char* path) {
  Fault f;
  if (strikes(Op::kCreate, &f)) return platform::kNoFile;
  return opened(base_->create_new(path));
}

int32_t FaultEnv::read(platform::Handle h, void* buffer, int32_t count) {
  Fault f;
  if (strikes(Op::kRead, &f)) {
    if (f == Fault::kFail || count <= 0) return -1;
    return base_->read(h, buffer, count / 2);
  }
  return base_->read(h, buffer, count);
}

int32_t FaultEnv::write(platform::Handle h, const void* buffer, int32_t count) {
  Fault f;
  if (strikes(Op::kWrite, &f)) {
    if (f == Fault::kFail || count <= 0) return -1;
    return base_->write(h, buffer, count / 2);
  }
  return base_->write(h, buffer, count);
}

int64_t FaultEnv::seek(platform::Handle h, int64_t offset) {
  Fault f;
  if (strikes(Op::kSeek, &f)) return -1;
  return base_->seek(h, offset);
}

bool FaultEnv::set_end(platform::Handle h) {
  Fault f;
  if (strikes(Op::kTruncate, &f)) return false;
  return base_->set_end(h);
}

bool FaultEnv::flush(platform::Handle h) {
  Fault f;
  if (strikes(Op::kFlush, &f)) return false;
  return base_->flush(h);
}

bool FaultEnv::close(platform::Handle h) {
  // Forgotten even when the close is made to fail (the handle goes either
  // way); a file opened before this Env was installed is closed all the same.
  files_.erase(h);
  Fault f;
  if (strikes(Op::kClose, &f)) {
    base_->close(h);  // the handle is gone either way; only the result lies
    return false;
  }
  return base_->close(h);
}

bool FaultEnv::remove(const char* path) {
  Fault f;
  if (strikes(Op::kRemove, &f)) return false;
  return base_->remove(path);
}

bool FaultEnv::rename(const char* from, const char* to) {
  Fault f;
  if (strikes(Op::kRename, &f)) return false;
  return base_->rename(from, to);
}

bool FaultEnv::copy(const char* from, const char* to, bool fail_if_exists) {
  Fault f;
  if (strikes(Op::kCopy, &f)) return false;
  return base_->copy(from, to, fail_if_exists);
}

bool FaultEnv::profile_write_string(const char* section, const char* key, const char* value,
                                    const char* file) {
  Fault f;
  if (strikes(Op::kProfileWrite, &f)) return false;
  return base_->profile_write_string(section, key, value, file);
}

void* FaultEnv::allocate(std::size_t count) {
  Fault f;
  if (strikes(Op::kAllocate, &f) || count > allocation_limit_) return nullptr;
  void* p = base_->allocate(count);
  if (p != nullptr) {
    blocks_[p] = count;
    live_bytes_ += count;
    if (live_bytes_ > peak_bytes_) peak_bytes_ = live_bytes_;
  }
  return p;
}

void FaultEnv::release(void* p) {
  // A block allocated before this Env was installed is released all the same.
  const auto it = blocks_.find(p);
  if (it != blocks_.end()) {
    live_bytes_ -= it->second;
    blocks_.erase(it);
  }
  base_->release(p);
}

}  // namespace osp::test
