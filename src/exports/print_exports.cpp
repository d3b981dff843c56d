// The exports of the sorts and print formats, in the order of the public
// header.

#include <cstring>

#include "osprey32.h"
#include "log/log_rewrites.h"
#include "print/bureau_sort.h"
#include "print/print_format.h"

// Exports of the whole-log orderings: the bureau order, and the date-and-time
// and master-code rewrites.

extern "C" {

int32_t OSPAPI JARL_sort(LogHandle* log, void* entries, int32_t first, int32_t last,
                         const char* list1, const char* list2, const char* list3, int32_t mode) {
  return osp::print::jarl_sort(log, entries, first, last, list1, list2, list3, mode);
}
int32_t OSPAPI DateTimeSort(LogHandle* log) { return osp::log::date_time_sort(log); }
int32_t OSPAPI MasterSort(LogHandle* log) { return osp::log::master_sort(log); }

}  // extern "C"

// Exports of the print formats: a template expanded with the current contact
// of a log into the caller's line.


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
