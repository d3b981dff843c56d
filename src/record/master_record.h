// The stored master entry: a 49-byte record of the master file (".mst"),
// one per area code. The library never creates this file; the field
// descriptors of its header name the fields. These are the data bytes the
// library relies on, kept in a LogHandle's mst_image (whose 49th byte is
// spare) after the deletion flag is dropped.
#pragma once

#include <cstdint>
#include <cstring>

#include "frame/bytes.h"
#include "record/contact_record.h"

namespace osp::log::master {

inline constexpr int32_t kRecordSize = 49;  // deletion flag and data bytes
inline constexpr int32_t kDataSize = 48;

inline constexpr RecordField kCode{1, 6};        // area code (key of index 2)
inline constexpr RecordField kName{7, 28};       // the area's name
inline constexpr RecordField kFlg{35, 1};        // first byte of the keys of indexes 3 and 4
inline constexpr RecordField kHedEria{36, 3};    // rest of the key of index 4
inline constexpr RecordField kConfirmed{39, 2};  // confirmed mask, 16-bit
inline constexpr RecordField kWorked{41, 2};     // worked mask, 16-bit
inline constexpr RecordField kUnused{43, 6};

// The key of index 4 runs from FLG to the end of HED and ERIA.
inline constexpr RecordField kFlgHedEria{35, 4};
// The key of index 3 is FLG followed by CODE: assembled, not stored.
inline constexpr int32_t kFlgCodeKeyLength = 7;

static_assert(kUnused.end() == kRecordSize, "the fields fill the record");

// Mask bits: one per band (0-14); bit 15 marks an entry that takes no part
// in the worked/confirmed bookkeeping.
inline constexpr int kBandCount = 15;
inline constexpr uint16_t kNotApplicable = 0x8000;

inline uint16_t confirmed_mask(const uint8_t* data) { return load_u16(data + kConfirmed.data()); }
inline uint16_t worked_mask(const uint8_t* data) { return load_u16(data + kWorked.data()); }
inline void set_masks(uint8_t* data, uint16_t confirmed, uint16_t worked) {
  store_u16(data + kConfirmed.data(), confirmed);
  store_u16(data + kWorked.data(), worked);
}

// Assembles FLG followed by CODE, the key of index 3, into out (7 bytes).
inline void flg_code_key(const uint8_t* data, uint8_t* out) {
  out[0] = data[kFlg.data()];
  std::memcpy(out + 1, data + kCode.data(), static_cast<size_t>(kCode.width));
}

}  // namespace osp::log::master
