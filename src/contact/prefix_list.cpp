#include <cstring>
#include <string_view>

#include "contact/dates_prefixes.h"

namespace osp::contact {

namespace {

// The first width characters of the call sign, ending early at a NUL of a
// short call sign.
std::string_view call_prefix(const char* callsign, size_t width) {
  return std::string_view(callsign, strnlen(callsign, width));
}

}  // namespace

int32_t is_listed_prefix(const char* prefixes, const char* callsign) {
  if (static_cast<unsigned char>(callsign[0]) <= 0x20) return 0;
  const std::string_view list(prefixes);
  if (list.find(call_prefix(callsign, 3)) != std::string_view::npos) return 1;
  if (list.find(call_prefix(callsign, 2)) != std::string_view::npos) return 1;
  return 0;
}

}  // namespace osp::contact
