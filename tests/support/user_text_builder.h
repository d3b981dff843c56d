// Builds user text files: the variable layout (a header line, then one line
// per record that begins with an apostrophe) and the fixed layout (a 26-byte
// header line, then 26-byte records).
#pragma once

#include <string>
#include <vector>

namespace osp::test {

// The columns of one record: c_key (6), info1 (12), j_key (6), info2 (28),
// info3 (54), each padded with blanks or cut to its width; the whole cut at
// its last non-blank column when trim is set.
inline std::string record_columns(const std::string& c_key, const std::string& info1 = "",
                                  const std::string& j_key = "", const std::string& info2 = "",
                                  const std::string& info3 = "", bool trim = true) {
  auto fit = [](const std::string& s, size_t w) { return (s + std::string(w, ' ')).substr(0, w); };
  std::string r = fit(c_key, 6) + fit(info1, 12) + fit(j_key, 6) + fit(info2, 28) + fit(info3, 54);
  if (trim) r.erase(r.find_last_not_of(' ') + 1);
  return r;
}

// A variable-layout file: header (its first 23 bytes are the header text,
// byte 23 the lead letter) and a line "'" + record for each record, lines
// ended by CR LF.
inline std::string variable_text(const std::string& header, const std::vector<std::string>& records) {
  std::string t = header + "\r\n";
  for (const std::string& r : records) t += "'" + r + "\r\n";
  return t;
}

// A fixed-layout file: the header cut or padded to 24 bytes (25 with its CR) and each record
// cut or padded to 24 columns, every line ended by CR LF.
inline std::string fixed_text(const std::string& header, const std::vector<std::string>& records) {
  auto fit = [](const std::string& s, size_t w) { return (s + std::string(w, ' ')).substr(0, w); };
  std::string t = fit(header, 24) + "\r\n";
  for (const std::string& r : records) t += fit(r, 24) + "\r\n";
  return t;
}

}  // namespace osp::test
