#include "frame/report.h"

#include <cstring>

#include "frame/sjis.h"
#include "frame/status.h"
#include "frame/ui.h"
#include "platform/env.h"

namespace osp {

const char kCaption[] = "OSPREY32.DLL";

void compose_status_text(int32_t code, const char* subject, char* out) {
  const char* message = status_message(code);
  if (subject == nullptr) subject = "";
  const size_t close_len = std::strlen(kFullWidthClose);
  size_t n = 0;
  out[n++] = ' ';
  const size_t message_len = std::strlen(message);
  std::memcpy(out + n, message, message_len);
  n += message_len;
  const size_t open_len = std::strlen(kFullWidthOpen);
  std::memcpy(out + n, kFullWidthOpen, open_len);
  n += open_len;
  // Room for the subject: everything but the closing parenthesis and the NUL.
  const size_t room = static_cast<size_t>(kReportTextSize) - 1 - close_len - n;
  const size_t subject_len = sjis_prefix_length(subject, std::strlen(subject), room);
  std::memcpy(out + n, subject, subject_len);
  n += subject_len;
  std::memcpy(out + n, kFullWidthClose, close_len);
  n += close_len;
  out[n] = '\0';
}

int32_t report_status(int32_t code, const char* subject) {
  if (code == 0) return 0;
  char text[kReportTextSize];
  compose_status_text(code, subject, text);
  return message_box(0, text, kCaption, platform::kMbOk | platform::kMbIconHand);
}

}  // namespace osp
