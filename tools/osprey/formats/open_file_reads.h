// Reads of a file the library holds open, through the library's own handle
// (the OspFile of a DbfHandle, of an IdxHandle or the remarks file's in a
// LogHandle). The library opens its files for itself alone (share mode 0 on
// Windows), so a second open of the same path fails there while the log is
// open; a read through its handle does not.
//
// These reads see what the library has written, not what it still holds in
// memory: a caller that reads the contact or remarks file this way first has
// the library read that file once (dbf_read, say), which writes what it held.
// The library positions every read and write it makes, so a read here that
// moves a handle's position (Windows) changes nothing it relies on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "osprey32.h"

namespace osprey_tool {

// The size in bytes of the file open as f; -1 when it is not open or its size
// cannot be told.
int64_t open_file_size(OspFile f);

// Reads up to count bytes from offset into buffer. Returns the number read,
// fewer than count only at the end of the file, or -1 on failure.
int64_t read_open_file(OspFile f, int64_t offset, void* buffer, size_t count);

}  // namespace osprey_tool
