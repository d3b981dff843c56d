// The contact commands:
//   osprey list LOG [--by call|code|record|date|master-code] [--from KEY] [--limit N]
//                   [--band B] [--mode M] [--since DATE] [--until DATE] [--call PREFIX]
//                   [--deleted]
//   osprey show LOG CALL [--deleted]
//   osprey add LOG --call CALL [fields] [--yes]
//   osprey edit LOG RECNO [fields] [--yes]
//   osprey check LOG [--all]
// LOG is the log's base path (LOG, LOG.mst and LOG.dbs name the same set).
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "contact_filter.h"
#include "contact_input.h"
#include "contact_rows.h"
#include "contacts_check.h"
#include "contacts_session.h"
#include "exit_codes.h"
#include "osprey32.h"
#include "output.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

// Open and close flags: compare file times (rebuilding stale indexes) and
// store them again at the close, as the application does.
constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;
constexpr int32_t kOpenAsIs = 0;
constexpr int32_t kContactFile = OSP_WRITE_CONTACTS;
constexpr int32_t kByCall = OSP_MODE_CONTACTS_BY_CALL;
constexpr int32_t kByCode = OSP_MODE_CONTACTS_BY_CODE;
constexpr int32_t kRecordOrder = OSP_MODE_CONTACTS_IN_RECORD_ORDER;
constexpr int32_t kMastersByCode = OSP_MODE_MASTERS_BY_CODE;
constexpr int32_t kMastersInRecordOrder = OSP_MODE_MASTERS_IN_RECORD_ORDER;
constexpr int32_t kSeparatorsAndRemarks = OSP_READ_FULL;
constexpr int32_t kEndOfOrder = OSP_END_OF_ORDER;
constexpr int32_t kAskOwnerActive = 1;  // a non-zero confirmation word asks
constexpr int32_t kIdYes = OSP_ANSWER_YES;

void print_master_heading() {
  std::printf("%7s  %-6s %-28s %-3s %-4s %-6s %-6s\n", "RECNO", "CODE", "NAME", "FLG", "AREA",
              "CFM", "WKD");
}

void print_master(int32_t recno, const uint8_t* m) {
  const auto mask = [m](int at) { return static_cast<unsigned>(m[at] | m[at + 1] << 8); };
  std::printf("%7d  %s %s %s   %s 0x%04X 0x%04X\n", static_cast<int>(recno),
              utf8_of(reinterpret_cast<const char*>(m), 6).c_str(),
              utf8_of(reinterpret_cast<const char*>(m) + 6, 28).c_str(),
              utf8_of(reinterpret_cast<const char*>(m) + 34, 1).c_str(),
              utf8_of(reinterpret_cast<const char*>(m) + 35, 3).c_str(), mask(38), mask(40));
}

// The ends of a walk (10 past the last record, 12 past the last entry) are
// its normal end; anything else has been shown as a message.
bool walk_ended(int32_t r) { return r == 10 || r == 11 || r == kEndOfOrder || r == 13; }

// ---- list ----

struct ListOptions {
  std::string base;
  std::string by = "call";
  std::string from;
  int64_t limit = 0;
  ContactFilter filter;
};

// One contact that passed the filter, kept for an order made here: the
// contact itself is read again when its row is printed.
struct Row {
  int64_t when;
  int32_t recno;
  bool deleted;
};

// Contacts by date and time: every contact read in record order, then put in
// order of the moment each was made (UTC), equal moments in record order.
int32_t list_by_date(LogHandle* log, DeletionMarks* marks, const ListOptions& o) {
  std::vector<Row> rows;
  int32_t r = log->dbs.handle.record_count == 0 ? kEndOfOrder
                                                : OSP_read(log, 1, kSeparatorsAndRemarks);
  while (r == 0) {
    const int32_t recno = dbf_recno(&log->dbs.handle);
    const bool deleted = marks->deleted(recno);
    if (o.filter.matches(deleted, log->view, log->dbs_image))
      rows.push_back({contact_time(log->dbs_image).utc_minutes(), recno, deleted});
    r = OSP_skip(log, 1, kRecordOrder);
  }
  if (!walk_ended(r)) return r;
  std::stable_sort(rows.begin(), rows.end(),
                   [](const Row& a, const Row& b) { return a.when < b.when; });
  print_contact_heading();
  int64_t shown_rows = 0;
  for (const Row& row : rows) {
    if ((o.limit > 0 && shown_rows >= o.limit) || !output_ok()) break;
    r = OSP_read(log, row.recno, kSeparatorsAndRemarks);
    if (r != 0) return r;
    print_contact(row.recno, row.deleted, log->view, log->dbs_image);
    ++shown_rows;
  }
  return kEndOfOrder;
}

