// The award table of a log after the worked/confirmed walk: one row per
// master entry that takes part, with its 15-place band string, and per band
// the number of areas worked and confirmed; as text and as an SVG picture.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace osprey_tool {

inline constexpr int kBands = 15;

// The bands' names, 1.9 MHz to 5600 MHz, in band order.
extern const std::array<const char*, kBands> kBandNames;

struct AwardRow {
  std::string code;        // 6 characters, as stored
  std::string name;        // the area's name in UTF-8, trailing blanks removed
  int name_columns = 0;    // its width on a terminal (its Shift-JIS bytes)
  std::string bands;       // 15 places: 'C', 'W' or ' '
};

struct BandTotals {
  std::array<int, kBands> worked{};     // areas with 'W' or 'C' on the band
  std::array<int, kBands> confirmed{};  // areas with 'C'
};

BandTotals totals_of(const std::vector<AwardRow>& rows);

// Prints the table and the totals to out.
void print_award_table(std::FILE* out, const std::vector<AwardRow>& rows, const BandTotals& t);

// The picture: areas down, bands across, confirmed, worked and empty cells
// in three colours, a legend and the per-band totals.
std::string award_svg(const std::vector<AwardRow>& rows, const BandTotals& t,
                      const std::string& title);

}  // namespace osprey_tool
