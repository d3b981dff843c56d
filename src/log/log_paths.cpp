#include "log/log_paths.h"

#include <cstring>

#include "platform/env.h"

namespace osp::log {

namespace {

// Where the extension of path begins: its last '.', or its end.
size_t stem_length(const char* path) {
  const char* dot = std::strrchr(path, '.');
  return dot != nullptr ? static_cast<size_t>(dot - path) : std::strlen(path);
}

bool terminated(const char* field) { return strnlen(field, kPathSize) < kPathSize; }

// The path field of file in log; the profile file has none.
const char* path_field(const LogHandle* log, LogFile file) {
  switch (file) {
    case LogFile::kMaster: return log->mst.path;
    case LogFile::kContacts: return log->dbs.path;
    case LogFile::kRemarks: return log->dbr_name;
    case LogFile::kProfile: return nullptr;
    default: return log->index_slot[static_cast<int32_t>(file) -
                                    static_cast<int32_t>(LogFile::kIndex0)].path;
  }
}

char* path_field(LogHandle* log, LogFile file) {
  return const_cast<char*>(path_field(static_cast<const LogHandle*>(log), file));
}

constexpr LogFile kStoredFiles[] = {LogFile::kMaster, LogFile::kContacts, LogFile::kRemarks,
                                    LogFile::kIndex0, LogFile::kIndex1,   LogFile::kIndex2,
                                    LogFile::kIndex3, LogFile::kIndex4};

}  // namespace

const char* log_file_extension(LogFile file, bool capitals) {
  switch (file) {
    case LogFile::kMaster: return ".mst";
    case LogFile::kContacts: return ".dbs";
    case LogFile::kRemarks: return ".dbr";
    case LogFile::kIndex0: return ".dx0";
    case LogFile::kIndex1: return ".dx1";
    case LogFile::kIndex2: return ".dx2";
    case LogFile::kIndex3: return ".dx3";
    case LogFile::kIndex4: return ".dx4";
    case LogFile::kProfile: return capitals ? ".FDT" : ".fdt";
  }
  return "";
}

void profile_index_key(int slot, bool capitals, char (&out)[kProfileKeySize]) {
  const char* extension = log_file_extension(index_file(slot)) + 1;  // without the dot
  for (size_t i = 0; i + 1 < kProfileKeySize; ++i) {
    const char c = extension[i];
    out[i] = capitals && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  out[kProfileKeySize - 1] = '\0';
}

size_t replaced_length(const char* path, const char* ext) {
  return stem_length(path) + std::strlen(ext);
}

bool replace_extension(const char* path, const char* ext, char* out, size_t capacity) {
  const size_t stem = stem_length(path);
  const size_t ext_length = std::strlen(ext);
  if (stem + ext_length + 1 > capacity) return false;
  std::memcpy(out, path, stem);
  std::memcpy(out + stem, ext, ext_length + 1);
  return true;
}

size_t derived_path_length(const char* base, LogFile file) {
  // Every extension has the same length, so the master path's stem is the
  // base's stem and each derived path is that stem and its extension.
  return replaced_length(base, log_file_extension(file));
}

void write_derived_path(const char* base, LogFile file, char* out) {
  replace_extension(base, log_file_extension(file), out, derived_path_length(base, file) + 1);
}

bool derive_log_paths(const char* base, LogHandle* log, LogFile* failed) {
  for (LogFile file : kStoredFiles) {
    if (derived_path_length(base, file) > kMaxPathLength) {
      *failed = file;
      return false;
    }
  }
  // The master path first, then each other path from it.
  replace_extension(base, log_file_extension(LogFile::kMaster), log->mst.path, kPathSize);
  for (LogFile file : kStoredFiles) {
    if (file == LogFile::kMaster) continue;
    replace_extension(log->mst.path, log_file_extension(file), path_field(log, file), kPathSize);
  }
  return true;
}

void match_existing_extensions(LogHandle* log) {
  for (LogFile file : kStoredFiles) {
    char* path = path_field(log, file);
    if (!terminated(path) || platform::env()->exists(path)) continue;
    char capitals[kPathSize];
    std::memcpy(capitals, path, kPathSize);
    for (size_t i = stem_length(capitals); capitals[i] != '\0'; ++i) {
      if (capitals[i] >= 'a' && capitals[i] <= 'z')
        capitals[i] = static_cast<char>(capitals[i] - 32);
    }
    if (platform::env()->exists(capitals)) std::memcpy(path, capitals, kPathSize);
  }
}

bool stored_paths_valid(const LogHandle* log, LogFile* failed) {
  for (LogFile file : kStoredFiles) {
    if (!terminated(path_field(log, file))) {
      *failed = file;
      return false;
    }
  }
  return true;
}

bool profile_path(const LogHandle* log, bool capitals, char* out) {
  if (!terminated(log->mst.path)) return false;
  return replace_extension(log->mst.path, log_file_extension(LogFile::kProfile, capitals), out,
                           kPathSize);
}

namespace {

bool with_suffix(const char* path, char suffix, char* out) {
  const size_t n = std::strlen(path);
  if (n + 1 > kMaxPathLength) return false;
  std::memcpy(out, path, n);
  out[n] = suffix;
  out[n + 1] = '\0';
  return true;
}

}  // namespace

bool backup_path(const char* path, char* out) { return with_suffix(path, '~', out); }

bool new_file_path(const char* path, char* out) { return with_suffix(path, '$', out); }

}  // namespace osp::log
