#include "record/field_codec.h"

#include <cstring>

#include "record/contact_record.h"

namespace osp::log {

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

// The last two decimal digits of v.
void two_digits(unsigned v, char* out) {
  out[0] = static_cast<char>('0' + v / 10 % 10);
  out[1] = static_cast<char>('0' + v % 10);
}

constexpr uint8_t kPointMask = 0x07;   // bits 0-2 of the fourth byte: P
constexpr uint8_t kLastShift = 3;      // bits 3-6: L
constexpr uint8_t kLastMask = 0x0F;
constexpr int kNoPoint = 7;
constexpr int kTextPlaces = 4;         // the text form keeps places 0-3

}  // namespace

uint8_t pair_value(const char* two) {
  unsigned v = digit(two[0]) ? static_cast<unsigned>(two[0] - '0') : 0u;
  if (digit(two[1])) v = v * 10 + static_cast<unsigned>(two[1] - '0');
  return static_cast<uint8_t>(v);
}

void pack_date(const char* text, uint8_t* out) {
  out[0] = contact::year_byte(pair_value(text));
  out[1] = pair_value(text + 3);
  out[2] = pair_value(text + 6);
}

void unpack_date(const uint8_t* in, bool separators, char* out) {
  char* p = out;
  two_digits(in[0] & 0x7Fu, p);
  p += 2;
  if (separators) *p++ = '/';
  two_digits(in[1], p);
  p += 2;
  if (separators) *p++ = '/';
  two_digits(in[2], p);
  p[2] = '\0';
}

void pack_time(const char* text, uint8_t* out) {
  out[0] = pair_value(text);
  out[1] = static_cast<uint8_t>(pair_value(text + 3) | (text[5] != 'J' ? contact::kUtc : 0));
}

void unpack_time(const uint8_t* in, bool separators, char* out) {
  char* p = out;
  two_digits(in[0], p);
  p += 2;
  if (separators) *p++ = ':';
  two_digits(in[1] & 0x7Fu, p);
  p += 2;
  *p++ = (in[1] & contact::kUtc) != 0 ? 'U' : 'J';
  *p = '\0';
}

void pack_report(const char* text, uint8_t* out) {
  out[0] = pair_value(text);
  out[1] = static_cast<uint8_t>(text[2]);
}

void unpack_report(const uint8_t* in, char* out) {
  const unsigned tens = in[0] / 10u % 10u;
  const unsigned units = in[0] % 10u;
  out[0] = tens == 0 ? ' ' : static_cast<char>('0' + tens);
  out[1] = units == 0 ? ' ' : static_cast<char>('0' + units);
  out[2] = static_cast<char>(in[1]);
  out[3] = '\0';
}

void clean_frequency(char* text) {
  for (int i = 0; i < kFrequencyTextLength && text[i] != '\0'; ++i) {
    if (text[i] != '.') continue;
    const bool digit_follows = i + 1 < kFrequencyTextLength && digit(text[i + 1]);
    if (digit_follows) continue;
    for (int j = i; j < kFrequencyTextLength && text[j] != '\0'; ++j) text[j] = ' ';
    return;
  }
}

void pack_frequency(const char* text, uint8_t* out) {
  char t[kFrequencyTextLength];
  bool ended = false;
  for (int i = 0; i < kFrequencyTextLength; ++i) {
    if (text[i] == '\0') ended = true;
    t[i] = ended ? ' ' : text[i];
  }
  if (t[4] == ' ' && t[5] == ' ') {
    std::memcpy(out, t, kTextPlaces);
    return;
  }
  int last = 4;
  for (int i = 6; i >= 4; --i) {
    if (t[i] != ' ') {
      last = i;
      break;
    }
  }
  int point = kNoPoint;
  uint32_t number = 0;
  for (int i = 0; i < kFrequencyTextLength; ++i) {
    if (t[i] == '.' && point == kNoPoint) point = i;
    number = number * 10 + (digit(t[i]) ? static_cast<uint32_t>(t[i] - '0') : 0u);
  }
  out[0] = static_cast<uint8_t>(number);
  out[1] = static_cast<uint8_t>(number >> 8);
  out[2] = static_cast<uint8_t>(number >> 16);
  out[3] = static_cast<uint8_t>(contact::kFrequencyPacked | last << kLastShift | point);
}

void unpack_frequency(const uint8_t* in, char* out) {
  if ((in[3] & contact::kFrequencyPacked) == 0) {
    std::memcpy(out, in, kTextPlaces);
    std::memset(out + kTextPlaces, ' ', kFrequencyTextLength - kTextPlaces);
    out[kFrequencyTextLength] = '\0';
    return;
  }
  // The number left-justified in 7 places. A 24-bit number may have 8
  // digits (a damaged record); only its first 7 are kept.
  uint32_t number = static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
                    static_cast<uint32_t>(in[2]) << 16;
  char digits[8];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  std::memset(out, ' ', kFrequencyTextLength);
  for (int i = 0; i < n && i < kFrequencyTextLength; ++i) out[i] = digits[n - 1 - i];
  const int last = in[3] >> kLastShift & kLastMask;
  const int point = in[3] & kPointMask;
  if (last < 6) out[6] = ' ';
  if (last == 4) out[5] = ' ';
  if (point < kFrequencyTextLength) out[point] = '.';
  out[kFrequencyTextLength] = '\0';
}

}  // namespace osp::log
