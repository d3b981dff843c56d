// Arbitrary views and templates through both print formats: the first 218
// bytes become the contact's view (terminators or not), the next 8 its record
// number and count, the rest the template. Neither format may crash, hang or
// write past the room its template can need, and each line must end within it.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "osprey32.h"
#include "print/print_format.h"

namespace {

constexpr size_t kGuard = 16;

void expand(int32_t (*format)(LogHandle*, char*, const char*), LogHandle* log,
            const std::string& template_text) {
  const size_t room = osp::print::expansion_limit(template_text.size());
  std::vector<char> out(room + kGuard, '#');
  const int32_t result = format(log, out.data(), template_text.c_str());
  if (result != 0 && result != 1) std::abort();
  if (std::memchr(out.data(), '\0', room) == nullptr) std::abort();
  for (size_t i = room; i < out.size(); ++i) {
    if (out[i] != '#') std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static LogHandle log{};
  constexpr size_t kView = sizeof(ContactView);
  std::memset(&log.view, ' ', kView);
  std::memcpy(&log.view, data, std::min(size, kView));
  size_t used = std::min(size, kView);
  int32_t numbers[2] = {0, 0};
  const size_t number_bytes = std::min(size - used, sizeof numbers);
  std::memcpy(numbers, data + used, number_bytes);
  used += number_bytes;
  log.dbs.handle.current_recno = numbers[0];
  log.dbs.handle.record_count = numbers[1];
  // The template stops at its first NUL, as a caller's string would.
  const std::string template_text(reinterpret_cast<const char*>(data + used), size - used);
  const std::string text = template_text.substr(0, std::strlen(template_text.c_str()));
  expand(&PrintDataFmt, &log, text);
  expand(&PrintQslFmt, &log, text);
  return 0;
}
