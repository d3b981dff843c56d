#include "contact/pass_state.h"

#include <new>

#include "platform/env.h"

namespace osp::contact {

PassState* find_pass(const LogHandle* log) {
  const log::LogState* state = log::state_of(log);
  return state == nullptr ? nullptr : state->pass;
}

PassState* start_pass(LogHandle* log, int64_t window_length) {
  log::LogState* state = log::state_for(log);
  if (state == nullptr) return nullptr;
  platform::Env* env = platform::env();
  void* memory = env->allocate(sizeof(PassState));
  if (memory == nullptr) return nullptr;
  auto* p = new (memory) PassState;
  p->batch = static_cast<uint8_t*>(
      env->allocate(static_cast<size_t>(kBatchRecords + kBatchSlack) * kBatchRecordSize));
  const uint64_t window_bytes = static_cast<uint64_t>(window_length) + kWindowSlack;
  if (p->batch != nullptr && window_length >= 0 && window_bytes <= SIZE_MAX)
    p->window = static_cast<uint8_t*>(env->allocate(static_cast<size_t>(window_bytes)));
  if (p->batch == nullptr || p->window == nullptr) {
    log::release_pass(p);
    return nullptr;
  }
  p->window_length = window_length;
  log::release_pass(state->pass);
  state->pass = p;
  return p;
}

void end_pass(LogHandle* log) {
  log::LogState* state = log::state_of(log);
  if (state == nullptr) return;
  log::release_pass(state->pass);
  state->pass = nullptr;
}

int32_t active_pass_count() {
  int32_t n = 0;
  for (const log::LogState* s = log::first_state(); s != nullptr; s = s->next)
    n += s->pass != nullptr ? 1 : 0;
  return n;
}

}  // namespace osp::contact
