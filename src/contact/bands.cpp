#include "contact/bands.h"

#include <cstring>

#include "record/master_record.h"

namespace osp::contact {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int32_t band_of_1(const char* t) {
  switch (t[1]) {
    case '.': return 0;
    case '0': return 3;
    case '2': return 12;
    case '8': return 5;
    case '4': return t[2] == '4' || t[2] == '5' ? 10 : 4;
    default: return kNotABand;
  }
}

int32_t band_of_2(const char* t) {
  switch (t[1]) {
    case '1': return 6;
    case '4': return is_digit(t[2]) ? 13 : 7;
    case '8':
    case '9': return 8;
    default: return kNotABand;
  }
}

}  // namespace

int32_t frequency_band(const char* text) {
  if (text == nullptr) return kNotABand;
  switch (text[0]) {
    case '1': return band_of_1(text);
    case '2': return band_of_2(text);
    case '3': return text[1] == '.' ? 1 : kNotABand;
    case '4': return text[1] == '3' ? 11 : kNotABand;
    case '5':
      return static_cast<unsigned char>(text[1]) <= static_cast<unsigned char>('5') ? 9 : 14;
    case '7': return 2;
    default: return kNotABand;
  }
}

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
