#include "support/hooks_fixture.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <stdexcept>

namespace osp::test {

HookRecorder::HookRecorder() {
  const OspHooks hooks{&on_box, &on_text, &on_beep, &on_time, this};
  OspSetHooks(&hooks);
}

HookRecorder::~HookRecorder() { OspSetHooks(nullptr); }

void HookRecorder::answer(std::initializer_list<int32_t> buttons) {
  answers_.insert(answers_.end(), buttons.begin(), buttons.end());
}

int32_t HookRecorder::on_box(void* ctx, int32_t use_active, const char* text,
                             const char* caption, uint32_t style) {
  auto* self = static_cast<HookRecorder*>(ctx);
  self->boxes.push_back({use_active, text != nullptr ? text : "",
                         caption != nullptr ? caption : "", style});
  if (self->answers_.empty()) return self->default_answer;
  const int32_t a = self->answers_.front();
  self->answers_.pop_front();
  return a;
}

void HookRecorder::on_text(void* ctx, void* dc, int32_t x, int32_t y, const char* text,
                           int32_t length) {
  auto* self = static_cast<HookRecorder*>(ctx);
  self->texts.push_back({dc, x, y, std::string(text, static_cast<size_t>(length))});
}

void HookRecorder::on_beep(void* ctx, uint32_t type) {
  static_cast<HookRecorder*>(ctx)->beeps.push_back(type);
}

void HookRecorder::on_time(void* ctx, OspLocalTime* now) {
  *now = static_cast<HookRecorder*>(ctx)->now;
}

namespace {

#if defined(_WIN32)
// Converts text between code pages through UTF-16, as iconv does natively;
// false when a character has no place in either.
UINT code_page(const char* name) { return std::string(name) == "CP932" ? 932 : CP_UTF8; }

bool convert(const char* to, const char* from, const std::string& text, std::string* out) {
  out->clear();
  if (text.empty()) return true;
  const int n = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(code_page(from), MB_ERR_INVALID_CHARS, text.data(), n,
                                       nullptr, 0);
  if (wide <= 0) return false;
  std::wstring w(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(code_page(from), MB_ERR_INVALID_CHARS, text.data(), n, w.data(), wide);
  const UINT cp = code_page(to);
  BOOL lossy = FALSE;
  BOOL* lossy_p = cp == CP_UTF8 ? nullptr : &lossy;
  const DWORD flags = cp == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const int bytes = WideCharToMultiByte(cp, flags, w.data(), wide, nullptr, 0, nullptr, lossy_p);
  if (bytes <= 0 || lossy) return false;
  out->resize(static_cast<size_t>(bytes));
  WideCharToMultiByte(cp, flags, w.data(), wide, out->data(), bytes, nullptr, lossy_p);
  return !lossy;
}
#else
// Converts text between the encodings iconv names; false when it cannot.
bool convert(const char* to, const char* from, const std::string& text, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = text;
  std::string buf(in.size() * 3 + 4, '\0');
  char* ip = in.data();
  size_t il = in.size();
  char* op = buf.data();
  size_t ol = buf.size();
  const size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return false;
  buf.resize(buf.size() - ol);
  *out = buf;
  return true;
}
#endif

}  // namespace

std::string sjis(const std::string& utf8) {
  std::string out;
  if (!convert("CP932", "UTF-8", utf8, &out)) throw std::runtime_error("cannot convert to CP932");
  return out;
}

std::string utf8(const std::string& cp932, const std::string& fallback) {
  std::string out;
  return convert("UTF-8", "CP932", cp932, &out) ? out : fallback;
}

}  // namespace osp::test