void run_list(const ListOptions& o) {
  const std::string context = "list: " + o.base;
  int32_t mode = kByCall;
  if (o.by == "code") mode = kByCode;
  if (o.by == "record" || o.by == "date") mode = kRecordOrder;
  if (o.by == "master-code") mode = kMastersByCode;
  const bool contacts = mode != kMastersByCode;
  const int slot = mode == kByCall ? 0 : mode == kByCode ? 1 : 2;

  ContactFilter filter = o.filter;
  std::string error;
  if (!filter.prepare(&error)) {
    fail_with_message(context, error, exit_code::kUsage);
    return;
  }
  if (!o.from.empty() && o.by == "date") {
    fail_with_message(context, "--from does not go with --by date; --since gives the first date",
                      exit_code::kUsage);
    return;
  }
  std::string key;
  // Call signs are stored in capitals: a key in small letters finds them.
  const std::string from = mode == kByCall ? capitals(o.from) : o.from;
  if (!from.empty() && mode != kRecordOrder && !sjis_of(from, &key, &error)) {
    fail_with_message(context, error, exit_code::kUsage);
    return;
  }
  int32_t first_record = 1;
  if (!o.from.empty() && mode == kRecordOrder) {
    try {
      first_record = std::stoi(o.from);
    } catch (...) {
      fail_with_message(context, "--from with --by record takes a record number",
                        exit_code::kUsage);
      return;
    }
  }

  SessionHooks hooks(Answers::kNo);
  OpenLog open(hooks, context, o.base, kOpenChecked, Use::kView);
  if (!open.ok()) return;
  LogHandle& log = *open.get();
  if (mode != kRecordOrder && !open.index_note(slot).empty()) {
    // Without its index an order is not there to walk: the contacts (or the
    // master entries) are listed in record order, and the reason said.
    if ((!from.empty() || !open.may_be_written()) && !open.require_index(context, slot)) return;
    std::fprintf(stderr, "osprey: %s: %s; listed in record order\n", context.c_str(),
                 open.index_note(slot).c_str());
    mode = contacts ? kRecordOrder : kMastersInRecordOrder;
  }
  DeletionMarks marks(log.dbs.handle);
  ListOptions options = o;
  options.filter = filter;

  int32_t r = 0;
  if (o.by == "date") {
    r = list_by_date(&log, &marks, options);
  } else {
    if (mode == kRecordOrder) {
      // Record order streams the contacts through the fast sequential pass.
      log.dbs.handle.current_recno = first_record < 1 ? -1 : first_record - 1;
      r = DBS_Xread(&log);
    } else if (!from.empty()) {
      // The first entry whose key begins with KEY, or else the first one above.
      std::vector<char> buffer(key.begin(), key.end());
      buffer.push_back('\0');
      r = OSP_seek(&log, buffer.data(), mode);
      if (r == kEndOfOrder) r = OSP_skip(&log, 0, mode);
      if (r == kEndOfOrder) r = OSP_skip(&log, 1, mode);
    } else {
      r = log.dbs.handle.record_count == 0 && contacts ? kEndOfOrder : OSP_top(&log, mode);
      if (!contacts && log.mst.handle.record_count == 0) r = kEndOfOrder;
    }

    if (contacts) print_contact_heading(); else print_master_heading();
    int64_t rows = 0;
    while (r == 0 && (o.limit <= 0 || rows < o.limit) && output_ok()) {
      if (contacts) {
        const int32_t recno = dbf_recno(&log.dbs.handle);
        const bool deleted = marks.deleted(recno);
        if (filter.matches(deleted, log.view, log.dbs_image)) {
          print_contact(recno, deleted, log.view, log.dbs_image);
          ++rows;
        }
      } else {
        print_master(dbf_recno(&log.mst.handle), log.mst_image);
        ++rows;
      }
      r = mode == kRecordOrder ? DBS_Xread(&log) : OSP_skip(&log, 1, mode);
    }
  }
  if (r == OSP_DATA_READ_ERROR && mode == kRecordOrder)
    fail_with_status(context, r, "the contact file ends before the last record its header counts; "
                                 "osprey check --repair brings the count down");
  else if (r != 0 && !walk_ended(r))
    fail_with_status(context, r);
  else if (!hooks.messages().empty())
    fail_with_message(context, "the library reported a problem (above)");
}

