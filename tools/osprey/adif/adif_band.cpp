#include "adif/adif_band.h"

#include <cstdlib>
#include <strings.h>

namespace osprey_tool {

namespace {

// ADIF's band list with its edges; the 15 bands of the log's tables carry
// the log's name for them.
constexpr AdifBand kBands[] = {
    {"2190m", "", 0.1357, 0.1378},     {"630m", "", 0.472, 0.479},
    {"560m", "", 0.501, 0.504},        {"160m", "1.9", 1.8, 2.0},
    {"80m", "3.5", 3.5, 4.0},          {"60m", "", 5.06, 5.45},
    {"40m", "7", 7.0, 7.3},            {"30m", "10", 10.1, 10.15},
    {"20m", "14", 14.0, 14.35},        {"17m", "18", 18.068, 18.168},
    {"15m", "21", 21.0, 21.45},        {"12m", "24", 24.890, 24.99},
    {"10m", "28", 28.0, 29.7},         {"8m", "", 40.0, 45.0},
    {"6m", "50", 50.0, 54.0},          {"5m", "", 54.000001, 69.9},
    {"4m", "", 70.0, 71.0},            {"2m", "144", 144.0, 148.0},
    {"1.25m", "", 222.0, 225.0},       {"70cm", "430", 420.0, 450.0},
    {"33cm", "", 902.0, 928.0},        {"23cm", "1200", 1240.0, 1300.0},
    {"13cm", "2400", 2300.0, 2450.0},  {"9cm", "", 3300.0, 3500.0},
    {"6cm", "5600", 5650.0, 5925.0},   {"3cm", "", 10000.0, 10500.0},
    {"1.25cm", "", 24000.0, 24250.0},  {"6mm", "", 47000.0, 47200.0},
    {"4mm", "", 75500.0, 81000.0},     {"2.5mm", "", 119980.0, 123000.0},
    {"2mm", "", 134000.0, 149000.0},   {"1mm", "", 241000.0, 250000.0},
    {"submm", "", 300000.0, 7500000.0},
};

}  // namespace

const AdifBand* band_of_frequency(double mhz) {
  for (const AdifBand& b : kBands)
    if (mhz >= b.lower_mhz && mhz <= b.upper_mhz) return &b;
  return nullptr;
}

const AdifBand* band_of_log_name(const std::string& text) {
  if (text.empty()) return nullptr;
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
