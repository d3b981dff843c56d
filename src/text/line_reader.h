// Plain text read and written line by line. The reader keeps one
// process-wide read position (line_position: the bytes of the current text
// file consumed so far), so one text file is read at a time. A line ends
// with a carriage return and a line feed, or with a bare line feed; the byte
// 0x1A ends the text. The reader reads ahead in blocks of 64 KiB and
// serves the lines from them (T_Open drops what was read ahead); after each
// line the file stands where the next line begins.
#pragma once

#include <cstdint>

#include "frame/file.h"

namespace osp::text {

// T_Open: sets line_position to 0 and opens the existing file at path for
// reading (no sharing). Returns the handle, or kNoFile. The caller closes it.
FileHandle open_text(const char* path);

// T_Gets: reads the next line of h into buffer (size bytes) as a
// NUL-terminated string without its line end. Reads at most size - 2 bytes:
// a longer line comes in pieces of size - 2 bytes, nothing of it lost.
// Returns 0, or -1 at the end of the text (the end of the file, a read
// error, a byte 0x1A in the line, or size below 3).
int32_t read_line(char* buffer, int32_t size, FileHandle h);

// T_GetDbs: reads the next non-empty line into buffer, followed by blanks up
// to the number of bytes read instead of a terminator (for fixed columns);
// bytes of buffer beyond that keep what they held. Returns 0 or -1 as
// read_line.
int32_t read_padded_line(char* buffer, int32_t size, FileHandle h);

// T_Puts: writes text, of any length, followed by a carriage return and a
// line feed, at h's current position, in one write. Returns the number of
// bytes written, or -1 when the write fails (or text is null, or too long
// for a 32-bit count).
int32_t write_line(const char* text, FileHandle h);

}  // namespace osp::text