// ---- show ----

// Every contact with the call sign: the index holds the first six
// characters, so a seventh is compared here. Call signs are stored in
// capitals; contacts that other programs stored in small letters are found
// under those too.
void run_show(const std::string& base, const std::string& call, bool with_deleted) {
  const std::string context = "show: " + base;
  std::string key;
  std::string error;
  if (!sjis_of(capitals(call), &key, &error)) {
    fail_with_message(context, error, exit_code::kUsage);
    return;
  }
  if (key.empty() || key.size() > 7) {
    fail_with_message(context, "a call sign has 1 to 7 characters", exit_code::kUsage);
    return;
  }
  const std::string full = key;

  SessionHooks hooks(Answers::kNo);
  OpenLog open(hooks, context, base, kOpenChecked, Use::kView);
  if (!open.ok()) return;
  LogHandle& log = *open.get();
  DeletionMarks marks(log.dbs.handle);

  print_contact_heading();
  int shown_rows = 0;
  int hidden = 0;
  int32_t total = 0;
  const auto show_loaded = [&](int32_t recno) {
    if (call_of(log.view) != full) return;
    const bool deleted = marks.deleted(recno);
    if (deleted && !with_deleted) {
      ++hidden;
      return;
    }
    print_contact(recno, deleted, log.view, log.dbs_image);
    ++shown_rows;
  };
  if (!open.index_note(0).empty() && !open.may_be_written()) {
    open.require_index(context, 0);
    return;
  }
  if (!open.index_note(0).empty()) {
    // Without the call-sign index every contact is read, in record order.
    std::fprintf(stderr, "osprey: %s: %s; every contact is read\n", context.c_str(),
                 open.index_note(0).c_str());
    log.dbs.handle.current_recno = 0;
    int32_t r = log.dbs.handle.record_count == 0 ? kEndOfOrder : DBS_Xread(&log);
    for (; r == 0 && output_ok(); r = DBS_Xread(&log)) show_loaded(dbf_recno(&log.dbs.handle));
    if (r != 0 && !walk_ended(r)) {
      fail_with_status(context, r);
      return;
    }
  }

  std::vector<std::string> keys;
  if (open.index_note(0).empty()) keys.push_back(full.substr(0, 6));
  const std::string small = keys.empty() ? "" : with_ascii_case(keys[0], false);
  if (!keys.empty() && small != keys[0]) keys.push_back(small);

  for (std::string k : keys) {
    k.resize(6, ' ');
    std::vector<int32_t> results(1001, 0);
    total += DupIndexRead(&log.index_slot[0], k.c_str(), results.data());
    for (int i = 0; i < 1000 && results[static_cast<size_t>(i)] != 0; ++i) {
      const int32_t recno = results[static_cast<size_t>(i)];
      const int32_t r = OSP_read(&log, recno, kSeparatorsAndRemarks);
      if (r != 0) {
        fail_with_status(context + ": record " + std::to_string(recno), r);
        return;
      }
      show_loaded(recno);
    }
  }
  if (total > 1000)
    std::printf("(%d contacts with %s; the last 1000 of them are shown)\n", static_cast<int>(total),
                call.c_str());
  else if (shown_rows == 0)
    std::printf("(no contact with %s)\n", call.c_str());
  if (hidden > 0)
    std::printf("(%d deleted contact%s not shown; --deleted shows %s)\n", hidden,
                hidden == 1 ? "" : "s", hidden == 1 ? "it" : "them");
  if (!hooks.messages().empty()) fail_with_message(context, "the library reported a problem (above)");
}

// ---- add and edit ----

// The fields a command line may set, as given (UTF-8), and its --yes.
struct FieldOptions : ContactFields {
  bool yes = false;
};

