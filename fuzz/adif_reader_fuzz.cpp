// Arbitrary bytes as an ADI or ADX file: reading every record, turning each
// into a contact and the contact back into ADI must neither crash, hang nor
// touch memory out of bounds, and a contact that was accepted must come
// back from its own ADI record with the same duplicate key (a contact with a
// Japanese station stored in JST as well as one kept in UTC).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "adif/adif_contact.h"
#include "adif/adif_reader.h"
#include "adif/adif_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace osprey_tool;
  static AdifText text;
  AdifReader reader(std::string_view(reinterpret_cast<const char*>(data), size));
  AdifRecord record;
  for (int i = 0; i < 100000 && reader.next(&record) == AdifRead::kRecord; ++i) {
    ContactView view;
    AdifRefusal why;
    AdifImportNotes notes;
    notes.record = reader.record_number();
    // Every other record keeps UTC: both ways must come back.
    if (!contact_of_adif(record, text, &view, &why, &notes, i % 2 == 1)) continue;
    const AdifRecord out = adif_of_contact(view, text);
    AdifWriter writer(AdifFormat::kAdi);
    writer.record(out);
    const std::string file = writer.file("20260101 000000", "fuzz");
    AdifReader again(file);
    AdifRecord back;
    if (again.next(&back) != AdifRead::kRecord) std::abort();
    ContactView view2;
    if (!contact_of_adif(back, text, &view2, &why, &notes)) std::abort();
    if (duplicate_key(view2) != duplicate_key(view)) std::abort();
  }
  return 0;
}
