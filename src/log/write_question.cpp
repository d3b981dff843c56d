#include "log/write_question.h"

#include "frame/ui.h"
#include "platform/env.h"

namespace osp::log {

namespace {

// "データを登録してよろしいですか？": may the data be registered?
constexpr char kRegisterQuestion[] =
    "\x83\x66\x81\x5B\x83\x5E\x82\xF0\x93\x6F\x98\x5E\x82\xB5\x82\xC4\x82\xE6\x82\xEB\x82\xB5"
    "\x82\xA2\x82\xC5\x82\xB7\x82\xA9\x81\x48";
// "データの修正": modify data.
constexpr char kUpdateCaption[] = "\x83\x66\x81\x5B\x83\x5E\x82\xCC\x8F\x43\x90\xB3";
// "データの追加": add data.
constexpr char kAppendCaption[] = "\x83\x66\x81\x5B\x83\x5E\x82\xCC\x92\xC7\x89\xC1";

}  // namespace

int32_t ask_to_register(WriteKind kind, int32_t use_active) {
  return message_box(use_active, kRegisterQuestion,
                     kind == WriteKind::kUpdate ? kUpdateCaption : kAppendCaption,
                     platform::kMbYesNoCancel | platform::kMbIconQuestion);
}

}  // namespace osp::log
