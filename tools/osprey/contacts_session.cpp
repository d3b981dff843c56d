#include "contacts_session.h"

#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <iostream>

#include "sjis_text.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr uint32_t kTypeMask = 0x0F;
constexpr uint32_t kOkOnly = 0x00;
constexpr int32_t kIdOk = 1;
constexpr int32_t kIdYes = 6;
constexpr int32_t kIdNo = 7;

int g_device_context = 0;  // the progress text is drawn "into" this

std::string c_text(const char* text) { return text != nullptr ? utf8_of(text, std::strlen(text)) : ""; }

}  // namespace

std::string utf8_of(const char* sjis, size_t length) {
  const size_t n = strnlen(sjis, length);
  static Cp932Text converter;
  std::string out;
  if (converter.to_utf8(reinterpret_cast<const uint8_t*>(sjis), n, &out)) return out;
  return printable_ascii(reinterpret_cast<const uint8_t*>(sjis), n);
}

bool sjis_of(const std::string& utf8, std::string* out, std::string* error) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    *error = "this system's iconv has no code page 932 (CP932) converter";
    return false;
  }
  std::string in = utf8;
  out->assign(in.size() * 2 + 4, '\0');
  char* ip = in.data();
  size_t il = in.size();
  char* op = out->data();
  size_t ol = out->size();
  const size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) {
    *error = "\"" + utf8 + "\" has a character that Shift-JIS (code page 932) cannot hold";
    return false;
  }
  out->resize(out->size() - ol);
  return true;
}

SessionHooks::SessionHooks(Answers answers) : answers_(answers) {
  const OspHooks hooks{&on_box, &on_text, nullptr, nullptr, this};
  OspSetHooks(&hooks);
}

SessionHooks::~SessionHooks() { OspSetHooks(nullptr); }

int32_t SessionHooks::on_box(void* ctx, int32_t /*use_active*/, const char* text,
                             const char* caption, uint32_t style) {
  auto* self = static_cast<SessionHooks*>(ctx);
  const std::string shown = c_text(caption) + ": " + c_text(text);
  if ((style & kTypeMask) == kOkOnly) {
    std::fprintf(stderr, "osprey: %s\n", shown.c_str());
    self->messages_.push_back(shown);
    return kIdOk;
  }
  int32_t answer = kIdNo;
  if (self->answers_ == Answers::kYes) {
    answer = kIdYes;
  } else if (self->answers_ == Answers::kAsk) {
    std::fprintf(stderr, "%s [y/N] ", shown.c_str());
    std::fflush(stderr);
    std::string line;
    if (std::getline(std::cin, line) && (line == "y" || line == "Y" || line == "yes"))
      answer = kIdYes;
  }
  self->questions_.push_back(shown + (answer == kIdYes ? " (yes)" : " (no)"));
  return answer;
}

void SessionHooks::on_text(void* ctx, void* /*dc*/, int32_t x, int32_t y, const char* text,
                           int32_t length) {
  // An index build draws two blank lines, its notice (on the upper line) and
  // then the index path on the lower line.
  constexpr int32_t kPathLine = 160;
  auto* hooks = static_cast<SessionHooks*>(ctx);
  if (y != kPathLine && length > 0 && hooks->progress_) {
    hooks->progress_(x, y, std::string(text, static_cast<size_t>(length)));
    return;
  }
  if (y != kPathLine || length <= 0) return;
  const std::string drawn(text, static_cast<size_t>(length));
  if (drawn.find_first_not_of(' ') == std::string::npos) return;
  auto* self = static_cast<SessionHooks*>(ctx);
  const std::string path = utf8_of(text, static_cast<size_t>(length));
  std::fprintf(stderr, "osprey: building the index %s\n", path.c_str());
  self->built_.push_back(path);
}

bool open_log(const std::string& context, const std::string& base, int32_t flags, LogHandle* log) {
  std::memset(log, 0, sizeof *log);
  const int32_t status = OspreyOpen(&g_device_context, log, base.c_str(), 0, flags);
  if (status == 0) return true;
  std::string detail;
  switch (status) {
    case 40: detail = "the contact file (.dbs) cannot be used"; break;
    case 41: detail = "the remarks file (.dbr) cannot be used"; break;
    case 42: detail = "the master file (.mst) cannot be opened or has the wrong record size"; break;
    case 23: detail = "an index could not be built"; break;
    default: break;
  }
  fail_with_status(context, status, detail);
  return false;
}

}  // namespace osprey_tool
