// Builds dBASE III tables of any layout byte by byte, for tests and
// benchmarks that need files the library did not write: a 32-byte header,
// one 32-byte descriptor per field, 0x0D, the records (each a mark byte and
// its data bytes) and the end mark 0x1A. Written independently of the
// library's record-file code, so that each checks the other.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace osp::test {

struct FieldDef {
  std::string name;  // up to 10 characters
  uint8_t width;
  char type = 'C';
};

class TableBuilder {
 public:
  explicit TableBuilder(std::vector<FieldDef> fields);

  // Record size (mark included) and header size, from the fields.
  int record_size() const { return record_size_; }
  int header_size() const { return header_size_; }
  // The record offset (mark = 0) of a field; -1 when there is none.
  int offset_of(const std::string& field) const;

  // Appends a record of record_size() - 1 data bytes (shorter data is
  // padded with blanks, longer data cut) with the live mark ' ', or '*'.
  void add(const std::vector<uint8_t>& data, bool deleted = false);
  void add(const uint8_t* data, size_t size, bool deleted = false);
  int count() const { return count_; }

  // Header fields; the defaults make a plain dBASE III table dated 26-03-07.
  uint8_t version = 0x03;
  std::array<uint8_t, 3> date{26, 3, 7};
  std::optional<int32_t> stored_count;  // the count the header claims; default count()
  bool end_mark = true;

  // The whole file.
  std::vector<uint8_t> bytes() const;
  // Writes bytes() to path; throws std::runtime_error when it cannot.
  void write(const std::string& path) const;

 private:
  std::vector<uint8_t> header() const;

  std::vector<FieldDef> fields_;
  int record_size_;
  int header_size_;
  int count_ = 0;
  std::vector<uint8_t> body_;
};

// Writes bytes to path in one piece; throws std::runtime_error when it cannot.
void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A text of exactly width bytes: text cut or padded with blanks.
std::string padded(const std::string& text, size_t width);

}  // namespace osp::test
