#include "support/log_file_builder.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace osp::test {

TableBuilder::TableBuilder(std::vector<FieldDef> fields) : fields_(std::move(fields)) {
  record_size_ = 1;
  for (const FieldDef& f : fields_) record_size_ += f.width;
  header_size_ = 32 + 32 * static_cast<int>(fields_.size()) + 1;
}

int TableBuilder::offset_of(const std::string& field) const {
  int offset = 1;
  for (const FieldDef& f : fields_) {
    if (f.name == field) return offset;
    offset += f.width;
  }
  return -1;
}

void TableBuilder::add(const std::vector<uint8_t>& data, bool deleted) {
  add(data.data(), data.size(), deleted);
}

void TableBuilder::add(const uint8_t* data, size_t size, bool deleted) {
  const size_t n = static_cast<size_t>(record_size_ - 1);
  body_.push_back(deleted ? '*' : ' ');
  const size_t start = body_.size();
  body_.resize(start + n, ' ');
  std::memcpy(body_.data() + start, data, size < n ? size : n);
  ++count_;
}

std::vector<uint8_t> TableBuilder::header() const {
  std::vector<uint8_t> h(static_cast<size_t>(header_size_), 0);
  h[0] = version;
  h[1] = date[0];
  h[2] = date[1];
  h[3] = date[2];
  const uint32_t n = static_cast<uint32_t>(stored_count.value_or(count_));
  for (int i = 0; i < 4; ++i) h[4 + i] = static_cast<uint8_t>(n >> (8 * i));
  h[8] = static_cast<uint8_t>(header_size_);
  h[9] = static_cast<uint8_t>(header_size_ >> 8);
  h[10] = static_cast<uint8_t>(record_size_);
  h[11] = static_cast<uint8_t>(record_size_ >> 8);
  size_t at = 32;
  for (const FieldDef& f : fields_) {
    std::memcpy(h.data() + at, f.name.data(), f.name.size() < 10 ? f.name.size() : 10);
    h[at + 11] = static_cast<uint8_t>(f.type);
    h[at + 16] = f.width;
    at += 32;
  }
  h[at] = 0x0D;
  return h;
}

std::vector<uint8_t> TableBuilder::bytes() const {
  std::vector<uint8_t> out = header();
  out.insert(out.end(), body_.begin(), body_.end());
  if (end_mark) out.push_back(0x1A);
  return out;
}

void TableBuilder::write(const std::string& path) const { write_bytes(path, bytes()); }

void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string padded(const std::string& text, size_t width) {
  std::string out = text.substr(0, width);
  out.resize(width, ' ');
  return out;
}

}  // namespace osp::test
