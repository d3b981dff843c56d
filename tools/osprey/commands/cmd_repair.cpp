// osprey check LOG --repair [--yes]: puts a damaged log right.
//   - The contact file's header count is set to the records the file really
//     holds: whole records found beyond the count (written before a crash
//     kept the header from counting them) are shown and, once agreed to,
//     counted again; a count that claims records the file lacks comes down.
//   - The remarks file's contact count is made to agree with it.
//   - Every index is built again from the record files, and the file times
//     are stored, so that the next open takes the indexes as they are.
// Before anything changes, each file that will change is copied to a backup
// beside it ("NAME.bak", or "NAME.bak2" and on when that is taken). What was
// done is said line by line on standard output.
#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "commands/commands.h"
#include "contacts_check.h"
#include "contacts_session.h"
#include "formats/dbf_layout.h"
#include "formats/file_bytes.h"
#include "formats/le_bytes.h"
#include "osprey32.h"
#include "log_files.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

namespace fs = std::filesystem;

constexpr int kIndexCount = 5;
constexpr uint32_t kTypeMask = 0x0F;
constexpr int32_t kIdOk = 1;
constexpr int32_t kIdYes = OSP_ANSWER_YES;
constexpr int32_t kIdNo = OSP_ANSWER_NO;
// Open: compare the file times; close: store them.
constexpr int32_t kCheckTimes = OSP_OPEN_CHECK_TIMES;
constexpr size_t kCallBytes = 6;    // the call sign, data bytes 0-5
constexpr size_t kShownRecords = 20;
// The library's question whether the remarks file's count may be forced to
// the contact file's ("強引に合わせておきますか？").
constexpr char kForceCountQuestion[] =
    "\x8B\xAD\x88\xF8\x82\xC9\x8D\x87\x82\xED\x82\xB9\x82\xC4\x82\xA8\x82\xAB\x82\xDC\x82\xB7"
    "\x82\xA9\x81\x48";
// The end of the library's question whether a file that cannot be opened
// may be made anew ("...がオープンできません！  新規作成しますか？").
constexpr char kCreateQuestion[] =
    "\x82\xAA\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81\x49"
    "\x20\x20\x90\x56\x8B\x4B\x8D\xEC\x90\xAC\x82\xB5\x82\xDC\x82\xB7\x82\xA9\x81\x48";
constexpr int32_t kRemarksUnusable = 41;  // the open's result for such a remarks file

// The contact file's header and what the file really holds.
struct ContactFacts {
  int32_t count = 0;
  int32_t header_size = 0;
  int32_t record_size = 0;
  int64_t held = 0;  // whole records after the header
};

bool contact_facts(const std::string& path, ContactFacts* f, std::string* error) {
  std::vector<uint8_t> first;
  RecordFileHeader header;
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec || !read_file_bytes(path, 0, kDbfRecordSize + 2, &first) ||
      !read_record_header(first, &header)) {
    *error = path + ": the header cannot be read";
    return false;
  }
  f->count = header.record_count;
  f->header_size = header.header_size;
  f->record_size = header.record_size;
  if (f->record_size < 1 || f->header_size < 33) {
    *error = path + ": the header is unusable (record size or header size); it cannot be repaired";
    return false;
  }
  const auto bytes = static_cast<int64_t>(size);
  f->held = bytes > f->header_size ? (bytes - f->header_size) / f->record_size : 0;
  if (f->held > INT32_MAX) f->held = INT32_MAX;
  return true;
}

// Shows records first to last (raw, beyond the header's count) with their
// call signs and data as text.
void show_records(const std::string& path, const ContactFacts& f, int64_t first, int64_t last) {
  for (int64_t recno = first; recno <= last; ++recno) {
    if (static_cast<size_t>(recno - first) == kShownRecords) {
      std::printf("  ... and %lld more\n", static_cast<long long>(last - recno + 1));
      break;
    }
    std::vector<uint8_t> rec;
    const int64_t at = f.header_size + (recno - 1) * static_cast<int64_t>(f.record_size);
    if (!read_file_bytes(path, at, static_cast<size_t>(f.record_size), &rec)) break;
    const char* data = reinterpret_cast<const char*>(rec.data()) + 1;
    const size_t length = rec.size() - 1;
    std::printf("  record %lld%s  %s  %s\n", static_cast<long long>(recno),
                rec[0] == '*' ? " (deleted)" : "",
                utf8_of(data, length < kCallBytes ? length : kCallBytes).c_str(),
                utf8_of(data, length).c_str());
  }
}

