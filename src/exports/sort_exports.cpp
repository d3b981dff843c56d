// Exports of the whole-log orderings: the bureau order, and the date-and-time
// and master-code rewrites.
#include "osprey32.h"
#include "print/log_sorts.h"

extern "C" {

int32_t OSPAPI JARL_sort(LogHandle* log, void* entries, int32_t first, int32_t last,
                         const char* list1, const char* list2, const char* list3, int32_t mode) {
  return osp::print::jarl_sort(log, entries, first, last, list1, list2, list3, mode);
}
int32_t OSPAPI DateTimeSort(LogHandle* log) { return osp::print::date_time_sort(log); }
int32_t OSPAPI MasterSort(LogHandle* log) { return osp::print::master_sort(log); }

}  // extern "C"
