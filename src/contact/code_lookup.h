// The master entry of an area code, looked up through the master file's
// code index (slot 2) and remembered for the rest of a walk: a walk changes
// no key, so the index gives the same answer for a code every time.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::contact {

class CodeLookup {
 public:
  explicit CodeLookup(IdxHandle* index) : index_(index) {}
  ~CodeLookup();
  CodeLookup(const CodeLookup&) = delete;
  CodeLookup& operator=(const CodeLookup&) = delete;

  // The record number of the first entry in key order whose key begins
  // with the 6 bytes of code (index::search over 6 bytes), 0 when there is
  // none. Codes already asked for are answered from memory; when memory
  // cannot be had or the table is full, every code goes to the index.
  int32_t find(const char* code);

 private:
  static constexpr uint32_t kSlots = 1u << 14;  // a power of two
  static constexpr uint32_t kMostUsed = kSlots / 4 * 3;
  struct Slot {
    char code[6];
    bool used;
    int32_t recno;
  };
  IdxHandle* index_;
  Slot* slots_ = nullptr;
  uint32_t used_ = 0;
  bool no_memory_ = false;
};

}  // namespace osp::contact