// Packs log's view into its record image through the library (an update
// that only finds the change, writing nothing), and shows under heading
// the contact as the record gives it back. False, with the reason shown
// (exit status usage), when a value given would come back otherwise.
bool show_stored_form(LogHandle* log, const FieldOptions& f, const std::string& context,
                      const std::string& heading, const std::string& number) {
  ContactView stored;
  int32_t status = 0;
  std::string error;
  if (!pack_view(log, f, &stored, &status, &error)) {
    if (status != 0)
      fail_with_status(context, status);
    else
      fail_with_message(context, error, exit_code::kUsage);
    return false;
  }
  std::printf("%s:\n", heading.c_str());
  print_contact_heading();
  std::printf("%s\n", contact_row(number, false, stored, log->dbs_image).c_str());
  std::fflush(stdout);
  return true;
}

// Warns when the master file has no entry for the code given.
void warn_of_unknown_code(LogHandle* log, const OpenLog& open, const FieldOptions& f,
                          const std::string& context) {
  if (!f.code || f.code->empty()) return;
  if (!open.index_note(2).empty()) return;  // the master index is not there to ask
  std::string key = *f.code;
  key.resize(6, ' ');
  std::vector<char> buffer(key.begin(), key.end());
  buffer.push_back('\0');
  const int32_t r = OSP_seek(log, buffer.data(), kMastersByCode);
  if (r == 0 && std::memcmp(log->mst_image, key.data(), 6) == 0) return;
  std::fprintf(stderr, "osprey: %s: warning: the master file %s has no area code %s\n",
               context.c_str(), open.files().master.c_str(), f.code->c_str());
}

void run_add(const std::string& base, const FieldOptions& f) {
  const std::string context = "add: " + base;
  ContactView v = blank_view();
  std::string error;
  if (!apply_fields(f, &v, &error)) {
    fail_with_message(context, error, exit_code::kUsage);
    return;
  }
  SessionHooks hooks(f.yes ? Answers::kYes : Answers::kAsk);
  OpenLog open(hooks, context, base, kOpenChecked, Use::kChange);
  if (!open.ok()) return;
  LogHandle& log = *open.get();
  warn_of_unknown_code(&log, open, f, context);
  // What will be written, as the record gives it back, before the question.
  log.view = v;
  if (!show_stored_form(&log, f, context, "to be added", "new")) return;
  const int64_t at = contact_time(log.dbs_image).utc_minutes();
  for (int32_t recno : duplicates_of(&log, v, at))
    std::fprintf(stderr, "osprey: add: contact %d has the same call sign, moment (in UTC), band "
                         "and mode\n", static_cast<int>(recno));
  log.view = v;
  int32_t word = kAskOwnerActive;
  const int32_t r = OSP_append(&log, kContactFile, &word);
  if (r != 0) {
    fail_with_status(context, r);
    return;
  }
  if (word != kIdYes) {
    fail_with_message(context, "declined: nothing was written", exit_code::kDeclined);
    return;
  }
  if (!open.flush(context)) return;
  std::printf("added contact %d\n", static_cast<int>(log.dbs.handle.record_count));
}

void run_edit(const std::string& base, int32_t recno, const FieldOptions& f) {
  const std::string context = "edit: " + base + " record " + std::to_string(recno);
  SessionHooks hooks(f.yes ? Answers::kYes : Answers::kAsk);
  OpenLog open(hooks, context, base, kOpenChecked, Use::kChange);
  if (!open.ok()) return;
  LogHandle& log = *open.get();
  warn_of_unknown_code(&log, open, f, context);
  int32_t r = OSP_read(&log, recno, kSeparatorsAndRemarks);
  if (r != 0) {
    fail_with_status(context, r, r == 10 || r == 11 ? "no such record" : "");
    return;
  }
  auto old = std::make_unique<LogHandle>(log);
  std::string error;
  if (!apply_fields(f, &log.view, &error)) {
    fail_with_message(context, error, exit_code::kUsage);
    return;
  }
  if (!show_stored_form(&log, f, context, "to be stored", std::to_string(recno))) return;
  int32_t word = 0;
  r = OSP_update(&log, old.get(), recno, kContactFile, &word);
  if (r != 0) {
    fail_with_status(context, r);
    return;
  }
  if (word == 0) {
    std::printf("contact %d unchanged\n", static_cast<int>(recno));
  } else if (word != kIdYes) {
    fail_with_message(context, "declined: nothing was written", exit_code::kDeclined);
  } else if (!hooks.messages().empty()) {
    fail_with_message(context, "written, but the library reported a problem (above)");
  } else if (open.flush(context)) {
    std::printf("updated contact %d\n", static_cast<int>(recno));
  }
}

