#include "award/award_table.h"

#include <algorithm>

namespace osprey_tool {

const std::array<const char*, kBands> kBandNames = {"1.9", "3.5", "7",    "10",   "14",
                                                    "18",  "21",  "24",   "28",   "50",
                                                    "144", "430", "1200", "2400", "5600"};

BandTotals totals_of(const std::vector<AwardRow>& rows) {
  BandTotals t;
  for (const AwardRow& r : rows) {
    for (size_t b = 0; b < kBands && b < r.bands.size(); ++b) {
      if (r.bands[b] == 'C') ++t.confirmed[b];
      if (r.bands[b] == 'C' || r.bands[b] == 'W') ++t.worked[b];
    }
  }
  return t;
}

namespace {

constexpr int kNameColumns = 28;

std::string spaces(int n) { return std::string(static_cast<size_t>(std::max(0, n)), ' '); }

// The band names over the 15 places, one character per band: the places
// are numbered 1 to 15 in a key printed below the table.
void print_band_key(std::FILE* out) {
  std::fprintf(out, "bands:");
  for (int b = 0; b < kBands; ++b)
    std::fprintf(out, " %c=%s", 'a' + b, kBandNames[static_cast<size_t>(b)]);
  std::fprintf(out, " MHz\n");
}

}  // namespace

void print_award_table(std::FILE* out, const std::vector<AwardRow>& rows, const BandTotals& t) {
  std::fprintf(out, "CODE   %s BANDS (C confirmed, W worked)\n",
               (std::string("AREA") + spaces(kNameColumns - 4)).c_str());
  std::string letters;
  for (int b = 0; b < kBands; ++b) letters += static_cast<char>('a' + b);
  std::fprintf(out, "       %s [%s]\n", spaces(kNameColumns).c_str(), letters.c_str());
  for (const AwardRow& r : rows) {
    std::fprintf(out, "%s %s%s [%s]\n", r.code.c_str(), r.name.c_str(),
                 spaces(kNameColumns - r.name_columns).c_str(), r.bands.c_str());
  }
  std::fprintf(out, "(%zu areas)\n", rows.size());
  print_band_key(out);
  std::fprintf(out, "\n%-4s %8s %8s %10s\n", "BAND", "MHz", "WORKED", "CONFIRMED");
  for (size_t b = 0; b < kBands; ++b)
    std::fprintf(out, "%-4c %8s %8d %10d\n", static_cast<char>('a' + b), kBandNames[b], t.worked[b],
                 t.confirmed[b]);
}

}  // namespace osprey_tool
