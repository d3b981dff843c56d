#include "formats/dbf_layout.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "formats/le_bytes.h"

namespace osprey_tool {

namespace {

// A name for people: printable ASCII as it is, other bytes (and the
// backslash) as \xNN, as the command shows stored bytes (printable_ascii,
// which this library, linked by the command, cannot call).
std::string printable_name(const std::string& stored) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (const char c : stored) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      s += c;
    } else {
      s += "\\x";
      s += kDigits[b >> 4];
      s += kDigits[b & 0x0F];
    }
  }
  return s;
}

std::string format(const char* fmt, long long a, long long b = 0, long long c = 0) {
  char buf[256];
  std::snprintf(buf, sizeof buf, fmt, a, b, c);
  return buf;
}

// Reads the descriptors from the header bytes present in the file.
void parse_descriptors(const std::vector<uint8_t>& header, const HeaderFacts& facts,
                       RecordFileLayout* out) {
  const int64_t header_size = facts.header_size;
  const auto present = static_cast<int64_t>(header.size());
  auto pos = static_cast<int64_t>(kDbfFixedHeader);
  int offset = 1;
  while (true) {
    if (pos < header_size && pos >= present) return;  // the size check tells of the cut
    if (pos < header_size && header[static_cast<size_t>(pos)] == kDbfDescriptorEnd) break;
    if (pos + static_cast<int64_t>(kDbfDescriptorSize) > header_size) {
      out->problems.push_back("the field descriptors have no 0x0D end mark within the header");
      return;
    }
    if (pos + static_cast<int64_t>(kDbfDescriptorSize) > present) return;
    FieldDescriptor f = read_field_descriptor(header.data() + pos, offset);
    f.name = printable_name(f.name);
    offset += f.length;
    out->fields.push_back(f);
    pos += static_cast<int64_t>(kDbfDescriptorSize);
  }
  out->header_slack = header_size - pos - 1;
  if (offset != facts.record_size)
    out->problems.push_back(format("the fields add up to %lld bytes with the mark, but the record "
                                   "size is %lld",
                                   offset, facts.record_size));
}

// Compares the file's size with header + count x record size and the mark.
void check_size(std::ifstream& in, const HeaderFacts& facts, RecordFileLayout* out) {
  const int64_t count = facts.record_count;
  const int64_t size = out->file_size;
  if (count < 0) out->problems.push_back(format("the record count %lld is negative", count));
  out->records_end = facts.header_size + std::max<int64_t>(count, 0) * facts.record_size;
  if (size < facts.header_size) {
    out->problems.push_back(format("the file ends inside its header (%lld of %lld bytes)", size,
                                   facts.header_size));
    return;
  }
  if (size < out->records_end) {
    const int64_t whole = (size - facts.header_size) / facts.record_size;
    out->problems.push_back(format("the file ends %lld bytes short of its %lld records: only "
                                   "%lld whole records are present",
                                   out->records_end - size, count, whole));
    return;
  }
  if (size == out->records_end) return;  // no end-of-file mark: allowed
  char mark = 0;
  in.clear();
  in.seekg(out->records_end);
  in.read(&mark, 1);
  out->end_mark_present = in.gcount() == 1 && static_cast<uint8_t>(mark) == kDbfEndOfFile;
  if (!out->end_mark_present) {
    out->problems.push_back(format("the byte after the last record is 0x%02llX, not the "
                                   "end-of-file mark 0x1A",
                                   static_cast<uint8_t>(mark)));
  }
  const int64_t beyond = size - out->records_end - 1;
  if (beyond > 0) {
    out->problems.push_back(format("%lld bytes follow the last counted record and its end mark "
                                   "(room for %lld more records that the header does not count)",
                                   beyond, beyond / facts.record_size));
  }
}

}  // namespace

bool read_record_header(std::span<const uint8_t> bytes, RecordFileHeader* out) {
  *out = RecordFileHeader{};
  if (bytes.size() < kDbfRecordSize + 2) return false;
  std::copy_n(bytes.data() + kDbfDate, 3, out->date);
  out->record_count = get_i32(bytes.data() + kDbfRecordCount);
  out->header_size = get_i16(bytes.data() + kDbfHeaderSize);
  out->record_size = get_i16(bytes.data() + kDbfRecordSize);
  return true;
}

FieldDescriptor read_field_descriptor(const uint8_t* d, int offset) {
  FieldDescriptor f;
  const uint8_t* name = d + kDbfFieldName;
  const uint8_t* name_end = std::find(name, name + kDbfFieldNameBytes, 0);
  f.name.assign(reinterpret_cast<const char*>(name), static_cast<size_t>(name_end - name));
  f.type = d[kDbfFieldType];
  f.length = d[kDbfFieldLength];
  f.decimals = d[kDbfFieldDecimals];
  f.offset = offset;
  return f;
}

bool read_layout(const std::string& path, const HeaderFacts& facts, RecordFileLayout* out,
                 std::string* error) {
  *out = RecordFileLayout{};
  if (facts.record_size < 1 || facts.header_size < 1) {
    *error = "the header declares no usable record or header size";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read the file's bytes";
    return false;
  }
  in.seekg(0, std::ios::end);
  out->file_size = static_cast<int64_t>(in.tellg());
  if (out->file_size < 0) {
    *error = "cannot tell the file's size";
    return false;
  }
  in.seekg(0);
  std::vector<uint8_t> header(
      static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(facts.header_size), out->file_size)));
  in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
  if (in.gcount() != static_cast<std::streamsize>(header.size())) {
    *error = "cannot read the file's header bytes";
    return false;
  }
  parse_descriptors(header, facts, out);
  check_size(in, facts, out);
  return true;
}

bool is_contact_layout(const std::vector<FieldDescriptor>& fields) {
  static const struct {
    const char* name;
    int length;
  } kContact[] = {{"CALLS", 6}, {"IGN", 1},  {"POTBL", 3}, {"CODE", 6}, {"GL", 6},
                  {"FREQ", 4},  {"MODE", 3}, {"NAME", 12}, {"QSL", 3},  {"DATE", 3},
                  {"TIME", 2},  {"RST", 4},  {"OFS", 4}};
  if (fields.size() != std::size(kContact)) return false;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].name != kContact[i].name || fields[i].length != kContact[i].length) return false;
  }
  return true;
}

}  // namespace osprey_tool
