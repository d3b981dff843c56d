#include "support/contact_builder.h"

#include <cstring>

#include "support/hooks_fixture.h"

namespace osp::test {

namespace {

// Field offsets within the data bytes (the record's byte 0, the mark, is not
// part of them).
constexpr int kCalls = 0, kIgn = 6, kPotbl = 7, kCode = 10, kGl = 16, kFreq = 22, kMode = 26,
              kName = 29, kQsl = 41, kDate = 44, kTime = 47, kRst = 49, kOfs = 53;

void put_text(ContactData& d, int at, int width, const std::string& text) {
  for (int i = 0; i < width; ++i)
    d[static_cast<size_t>(at + i)] =
        i < static_cast<int>(text.size()) ? static_cast<uint8_t>(text[static_cast<size_t>(i)])
                                          : static_cast<uint8_t>(' ');
}

}  // namespace

std::array<uint8_t, 4> packed_frequency(const std::string& text) {
  std::string t = text.substr(0, 7);
  t.resize(7, ' ');
  std::array<uint8_t, 4> out{};
  if (t[4] == ' ' && t[5] == ' ') {
    for (int i = 0; i < 4; ++i) out[static_cast<size_t>(i)] = static_cast<uint8_t>(t[static_cast<size_t>(i)]);
    return out;
  }
  int last = 4;
  for (int place : {6, 5, 4}) {
    if (t[static_cast<size_t>(place)] != ' ') {
      last = place;
      break;
    }
  }
  const size_t dot = t.find('.');
  const int point = dot == std::string::npos ? 7 : static_cast<int>(dot);
  uint32_t number = 0;
  for (char c : t) number = number * 10 + static_cast<uint32_t>(c >= '0' && c <= '9' ? c - '0' : 0);
  out[0] = static_cast<uint8_t>(number);
  out[1] = static_cast<uint8_t>(number >> 8);
  out[2] = static_cast<uint8_t>(number >> 16);
  out[3] = static_cast<uint8_t>(0x80 | (last << 3) | point);
  return out;
}

ContactData contact_data(const ContactSpec& s) {
  ContactData d{};
  std::string call = s.callsign.substr(0, 7);
  call.resize(7, ' ');
  put_text(d, kCalls, 6, call.substr(0, 6));
  put_text(d, kIgn, 1, call.substr(6, 1));
  put_text(d, kPotbl, 3, s.portable);
  put_text(d, kCode, 6, s.code);
  put_text(d, kGl, 6, s.grid);
  const auto freq = packed_frequency(s.frequency);
  std::memcpy(&d[kFreq], freq.data(), freq.size());
  put_text(d, kMode, 3, s.mode);
  put_text(d, kName, 12, sjis(s.name));
  put_text(d, kQsl, 3, s.qsl);
  const int yy = s.year % 100;
  d[kDate] = static_cast<uint8_t>(yy | (yy < 52 ? 0x80 : 0));
  d[kDate + 1] = static_cast<uint8_t>(s.month);
  d[kDate + 2] = static_cast<uint8_t>(s.day);
  d[kTime] = static_cast<uint8_t>(s.hour);
  d[kTime + 1] = static_cast<uint8_t>(s.minute | (s.utc ? 0x80 : 0));
  d[kRst] = static_cast<uint8_t>(s.his_rs);
  d[kRst + 1] = static_cast<uint8_t>(s.his_t);
  d[kRst + 2] = static_cast<uint8_t>(s.my_rs);
  d[kRst + 3] = static_cast<uint8_t>(s.my_t);
  for (int i = 0; i < 4; ++i)
    d[static_cast<size_t>(kOfs + i)] = static_cast<uint8_t>(s.remarks_offset >> (8 * i));
  return d;
}

}  // namespace osp::test
