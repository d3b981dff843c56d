// Arbitrary text as a profile file: looking keys up, setting them and reading
// integers must neither crash nor hang, and a key that was set must read back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  std::string value;
  for (const char* key : {"MST", "dbs", "DX0", "dx4"}) {
    if (osp::platform::profile_lookup(content, "FileTime", key, &value))
      osp::platform::profile_parse_int(value);
  }
  osp::platform::profile_parse_int(content);
  const std::string updated = osp::platform::profile_set(content, "FileTime", "DBS", "123");
  if (!osp::platform::profile_lookup(updated, "filetime", "dbs", &value) || value != "123") {
    // A value just written must be the one read back, whatever else the file held.
    std::abort();
  }
  return 0;
}
