// osprey delete LOG RECNO [--yes], osprey undelete LOG RECNO [--yes]: mark a
// contact deleted, or live again. The record stays where it is, with its
// index entries and remarks; listings hide it (or mark it with --deleted).
#include <cstdio>
#include <memory>
#include <string>

#include "commands/commands.h"
#include "contact_rows.h"
#include "contacts_session.h"
#include "exit_codes.h"
#include "osprey32.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;
constexpr int32_t kSeparatorsAndRemarks = OSP_READ_FULL;

void run_mark(const std::string& base, int32_t recno, bool deleting, bool yes) {
  const char* verb = deleting ? "delete" : "undelete";
  const std::string context = std::string(verb) + ": " + base + " record " + std::to_string(recno);
  SessionHooks hooks(yes ? Answers::kYes : Answers::kAsk);
  OpenLog open(hooks, context, base, kOpenChecked, Use::kChange);
  if (!open.ok()) return;
  LogHandle& log = *open.get();
  const int32_t r = OSP_read(&log, recno, kSeparatorsAndRemarks);
  if (r != 0) {
    fail_with_status(context, r, r == 10 || r == 11 ? "no such record" : "");
    return;
  }
  DeletionMarks marks(log.dbs.handle);
  const bool was_deleted = marks.deleted(recno);
  print_contact_heading();
  print_contact(recno, was_deleted, log.view, log.dbs_image);
  if (was_deleted == deleting) {
    std::printf("contact %d is %s already\n", static_cast<int>(recno),
                deleting ? "deleted" : "live");
    return;
  }
  std::fflush(stdout);
  const std::string question =
      std::string(deleting ? "Delete" : "Undelete") + " contact " + std::to_string(recno) + "?";
  if (!confirm(question, yes ? Answers::kYes : Answers::kAsk)) {
    fail_with_message(context, "declined: nothing was written", exit_code::kDeclined);
    return;
  }
  const char live = ' ';
  const int32_t w = deleting ? dbf_delete(&log.dbs.handle, recno)
                             : dbf_write2(&log.dbs.handle, recno, &live, 0, 1);
  if (w != 0) {
    fail_with_status(context, w);
    return;
  }
  if (!open.flush(context)) return;
  std::printf("%s contact %d\n", deleting ? "deleted" : "undeleted", static_cast<int>(recno));
}

void add_mark_command(CLI::App& app, bool deleting) {
  auto base = std::make_shared<std::string>();
  auto recno = std::make_shared<int32_t>(0);
  auto yes = std::make_shared<bool>(false);
  auto* cmd = app.add_subcommand(
      deleting ? "delete" : "undelete",
      deleting ? "Mark a contact deleted (shows it and asks unless --yes)"
               : "Mark a deleted contact live again (shows it and asks unless --yes)");
  cmd->add_option("LOG", *base, "the log's base path")->required();
  cmd->add_option("RECNO", *recno, "the contact's record number")->required();
  cmd->add_flag("--yes", *yes,
                "answer Yes to every question: write without asking (and make a missing file)");
  cmd->callback([base, recno, yes, deleting] { run_mark(*base, *recno, deleting, *yes); });
}

}  // namespace

void add_delete_commands(CLI::App& app) {
  add_mark_command(app, true);
  add_mark_command(app, false);
}

}  // namespace osprey_tool
