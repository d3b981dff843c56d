// Exports of the print formats: a template expanded with the current contact
// of a log into the caller's line.
#include <cstring>

#include "osprey32.h"
#include "print/print_format.h"

namespace {

using Expand = bool (*)(const LogHandle&, const char*, osp::print::Line&);

// The caller's line has room for the whole expansion (the formats apply no
// limit of their own); it is taken to be as long as the longest expansion the
// template can have.
int32_t expand(Expand how, LogHandle* log, char* out, const char* template_text) {
  if (out == nullptr) return 0;
  if (log == nullptr || template_text == nullptr) {
    out[0] = '\0';
    return 0;
  }
  osp::print::Line line{out, osp::print::expansion_limit(std::strlen(template_text))};
  return how(*log, template_text, line) ? 1 : 0;
}

}  // namespace

extern "C" {

int32_t OSPAPI PrintDataFmt(LogHandle* log, char* out, const char* template_text) {
  return expand(&osp::print::expand_data_template, log, out, template_text);
}
int32_t OSPAPI PrintQslFmt(LogHandle* log, char* out, const char* template_text) {
  return expand(&osp::print::expand_qsl_template, log, out, template_text);
}

}  // extern "C"
