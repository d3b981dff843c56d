// The exports of the contact data and checks, in the order of the public
// header.

#include "contact/bands.h"
#include "contact/dates_prefixes.h"
#include "contact/qsl_marks.h"
#include "contact/sequential_pass.h"
#include "contact/worked_confirmed.h"
#include "osprey32.h"

// Exports of the contact services: the sequential pass, the QSL marks,
// decimal text, bands and the worked/confirmed tables.

extern "C" {

int32_t OSPAPI DBS_Xread(LogHandle* log) { return osp::contact::read_next_contact(log); }
int32_t OSPAPI QSL_Send(LogHandle* log, int32_t recno, int32_t mark) {
  return osp::contact::write_sent_mark(log, recno, mark);
}
int32_t OSPAPI QSL_Rcv(LogHandle* log, int32_t recno, int32_t mark) {
  return osp::contact::write_received_mark(log, recno, mark);
}
int32_t OSPAPI StrToLong(const char* text) { return osp::contact::decimal_value(text); }
int32_t OSPAPI FreqPCheck(const char* frequency) {
  return osp::contact::frequency_band(frequency);
}
void OSPAPI Wget_bit(char* out, const uint8_t* master_data) {
  osp::contact::band_string(master_data, out);
}
void OSPAPI Wput_bit(LogHandle* log, const char* bands) {
  osp::contact::set_band_masks(log, bands);
}
int32_t OSPAPI WkdCfmCheck(void* device_context, LogHandle* log, int32_t* recno,
                           const char* excluded_routes, int32_t not_received) {
  return osp::contact::worked_confirmed_walk(device_context, log, recno, excluded_routes,
                                             not_received);
}
int32_t OSPAPI OSP_award_recompute(void* device_context, LogHandle* log,
                                   const char* excluded_routes, int32_t not_received) {
  return osp::contact::worked_confirmed_recompute(device_context, log, excluded_routes,
                                                  not_received);
}

}  // extern "C"

// Exports of the text tests over contact fields: dates and prefix lists.

extern "C" {

int32_t OSPAPI DateComp(const char* first, const char* second) {
  return osp::contact::date_compare(first, second);
}
int32_t OSPAPI isExPrefix(const char* prefixes, const char* callsign) {
  return osp::contact::is_listed_prefix(prefixes, callsign);
}

}  // extern "C"
