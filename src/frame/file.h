// The file layer: the six operations through which every other subsystem
// opens, creates, reads, writes, positions and cuts files. None of them shows
// a message; callers judge a read or write by comparing the returned count
// with the count they asked for.
#pragma once

#include <cstdint>

#include "platform/env.h"

namespace osp {

using FileHandle = platform::Handle;
inline constexpr FileHandle kNoFile = platform::kNoFile;

// Access rights for file_open_existing.
inline constexpr unsigned kGenericRead = platform::kRead;
inline constexpr unsigned kGenericReadWrite = platform::kReadWrite;

// Opens an existing file with the given access, share mode 0 (nobody else may
// hold it while it is open). Returns the handle or kNoFile.
FileHandle file_open_existing(const char* path, unsigned access);

// Creates the file, or empties it when it exists; read and write access, share
// mode 0. Returns the handle or kNoFile.
FileHandle file_create(const char* path);

// Reads up to count bytes at the current position. Returns the number read
// (less than count at the end of the file) or -1 when the read fails.
int32_t file_read(FileHandle h, void* buffer, int32_t count);

// Reads up to count bytes at byte offset. Returns the number read (less than
// count at the end of the file) or -1 when the read fails or the offset is
// negative or beyond a 32-bit position. The position afterwards is
// unspecified.
//
// Reads that go forward through a file (each starting at or after the
// previous one and no further than a little past its end, as a walk in
// record order reads records and their remark blocks) are served from a
// read-ahead window of that file, filled by one positioned platform read;
// any other read is one positioned platform read of its own. Every write,
// truncation and close through this layer forgets the handle's window, so
// a read never sees bytes older than the last write through its handle.
// Files are held exclusively or only by readers, so no other writer can
// change them behind the window.
int32_t file_read_at(FileHandle h, int64_t offset, void* buffer, int32_t count);

// Writes count bytes at the current position. Returns the number written or
// -1 when the write fails.
int32_t file_write(FileHandle h, const void* buffer, int32_t count);

// Writes count bytes at byte offset in one call (forgetting the handle's
// read-ahead window, as every write does). Returns the number written or
// -1, also for an offset that is negative or puts the bytes beyond a 32-bit
// position. The position afterwards is unspecified.
int32_t file_write_at(FileHandle h, int64_t offset, const void* buffer, int32_t count);

// Sets the position to offset bytes from the start. Returns the new position
// or -1. Offsets beyond what a 32-bit position can address fail.
int64_t file_seek(FileHandle h, int64_t offset);

// Sets the position to length and makes it the end of the file. Returns 1 on
// success, 0 when either step fails.
int32_t file_truncate(FileHandle h, int64_t length);

// Flushes and closes, straight through to the platform.
bool file_flush(FileHandle h);
bool file_close(FileHandle h);

// The file's length in bytes, or -1.
int64_t file_size(FileHandle h);

// The platform's data sync of the file (its times are not needed). Returns
// true on success.
bool file_sync_data(FileHandle h);

// Held writes, the file layer's one call back up: a writer above it that
// gathers bytes for up to two files in memory, to write them later in one go
// (a bulk run of appends, owned by its log's state), hands the files, itself
// (owner) and the function that writes what it holds to hold_writes. Before
// any operation of this layer on either file (reads, writes, seeks, size,
// syncs, flush, truncation, close) that function is called once with owner,
// the hold already given up, so that nothing reads or writes those files
// around the bytes held. One hold at a time for the process (the library runs
// one call at a time); a new hold replaces the old one, whose holder must
// have written its bytes first. release_writes gives owner's hold up without
// calling anything (another owner's hold stays).
using WriteHeld = void (*)(void* owner);
void hold_writes(FileHandle first, FileHandle second, void* owner, WriteHeld write_held);
void release_writes(const void* owner);
// Has held writes of h written now (before, say, a count is checked that
// their failure would lower, or a header image is built from it).
void file_settle(FileHandle h);

// The largest file position the file formats can address (32-bit positions).
inline constexpr int64_t kMaxFilePosition = 0xFFFFFFFEll;

}  // namespace osp
