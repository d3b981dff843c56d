#include "log/log_state.h"

#include <new>

#include "platform/env.h"

namespace osp::log {

namespace {

// The records of the open logs, most recent first. A handful of logs are
// open at a time, so a list is all the lookup needs.
LogState* g_states = nullptr;

void release_run(HeldRun* run) {
  platform::Env* env = platform::env();
  env->release(run->records);
  env->release(run->blocks);
  *run = HeldRun{};
}

void release(LogState* s) {
  release_writes(s);
  release_run(&s->run);
  release_pass(s->pass);
  delete s;
}

}  // namespace

void release_pass(SequentialPass* pass) {
  if (pass == nullptr) return;
  platform::Env* env = platform::env();
  env->release(pass->batch);
  env->release(pass->window);
  pass->~SequentialPass();
  env->release(pass);
}

LogState* first_state() { return g_states; }

LogState* state_of(const LogHandle* log) {
  for (LogState* s = g_states; s != nullptr; s = s->next)
    if (s->log == log) return s;
  return nullptr;
}

LogState* attach_state(LogHandle* log) {
  detach_state(log);
  // A small record of the library's own, apart from the buffers that the
  // Env hands out (and that tests make fail).
  auto* s = new (std::nothrow) LogState;
  if (s == nullptr) return nullptr;
  s->log = log;
  s->next = g_states;
  g_states = s;
  return s;
}

LogState* state_for(LogHandle* log) {
  LogState* s = state_of(log);
  return s != nullptr ? s : attach_state(log);
}

void detach_state(LogHandle* log) {
  for (LogState** link = &g_states; *link != nullptr; link = &(*link)->next) {
    if ((*link)->log == log) {
      LogState* s = *link;
      *link = s->next;
      release(s);
      return;
    }
  }
}

}  // namespace osp::log
