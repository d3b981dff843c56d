// A generator of realistic logs for tests and benchmarks, deterministic from
// a seed: call signs with prefixes like QA1ABC (domestic, foreign, seven
// characters, portable), area codes of every kind, frequencies on every
// band in both stored forms, dates in both centuries, JST and UTC times,
// phone and CW reports, QSL marks, Shift-JIS names and remarks (half-width
// kana and characters whose second byte is 0x5C among them). Every contact
// it makes is one the library stores and shows unchanged: packing its
// expected view gives back its record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/contact_file_builder.h"
#include "support/master_file_builder.h"

namespace osp::test {

struct GeneratorOptions {
  int remark_percent = 40;  // contacts with at least one remark
  int deleted_percent = 0;  // contacts marked deleted
};

class LogGenerator {
 public:
  explicit LogGenerator(uint64_t seed, GeneratorOptions options = {});

  // The next contact.
  TestContact next();
  std::vector<TestContact> contacts(size_t count);

  // The area codes contacts are drawn from: kinds 0, 1, 3, 4, 5, 6 and 7,
  // the blank code among them.
  const std::vector<std::string>& area_codes() const { return codes_; }

  // One master entry per area code, per parent of a kind-6 or kind-7 code
  // and for a few kind-3 codes that take no part (both masks 0x8000), in
  // code order. Names are Shift-JIS.
  std::vector<MasterEntry> masters() const;

  // The frequency texts the generator uses for band b (0-14).
  static const std::vector<std::string>& band_frequencies(int band);

  // The next raw pseudo-random number, and one below n (n > 0).
  uint64_t random();
  uint32_t below(uint32_t n);

 private:
  std::string call_sign();
  std::string pick(const std::vector<std::string>& list);

  uint64_t state_;
  GeneratorOptions options_;
  std::vector<std::string> codes_;
};

// Writes base.dbs, base.dbr and base.mst: count contacts from a generator
// seeded with seed and its master entries.
void write_generated_log(const std::string& base, size_t count, uint64_t seed,
                         GeneratorOptions options = {});

}  // namespace osp::test
