// osprey labels LOG --template-file FILE --pdf OUT.pdf [--from N] [--to N]
// [--layout COLSxROWS] [--margins MM|T,R,B,L] [--lists L1,L2,L3] [--outline]
// [--unsent] [--exclude ROUTES]: QSL labels in the QSL bureau's order on A4
// label sheets, each label the template file's lines expanded with the
// QSL-card escapes for one contact. Contacts routed N (no card) never get a
// label; with --unsent only the cards still to send do.
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "contact_marks.h"
#include "contacts_session.h"
#include "labels/label_lines.h"
#include "labels/label_order.h"
#include "labels/label_sheet.h"
#include "osprey32.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;

struct LabelOptions {
  std::string base;
  std::string template_file;
  std::string pdf;
  int32_t from = 1;
  int32_t to = 0;
  std::string layout = "3x8";
  std::string margins = "8";
  std::vector<std::string> lists;
  bool outline = false;
  bool unsent = false;
  std::string exclude;
};

void run_labels(const LabelOptions& o) {
  const std::string context = "labels: " + o.base;
  SheetLayout sheet;
  sheet.outline = o.outline;
  std::string error;
  if (!parse_layout(o.layout, &sheet, &error) || !parse_margins(o.margins, &sheet, &error)) {
    fail_with_message(context, error, exit_code::kUsage);
    return;
  }
  std::ifstream in(o.template_file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in) {
    fail_with_message(context, "cannot read the template file " + o.template_file);
    return;
  }
  std::vector<std::string> templates;
  for (const std::string& line : template_lines(text.str())) {
    std::string sjis;
    if (!template_sjis(line, &sjis, &error)) {
      fail_with_message(context, o.template_file + ": " + error, exit_code::kUsage);
      return;
    }
    templates.push_back(sjis);
  }

  ContactRange range;
  range.from = o.from;
  range.to = o.to;
  range.order = ContactOrder::kBureau;
  range.unsent = o.unsent;
  std::string excluded, route_error;
  if (!sjis_of(o.exclude, &excluded, &route_error)) {
    fail_with_message(context, "--exclude: " + route_error, exit_code::kUsage);
    return;
  }
  range.no_card_routes = kNoCardRoute + excluded;
  if (!take_lists(o.lists, &range, &error)) {
    fail_with_message(context, error, exit_code::kUsage);
    return;
  }

  SessionHooks hooks(Answers::kNo);
  OpenLog open(hooks, context, o.base, kOpenChecked, Use::kView);
  if (!open.ok()) return;
  LogHandle& log = *open.get();
  std::vector<std::vector<std::string>> labels;
  const bool read = for_each_contact(log, range, context, [&] {
    std::vector<std::string> label;
    for (const std::string& t : templates) {
      const std::string line = expand_line(log, t, true);
      label.push_back(utf8_of(line.c_str(), line.size()));
    }
    labels.push_back(std::move(label));
    return true;
  });
  if (!read) return;
  if (!write_label_pdf(o.pdf, sheet, labels, &error)) {
    fail_with_message(context, error, exit_code::kOutputFailed);
    return;
  }
  const size_t per_page = static_cast<size_t>(sheet.columns) * static_cast<size_t>(sheet.rows);
  const size_t pages = labels.empty() ? 1 : (labels.size() + per_page - 1) / per_page;
  std::printf("%zu label%s on %zu page%s: %s\n", labels.size(), labels.size() == 1 ? "" : "s",
              pages, pages == 1 ? "" : "s", o.pdf.c_str());
}

}  // namespace

void add_labels_command(CLI::App& app) {
  auto o = std::make_shared<LabelOptions>();
  auto* cmd = app.add_subcommand("labels", "Print QSL labels in bureau order to a PDF file");
  cmd->add_option("LOG", o->base, "the log's base path")->required();
  cmd->add_option("--template-file", o->template_file,
                  "a file of QSL template lines, one label line each (e.g. \"To: !CP\")")
      ->required();
  cmd->add_option("--pdf", o->pdf, "the PDF file to write")->required();
  cmd->add_option("--from", o->from, "the first record number (default 1)");
  cmd->add_option("--to", o->to, "the last record number (default the last contact)");
  cmd->add_option("--layout", o->layout, "labels a page as COLSxROWS (default 3x8; 2x6 for 12)");
  cmd->add_option("--margins", o->margins,
                  "page margins in mm: MM, or TOP,RIGHT,BOTTOM,LEFT (default 8)");
  cmd->add_option("--lists", o->lists,
                  "three prefix lists sorted in groups of their own, separated by commas")
      ->delimiter(',');
  cmd->add_flag("--outline", o->outline, "draw the edge of every label");
  cmd->add_flag("--unsent", o->unsent,
                "only the contacts whose card is still to send (sent mark blank)");
  cmd->add_option("--exclude", o->exclude,
                  "more route marks (first QSL character) that get no label, besides N");
  cmd->callback([o] { run_labels(*o); });
}

}  // namespace osprey_tool
