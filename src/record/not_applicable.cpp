#include "record/not_applicable.h"

#include "record/master_record.h"

namespace osp::log {

bool master_not_applicable(const uint8_t* master_data) {
  const uint8_t* code = master_data + master::kCode.data();
  return code[0] >= static_cast<uint8_t>('5') && code[3] > static_cast<uint8_t>('A');
}

bool mark_not_applicable(uint8_t* master_data) {
  if (!master_not_applicable(master_data)) return false;
  master::set_masks(master_data, master::kNotApplicable, master::kNotApplicable);
  return true;
}

}  // namespace osp::log
