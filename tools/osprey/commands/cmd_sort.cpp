// osprey sort LOG --date | --master [--yes]: rewrites the contact file in
// date and time order, or the master file in area-code order. The sorted
// file replaces the old one whole (by rename) and its indexes are built
// anew. Before the sort starts, every file it rewrites (the record file, its
// indexes and the profile file) is copied to a backup beside it ("NAME.bak",
// or "NAME.bak2" and on when that is taken).
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "contacts_session.h"
#include "exit_codes.h"
#include "log_files.h"
#include "osprey32.h"
#include "status_text.h"

namespace osprey_tool {

namespace {


constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;

// The files a sort rewrites: the record file, the indexes over it (slots
// first to last) and the profile file, whose times it marks stale.
std::vector<std::string> rewritten_files(const LogFiles& files, const std::string& base,
                                         bool by_date) {
  std::vector<std::string> out = {by_date ? files.contacts : files.master};
  for (int slot = by_date ? 0 : 2; slot <= (by_date ? 1 : 4); ++slot)
    out.push_back(files.indexes[slot]);
  for (const char* profile : {".fdt", ".FDT"}) out.push_back(replace_extension(base, profile));
  return out;
}

// Copies every existing file of paths to a free "NAME.bak" name; on failure
// says which and returns false (copies made so far are kept).

void run_sort(const std::string& base, bool by_date, bool yes) {
  const std::string context = "sort: " + base;
  SessionHooks hooks(yes ? Answers::kYes : Answers::kAsk);
  OpenLog open(hooks, context, base, kOpenChecked, Use::kChange);
  if (!open.ok()) return;
  hooks.end_progress();
  LogHandle& log = *open.get();
  for (int slot = by_date ? 0 : 2; slot <= (by_date ? 1 : 4); ++slot) {
    if (!open.require_index(context, slot)) return;
  }
  std::string error;
  if (!back_up(rewritten_files(open.files(), base, by_date), &error)) {
    fail_with_message(context, error + "; nothing was sorted");
    return;
  }
  hooks.clear();
  if (by_date) {
    const int32_t r = DateTimeSort(&log);
    if (r != 0) {
      fail_with_status(context, r, "the contact file was not sorted; the backups are kept");
      return;
    }
    if (!open.flush(context)) return;
    std::printf("sorted %d contacts by date and time\n", static_cast<int>(dbf_rcount(&log.dbs.handle)));
  } else {
    if (MasterSort(&log) != 0) {
      fail_with_message(context,
                        "the master file was not sorted: its code index does not name every "
                        "entry once, or a file could not be written; the backups are kept");
      return;
    }
    if (!open.flush(context)) return;
    std::printf("sorted %d master entries by area code\n",
                static_cast<int>(dbf_rcount(&log.mst.handle)));
  }
}

}  // namespace

void add_sort_command(CLI::App& app) {
  auto base = std::make_shared<std::string>();
  auto by_date = std::make_shared<bool>(false);
  auto by_master = std::make_shared<bool>(false);
  auto yes = std::make_shared<bool>(false);
  auto* cmd = app.add_subcommand(
      "sort", "Rewrite the contact file in date and time order (--date) or the master file in "
              "area-code order (--master), after a backup of every file that changes");
  cmd->add_option("LOG", *base, "the log's base path")->required();
  auto* date = cmd->add_flag("--date", *by_date, "sort the contacts by date and time");
  auto* master = cmd->add_flag("--master", *by_master, "sort the master entries by area code");
  date->excludes(master);
  cmd->add_flag("--yes", *yes, "answer Yes to the questions of opening the log");
  cmd->callback([base, by_date, by_master, yes] {
    if (!*by_date && !*by_master) {
      fail_with_message("sort: " + *base, "say --date or --master", exit_code::kUsage);
      return;
    }
    run_sort(*base, *by_date, *yes);
  });
}

}  // namespace osprey_tool
