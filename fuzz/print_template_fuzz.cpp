// Arbitrary views and templates through both print formats: the first 218
// bytes become the contact's view (terminators or not), the next 8 its record
// number and count, the rest the template. Neither format may crash, hang or
// write past the room its template can need, and each line must end within it
// (also when given more room, so that no line is cut short to fit).
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "osprey32.h"
#include "print/print_format.h"

namespace {

constexpr size_t kGuard = 16;

void expand(int32_t (*format)(LogHandle*, char*, const char*),
            bool (*expand_in)(const LogHandle&, const char*, osp::print::Line&), LogHandle* log,
            const std::string& template_text) {
  const size_t room = osp::print::expansion_limit(template_text.size());
  // With twice the room, the line must still end within the room the
  // template was promised: the bound holds and nothing was cut.
  std::vector<char> wide(2 * room, '#');
  osp::print::Line line{wide.data(), wide.size()};
  expand_in(*log, template_text.c_str(), line);
  if (line.position >= room || wide[line.position] != '\0') std::abort();

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
  expand(&PrintDataFmt, &osp::print::expand_data_template, &log, text);
  expand(&PrintQslFmt, &osp::print::expand_qsl_template, &log, text);
  return 0;
}
