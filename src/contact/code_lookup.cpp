#include "contact/code_lookup.h"

#include <cstring>

#include "index/index_file.h"
#include "record/area_code.h"
#include "platform/env.h"

namespace osp::contact {

namespace {

uint32_t hash_of(const char* code) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (int i = 0; i < log::kAreaCodeLength; ++i)
    h = (h ^ static_cast<uint8_t>(code[i])) * 16777619u;
  return h;
}

}  // namespace

CodeLookup::~CodeLookup() { platform::env()->release(slots_); }

int32_t CodeLookup::find(const char* code) {
  if (slots_ == nullptr && !no_memory_) {
    slots_ = static_cast<Slot*>(platform::env()->allocate(sizeof(Slot) * kSlots));
    no_memory_ = slots_ == nullptr;
  }
  if (slots_ == nullptr) return index::search(index_, code, log::kAreaCodeLength);
  for (uint32_t i = hash_of(code) & (kSlots - 1);; i = (i + 1) & (kSlots - 1)) {
    Slot& s = slots_[i];
    if (s.used && std::memcmp(s.code, code, sizeof s.code) == 0) return s.recno;
    if (s.used) continue;
    const int32_t recno = index::search(index_, code, log::kAreaCodeLength);
    if (used_ < kMostUsed) {
      std::memcpy(s.code, code, sizeof s.code);
      s.recno = recno;
      s.used = true;
      ++used_;
    }
    return recno;
  }
}

}  // namespace osp::contact
