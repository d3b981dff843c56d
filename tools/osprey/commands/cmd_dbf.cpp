// osprey dbf info FILE: a record file's header fields, its field descriptors
// and whether its size agrees with the header.
// osprey dbf dump FILE [--deleted]: its records one a line, text fields as
// UTF-8 and binary bytes as hex.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "formats/dbf_layout.h"
#include "exit_codes.h"
#include "log_files.h"
#include "formats/open_file_reads.h"
#include "output.h"
#include "osprey32.h"
#include "sjis_text.h"
#include "status_text.h"

namespace osprey_tool {

namespace {

constexpr uint8_t kVersionOwn = 0x1A;
constexpr uint8_t kVersionPlain = 0x03;
constexpr uint8_t kLiveMark = ' ';

std::string printf_string(const char* fmt, int a, int b = 0) {
  char buf[160];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

// Opens path through the library. On failure reports the status, with what
// the header showed, and returns false; the handle is then closed.
bool open_record_file(const std::string& context, const std::string& path, DbfHandle* h) {
  *h = DbfHandle{};
  h->file = OSP_NO_FILE;
  // Viewing only: a file that may not be written can still be shown.
  const int32_t status = dbf_open_readonly(path.c_str(), h);
  if (status == 0) return true;
  std::string detail;
  if (status == 2) {
    if (h->version != kVersionOwn && h->version != kVersionPlain)
      detail = printf_string("version byte 0x%02X; a record file has 0x03 or 0x1A", h->version);
    else
      detail = printf_string("record size %d, header size %d", h->record_size, h->header_size);
  } else if (status == 21) {
    detail = "the file is shorter than the 12 bytes a record-file header begins with";
  } else if (status == 5) {
    if (!held_file({path}).empty()) {
      fail_with_message(context, "the file is in use: held open by another program",
                        exit_code::kInUse);
      return false;
    }
    detail = "missing or not readable";
  }
  fail_with_status(context, status, detail);
  return false;
}

HeaderFacts facts_of(const DbfHandle& h) {
  return HeaderFacts{h.record_count, h.header_size, h.record_size};
}

std::string type_text(uint8_t type) {
  return printable_ascii(&type, 1);
}

void run_info(const std::string& path) {
  const std::string context = "dbf info: " + path;
  DbfHandle h;
  if (!open_record_file(context, path, &h)) return;
  dbf_close(&h);  // opened for reading: nothing is written back
  const HeaderFacts facts = facts_of(h);
  RecordFileLayout layout;
  std::string error;
  if (!read_layout(path, facts, &layout, &error)) {
    fail_with_message(context, error);
    return;
  }

  std::printf("file               %s\n", path.c_str());
  std::printf("version byte       0x%02X%s\n", h.version,
              h.version == kVersionOwn ? " (as this library creates)" : " (plain table)");
  std::printf("last update        %02u-%02u-%02u (year %% 100, month, day)\n",
              h.update_date[0], h.update_date[1], h.update_date[2]);
  std::printf("record count       %d\n", static_cast<int>(h.record_count));
  std::printf("header size        %d\n", static_cast<int>(h.header_size));
  std::printf("record size        %d\n", static_cast<int>(h.record_size));
  std::printf("fields             %zu\n", layout.fields.size());
  if (!layout.fields.empty()) {
    std::printf("    #  name         type  length  decimals  offset\n");
    int number = 0;
    for (const FieldDescriptor& f : layout.fields) {
      std::printf("  %3d  %-11s  %-4s  %6d  %8d  %6d\n", ++number, f.name.c_str(),
                  type_text(f.type).c_str(), f.length, f.decimals, f.offset);
    }
  }
  if (layout.header_slack > 0)
    std::printf("header bytes after the descriptors  %lld\n",
                static_cast<long long>(layout.header_slack));
  std::printf("file size          %lld bytes\n", static_cast<long long>(layout.file_size));
  std::printf("expected size      %lld bytes (header %d + %d records x %d + end-of-file mark 1)\n",
              static_cast<long long>(layout.records_end + 1), static_cast<int>(facts.header_size),
              static_cast<int>(std::max(facts.record_count, 0)),
              static_cast<int>(facts.record_size));
  if (layout.problems.empty()) {
    std::printf("verdict            consistent%s\n",
                layout.end_mark_present ? "" : " (no end-of-file mark after the last record)");
    return;
  }
  std::printf("verdict            inconsistent\n");
  for (const std::string& p : layout.problems) std::printf("  - %s\n", p.c_str());
  fail_with_message(context, "the file does not agree with its header",
                    exit_code::kProblemsFound);
}

// How a field's bytes are shown.
enum class Shown {
  kText,       // as text when the bytes are text, else as hex
  kHex,        // always as hex
  kFrequency,  // a contact's FREQ: text, or packed binary when bit 7 of its fourth byte is set
};

struct Column {
  std::string name;
  int offset;
  int length;
  Shown shown;
};

// The columns of a record: the declared fields clipped to the record, then any
// record bytes that no field covers.
std::vector<Column> columns_of(const RecordFileLayout& layout, int record_size) {
  const bool contact = is_contact_layout(layout.fields);
  std::vector<Column> columns;
  int covered = 1;
  int number = 0;
  for (const FieldDescriptor& f : layout.fields) {
    ++number;
    if (f.offset >= record_size) break;
    Column c{f.name.empty() ? "(field " + std::to_string(number) + ")" : f.name, f.offset,
             std::min(f.length, record_size - f.offset), Shown::kText};
    // Types stored as characters; every other type holds binary bytes.
    if (std::string("CNFDL").find(static_cast<char>(f.type)) == std::string::npos || f.type == 0)
      c.shown = Shown::kHex;
    if (contact) {
      if (f.name == "DATE" || f.name == "TIME" || f.name == "RST" || f.name == "OFS")
        c.shown = Shown::kHex;
      if (f.name == "FREQ") c.shown = Shown::kFrequency;
    }
    columns.push_back(c);
    covered = c.offset + c.length;
  }
  if (covered < record_size) columns.push_back({"(undeclared)", covered, record_size - covered,
                                                Shown::kHex});
  return columns;
}

std::string field_value(Cp932Text& text, const uint8_t* bytes, const Column& c) {
  bool as_hex = c.shown == Shown::kHex;
  if (c.shown == Shown::kFrequency && c.length == 4 && (bytes[3] & 0x80) != 0) as_hex = true;
  std::string utf8;
  if (!as_hex && text.to_utf8(bytes, static_cast<size_t>(c.length), &utf8)) return quoted_text(utf8);
  return hex_literal(bytes, static_cast<size_t>(c.length));
}

void run_dump(const std::string& path, bool with_deleted) {
  const std::string context = "dbf dump: " + path;
  Cp932Text text;
  if (!text.available()) {
    fail_with_message(context, "this system's iconv has no code page 932 (CP932) converter");
    return;
  }
  DbfHandle h;
  if (!open_record_file(context, path, &h)) return;
  const HeaderFacts facts = facts_of(h);
  // The layout is read by path, which a file the library holds open does
  // not allow everywhere: it is read between two opens, which must agree.
  dbf_close(&h);
  RecordFileLayout layout;
  std::string error;
  if (!read_layout(path, facts, &layout, &error)) {
    fail_with_message(context, error.empty() ? "cannot read the file's bytes" : error);
    return;
  }
  if (!open_record_file(context, path, &h)) return;
  const HeaderFacts again = facts_of(h);
  if (again.record_count != facts.record_count || again.header_size != facts.header_size ||
      again.record_size != facts.record_size) {
    dbf_close(&h);
    fail_with_message(context, "the file changed while it was read");
    return;
  }
  const std::vector<Column> columns = columns_of(layout, facts.record_size);
  // record[0] holds the mark, record[1..] the data bytes dbf_read returns.
  std::vector<uint8_t> record(static_cast<size_t>(facts.record_size));
  std::string line;
  for (int64_t recno = 1; recno <= facts.record_count && output_ok(); ++recno) {
    const int32_t status = dbf_read(&h, static_cast<int32_t>(recno), record.data() + 1);
    if (status != 0) {
      dbf_close(&h);
      fail_with_status(context + ": record " + std::to_string(recno), status);
      return;
    }
    // The deletion mark, through the library's handle.
    const int64_t mark_at =
        static_cast<uint16_t>(facts.header_size) + (recno - 1) * facts.record_size;
    if (read_open_file(h.file, mark_at, record.data(), 1) != 1) {
      dbf_close(&h);
      fail_with_status(context + ": record " + std::to_string(recno) + " mark", 21);
      return;
    }
    if (record[0] != kLiveMark && !with_deleted) continue;
    line = std::to_string(recno) + " [" + printable_ascii(record.data(), 1) + "]";
    for (const Column& c : columns) {
      line += ' ';
      line += c.name;
      line += '=';
      line += field_value(text, record.data() + c.offset, c);
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  dbf_close(&h);
}

}  // namespace

void add_dbf_commands(CLI::App& app) {
  auto* dbf = app.add_subcommand("dbf", "Inspect a record file (.dbs, .mst or any dBASE-style table)");
  dbf->require_subcommand(1);

  auto* info = dbf->add_subcommand(
      "info", "Show the header, the field descriptors and whether the file's size agrees");
  auto info_path = std::make_shared<std::string>();
  info->add_option("FILE", *info_path, "the record file")->required();
  info->callback([info_path] { run_info(*info_path); });

  auto* dump = dbf->add_subcommand(
      "dump", "Show the records one a line: number, [deletion mark], fields");
  auto dump_path = std::make_shared<std::string>();
  auto with_deleted = std::make_shared<bool>(false);
  dump->add_option("FILE", *dump_path, "the record file")->required();
  dump->add_flag("--deleted", *with_deleted, "also show the records marked deleted");
  dump->callback([dump_path, with_deleted] { run_dump(*dump_path, *with_deleted); });
}

}  // namespace osprey_tool
