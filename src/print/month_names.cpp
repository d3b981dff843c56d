#include "print/print_format.h"

namespace osp::print {

const char* month_name(int32_t m) {
  static constexpr char kMonths[] = "   JanFebMarAprMayJunJulAugSepOctNovDec";
  // The table has 13 entries; any other month number gets the blank entry
  // rather than bytes beyond the table.
  if (m < 0 || m > 12) return kMonths;
  return kMonths + 3 * m;
}

}  // namespace osp::print
