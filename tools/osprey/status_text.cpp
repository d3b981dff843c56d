#include "status_text.h"

#include <cstdio>

#include "commands/commands.h"

namespace osprey_tool {

const char* status_description(int32_t status) {
  switch (status) {
    case 0: return "success";
    case 2: return "the data file's structure is different";
    case 3: return "the index's structure is different";
    case 5: return "the file cannot be opened";
    case 6: return "memory cannot be allocated";
    case 7: return "index read error";
    case 8: return "index write error";
    case 10: return "record number greater than the record count";
    case 11: return "record number less than 1";
    case 12: return "the end of the order was reached";
    case 13: return "the start of the order was reached";
    case 15: return "the index must be rebuilt";
    case 21: return "data read error";
    case 22: return "data write error";
    case 23: return "index build error";
    case 25: return "a work file cannot be made";
    case 26: return "the key expression is invalid";
    case 29: return "invalid sort order, or a duplicate";
    default: return "some error has occurred";
  }
}

void fail_with_status(const std::string& context, int32_t status, const std::string& detail) {
  std::fprintf(stderr, "osprey: %s: status %d: %s%s%s%s\n", context.c_str(),
               static_cast<int>(status), status_description(status), detail.empty() ? "" : " (",
               detail.c_str(), detail.empty() ? "" : ")");
  set_exit_status(exit_code::kUnusable);
}

void fail_with_message(const std::string& context, const std::string& text, int exit_status) {
  std::fprintf(stderr, "osprey: %s: %s\n", context.c_str(), text.c_str());
  set_exit_status(exit_status);
}

}  // namespace osprey_tool
