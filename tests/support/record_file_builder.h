// Builds record files with any schema, including damaged ones, for tests,
// fuzz seeds and benchmarks. Header-only so that every target can use it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace osp::test {

struct FieldSpec {
  std::string name;  // up to 11 bytes
  uint8_t length = 0;
  char type = 'C';
};

class RecordFileBuilder {
 public:
  explicit RecordFileBuilder(std::vector<FieldSpec> fields) : fields_(std::move(fields)) {
    record_size_ = 1;
    for (const FieldSpec& f : fields_) record_size_ += f.length;
  }

  // The contact file's 13 character fields (record size 58).
  static RecordFileBuilder contacts() {
    return RecordFileBuilder({{"CALLS", 6}, {"IGN", 1}, {"POTBL", 3}, {"CODE", 6}, {"GL", 6},
                              {"FREQ", 4}, {"MODE", 3}, {"NAME", 12}, {"QSL", 3}, {"DATE", 3},
                              {"TIME", 2}, {"RST", 4}, {"OFS", 4}});
  }

  RecordFileBuilder& version(uint8_t v) {
    version_ = v;
    return *this;
  }

  // Adds a record from values in field order, each padded with blanks to its
  // field's length or cut to it; fields without a value are blanks.
  RecordFileBuilder& add(const std::vector<std::string>& values, bool deleted = false) {
    std::string data;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      std::string v = i < values.size() ? values[i] : std::string();
      v.resize(fields_[i].length, ' ');
      data += v;
    }
    return add_data(data, deleted);
  }

  // Adds a record from its data bytes (record size - 1 of them; padded with
  // blanks or cut).
  RecordFileBuilder& add_data(std::string data, bool deleted = false) {
    data.resize(static_cast<std::size_t>(record_size_ - 1), ' ');
    records_ += deleted ? '*' : ' ';
    records_ += data;
    ++count_;
    return *this;
  }

  // Overrides of header fields, for damaged files.
  RecordFileBuilder& claim_record_count(int32_t n) {
    claimed_count_ = n;
    return *this;
  }
  RecordFileBuilder& claim_header_size(int16_t n) {
    claimed_header_size_ = n;
    return *this;
  }
  RecordFileBuilder& claim_record_size(int16_t n) {
    claimed_record_size_ = n;
    return *this;
  }

  int32_t record_size() const { return record_size_; }
  int32_t header_size() const { return 32 + 32 * static_cast<int32_t>(fields_.size()) + 1; }
  int32_t count() const { return count_; }
  const std::vector<FieldSpec>& fields() const { return fields_; }

  // Where the named field starts in a record (the mark is byte 0).
  int32_t offset_of(const std::string& name) const {
    int32_t offset = 1;
    for (const FieldSpec& f : fields_) {
      if (f.name == name) return offset;
      offset += f.length;
    }
    throw std::invalid_argument("no field " + name);
  }

  // Record recno's bytes, mark first.
  std::string record(int32_t recno) const {
    return records_.substr(static_cast<std::size_t>(recno - 1) * record_size_,
                           static_cast<std::size_t>(record_size_));
  }

  std::vector<uint8_t> bytes() const {
    std::vector<uint8_t> out(static_cast<std::size_t>(header_size()), 0);
    out[0] = version_;
    out[1] = 26;
    out[2] = 3;
    out[3] = 7;
    put32(&out[4], static_cast<uint32_t>(claimed_count_.value_or(count_)));
    put16(&out[8], static_cast<uint16_t>(claimed_header_size_.value_or(
                       static_cast<int16_t>(header_size()))));
    put16(&out[10], static_cast<uint16_t>(claimed_record_size_.value_or(
                        static_cast<int16_t>(record_size_))));
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      uint8_t* d = &out[32 + 32 * i];
      std::memcpy(d, fields_[i].name.data(), std::min<std::size_t>(fields_[i].name.size(), 11));
      d[11] = static_cast<uint8_t>(fields_[i].type);
      d[16] = fields_[i].length;
    }
    out.back() = 0x0D;
    out.insert(out.end(), records_.begin(), records_.end());
    out.push_back(0x1A);
    return out;
  }

  void write(const std::string& path) const {
    const std::vector<uint8_t> b = bytes();
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
  }

 private:
  static void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
  }
  static void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
  }

  std::vector<FieldSpec> fields_;
  int32_t record_size_ = 1;
  int32_t count_ = 0;
  uint8_t version_ = 0x03;
  std::string records_;
  std::optional<int32_t> claimed_count_;
  std::optional<int16_t> claimed_header_size_;
  std::optional<int16_t> claimed_record_size_;
};

}  // namespace osp::test
