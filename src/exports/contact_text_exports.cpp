// Exports of the text tests over contact fields: dates and prefix lists.
#include "contact/dates_prefixes.h"
#include "osprey32.h"

extern "C" {

int32_t OSPAPI DateComp(const char* first, const char* second) {
  return osp::contact::date_compare(first, second);
}
int32_t OSPAPI isExPrefix(const char* prefixes, const char* callsign) {
  return osp::contact::is_listed_prefix(prefixes, callsign);
}

}  // extern "C"
