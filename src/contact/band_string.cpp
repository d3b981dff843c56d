#include "contact/band_string.h"

#include <cstring>

#include "record/master_record.h"

namespace osp::contact {

void band_string(const uint8_t* master_data, char* out) {
  if (master_data == nullptr || out == nullptr) return;
  const uint16_t worked = log::master::worked_mask(master_data);
  const uint16_t confirmed = log::master::confirmed_mask(master_data);
  if ((worked & log::master::kNotApplicable) != 0) {
    std::memset(out, kTakesNoPart, kBandStringLength);
  } else {
    for (int32_t b = 0; b < kBandStringLength; ++b) {
      const uint16_t bit = static_cast<uint16_t>(1u << b);
      out[b] = (confirmed & bit) != 0 ? kConfirmed : (worked & bit) != 0 ? kWorked : kNeither;
    }
  }
  out[kBandStringLength] = '\0';
}

void set_band_masks(LogHandle* log, const char* bands) {
  if (log == nullptr || bands == nullptr) return;
  uint16_t worked = 0;
  uint16_t confirmed = 0;
  for (int32_t b = 0; b < kBandStringLength; ++b) {
    const uint16_t bit = static_cast<uint16_t>(1u << b);
    if (bands[b] == kTakesNoPart) {
      worked = confirmed = log::master::kNotApplicable;
      break;
    }
    if (bands[b] == kWorked) worked = static_cast<uint16_t>(worked | bit);
    if (bands[b] == kConfirmed) confirmed = static_cast<uint16_t>(confirmed | bit);
  }
  log::master::set_masks(log->mst_image, confirmed, worked);
}

}  // namespace osp::contact
