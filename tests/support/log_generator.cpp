#include "support/log_generator.h"

#include <algorithm>
#include <set>

namespace osp::test {

namespace {

// Shift-JIS texts.
const std::vector<std::string> kSurnames = {
    "\x8E\x52\x93\x63",  // 山田
    "\x8D\xB2\x93\xA1",  // 佐藤
    "\x97\xE9\x96\xD8",  // 鈴木
    "\x8D\x82\x8B\xB4",  // 高橋
    "\x93\x63\x92\x86",  // 田中
    "\x88\xC9\x93\xA1",  // 伊藤
    "\x93\x6E\x95\xD3",  // 渡辺
    "\x92\x86\x91\xBA",  // 中村
    "\x94\x5C\x93\x6F",  // 能登 (second byte 0x5C)
    "\x91\x5D\x89\xE4",  // 曽我 (second byte 0x5D)
    "\x8D\x48\x93\xA1",  // 工藤
    "\xD4\xCF\xC0\xDE",  // ﾔﾏﾀﾞ (half-width kana)
};
const std::vector<std::string> kGivenNames = {
    "\x91\xBE\x98\x59",  // 太郎
    "\x89\xD4\x8E\x71",  // 花子
    "\x88\xEA\x98\x59",  // 一郎
    "\x8C\x92",          // 健
    "\x90\xBD",          // 誠
    "\x96\xBE\x94\xFC",  // 明美
};
const std::vector<std::string> kLatinNames = {"TARO", "HANAKO", "JOHN", "MARIA", "KEN", "OM"};

const std::vector<std::string> kAreaNames = {
    "\x93\x8C\x8B\x9E\x93\x73\x90\xE7\x91\xE3\x93\x63\x8B\xE6",  // 東京都千代田区
    "\x91\xE5\x8D\xE3\x95\x7B\x91\xE5\x8D\xE3\x8E\x73\x96\x6B\x8B\xE6",  // 大阪府大阪市北区
    "\x96\x6B\x8A\x43\x93\xB9\x8E\x44\x96\x79\x8E\x73\x92\x86\x89\x9B\x8B\xE6",  // 北海道札幌市中央区
    "\x88\xA4\x92\x6D\x8C\xA7\x96\xBC\x8C\xC3\x89\xAE\x8E\x73",  // 愛知県名古屋市
    "\x95\x9F\x89\xAA\x8C\xA7\x95\x9F\x89\xAA\x8E\x73",          // 福岡県福岡市
    "\x89\xAB\x93\xEA\x8C\xA7\x93\xDF\x94\x65\x8E\x73",          // 沖縄県那覇市
    "\x8F\x5C\x8F\x9F",                                          // 十勝 (second byte 0x5C)
};
const std::vector<std::string> kRemarks2 = {
    "QSL via QB2ABC",
    "Rig: 100W  Ant: 5el Yagi",
    "\x82\xA0\x82\xE8\x82\xAA\x82\xC6\x82\xA4",  // ありがとう
    "\xB1\xDD\xC3\xC5 GP",                       // ｱﾝﾃﾅ GP
    "\x88\xDA\x93\xAE\x89\x5E\x97\x70",          // 移動運用
};
const std::vector<std::string> kRemarks3 = {
    "\x8F\x89\x8C\xF0\x90\x4D",  // 初交信
    "\x95\x5C\x8E\xA6 OK",       // 表示 OK (second byte 0x5C)
    "TNX FB QSO 73",
    "\x97\x5C\x94\xF5",          // 予備 (second byte 0x5C)
};

const std::vector<std::vector<std::string>> kBands = {
    {"1.9    ", "1.910  ", "1.91   "},
    {"3.5    ", "3.525  ", "3.79   "},
    {"7      ", "7.050  ", "7.1    ", "7.025  "},
    {"10.1   ", "10.125 "},
    {"14.195 ", "14.0   ", "14.025 "},
    {"18.1   ", "18.075 "},
    {"21.2   ", "21.025 ", "21.150 "},
    {"24.9   ", "24.895 "},
    {"28.5   ", "29.6   ", "28.050 "},
    {"50.1   ", "50.250 ", "52.0   "},
    {"144.50 ", "145.00 ", "144    ", "145.000"},
    {"430.00 ", "433.0  ", "430    "},
    {"1200   ", "1295.0 ", "1294.5 "},
    {"2400   ", "2427.0 "},
    {"5760   ", "5760.1 "},
};

const std::vector<std::string> kDomesticPrefixes = {"QA", "QB", "QC", "QD", "QE", "QF", "QG",
                                                    "QH", "QI", "QJ", "QK", "QL", "QM", "QN",
                                                    "QO", "QP", "QQ", "QR", "QS"};
const std::vector<std::string> kForeignPrefixes = {"QW", "QX", "QY", "QZ", "Q9"};
const std::vector<std::string> kPhoneModes = {"SSB", "FM ", "AM ", "DV "};
const std::vector<std::string> kDataModes = {"CW ", "RTY", "FT8"};
const std::vector<std::string> kPortables = {"1  ", "P  ", "M  ", "7  ", "MM "};

std::string digits(LogGenerator& g, int n, char first_max = '9') {
  std::string s;
  s += static_cast<char>('0' + g.below(static_cast<uint32_t>(first_max - '0' + 1)));
  for (int i = 1; i < n; ++i) s += static_cast<char>('0' + g.below(10));
  return s;
}

std::string letters(LogGenerator& g, int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>('A' + g.below(26));
  return s;
}

int days_in(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && year % 4 == 0) return 29;
  return days[month - 1];
}

}  // namespace

