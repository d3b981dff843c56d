// The bands of ADIF's band list, with the 15 bands of the worked/confirmed
// tables among them, found from a frequency in MHz.
#pragma once

#include <string>

namespace osprey_tool {

struct AdifBand {
  const char* name;        // ADIF band name: "2190m" ... "submm"
  const char* log_name;    // the band as the log names it ("1.9" ... "5600"); "" for a
                           // band outside the log's 15
  double lower_mhz;        // ADIF band edges, inclusive
  double upper_mhz;
};

// The band whose ADIF edges hold mhz, or nullptr.
const AdifBand* band_of_frequency(double mhz);

// The band the log names with this text ("1200", "5600", "1.9"), or nullptr:
// short frequency texts name their band even where they lie outside its
// ADIF edges.
const AdifBand* band_of_log_name(const std::string& text);

// The band with this ADIF name, in any case ("20M"), or nullptr.
const AdifBand* band_of_adif_name(const std::string& name);

// A frequency text in MHz ("7.050", "144", "1295.0", "0.475") as a number.
// False for anything but digits with at most one point, or a value of 0.
bool frequency_mhz(const std::string& text, double* mhz);

}  // namespace osprey_tool
