#include "record/view_codec.h"

#include <cstring>

#include "record/area_code.h"
#include "record/contact_record.h"
#include "record/field_codec.h"
#include "record/remark_block.h"

namespace osp::log {

namespace {

// Copies a stored text field into a view field and terminates it.
void text_out_of(const uint8_t* data, RecordField f, char* out) {
  std::memcpy(out, data + f.data(), static_cast<size_t>(f.width));
  out[f.width] = '\0';
}

// Copies a view text into a stored field: up to its NUL or the field's
// width; the rest of the field is left as it was.
void text_into(const char* text, RecordField f, uint8_t* data) {
  const size_t n = strnlen(text, static_cast<size_t>(f.width));
  std::memcpy(data + f.data(), text, n);
}

}  // namespace

void unpack_contact(const uint8_t* data, const uint8_t* remark_len, const char* remark_text,
                    int32_t options, ContactView* v) {
  const bool separators = (options & kUnpackSeparators) != 0;
  std::memset(v->remark1, ' ', sizeof v->remark1 - 1);
  std::memset(v->remark2, ' ', sizeof v->remark2 - 1);
  std::memset(v->remark3, ' ', sizeof v->remark3 - 1);

  text_out_of(data, contact::kCallsign, v->callsign);
  unpack_date(data + contact::kDate.data(), separators, v->date);
  unpack_time(data + contact::kTime.data(), separators, v->time);
  unpack_report(data + contact::kRst.data(), v->his_report);
  unpack_report(data + contact::kRst.data() + 2, v->my_report);
  unpack_frequency(data + contact::kFreq.data(), v->frequency);
  text_out_of(data, contact::kCode, v->code);
  text_out_of(data, contact::kGl, v->grid);
  text_out_of(data, contact::kName, v->name);

  if ((options & kUnpackRemarks) != 0) {
    const size_t l1 = remark_len[0] < kRemark1Max ? remark_len[0] : kRemark1Max;
    const size_t l2 = remark_len[1] < kRemark2Max ? remark_len[1] : kRemark2Max;
    const size_t l3 = remark_len[2] < kRemark3Max ? remark_len[2] : kRemark3Max;
    std::memcpy(v->remark1, remark_text, l1);
    std::memcpy(v->remark2, remark_text + l1, l2);
    std::memcpy(v->remark3, remark_text + l1 + l2, l3);
  }

  text_out_of(data, contact::kPotbl, v->portable);
  text_out_of(data, contact::kMode, v->mode);
  text_out_of(data, contact::kQsl, v->qsl);
  v->remark1[sizeof v->remark1 - 1] = '\0';
  v->remark2[sizeof v->remark2 - 1] = '\0';
  v->remark3[sizeof v->remark3 - 1] = '\0';
}

void unpack_view(LogHandle* log, int32_t options) {
  unpack_contact(log->dbs_image, log->remark_len, log->remark_text, options, &log->view);
}

void pack_contact(ContactView* v, uint8_t* data) {
  clean_frequency(v->frequency);
  if (area_code_kind(v->code) == area_kind::kFrom5) v->code[3] = 'A';
  pack_frequency(v->frequency, data + contact::kFreq.data());

  text_into(v->callsign, contact::kCallsign, data);
  text_into(v->portable, contact::kPotbl, data);
  text_into(v->mode, contact::kMode, data);
  text_into(v->code, contact::kCode, data);
  text_into(v->grid, contact::kGl, data);
  text_into(v->qsl, contact::kQsl, data);
  text_into(v->name, contact::kName, data);

  pack_date(v->date, data + contact::kDate.data());
  pack_time(v->time, data + contact::kTime.data());
  pack_report(v->his_report, data + contact::kRst.data());
  pack_report(v->my_report, data + contact::kRst.data() + 2);
}

void pack_view(LogHandle* log) { pack_contact(&log->view, log->dbs_image); }

}  // namespace osp::log
