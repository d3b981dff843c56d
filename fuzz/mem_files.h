// The fuzz targets' files live in memory: one MemEnv, installed as the
// library's Env at the first input and emptied for each input, so that an
// input runs through the same code as on disk without a single system call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "osprey32.h"
#include "platform/env.h"
#include "platform/mem_env.h"

namespace osp::fuzz {

// The in-memory store, empty, installed as the Env in use.
inline platform::MemEnv& fresh_files() {
  static platform::MemEnv* const files = [] {
    auto* e = new platform::MemEnv;
    platform::set_env(e);
    return e;
  }();
  files->clear();
  return *files;
}

// Questions are answered No and messages are dropped, silently.
inline int32_t answer_no(void*, int32_t, const char*, const char*, uint32_t) { return 7; }

// The log targets' input: two bytes (little-endian) saying how many of the
// rest are the contact file base.dbs, the remainder the remarks file
// base.dbr. Installs the hooks, empties the store and puts both files in it.
// Returns the store, with the contact file's size in *dbs_size; null for an
// input too short to say.
inline platform::MemEnv* put_log_files(const std::string& base, const uint8_t* data,
                                       size_t size, size_t* dbs_size) {
  static const OspHooks hooks{&answer_no, nullptr, nullptr, nullptr, nullptr};
  OspSetHooks(&hooks);
  if (size < 2) return nullptr;
  size_t n = static_cast<size_t>(data[0]) | (static_cast<size_t>(data[1]) << 8);
  data += 2;
  size -= 2;
  if (n > size) n = size;
  platform::MemEnv& files = fresh_files();
  files.put(base + ".dbs", data, n);
  files.put(base + ".dbr", data + n, size - n);
  *dbs_size = n;
  return &files;
}

}  // namespace osp::fuzz
