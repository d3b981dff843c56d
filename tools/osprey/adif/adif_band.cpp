#include "adif/adif_band.h"

#include <cstdlib>
#include <strings.h>

namespace osprey_tool {

namespace {

// The 15 bands in table order, with the edges of the ADIF band list.
constexpr AdifBand kBands[] = {
    {"160m", "1.9", 1.8, 2.0},        {"80m", "3.5", 3.5, 4.0},
    {"40m", "7", 7.0, 7.3},           {"30m", "10", 10.1, 10.15},
    {"20m", "14", 14.0, 14.35},       {"17m", "18", 18.068, 18.168},
    {"15m", "21", 21.0, 21.45},       {"12m", "24", 24.890, 24.99},
    {"10m", "28", 28.0, 29.7},        {"6m", "50", 50.0, 54.0},
    {"2m", "144", 144.0, 148.0},      {"70cm", "430", 420.0, 450.0},
    {"23cm", "1200", 1240.0, 1300.0}, {"13cm", "2400", 2300.0, 2450.0},
    {"6cm", "5600", 5650.0, 5925.0},
};

}  // namespace

const AdifBand* band_of_frequency(double mhz) {
  for (const AdifBand& b : kBands)
    if (mhz >= b.lower_mhz && mhz <= b.upper_mhz) return &b;
  return nullptr;
}

const AdifBand* band_of_log_name(const std::string& text) {
  for (const AdifBand& b : kBands)
    if (text == b.log_name) return &b;
  return nullptr;
}

const AdifBand* band_of_adif_name(const std::string& name) {
  for (const AdifBand& b : kBands)
    if (strcasecmp(name.c_str(), b.name) == 0) return &b;
  return nullptr;
}

bool frequency_mhz(const std::string& text, double* mhz) {
  if (text.empty() || text.size() > 32) return false;
  int points = 0;
  int digits = 0;
  for (char c : text) {
    if (c == '.') {
      ++points;
    } else if (c >= '0' && c <= '9') {
      ++digits;
    } else {
      return false;
    }
  }
  if (points > 1 || digits == 0) return false;
  *mhz = std::strtod(text.c_str(), nullptr);
  return *mhz > 0;
}

}  // namespace osprey_tool
