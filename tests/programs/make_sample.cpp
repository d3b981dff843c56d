// make_sample PATH: writes the sample contact file that the repository ships
// as samples/SAMPLE.dbs (see samples/README.md).
#include <cstdio>
#include <exception>

#include "support/sample_log.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PATH\n", argv[0]);
    return 2;
  }
  try {
    const int32_t status = osp::test::write_sample_contact_file(argv[1]);
    if (status != 0) {
      std::fprintf(stderr, "%s: cannot write %s: status %d\n", argv[0], argv[1],
                   static_cast<int>(status));
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}
