// One ADIF record as a list of fields: upper-case names (application fields
// as APP_OSPREY_NAME) and values as UTF-8 text, in the order they came.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace osprey_tool {

struct AdifField {
  std::string name;
  std::string value;
};

struct AdifRecord {
  std::vector<AdifField> fields;

  // The value of the first field called name, or nullptr.
  const std::string* find(std::string_view name) const {
    for (const AdifField& f : fields)
      if (f.name == name) return &f.value;
    return nullptr;
  }
  void add(std::string name, std::string value) {
    fields.push_back({std::move(name), std::move(value)});
  }
};

// The program name in application-defined fields: APP_OSPREY_CODE and so on.
inline constexpr const char* kAdifProgramId = "OSPREY";

}  // namespace osprey_tool
