#include "support/master_file_builder.h"

namespace osp::test {

const std::vector<FieldDef>& master_fields() {
  static const std::vector<FieldDef> fields = {
      {"CODE", 6}, {"NAME", 28}, {"FLG", 1}, {"HED", 1},
      {"ERIA", 2}, {"CFM", 2},   {"WKD", 2}, {"RSV", 6},
  };
  return fields;
}

std::vector<uint8_t> master_data(const MasterEntry& e) {
  std::string d = padded(e.code, 6) + padded(e.name, 28) + e.flg + e.hed + padded(e.eria, 2);
  std::vector<uint8_t> out(d.begin(), d.end());
  out.push_back(static_cast<uint8_t>(e.confirmed));
  out.push_back(static_cast<uint8_t>(e.confirmed >> 8));
  out.push_back(static_cast<uint8_t>(e.worked));
  out.push_back(static_cast<uint8_t>(e.worked >> 8));
  const std::string rest = padded(e.reserved, 6);
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

TableBuilder master_table(const std::vector<MasterEntry>& entries) {
  TableBuilder t(master_fields());
  for (const MasterEntry& e : entries) t.add(master_data(e), e.deleted);
  return t;
}

void write_master_file(const std::string& path, const std::vector<MasterEntry>& entries) {
  master_table(entries).write(path);
}

}  // namespace osp::test
