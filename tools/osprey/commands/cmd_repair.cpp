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
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "commands/commands.h"
#include "contacts_check.h"
#include "contacts_session.h"
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

// The contact file's header and what the file really holds.
struct ContactFacts {
  int32_t count = 0;
  int32_t header_size = 0;
  int32_t record_size = 0;
  int64_t held = 0;  // whole records after the header
};

int32_t load_i32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}

// Reads size bytes at offset of path; false when they are not all there.
bool read_bytes(const std::string& path, int64_t offset, size_t size, std::vector<uint8_t>* out) {
  std::ifstream in(path, std::ios::binary);
  out->assign(size, 0);
  in.seekg(offset);
  in.read(reinterpret_cast<char*>(out->data()), static_cast<std::streamsize>(size));
  return in.gcount() == static_cast<std::streamsize>(size);
}

bool contact_facts(const std::string& path, ContactFacts* f, std::string* error) {
  std::vector<uint8_t> header;
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec || !read_bytes(path, 0, 12, &header)) {
    *error = path + ": the header cannot be read";
    return false;
  }
  f->count = load_i32(&header[4]);
  f->header_size = static_cast<uint16_t>(header[8] | header[9] << 8);
  f->record_size = static_cast<int16_t>(header[10] | header[11] << 8);
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
    if (!read_bytes(path, at, static_cast<size_t>(f.record_size), &rec)) break;
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
  const bool had_remarks = read_bytes(dbr, 0, 8, &remarks_header);
  for (int i = 0; i < kIndexCount; ++i) {
    std::error_code ec;
    fs::remove(replace_extension(base, (".dx" + std::to_string(i)).c_str()), ec);
  }
  RepairHooks hooks;
  const OspHooks installed{&RepairHooks::on_box, &RepairHooks::on_text, nullptr, nullptr, &hooks};
  OspSetHooks(&installed);
  static int device_context = 0;
  LogHandle log{};
  const int32_t opened = OspreyOpen(&device_context, &log, library_base(base).c_str(), 0, 0);
  if (opened != 0) {
    OspSetHooks(nullptr);
    fail_with_status(context, opened, "the log does not open after the repair; the backups are kept");
    return;
  }
  std::printf("rebuilt %d index%s\n", hooks.built, hooks.built == 1 ? "" : "es");
  if (hooks.forced && had_remarks)
    std::printf("remarks file count %d -> %d\n", static_cast<int>(load_i32(&remarks_header[4])),
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
