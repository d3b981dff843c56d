// The index file of a user text file while User_open works on it, and the
// two layouts' ways of reusing or rebuilding it (variable_index.cpp and
// fixed_index.cpp, one per layout).
//
// Index file: bytes 0-3 the text file's file time when the index was built
// (little-endian, as all its integers). A rebuild first writes
// kUnfinishedStamp there and the real time only after everything else was
// written, so that an index that was not finished is never reused.
// Variable layout (".HDX"): bytes 4-7 the entry count, then the entries of
// file_order and right after them those of j_order (8 + 14 x count bytes).
// Fixed layout: from byte 4 the keys of all records in file order as a
// delta stream: one byte for a key that exceeds the previous one by 1 to
// 255, else a zero byte and the key (4 bytes); the first key always in the
// five-byte form.
#pragma once

#include <cstdint>

#include "frame/file.h"
#include "osprey32.h"

namespace osp::text {

inline constexpr uint32_t kUnfinishedStamp = 0xFFFFFFFF;
inline constexpr int32_t kWorkBufferSize = 66560;
inline constexpr int32_t kHeaderLength = 8;       // stamp and (variable) count
inline constexpr int64_t kShortestReusable = 12;  // an index of 11 bytes or less is rebuilt

struct IndexWork {
  UserTextFile* file = nullptr;
  FileHandle text = kNoFile;
  FileHandle index = kNoFile;
  uint8_t* work = nullptr;     // kWorkBufferSize bytes
  bool reuse = false;          // the stamp matched: try the stored index
  uint32_t stamp = 0;          // the text file's file time
  int32_t stored_count = 0;    // bytes 4-7 of the index file
  int64_t index_size = 0;      // the index file's length at open
};

// Readies the index file for a rebuild: empties it and writes
// kUnfinishedStamp. False when that fails.
bool start_rebuild(IndexWork* w);

// Ends a rebuild: writes the text file's time at offset 0. False when that
// fails.
bool finish_rebuild(IndexWork* w);

// The variable layout: fills file_order, c_order and j_order and sets
// entry_count (reusing the stored lists when they are whole, else scanning
// the text file and writing the lists). Returns 0, 6, 2, 8, 7 or 21 (the
// text file cannot be read); on failure
// frees what it allocated and leaves the list pointers null.
int32_t open_variable(IndexWork* w);

// The fixed layout: checks the header line, sets lead_count and fills
// fixed_keys (decoding the stored stream when it holds every key in rising
// order, else reading the keys from the text file and writing the stream).
// Returns 0, 2, 6, 29, 22, 7 or 21 (the text file cannot be read); on
// failure frees fixed_keys and leaves it
// null.
int32_t open_fixed(IndexWork* w);

}  // namespace osp::text
