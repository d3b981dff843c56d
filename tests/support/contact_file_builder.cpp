#include "support/contact_file_builder.h"

#include <cstddef>
#include <cstring>
#include <stdexcept>

namespace osp::test {

namespace {

constexpr size_t kRemarkWidth[3] = {28, 54, 54};
constexpr uint32_t kRemarksHeaderSize = 256;

std::string trimmed(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

void put(std::vector<uint8_t>& out, const std::string& text, size_t width) {
  const std::string p = padded(text, width);
  out.insert(out.end(), p.begin(), p.end());
}

// FREQ: the short text form, or the packed number with L and P.
void put_frequency(std::vector<uint8_t>& out, const std::string& text) {
  const std::string t = padded(text, 7);
  if (t[4] == ' ' && t[5] == ' ') {
    put(out, t, 4);
    return;
  }
  const int last = t[6] != ' ' ? 6 : t[5] != ' ' ? 5 : 4;
  const size_t dot = t.find('.');
  const int point = dot == std::string::npos ? 7 : static_cast<int>(dot);
  uint32_t number = 0;
  for (char ch : t) number = number * 10 + (ch >= '0' && ch <= '9' ? static_cast<uint32_t>(ch - '0') : 0);
  out.push_back(static_cast<uint8_t>(number));
  out.push_back(static_cast<uint8_t>(number >> 8));
  out.push_back(static_cast<uint8_t>(number >> 16));
  out.push_back(static_cast<uint8_t>(0x80 | last << 3 | point));
}

void copy_field(char* field, size_t size, const std::string& text) {
  const std::string p = padded(text, size - 1);
  std::memcpy(field, p.data(), size - 1);
  field[size - 1] = '\0';
}

std::string report_text(int rs, char t) {
  std::string out(3, ' ');
  if (rs / 10 % 10 != 0) out[0] = static_cast<char>('0' + rs / 10 % 10);
  if (rs % 10 != 0) out[1] = static_cast<char>('0' + rs % 10);
  out[2] = t;
  return out;
}

std::string two(int v) {
  const unsigned u = static_cast<unsigned>(v) % 100u;
  return {static_cast<char>('0' + u / 10), static_cast<char>('0' + u % 10)};
}

}  // namespace

const std::vector<FieldDef>& contact_fields() {
  static const std::vector<FieldDef> fields = {
      {"CALLS", 6}, {"IGN", 1}, {"POTBL", 3}, {"CODE", 6}, {"GL", 6},  {"FREQ", 4}, {"MODE", 3},
      {"NAME", 12}, {"QSL", 3}, {"DATE", 3},  {"TIME", 2}, {"RST", 4}, {"OFS", 4},
  };
  return fields;
}

std::vector<uint8_t> contact_data(const TestContact& c, uint32_t ofs) {
  std::vector<uint8_t> out;
  out.reserve(57);
  put(out, c.callsign, 7);
  put(out, c.portable, 3);
  put(out, c.code, 6);
  put(out, c.grid, 6);
  put_frequency(out, c.frequency);
  put(out, c.mode, 3);
  put(out, c.name, 12);
  put(out, c.qsl, 3);
  const int yy = c.year % 100;
  out.push_back(static_cast<uint8_t>(yy | (c.year >= 2000 ? 0x80 : 0)));
  out.push_back(static_cast<uint8_t>(c.month));
  out.push_back(static_cast<uint8_t>(c.day));
  out.push_back(static_cast<uint8_t>(c.hour));
  out.push_back(static_cast<uint8_t>(c.minute | (c.utc ? 0x80 : 0)));
  out.push_back(static_cast<uint8_t>(c.his_rs));
  out.push_back(static_cast<uint8_t>(c.his_t));
  out.push_back(static_cast<uint8_t>(c.my_rs));
  out.push_back(static_cast<uint8_t>(c.my_t));
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(ofs >> (8 * i)));
  return out;
}

std::vector<uint8_t> remark_block_of(const TestContact& c) {
  std::vector<uint8_t> out(3, 0);
  std::string text;
  for (int i = 0; i < 3; ++i) {
    const std::string r = trimmed(c.remarks[i].substr(0, kRemarkWidth[i]));
    out[static_cast<size_t>(i)] = static_cast<uint8_t>(r.size());
    text += r;
  }
  if (text.empty()) return {};
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

ContactView expected_view(const TestContact& c) {
  ContactView v{};
  copy_field(v.callsign, sizeof v.callsign, c.callsign);
  copy_field(v.portable, sizeof v.portable, c.portable);
  copy_field(v.date, sizeof v.date, two(c.year) + "/" + two(c.month) + "/" + two(c.day));
  copy_field(v.time, sizeof v.time, two(c.hour) + ":" + two(c.minute) + (c.utc ? "U" : "J"));
  copy_field(v.his_report, sizeof v.his_report, report_text(c.his_rs, c.his_t));
  copy_field(v.my_report, sizeof v.my_report, report_text(c.my_rs, c.my_t));
  const std::string f = padded(c.frequency, 7);
  copy_field(v.frequency, sizeof v.frequency, f[4] == ' ' && f[5] == ' ' ? f.substr(0, 4) : f);
  copy_field(v.mode, sizeof v.mode, c.mode);
  copy_field(v.code, sizeof v.code, c.code);
  copy_field(v.grid, sizeof v.grid, c.grid);
  copy_field(v.qsl, sizeof v.qsl, c.qsl);
  copy_field(v.name, sizeof v.name, c.name);
  copy_field(v.remark1, sizeof v.remark1, trimmed(c.remarks[0].substr(0, 28)));
  copy_field(v.remark2, sizeof v.remark2, trimmed(c.remarks[1].substr(0, 54)));
  copy_field(v.remark3, sizeof v.remark3, trimmed(c.remarks[2].substr(0, 54)));
  return v;
}

std::string view_difference(const ContactView& got, const ContactView& want) {
  struct Field {
    const char* name;
    size_t offset;
    size_t size;
  };
#define OSP_VIEW_FIELD(f) Field{#f, offsetof(ContactView, f), sizeof(ContactView::f)}
  const Field fields[] = {
      OSP_VIEW_FIELD(callsign), OSP_VIEW_FIELD(portable),   OSP_VIEW_FIELD(date),
      OSP_VIEW_FIELD(time),     OSP_VIEW_FIELD(his_report), OSP_VIEW_FIELD(my_report),
      OSP_VIEW_FIELD(frequency), OSP_VIEW_FIELD(mode),      OSP_VIEW_FIELD(code),
      OSP_VIEW_FIELD(grid),     OSP_VIEW_FIELD(qsl),        OSP_VIEW_FIELD(name),
      OSP_VIEW_FIELD(remark1),  OSP_VIEW_FIELD(remark2),    OSP_VIEW_FIELD(remark3),
  };
#undef OSP_VIEW_FIELD
  const auto* g = reinterpret_cast<const unsigned char*>(&got);
  const auto* w = reinterpret_cast<const unsigned char*>(&want);
  for (const Field& f : fields) {
    if (std::memcmp(g + f.offset, w + f.offset, f.size) == 0) continue;
    return std::string(f.name) + ": got [" +
           std::string(reinterpret_cast<const char*>(g + f.offset), f.size) + "] want [" +
           std::string(reinterpret_cast<const char*>(w + f.offset), f.size) + "]";
  }
  return {};
}

std::vector<uint8_t> remarks_header(int32_t count, const std::array<uint8_t, 3>& date) {
  std::vector<uint8_t> h(kRemarksHeaderSize, 0);
  h[0] = 0x1A;
  h[1] = date[0];
  h[2] = date[1];
  h[3] = date[2];
  for (int i = 0; i < 4; ++i) h[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(count) >> (8 * i));
  h[8] = 0x00;
  h[9] = 0x01;
  h[10] = 0x1C;
  h[11] = 0x00;
  h[255] = 0x1A;
  return h;
}

ContactFileBuilder::ContactFileBuilder() : table_(contact_fields()) {}

uint32_t ContactFileBuilder::add_remark_bytes(const std::vector<uint8_t>& bytes) {
  const uint32_t offset = kRemarksHeaderSize + static_cast<uint32_t>(remarks_.size());
  remarks_.insert(remarks_.end(), bytes.begin(), bytes.end());
  return offset;
}

uint32_t ContactFileBuilder::add(const TestContact& c) {
  const std::vector<uint8_t> block = remark_block_of(c);
  const uint32_t ofs = block.empty() ? 0 : add_remark_bytes(block);
  table_.add(contact_data(c, ofs), c.deleted);
  return ofs;
}

void ContactFileBuilder::add_linked(const TestContact& c, uint32_t ofs) {
  table_.add(contact_data(c, ofs), c.deleted);
}

std::vector<uint8_t> ContactFileBuilder::dbr_bytes() const {
  std::vector<uint8_t> out = remarks_header(remarks_count.value_or(count()), remarks_date);
  out.insert(out.end(), remarks_.begin(), remarks_.end());
  return out;
}

void ContactFileBuilder::write(const std::string& dbs_path, const std::string& dbr_path) const {
  table_.write(dbs_path);
  write_bytes(dbr_path, dbr_bytes());
}

void ContactFileBuilder::write_log(const std::string& base) const {
  write(base + ".dbs", base + ".dbr");
}

}  // namespace osp::test