// ---- check ----

constexpr size_t kProblemsShown = 50;

void run_check(const std::string& base, bool all) {
  const std::string context = "check: " + base;
  // Answers No to everything: nothing is created, and a count mismatch is
  // reported rather than forced.
  SessionHooks hooks(Answers::kNo);
  OpenLog open(hooks, context, base, kOpenAsIs, Use::kView);
  if (!open.ok()) return;
  LogHandle& log = *open.get();
  const LogCheck result = check_log(&log);
  for (const std::string& path : hooks.built())
    std::printf("index %s was missing and has been built\n", path.c_str());
  for (const IndexSummary& s : result.indexes)
    std::printf("index %d  %-40s %lld entries\n", s.slot, s.path.c_str(),
                static_cast<long long>(s.entries));
  std::printf("contacts %d, remarks file count %d\n", static_cast<int>(log.dbs.handle.record_count),
              static_cast<int>(log.dbr_header[4] | log.dbr_header[5] << 8 |
                               log.dbr_header[6] << 16 | log.dbr_header[7] << 24));
  std::vector<std::string> problems = result.problems;
  for (const std::string& m : hooks.messages()) problems.push_back("the library reported: " + m);
  if (problems.empty()) {
    std::printf("consistent\n");
    return;
  }
  const size_t shown = all ? problems.size() : std::min(problems.size(), kProblemsShown);
  for (size_t i = 0; i < shown; ++i) std::printf("  - %s\n", problems[i].c_str());
  if (shown < problems.size())
    std::printf("  ... and %zu more (--all shows every one)\n", problems.size() - shown);
  // A check only looks: an index that is not there is not built here.
  bool index_missing = false;
  for (int slot = 0; slot < 5; ++slot) index_missing = index_missing || !open.index_note(slot).empty();
  if (index_missing && open.may_be_written())
    std::printf("(osprey check %s --repair rebuilds the indexes)\n", base.c_str());
  fail_with_message(context,
                    std::to_string(problems.size()) + " problem" +
                        (problems.size() == 1 ? "" : "s") + " found",
                    exit_code::kProblemsFound);
}

// The field options; adding says what a contact gets when one is not given,
// editing keeps the stored value.
void add_field_options(CLI::App* cmd, FieldOptions* f, bool adding) {
  cmd->add_option("--call", f->call, "call sign (up to 7 characters; stored in capitals)");
  cmd->add_option("--portable", f->portable, "portable designation (up to 3)");
  cmd->add_option("--date", f->date,
                  adding ? "date: YYYY-MM-DD, YY/MM/DD or YYMMDD (default: today, UTC)"
                         : "date: YYYY-MM-DD, YY/MM/DD or YYMMDD (default: the stored date)");
  cmd->add_option("--time", f->time,
                  adding ? "time: HH:MM or HHMM, then U (UTC) or J (JST) (default: now, UTC)"
                         : "time: HH:MM or HHMM, then U (UTC) or J (JST) (default: the stored "
                           "time; without U or J the stored zone)");
  cmd->add_flag("--jst", f->jst, "the time is Japan Standard Time (without --time: the stored "
                                 "time's zone becomes JST)");
  cmd->add_option("--freq", f->freq,
                  "frequency in MHz, 1 MHz and up, e.g. 7.050 or 144.50 (up to 7 characters)");
  cmd->add_option("--mode", f->mode, "mode (up to 3)");
  cmd->add_option("--his", f->his,
                  "his report: a number 0-99 and an optional tone digit, e.g. 599 or 59 (no sign)");
  cmd->add_option("--my", f->my, "my report (as --his)");
  cmd->add_option("--code", f->code, "area code (up to 6)");
  cmd->add_option("--grid", f->grid, "grid locator (up to 6)");
  cmd->add_option("--qsl", f->qsl, "QSL marks: route, sent, received (up to 3)");
  cmd->add_option("--name", f->name, "operator name (up to 12 bytes in Shift-JIS)");
  cmd->add_option("--remark1", f->remark1, "remark 1 (up to 28 bytes)");
  cmd->add_option("--remark2", f->remark2, "remark 2 (up to 54 bytes)");
  cmd->add_option("--remark3", f->remark3, "remark 3 (up to 54 bytes)");
  cmd->add_flag("--yes", f->yes,
                "answer Yes to every question: write without asking (and make a missing file)");
}

}  // namespace

