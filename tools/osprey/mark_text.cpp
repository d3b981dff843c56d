#include "mark_text.h"

#include "contacts_session.h"

namespace osprey_tool {

bool mark_byte(const std::string& utf8, const std::string& option, uint8_t* out,
               std::string* error) {
  std::string sjis;
  if (!sjis_of(utf8, &sjis, error)) return false;
  if (sjis.size() != 1) {
    *error = option + " takes one single-byte character (\"" + utf8 + "\" is not)";
    return false;
  }
  *out = static_cast<uint8_t>(sjis[0]);
  return true;
}

}  // namespace osprey_tool
