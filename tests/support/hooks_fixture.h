// Hooks for tests: message boxes are captured and answered from a script,
// progress text and beeps are recorded, and the clock is fixed.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "osprey32.h"

namespace osp::test {

struct CapturedBox {
  int32_t use_active;
  std::string text;
  std::string caption;
  uint32_t style;
};

struct CapturedText {
  void* device_context;
  int32_t x;
  int32_t y;
  std::string text;
};

// Installs itself as the library's hooks for its lifetime.
class HookRecorder {
 public:
  HookRecorder();
  ~HookRecorder();
  HookRecorder(const HookRecorder&) = delete;
  HookRecorder& operator=(const HookRecorder&) = delete;

  // Answers for the next boxes, in order; once used up every box gets
  // default_answer.
  void answer(std::initializer_list<int32_t> buttons);
  int32_t default_answer = 1;  // IDOK

  // The fixed clock.
  OspLocalTime now{2026, 3, 7, 21, 5, 30};

  std::vector<CapturedBox> boxes;
  std::vector<CapturedText> texts;
  std::vector<uint32_t> beeps;

 private:
  static int32_t on_box(void* ctx, int32_t use_active, const char* text, const char* caption,
                        uint32_t style);
  static void on_text(void* ctx, void* dc, int32_t x, int32_t y, const char* text,
                      int32_t length);
  static void on_beep(void* ctx, uint32_t type);
  static void on_time(void* ctx, OspLocalTime* now);

  std::deque<int32_t> answers_;
};

// The Shift-JIS bytes of a UTF-8 text (for comparing messages).
std::string sjis(const std::string& utf8);

// The UTF-8 text of Shift-JIS bytes, or fallback when they are not code page
// 932 text.
std::string utf8(const std::string& cp932, const std::string& fallback);

}  // namespace osp::test