void add_contacts_commands(CLI::App& app) {
  auto list_options = std::make_shared<ListOptions>();
  auto* list = app.add_subcommand("list", "List a log's contacts (or master entries) in an order");
  list->add_option("LOG", list_options->base, "the log's base path")->required();
  list->add_option("--by", list_options->by,
                   "the order: call (the default), code, record, date (date and time, UTC) or "
                   "master-code (the master entries)")
      ->check(CLI::IsMember({"call", "code", "record", "date", "master-code"}));
  list->add_option("--from", list_options->from,
                   "start at the first key not below KEY (a record number with --by record)");
  list->add_option("--limit", list_options->limit, "at most N rows")
      ->check(CLI::NonNegativeNumber);
  ContactFilter& filter = list_options->filter;
  list->add_option("--band", filter.band, "only this band, in MHz: 1.9, 3.5, 7 ... 430, 1200");
  list->add_option("--mode", filter.mode, "only this mode (any case)");
  list->add_option("--since", filter.since, "only contacts on or after this date (YYYY-MM-DD)");
  list->add_option("--until", filter.until, "only contacts on or before this date (YYYY-MM-DD)");
  list->add_option("--call", filter.call, "only call signs that begin with PREFIX (any case)");
  list->add_flag("--deleted", filter.deleted, "also list deleted contacts (marked * after RECNO)");
  list->callback([list_options] { run_list(*list_options); });

  auto show_base = std::make_shared<std::string>();
  auto show_call = std::make_shared<std::string>();
  auto show_deleted = std::make_shared<bool>(false);
  auto* show = app.add_subcommand("show", "Show every contact made with a call sign");
  show->add_option("LOG", *show_base, "the log's base path")->required();
  show->add_option("CALL", *show_call, "the call sign (any case)")->required();
  show->add_flag("--deleted", *show_deleted, "also show deleted contacts (marked * after RECNO)");
  show->callback([show_base, show_call, show_deleted] {
    run_show(*show_base, *show_call, *show_deleted);
  });

  auto add_base = std::make_shared<std::string>();
  auto add_fields = std::make_shared<FieldOptions>();
  auto* add = app.add_subcommand(
      "add", "Add a contact: shows it, warns of a contact with the same call sign, date, time, "
             "band and mode, and asks unless --yes");
  add->add_option("LOG", *add_base, "the log's base path")->required();
  add_field_options(add, add_fields.get(), true);
  add->callback([add_base, add_fields] {
    if (!add_fields->call) {
      fail_with_message("add: " + *add_base, "--call is required", exit_code::kUsage);
      return;
    }
    run_add(*add_base, *add_fields);
  });

  auto edit_base = std::make_shared<std::string>();
  auto edit_recno = std::make_shared<int32_t>(0);
  auto edit_fields = std::make_shared<FieldOptions>();
  auto* edit = app.add_subcommand("edit", "Change fields of a contact (asks unless --yes)");
  edit->add_option("LOG", *edit_base, "the log's base path")->required();
  edit->add_option("RECNO", *edit_recno, "the contact's record number")->required();
  add_field_options(edit, edit_fields.get(), false);
  edit->callback([edit_base, edit_recno, edit_fields] {
    run_edit(*edit_base, *edit_recno, *edit_fields);
  });

  auto check_base = std::make_shared<std::string>();
  auto check_all = std::make_shared<bool>(false);
  auto* check = app.add_subcommand(
      "check", "Check every index against its record file, the remarks file's count and every "
               "contact's remark link; lists the first 50 problems");
  check->add_option("LOG", *check_base, "the log's base path")->required();
  check->add_flag("--all", *check_all, "list every problem");
  auto repair = std::make_shared<bool>(false);
  auto repair_yes = std::make_shared<bool>(false);
  check->add_flag("--repair", *repair,
                  "rebuild the indexes, make the counts agree and recover records beyond the "
                  "count, after a backup of each file changed");
  check->add_flag("--yes", *repair_yes, "with --repair: recover without asking");
  check->callback([check_base, check_all, repair, repair_yes] {
    if (*repair) {
      run_repair(*check_base, *repair_yes);
    } else {
      run_check(*check_base, *check_all);
    }
  });
}

}  // namespace osprey_tool
