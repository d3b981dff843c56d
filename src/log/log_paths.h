// The names of a log's file set. Every path derives from one base path: the
// master file is the base with its extension replaced by ".mst", and every
// other file is the master path with its extension replaced: ".dbs", ".dbr",
// ".dx0" to ".dx4" and the profile file ".fdt". Replacing an extension cuts
// the path at its last '.', wherever that stands (also inside a directory
// name), and appends the new one. A path field holds at most 259 characters
// and its NUL; a set whose paths would be longer is refused whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "osprey32.h"

namespace osp::log {

inline constexpr size_t kPathSize = 260;        // a path field, NUL included
inline constexpr size_t kMaxPathLength = 259;

// The files of a log, in the order in which the set is derived and opened.
enum class LogFile : int32_t {
  kMaster,
  kContacts,
  kRemarks,
  kIndex0,
  kIndex1,
  kIndex2,
  kIndex3,
  kIndex4,
  kProfile,
};
inline constexpr int kLogIndexCount = 5;
// Index slots of a LogHandle: the five of the set and the caller's slot 5.
inline constexpr int kLogSlotCount =
    static_cast<int>(sizeof(LogHandle::index_slot) / sizeof(IdxHandle));
static_assert(kLogSlotCount == kLogIndexCount + 1, "slot 5 is the caller's");

// The index file of slot 0 to 4.
constexpr LogFile index_file(int slot) {
  return static_cast<LogFile>(static_cast<int32_t>(LogFile::kIndex0) + slot);
}

// The extension of a file of the set, with its dot: ".mst", ".dbs", ".dbr",
// ".dx0" to ".dx4", ".fdt". With capitals the profile file's is ".FDT" (the
// name under which a close writes it; the others are always small).
const char* log_file_extension(LogFile file, bool capitals = false);

// The profile file: one section, the master file's time under "MST", the
// contact file's under "DBS" and each index's under its extension without
// the dot. The close writes the index keys in capitals ("DX0" to "DX4"), the
// open asks for them in small letters ("dx0" to "dx4"); keys are matched
// without regard to case.
inline constexpr char kProfileSection[] = "FileTime";
inline constexpr char kProfileMasterKey[] = "MST";
inline constexpr char kProfileContactKey[] = "DBS";
inline constexpr size_t kProfileKeySize = 4;  // an index key and its NUL

// Writes the profile key of index slot 0 to 4 into out.
void profile_index_key(int slot, bool capitals, char (&out)[kProfileKeySize]);

// Every path argument below is a NUL-terminated text (never null).

// The length of path with its extension replaced by ext.
size_t replaced_length(const char* path, const char* ext);

// Writes path with its extension replaced by ext into out, which holds
// capacity bytes. Returns false, leaving out untouched, when the result and
// its NUL do not fit. path and out may not overlap.
bool replace_extension(const char* path, const char* ext, char* out, size_t capacity);

// The length of the path of file in the set whose base path is base.
size_t derived_path_length(const char* base, LogFile file);

// Writes the path of file in the set of base into out, which holds
// derived_path_length(base, file) + 1 bytes; a caller that must name a path
// too long for a path field (in a message) sizes out this way.
void write_derived_path(const char* base, LogFile file, char* out);

// Derives the set's paths from base into log: mst.path, dbs.path, dbr_name
// and the paths of index slots 0 to 4 (slot 5 is the caller's). When any of
// them would be longer than 259 characters, changes nothing, sets *failed
// to the first such file in the set's order and returns false.
bool derive_log_paths(const char* base, LogHandle* log, LogFile* failed);

// Files copied from Windows may carry their extensions in capitals
// ("LOG.DBS", "LOG.MST", "LOG.DX0"): for each path of the set in log whose
// file is not there under its own name but is under the name with its
// extension in capitals, takes that name. The profile file is found the
// same way by the platform layer.
void match_existing_extensions(LogHandle* log);

// For a reopen, which uses the paths stored in log as they are: true when
// each of the set's path fields ends within its 260 bytes; else false with
// *failed set to the first field that does not.
bool stored_paths_valid(const LogHandle* log, LogFile* failed);

// The profile file's path, derived from log's master path, into out
// (kPathSize bytes), with the extension ".fdt" or, with capitals, ".FDT".
// False when it would be longer than 259 characters or the master path has
// no NUL in its field.
bool profile_path(const LogHandle* log, bool capitals, char* out);

// The name a file is kept under when a new file must take its place: the
// same path with "~" appended. False when it would be longer than 259
// characters.
bool backup_path(const char* path, char* out);

// The name a new file is made under before it takes the place of the file
// at path: the same path with "$" appended. False when it would be longer
// than 259 characters.
bool new_file_path(const char* path, char* out);

}  // namespace osp::log