LogGenerator::LogGenerator(uint64_t seed, GeneratorOptions options)
    : state_(seed), options_(options) {
  std::set<std::string> codes;
  codes.insert("      ");                               // kind 1: blank
  while (codes.size() < 20) codes.insert(digits(*this, 2) + "    ");   // kind 1: two digits
  while (codes.size() < 60) codes.insert(digits(*this, 4, '4') + "  ");  // kind 4
  while (codes.size() < 110) codes.insert("0" + digits(*this, 4) + " ");  // kind 5
  while (codes.size() < 140) codes.insert(digits(*this, 6, '4'));  // kind 6
  while (codes.size() < 165) codes.insert("0" + digits(*this, 4) + letters(*this, 1));  // kind 7
  while (codes.size() < 180) {
    codes.insert(std::string(1, static_cast<char>('5' + below(5))) + digits(*this, 2) + "A  ");  // kind 3
  }
  codes.insert("1A    ");  // kind 0
  codes.insert("QA    ");  // kind 0
  codes_.assign(codes.begin(), codes.end());
}

uint64_t LogGenerator::random() {
  // splitmix64: the same sequence on every platform and library.
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint32_t LogGenerator::below(uint32_t n) { return static_cast<uint32_t>(random() % n); }

std::string LogGenerator::pick(const std::vector<std::string>& list) {
  return list[below(static_cast<uint32_t>(list.size()))];
}

std::string LogGenerator::call_sign() {
  const uint32_t r = below(100);
  if (r < 80) {  // domestic: QA1ABC, QA1AB
    return pick(kDomesticPrefixes) + digits(*this, 1) + letters(*this, below(4) == 0 ? 2 : 3);
  }
  if (r < 85) return pick(kDomesticPrefixes) + digits(*this, 1) + letters(*this, 4);  // 7 characters
  if (r < 95) return pick(kForeignPrefixes) + digits(*this, 1) + letters(*this, 1 + below(3));
  return letters(*this, 1) + digits(*this, 1) + letters(*this, 3);  // one-letter prefix
}

const std::vector<std::string>& LogGenerator::band_frequencies(int band) {
  return kBands[static_cast<size_t>(band)];
}

TestContact LogGenerator::next() {
  TestContact c;
  c.callsign = call_sign();
  if (below(10) == 0) c.portable = pick(kPortables);
  c.code = pick(codes_);
  if (below(10) < 7) {
    c.grid = letters(*this, 2) + digits(*this, 2);
    if (below(2) == 0) c.grid += std::string(1, static_cast<char>('a' + below(24))) +
                                 static_cast<char>('a' + below(24));
  }
  c.frequency = pick(kBands[below(static_cast<uint32_t>(kBands.size()))]);
  const bool phone = below(2) == 0;
  c.mode = phone ? pick(kPhoneModes) : pick(kDataModes);
  c.his_rs = 10 * static_cast<int>(3 + below(3)) + static_cast<int>(5 + below(5));
  c.my_rs = below(3) == 0 ? c.his_rs : 59;
  c.his_t = phone ? ' ' : static_cast<char>('7' + below(3));
  c.my_t = phone ? ' ' : '9';
  switch (below(3)) {
    case 0: c.name = pick(kSurnames) + " " + pick(kGivenNames); break;
    case 1: c.name = pick(kSurnames); break;
    default: c.name = pick(kLatinNames); break;
  }
  static const char kRoutes[] = {' ', 'J', 'J', 'J', 'J', 'D', 'D', 'M', 'N', 'J'};
  const char route = kRoutes[below(10)];
  c.qsl = std::string(1, route) + (below(2) == 0 ? 'Y' : ' ') + " YN"[below(3)];
  // Years of both centuries, most of them recent.
  const uint32_t y = below(20);
  c.year = y == 0 ? 1952 + static_cast<int>(below(23)) : y == 1 ? 2031 + static_cast<int>(below(21))
                                                               : 1975 + static_cast<int>(below(51));
  c.month = 1 + static_cast<int>(below(12));
  c.day = 1 + static_cast<int>(below(static_cast<uint32_t>(days_in(c.year, c.month))));
  c.hour = static_cast<int>(below(24));
  c.minute = static_cast<int>(below(60));
  c.utc = below(10) < 3;
  if (route == 'M' || below(100) < static_cast<uint32_t>(options_.remark_percent)) {
    if (below(2) == 0) c.remarks[0] = pick(kAreaNames);
    c.remarks[1] = route == 'M' ? "@" + call_sign() : below(2) == 0 ? pick(kRemarks2) : "";
    if (below(3) == 0) c.remarks[2] = pick(kRemarks3);
    if (c.remarks[0].empty() && c.remarks[1].empty() && c.remarks[2].empty()) {
      c.remarks[2] = pick(kRemarks3);
    }
  }
  c.deleted = below(100) < static_cast<uint32_t>(options_.deleted_percent);
  return c;
}

std::vector<TestContact> LogGenerator::contacts(size_t count) {
  std::vector<TestContact> out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) out.push_back(next());
  return out;
}

