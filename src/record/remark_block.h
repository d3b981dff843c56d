// The remark block: a contact's free-text remarks in the remarks file
// (".dbr"), at the offset that the contact's OFS field holds. Three length
// bytes L1, L2, L3, then L1 + L2 + L3 bytes of text: remark 1, remark 2 and
// remark 3 one after another, each without trailing blanks and without a
// terminator. A contact without remarks has no block (OFS 0). A LogHandle
// keeps the current contact's block in its remark buffer: remark_len,
// remark_text, remark_part2, remark_part3 and remark_block_len.
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::log {

inline constexpr int32_t kRemark1Max = 28;
inline constexpr int32_t kRemark2Max = 54;
inline constexpr int32_t kRemark3Max = 54;
inline constexpr int32_t kRemarkLengthBytes = 3;
inline constexpr int32_t kRemarkTextMax = kRemark1Max + kRemark2Max + kRemark3Max;  // 136
inline constexpr int32_t kRemarkBlockMax = kRemarkLengthBytes + kRemarkTextMax;     // 139
// Blocks stand after the remarks file's 256-byte header; OFS values from 1
// to 255 point into the header and are refused.
inline constexpr uint32_t kFirstRemarkOffset = 256;

// True when each length is within its remark's limit (28, 54, 54).
bool remark_lengths_valid(const uint8_t* lengths);

// Derives the rest of log's remark buffer from its lengths: remark_part2 at
// remark_text + L1, remark_part3 at remark_text + L1 + L2, remark_block_len
// = L1 + L2 + L3 + 3. The lengths must be valid.
void set_remark_parts(LogHandle* log);

// Empties log's remark buffer: lengths 0, block size 3.
void clear_remarks(LogHandle* log);

// Reads the remark block at offset o of log's remarks file (dbr_file) into
// log's remark buffer. Returns:
//   0  o is 0 (no remarks); or the block was read; or nothing stands at o
//      (the read hit the end of the file); or the stored lengths exceed
//      their limits (the block is taken as no remarks); or the remarks file
//      is not open (a log without a usable remarks file has no remarks);
//   11 o is below 256 but not 0 (it points into the header);
//   21 the file could not be positioned or read, or only part of the
//      lengths or of the text could be read.
// Whenever the result is not a block that was read whole, the remarks are
// empty (lengths 0). Shows no message.
int32_t read_remark_block(LogHandle* log, uint32_t o);

// Packs the view's three remarks into log's remark buffer: remark 1 with its
// trailing blanks removed, then remark 2 and remark 3 appended, each time
// with the trailing blanks of the whole removed, so that an all-blank remark
// contributes nothing and never leaves blanks between two others. Each
// remark is taken up to its NUL or its field's width (28, 54, 54).
void pack_remarks(LogHandle* log);

// Writes the block of log's remark buffer as it is stored (lengths, then
// text) into out, which holds kRemarkBlockMax bytes, and returns its size
// (remark_block_len). Lengths beyond their limits are written cut to them,
// so that damaged lengths never reach past the buffers.
int32_t remark_block_bytes(const LogHandle* log, uint8_t* out);

}  // namespace osp::log
