// The platform layer: every file, clock and user-interface call the library
// makes goes through one Env, so that tests can put a fault-injecting Env in
// its place and reach every failure path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "osprey32.h"

namespace osp::platform {

using Handle = OspFile;
inline constexpr Handle kNoFile = OSP_NO_FILE;

// True when h names an open file (a handle of 0 or below counts as closed).
inline bool is_open(Handle h) { return h > 0; }

enum Access : unsigned { kRead = 1, kWrite = 2, kReadWrite = 3 };
enum Share : unsigned { kShareNone = 0, kShareRead = 1 };

// Message-box styles and buttons, with the values of the Windows interface.
inline constexpr uint32_t kMbOk = 0x00;
inline constexpr uint32_t kMbYesNoCancel = 0x03;
inline constexpr uint32_t kMbYesNo = 0x04;
inline constexpr uint32_t kMbTypeMask = 0x0F;
inline constexpr uint32_t kMbIconHand = 0x10;
inline constexpr uint32_t kMbIconQuestion = 0x20;
inline constexpr uint32_t kMbIconAsterisk = 0x40;
inline constexpr int32_t kIdOk = 1;
inline constexpr int32_t kIdCancel = 2;
inline constexpr int32_t kIdYes = 6;
inline constexpr int32_t kIdNo = 7;

static_assert(kIdYes == OSP_ANSWER_YES && kIdNo == OSP_ANSWER_NO && kIdCancel == OSP_ANSWER_CANCEL,
              "the answers the header names");

class Env {
 public:
  virtual ~Env() = default;

  // Opens an existing file. share kShareNone: no other opener, in this process
  // or another, may hold the file while it is open, and the open fails when
  // someone already holds it. kShareRead lets other read-sharing readers in.
  // Returns the handle or kNoFile.
  virtual Handle open_existing(const char* path, unsigned access, unsigned share) = 0;
  // Creates the file, or empties it when it exists (create-always), read and
  // write access, share mode 0. A file that someone else holds open is neither
  // emptied nor opened: the call fails. Returns the handle or kNoFile.
  virtual Handle create_always(const char* path) = 0;
  // Creates the file only when it does not exist yet (create-new), read and
  // write access, share mode 0. Returns the handle or kNoFile.
  virtual Handle create_new(const char* path) = 0;
  // Reads up to count bytes at the current position; returns the number read
  // (less than count at the end of the file) or -1 when the call fails.
  virtual int32_t read(Handle h, void* buffer, int32_t count) = 0;
  // Reads up to count bytes at byte offset from the start in one call;
  // returns the number read (less than count at the end of the file) or -1.
  // The current position afterwards is unspecified: callers that read at
  // an offset never rely on it. By default a seek and a read, so that an
  // Env that overrides only those sees every positioned read as both.
  virtual int32_t read_at(Handle h, int64_t offset, void* buffer, int32_t count) {
    if (seek(h, offset) != offset) return -1;
    return read(h, buffer, count);
  }
  // Writes count bytes at the current position; returns the number written
  // or -1 when the call fails.
  virtual int32_t write(Handle h, const void* buffer, int32_t count) = 0;
  // Writes count bytes at byte offset from the start in one call; returns
  // the number written or -1. The current position afterwards is
  // unspecified. By default a seek and a write, so that an Env that
  // overrides only those sees every positioned write as both.
  virtual int32_t write_at(Handle h, int64_t offset, const void* buffer, int32_t count) {
    if (seek(h, offset) != offset) return -1;
    return write(h, buffer, count);
  }
  // Sets the position to offset bytes from the start; returns the new
  // position or -1.
  virtual int64_t seek(Handle h, int64_t offset) = 0;
  // Makes the current position the end of the file; false on failure.
  virtual bool set_end(Handle h) = 0;
  // Flushes the file's buffers to disk; false on failure.
  virtual bool flush(Handle h) = 0;
  // Flushes the file's data to disk, and of its metadata only what reading
  // the data back needs (its size), not its times; false on failure. For a
  // write whose order against other files matters but whose file time does
  // not. By default the full flush, so that an Env that overrides only
  // flush sees every sync.
  virtual bool sync_data(Handle h) { return flush(h); }
  // Closes the file; false on failure.
  virtual bool close(Handle h) = 0;
  // The file's size in bytes, or -1.
  virtual int64_t size(Handle h) = 0;
  // The file's last-write time as local DOS date (high 16 bits) and DOS time
  // (low 16 bits); 0 when it cannot be had.
  virtual uint32_t file_time_number(Handle h) = 0;

  virtual bool remove(const char* path) = 0;
  // Renames from to to, replacing an existing to.
  virtual bool rename(const char* from, const char* to) = 0;
  // Makes the names in the folder that holds path (a rename into it, a file
  // created there) durable; false on failure. Platforms whose rename is
  // durable by itself need do nothing.
  virtual bool sync_folder(const char* path) { return path != nullptr; }
  // Copies from to to; with fail_if_exists an existing to makes it fail.
  virtual bool copy(const char* from, const char* to, bool fail_if_exists) = 0;
  virtual bool exists(const char* path) = 0;

  // Profile (INI) files. Section, key and the file name's extension are
  // matched without regard to case; a file named without a directory is the
  // one in the current directory.
  virtual int32_t profile_int(const char* section, const char* key, int32_t default_value,
                              const char* file) = 0;
  virtual bool profile_write_string(const char* section, const char* key, const char* value,
                                    const char* file) = 0;

  // The platform's own user interface and clock (the hooks of OspSetHooks
  // are consulted above this layer).
  virtual void local_time(OspLocalTime* now) = 0;
  virtual int32_t message_box(int32_t use_active, const char* text, const char* caption,
                              uint32_t style) = 0;
  virtual void text_out(void* device_context, int32_t x, int32_t y, const char* text,
                        int32_t length) = 0;
  virtual void beep(uint32_t type) = 0;

  // Zero-filled memory from the heap, or null when none can be had. Memory
  // the library owns for longer than one call comes from here, so that tests
  // can make an allocation fail.
  virtual void* allocate(std::size_t bytes) { return std::calloc(bytes, 1); }
  // Gives back memory from allocate; null is ignored.
  virtual void release(void* p) { std::free(p); }
};

// The Env of this build's platform; lives for the process.
Env* default_env();
// The Env in use. Tests replace it with set_env and put it back with
// set_env(nullptr), which restores the default.
Env* env();
void set_env(Env* e);

}  // namespace osp::platform
