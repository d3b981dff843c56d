// osprey print LOG --template TEXT [--qsl] [--order bureau|record] [--from N]
// [--to N] [--lists L1,L2,L3] [--unsent [--exclude ROUTES]]: one line per
// contact, expanded from a template of the log-listing format (or with --qsl
// the QSL-card format), shown as UTF-8; with --unsent only the cards still to
// send, in bureau order unless --order says otherwise.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "contact_marks.h"
#include "contacts_session.h"
#include "labels/label_lines.h"
#include "labels/label_order.h"
#include "osprey32.h"
#include "output.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;

struct PrintOptions {
  std::string base;
  std::string template_text;
  bool qsl = false;
  std::string order;  // empty: bureau with --unsent, else record
  int32_t from = 1;
  int32_t to = 0;
  std::vector<std::string> lists;
  bool unsent = false;
  std::string exclude;
};

void run_print(const PrintOptions& o) {
  const std::string context = "print: " + o.base;
  ContactRange range;
  range.from = o.from;
  range.to = o.to;
  range.unsent = o.unsent;
  std::string excluded, route_error;
  if (!sjis_of(o.exclude, &excluded, &route_error)) {
    fail_with_message(context, "--exclude: " + route_error, exit_code::kUsage);
    return;
  }
  if (o.unsent) range.no_card_routes = kNoCardRoute + excluded;
  const std::string order = !o.order.empty() ? o.order : o.unsent ? "bureau" : "record";
  if (!parse_contact_order(order, &range.order)) {
    fail_with_message(context, "--order is bureau or record", exit_code::kUsage);
    return;
  }
  std::string sjis_template, error;
  if (!take_lists(o.lists, &range, &error)) {
    fail_with_message(context, error, exit_code::kUsage);
    return;
  }
  if (!template_sjis(o.template_text, &sjis_template, &error)) {
    fail_with_message(context, "the template: " + error, exit_code::kUsage);
    return;
  }

  SessionHooks hooks(Answers::kNo);
  OpenLog open(hooks, context, o.base, kOpenChecked, Use::kView);
  if (!open.ok()) return;
  LogHandle& log = *open.get();
  for_each_contact(log, range, context, [&] {
    const std::string line = expand_line(log, sjis_template, o.qsl);
    std::printf("%s\n", utf8_of(line.c_str(), line.size()).c_str());
    return output_ok();
  });
}

}  // namespace

void add_print_command(CLI::App& app) {
  auto o = std::make_shared<PrintOptions>();
  auto* cmd = app.add_subcommand("print", "Print one line per contact from a template");
  cmd->add_option("LOG", o->base, "the log's base path")->required();
  cmd->add_option("--template", o->template_text,
                  "the template, e.g. \"!n !c !d !t !F !M\" (with --qsl: \"!CP !DY-!DM-!DD\")")
      ->required();
  cmd->add_flag("--qsl", o->qsl, "use the QSL-card escapes (two letters after '!')");
  cmd->add_option("--order", o->order,
                  "bureau (the QSL bureau's order) or record (the default; with --unsent bureau)");
  cmd->add_option("--from", o->from, "the first record number (default 1)");
  cmd->add_option("--to", o->to, "the last record number (default the last contact)");
  cmd->add_option("--lists", o->lists,
                  "three prefix lists sorted in groups of their own, separated by commas; within a list any other separator, e.g. QA1/QB2,QC3,QD")
      ->delimiter(',');
  auto* unsent = cmd->add_flag(
      "--unsent", o->unsent,
      "only the contacts whose card is still to send: live, sent mark blank, route not N");
  cmd->add_option("--exclude", o->exclude,
                  "with --unsent: more route marks (first QSL character) that get no card")
      ->needs(unsent);
  cmd->callback([o] { run_print(*o); });
}

}  // namespace osprey_tool
