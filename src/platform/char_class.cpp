#include "platform/char_class.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace osp::platform {

bool is_char_alnum(unsigned char b) {
#if defined(_WIN32)
  return IsCharAlphaNumericA(static_cast<CHAR>(b)) != 0;
#else
  return (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
#endif
}

}  // namespace osp::platform
