// osprey qsl LOG RECNO... [--sent C] [--received C]: marks the QSL cards of
// contacts as sent or received (one character each of their QSL field), both
// marks at once if asked.
// osprey qsl LOG --unsent [--from N] [--to N] [--exclude ROUTES] --sent C:
// marks the contacts whose card is still to send, the ones "labels --unsent"
// takes with the same options.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "contact_marks.h"
#include "contacts_session.h"
#include "labels/label_order.h"
#include "mark_text.h"
#include "osprey32.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;
constexpr size_t kContactsNamed = 20;  // more marked contacts are counted, not listed

struct QslOptions {
  std::string base;
  std::vector<int32_t> recnos;
  bool unsent = false;
  int32_t from = 1;
  int32_t to = 0;
  std::string exclude;
  std::optional<std::string> sent;
  std::optional<std::string> received;
};

void run_qsl(const QslOptions& o) {
  const std::string context = "qsl: " + o.base;
  if (!o.sent && !o.received) {
    fail_with_message(context, "give --sent C, --received C or both", exit_code::kUsage);
    return;
  }
  if (o.unsent == !o.recnos.empty()) {
    fail_with_message(context, "give the contacts' record numbers or --unsent", exit_code::kUsage);
    return;
  }
  uint8_t sent = 0, received = 0;
  std::string excluded, error;
  if ((o.sent && !mark_byte(*o.sent, "--sent", &sent, &error)) ||
      (o.received && !mark_byte(*o.received, "--received", &received, &error)) ||
      !sjis_of(o.exclude, &excluded, &error)) {
    fail_with_message(context, error, exit_code::kUsage);
    return;
  }

  SessionHooks hooks(Answers::kNo);
  OpenLog open(hooks, context, o.base, kOpenChecked, Use::kChange);
  if (!open.ok()) return;
  LogHandle& log = *open.get();

  std::vector<int32_t> recnos = o.recnos;
  if (o.unsent) {
    ContactRange range;
    range.from = o.from;
    range.to = o.to;
    range.unsent = true;
    range.no_card_routes = kNoCardRoute + excluded;
    if (!contact_order(log, range, &recnos, &error)) {
      fail_with_message(context, error);
      return;
    }
  } else {
    // Every contact is checked before any is marked: a mistyped number
    // leaves the log as it was.
    std::sort(recnos.begin(), recnos.end());
    recnos.erase(std::unique(recnos.begin(), recnos.end()), recnos.end());
    for (const int32_t recno : recnos) {
      const std::string why = mark_refusal(log, recno);
      if (!why.empty()) {
        fail_with_message(context, why + "; nothing was marked");
        return;
      }
    }
  }

  for (const int32_t recno : recnos) {
    if ((o.sent && QSL_Send(&log, recno, sent) != 0) ||
        (o.received && QSL_Rcv(&log, recno, received) != 0)) {
      // The library has shown why; the contacts before this one are marked.
      open.flush(context);
      fail_with_message(context, "record " + std::to_string(recno) + " could not be marked");
      return;
    }
  }
  if (!open.flush(context)) return;

  std::string what;
  if (o.sent) what = "sent mark \"" + *o.sent + "\"";
  if (o.received) what += std::string(what.empty() ? "" : ", ") + "received mark \"" + *o.received + "\"";
  if (recnos.size() <= kContactsNamed) {
    for (const int32_t recno : recnos) {
      std::vector<ContactMarks> marks;
      if (!read_contact_marks(log, recno, recno, &marks, &error)) break;
      const char qsl[3] = {marks[0].route, marks[0].sent, marks[0].received};
      std::printf("contact %d: %s; QSL now \"%s\"\n", static_cast<int>(recno), what.c_str(),
                  utf8_of(qsl, sizeof qsl).c_str());
    }
  }
  std::printf("%zu contact%s marked\n", recnos.size(), recnos.size() == 1 ? "" : "s");
}

}  // namespace

void add_qsl_command(CLI::App& app) {
  auto o = std::make_shared<QslOptions>();
  auto* cmd = app.add_subcommand(
      "qsl", "Mark contacts' QSL cards as sent or received (RECNO..., or --unsent)");
  cmd->add_option("LOG", o->base, "the log's base path")->required();
  cmd->add_option("RECNO", o->recnos, "the contacts' record numbers");
  auto* unsent = cmd->add_flag(
      "--unsent", o->unsent,
      "the contacts whose card is still to send, as \"labels --unsent\" takes them");
  cmd->add_option("--from", o->from, "with --unsent: the first record number (default 1)")
      ->needs(unsent);
  cmd->add_option("--to", o->to, "with --unsent: the last record number (default the last)")
      ->needs(unsent);
  cmd->add_option("--exclude", o->exclude,
                  "with --unsent: more route marks that get no card, besides N")
      ->needs(unsent);
  cmd->add_option("--sent", o->sent, "the sent mark, e.g. Y");
  cmd->add_option("--received", o->received, "the received mark, e.g. Y");
  cmd->callback([o] { run_qsl(*o); });
}

}  // namespace osprey_tool
