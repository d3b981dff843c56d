// osprey qsl LOG RECNO --sent C | --received C: marks a QSL card of one
// contact as sent or received (one character of its QSL field).
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "commands.h"
#include "contacts_session.h"
#include "mark_text.h"
#include "osprey32.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;
constexpr int32_t kSeparatorsAndRemarks = OSP_READ_FULL;

struct QslOptions {
  std::string base;
  int32_t recno = 0;
  std::optional<std::string> sent;
  std::optional<std::string> received;
};

void run_qsl(const QslOptions& o) {
  const std::string context = "qsl: " + o.base + " record " + std::to_string(o.recno);
  if (o.sent.has_value() == o.received.has_value()) {
    fail_with_message(context, "give exactly one of --sent C and --received C");
    return;
  }
  const bool sent = o.sent.has_value();
  const std::string& given = sent ? *o.sent : *o.received;
  uint8_t mark = 0;
  std::string error;
  if (!mark_byte(given, sent ? "--sent" : "--received", &mark, &error)) {
    fail_with_message(context, error);
    return;
  }

  SessionHooks hooks(Answers::kNo);
  OpenLog open(hooks, context, o.base, kOpenChecked, Use::kChange);
  if (!open.ok()) return;
  LogHandle& log = *open.get();
  const int32_t r = sent ? QSL_Send(&log, o.recno, mark) : QSL_Rcv(&log, o.recno, mark);
  if (r != 0) {
    fail_with_status(context, r, r == 10 || r == 11 ? "no such record" : "");
    return;
  }
  if (!open.flush(context)) return;
  if (OSP_read(&log, o.recno, kSeparatorsAndRemarks) == 0) {
    std::printf("contact %d: %s mark \"%s\"; QSL now \"%s\"\n", static_cast<int>(o.recno),
                sent ? "sent" : "received", given.c_str(),
                utf8_of(log.view.qsl, sizeof log.view.qsl).c_str());
  }
}

}  // namespace

void add_qsl_command(CLI::App& app) {
  auto o = std::make_shared<QslOptions>();
  auto* cmd = app.add_subcommand("qsl", "Mark a contact's QSL card as sent or received");
  cmd->add_option("LOG", o->base, "the log's base path")->required();
  cmd->add_option("RECNO", o->recno, "the contact's record number")->required();
  auto* sent = cmd->add_option("--sent", o->sent, "the sent mark, e.g. Y");
  auto* received = cmd->add_option("--received", o->received, "the received mark, e.g. Y");
  sent->excludes(received);
  cmd->callback([o] { run_qsl(*o); });
}

}  // namespace osprey_tool