bool agree(bool assume_yes, const std::string& question) {
  std::printf("%s [y/N] ", question.c_str());
  if (assume_yes) {
    std::printf("yes (--yes)\n");
    return true;
  }
  std::fflush(stdout);
  std::string line;
  if (!std::getline(std::cin, line)) {
    std::printf("\n");
    return false;
  }
  return !line.empty() && (line[0] == 'y' || line[0] == 'Y');
}

// The library's hooks during the repair's open: the remarks count may be
// forced, nothing else is agreed to (no file is made anew); messages are kept.
struct RepairHooks {
  std::vector<std::string> messages;
  bool forced = false;
  bool new_remarks = false;  // a new remarks file was agreed to
  int built = 0;

  static int32_t on_box(void* ctx, int32_t, const char* text, const char* caption,
                        uint32_t style) {
    auto* self = static_cast<RepairHooks*>(ctx);
    if ((style & kTypeMask) == 0) {
      const std::string shown = utf8_of(caption, std::strlen(caption)) + ": " +
                                utf8_of(text, std::strlen(text));
      std::fprintf(stderr, "osprey: %s\n", shown.c_str());
      self->messages.push_back(shown);
      return kIdOk;
    }
    if (std::strcmp(text, kForceCountQuestion) == 0) {
      self->forced = true;
      return kIdYes;
    }
    const size_t n = std::strlen(text), q = std::strlen(kCreateQuestion);
    if (self->new_remarks && n > q && std::strcmp(text + n - q, kCreateQuestion) == 0 &&
        n - q > 4 && strncasecmp(text + n - q - 4, ".dbr", 4) == 0)
      return kIdYes;
    return kIdNo;
  }
  static void on_text(void* ctx, void*, int32_t x, int32_t, const char*, int32_t) {
    // Each build draws its notice at x 72.
    if (x == 72) static_cast<RepairHooks*>(ctx)->built += 1;
  }
};

// Sets the contact file's count to count through the library's record-file
// handle (the header and the end mark after the last record).
bool set_contact_count(const std::string& path, int32_t count, std::string* error) {
  DbfHandle h{};
  const int32_t r = dbf_open(path.c_str(), &h);
  if (r != 0) {
    *error = path + ": status " + std::to_string(r) + ": " + status_description(r);
    return false;
  }
  h.record_count = count;
  h.flags = 3;  // the count and the end mark go back with the header
  if (dbf_close(&h) != 1) {
    *error = path + ": the header could not be written back";
    return false;
  }
  return true;
}

}  // namespace

