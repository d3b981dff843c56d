#include "contact/pass_state.h"

#include <new>

#include "log/close_hook.h"
#include "platform/env.h"

namespace osp::contact {

namespace {

// The passes under way, most recent first. The library runs on one thread
// at a time.
PassState* g_passes = nullptr;

void release(PassState* p) {
  platform::Env* env = platform::env();
  env->release(p->batch);
  env->release(p->window);
  p->~PassState();
  env->release(p);
}

}  // namespace

PassState* find_pass(const LogHandle* log) {
  for (PassState* p = g_passes; p != nullptr; p = p->next) {
    if (p->log == log) return p;
  }
  return nullptr;
}

PassState* start_pass(const LogHandle* log, int64_t window_length) {
  if (!log::add_close_hook(&end_pass)) return nullptr;
  platform::Env* env = platform::env();
  void* memory = env->allocate(sizeof(PassState));
  if (memory == nullptr) return nullptr;
  auto* p = new (memory) PassState;
  p->log = log;
  p->batch = static_cast<uint8_t*>(
      env->allocate(static_cast<size_t>(kBatchRecords + kBatchSlack) * kBatchRecordSize));
  const uint64_t window_bytes = static_cast<uint64_t>(window_length) + kWindowSlack;
  if (p->batch != nullptr && window_length >= 0 && window_bytes <= SIZE_MAX)
    p->window = static_cast<uint8_t*>(env->allocate(static_cast<size_t>(window_bytes)));
  if (p->batch == nullptr || p->window == nullptr) {
    release(p);
    return nullptr;
  }
  p->window_length = window_length;
  p->next = g_passes;
  g_passes = p;
  return p;
}

void end_pass(LogHandle* log) {
  for (PassState** link = &g_passes; *link != nullptr; link = &(*link)->next) {
    if ((*link)->log == log) {
      PassState* p = *link;
      *link = p->next;
      release(p);
      return;
    }
  }
}

int32_t active_pass_count() {
  int32_t n = 0;
  for (const PassState* p = g_passes; p != nullptr; p = p->next) ++n;
  return n;
}

}  // namespace osp::contact