std::vector<MasterEntry> LogGenerator::masters() const {
  std::set<std::string> codes(codes_.begin(), codes_.end());
  for (const std::string& code : codes_) {
    const bool six = code.find_first_not_of("0123456789") == std::string::npos;
    const bool letter = code[5] >= 'A' && code[5] <= 'Z' &&
                        code.substr(0, 5).find_first_not_of("0123456789") == std::string::npos;
    if (six) codes.insert(code.substr(0, 4) + "  ");
    if (letter) codes.insert(code.substr(0, 5) + " ");
  }
  for (const char* na : {"500B  ", "612C  ", "799Z  "}) codes.insert(na);
  std::vector<MasterEntry> out;
  size_t i = 0;
  for (const std::string& code : codes) {
    MasterEntry e;
    e.code = code;
    e.name = kAreaNames[i % kAreaNames.size()];
    e.flg = static_cast<char>('1' + i % 7);
    e.hed = static_cast<char>('A' + i % 10);
    e.eria = std::string(1, static_cast<char>('0' + i / 10 % 10)) + static_cast<char>('0' + i % 10);
    if (code[0] >= '5' && code[3] > 'A') {
      e.confirmed = 0x8000;
      e.worked = 0x8000;
    }
    out.push_back(e);
    ++i;
  }
  return out;
}

void write_generated_log(const std::string& base, size_t count, uint64_t seed,
                         GeneratorOptions options) {
  LogGenerator g(seed, options);
  ContactFileBuilder b;
  for (size_t i = 0; i < count; ++i) b.add(g.next());
  b.write_log(base);
  write_master_file(base + ".mst", g.masters());
}

}  // namespace osp::test