void run_repair(const std::string& base, bool assume_yes) {
  const std::string context = "check --repair: " + base;
  const std::string dbs = replace_extension(base, ".dbs");
  const std::string dbr = replace_extension(base, ".dbr");
  std::string error;
  ContactFacts f;
  if (!contact_facts(dbs, &f, &error)) {
    fail_with_message(context, error);
    return;
  }

  // What the contact count should be, and whether the user agrees.
  int32_t new_count = f.count;
  if (f.held != f.count) {
    if (f.held > f.count) {
      const int64_t first = f.count < 0 ? 1 : int64_t{f.count} + 1;
      std::printf("%lld whole record%s beyond the header's count of %d:\n",
                  static_cast<long long>(f.held - first + 1), f.held - first == 0 ? "" : "s",
                  static_cast<int>(f.count));
      show_records(dbs, f, first, f.held);
      if (agree(assume_yes, "count these records again?")) new_count = static_cast<int32_t>(f.held);
    } else {
      std::printf("the header counts %d records, the file holds %lld\n",
                  static_cast<int>(f.count), static_cast<long long>(f.held));
      if (agree(assume_yes, "lower the count to the records held?"))
        new_count = static_cast<int32_t>(f.held);
    }
  }

  // The backups: everything this repair may change.
  std::vector<std::string> changed = {dbr};
  if (new_count != f.count) changed.push_back(dbs);
  for (int i = 0; i < kIndexCount; ++i) changed.push_back(replace_extension(base, (".dx" + std::to_string(i)).c_str()));
  for (const char* profile : {".fdt", ".FDT"}) changed.push_back(replace_extension(base, profile));
  if (!back_up(changed, &error)) {
    fail_with_message(context, error + "; nothing was changed");
    return;
  }

  if (new_count != f.count) {
    if (!set_contact_count(dbs, new_count, &error)) {
      fail_with_message(context, error);
      return;
    }
    std::printf("contact count %d -> %d\n", static_cast<int>(f.count),
                static_cast<int>(new_count));
  }

  // The indexes are built anew by the open, which also forces the remarks
  // count; the close stores the file times.
  std::vector<uint8_t> remarks_header;
  const bool had_remarks = read_file_bytes(dbr, 0, kDbfRecordCount + 4, &remarks_header);
  for (int i = 0; i < kIndexCount; ++i) {
    std::error_code ec;
    fs::remove(replace_extension(base, (".dx" + std::to_string(i)).c_str()), ec);
  }
  RepairHooks hooks;
  const OspHooks installed{&RepairHooks::on_box, &RepairHooks::on_text, nullptr, nullptr, &hooks};
  OspSetHooks(&installed);
  static int device_context = 0;
  LogHandle log{};
  int32_t opened = OspreyOpen(&device_context, &log, library_base(base).c_str(), 0, 0);
  // A remarks file that is there, not held, and still not usable: the
  // contacts are whole without it. Once agreed to, it gives way to an empty
  // one (its copy stays in the backup) and every contact loses its link to
  // remarks 2 and 3.
  if (opened == kRemarksUnusable && fs::exists(dbr) && held_file({dbr}).empty()) {
    std::printf("the remarks file %s cannot be used; the contacts can be kept without it, "
                "losing their remarks 2 and 3 (the file stays in the backup)\n",
                dbr.c_str());
    std::error_code ec;
    if (agree(assume_yes, "replace it with an empty remarks file?") && fs::remove(dbr, ec)) {
      hooks.messages.clear();
      hooks.new_remarks = true;
      std::memset(&log, 0, sizeof log);
      opened = OspreyOpen(&device_context, &log, library_base(base).c_str(), 0, 0);
      if (opened == 0) std::printf("new remarks file %s: remarks 2 and 3 lost\n", dbr.c_str());
    }
  }
  if (opened != 0) {
    OspSetHooks(nullptr);
    fail_with_status(context, opened, "the log does not open after the repair; the backups are kept");
    return;
  }
  std::printf("rebuilt %d index%s\n", hooks.built, hooks.built == 1 ? "" : "es");
  if (hooks.forced && had_remarks)
    std::printf("remarks file count %d -> %d\n",
                static_cast<int>(get_i32(&remarks_header[kDbfRecordCount])),
                static_cast<int>(log.dbs.handle.record_count));
  // The check walks every counted record: only once the count is honest.
  std::vector<std::string> problems;
  if (new_count >= 0 && new_count <= f.held) {
    problems = check_log(&log).problems;
  } else {
    problems.push_back("the header still counts records the contact file does not hold");
  }
  OspreyClose(&log, kCheckTimes);
  OspSetHooks(nullptr);
  for (const std::string& m : hooks.messages) problems.push_back("the library reported: " + m);
  if (problems.empty()) {
    std::printf("consistent\n");
    return;
  }
  for (const std::string& p : problems) std::printf("  - %s\n", p.c_str());
  fail_with_message(context, std::to_string(problems.size()) + " problem" +
                                 (problems.size() == 1 ? "" : "s") + " left after the repair");
}

}  // namespace osprey_tool
