// osprey wkd LOG [--exclude ROUTES] [--not-received C] [--svg FILE]
// [--raise-only]: recomputes the master file's worked/confirmed band tables
// from the live contacts (every entry that takes part cleared, then raised
// by the library's walk over the contacts that are not deleted), then prints
// the award table (and draws it as a picture). --raise-only leaves out the
// clearing: the tables only rise, as the library's walk has them.

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "award/award_table.h"
#include "award/award_walk.h"
#include "commands/commands.h"
#include "contacts_session.h"
#include "log_files.h"
#include "mark_text.h"
#include "osprey32.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;

struct WkdOptions {
  std::string base;
  std::string exclude;
  std::string not_received = "N";
  std::string svg;
  bool raise_only = false;
};

// A copy of a log that may not be written, in a folder of its own that goes
// away with it: the walk raises the band tables in the copy, so that the
// award table can be shown without changing the user's files.
class ScratchCopy {
 public:
  ScratchCopy(const LogFiles& files, const std::string& base) {
    std::error_code ec;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
    std::string pattern = ((ec ? std::filesystem::path("/tmp") : temp) / "osprey-wkd-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      error_ = "cannot make a folder like " + pattern;
      return;
    }
    folder_ = pattern;
    for (const std::string& path : files.all()) {
      if (!std::filesystem::exists(path, ec)) continue;
      const auto to = std::filesystem::path(folder_) / std::filesystem::path(path).filename();
      if (!std::filesystem::copy_file(path, to, ec)) {
        error_ = "cannot copy " + path + ": " + ec.message();
        return;
      }
      std::filesystem::permissions(to, std::filesystem::perms::owner_write,
                                   std::filesystem::perm_options::add, ec);
    }
    base_ = (std::filesystem::path(folder_) / std::filesystem::path(base).filename()).string();
  }
  ~ScratchCopy() {
    std::error_code ec;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
  }
  ScratchCopy(const ScratchCopy&) = delete;
  ScratchCopy& operator=(const ScratchCopy&) = delete;

  // The copy's base path; empty when it could not be made.
  const std::string& base() const { return base_; }
  // Why the copy could not be made.
  const std::string& error() const { return error_; }

 private:
  std::string error_;
  std::string folder_;
  std::string base_;
};

void run_wkd(const WkdOptions& o) {
  const std::string context = "wkd: " + o.base;
  std::string excluded;
  uint8_t not_received = 0;
  std::string error;
  if (!sjis_of(o.exclude, &excluded, &error) ||
      !mark_byte(o.not_received, "--not-received", &not_received, &error)) {
    fail_with_message(context, error, exit_code::kUsage);
    return;
  }

  // The walk stores what it raises in the master file. A log that may not
  // be written is walked in a scratch copy, and the user is told so.
  const LogFiles files = log_files(o.base);
  const std::string reason = read_only_reason(files);
  std::optional<ScratchCopy> copy;
  if (!reason.empty()) {
    copy.emplace(files, o.base);
    if (copy->base().empty()) {
      fail_with_message(context, reason + " may not be written, and no scratch copy could be made: " +
                                     copy->error());
      return;
    }
    std::fprintf(stderr,
                 "osprey: %s may not be written: the tables are raised in a scratch copy and "
                 "not stored\n",
                 reason.c_str());
  }

  SessionHooks hooks(Answers::kNo);
  OpenLog open(hooks, context, copy ? copy->base() : o.base, kOpenChecked, Use::kChange);
  if (!open.ok()) return;
  LogHandle& log = *open.get();

  WalkCounts counts;
  {
    ProgressBar bar;
    const int64_t total = log.dbs.handle.record_count;
    bool walked = false;
    if (o.raise_only) {
      walked = walk_live_contacts(
          &log, excluded, not_received,
          [&bar, total](int32_t recno) { bar.amount(recno, total, "walking the contacts"); },
          &counts, &error);
    } else {
      // The library draws the record number it has reached.
      hooks.on_progress([&bar, total](int32_t, int32_t, const std::string& text) {
        bar.amount(std::atoll(text.c_str()), total, "walking the contacts");
      });
      int device_context = 0;
      walked = recompute_tables(&log, &device_context, excluded, not_received, &counts, &error);
      hooks.on_progress(nullptr);
    }
    bar.finish("walked the contacts");
    if (!walked) {
      fail_with_message(context, (o.raise_only ? "the walk: " : "") + error);
      return;
    }
  }
  if (!open.flush(context)) return;  // the tables are on the disk

  std::vector<AwardRow> rows;
  const int32_t read = award_rows(&log, &rows);
  if (read != 0) {
    fail_with_status(context + ": reading the master file", read);
    return;
  }
  const BandTotals totals = totals_of(rows);
  print_award_table(stdout, rows, totals);

  if (counts.deleted != 0)
    std::printf("(%d deleted contact%s not counted)\n", static_cast<int>(counts.deleted),
                counts.deleted == 1 ? "" : "s");

  if (!o.svg.empty()) {
    std::ofstream out(o.svg, std::ios::binary);
    const std::string name = o.base.substr(o.base.find_last_of('/') + 1);
    out << award_svg(rows, totals, "Worked and confirmed areas: " + name);
    if (!out.flush()) {
      fail_with_message(context, "cannot write " + o.svg, exit_code::kOutputFailed);
      return;
    }
  }
  if (!hooks.messages().empty())
    fail_with_message(context, "the library reported a problem (above)");
}

}  // namespace

void add_wkd_command(CLI::App& app) {
  auto o = std::make_shared<WkdOptions>();
  auto* cmd = app.add_subcommand(
      "wkd",
      "Recompute the worked/confirmed tables from the live contacts and show the award table");
  cmd->add_option("LOG", o->base, "the log's base path")->required();
  cmd->add_option("--exclude", o->exclude,
                  "route marks (first QSL character) whose contacts are not counted");
  cmd->add_option("--not-received", o->not_received,
                  "the received mark that means no card yet (default N; a blank always does)");
  cmd->add_option("--svg", o->svg, "also draw the table as an SVG picture into FILE");
  cmd->add_flag("--raise-only", o->raise_only,
                "keep the tables as they are and only raise them (no clearing first)");
  cmd->callback([o] { run_wkd(*o); });
}

}  // namespace osprey_tool
