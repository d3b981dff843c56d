#include "log_files.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "osprey32.h"

namespace osprey_tool {

namespace {

bool exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

// The name with the extension small, or in capitals when only that exists.
std::string found(const std::string& base, const char* extension) {
  const std::string small = replace_extension(base, extension);
  if (exists(small)) return small;
  std::string capitals = extension;
  for (char& c : capitals)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  const std::string upper = replace_extension(base, capitals.c_str());
  return exists(upper) ? upper : small;
}

}  // namespace

std::string replace_extension(const std::string& base, const char* extension) {
  const size_t slash = base.rfind('/');
  const size_t name = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = base.rfind('.');
  return (dot == std::string::npos || dot < name ? base : base.substr(0, dot)) + extension;
}

std::string library_base(const std::string& base) { return replace_extension(base, ".mst"); }

std::string backup_name(const std::string& path) {
  const std::string first = path + ".bak";
  return exists(first) ? path + ".bak2" : first;
}

bool back_up(const std::vector<std::string>& paths, std::string* error, std::FILE* say,
             const char* prefix) {
  for (const std::string& p : paths) {
    if (!exists(p)) continue;
    const std::string to = backup_name(p);
    const std::string part = to + ".part";
    std::error_code ec;
    std::filesystem::remove(part, ec);
    const bool copied = std::filesystem::copy_file(p, part, ec) && !ec;
    if (copied) std::filesystem::rename(part, to, ec);
    if (!copied || ec) {
      std::error_code ignored;
      std::filesystem::remove(part, ignored);
      *error = "cannot copy " + p + " to " + to + ": " + ec.message();
      return false;
    }
    std::fprintf(say, "%sbacked up %s to %s\n", prefix, p.c_str(), to.c_str());
  }
  return true;
}

std::vector<std::string> LogFiles::all() const {
  std::vector<std::string> v{master, contacts, remarks};
  for (const std::string& i : indexes) v.push_back(i);
  return v;
}

LogFiles log_files(const std::string& base) {
  LogFiles f;
  // The library derives every path from the master path.
  const std::string master = replace_extension(base, ".mst");
  f.master = found(master, ".mst");
  f.contacts = found(master, ".dbs");
  f.remarks = found(master, ".dbr");
  const char* indexes[5] = {".dx0", ".dx1", ".dx2", ".dx3", ".dx4"};
  for (int i = 0; i < 5; ++i) f.indexes[i] = found(master, indexes[i]);
  const size_t slash = master.find_last_of('/');
  f.folder = slash == std::string::npos ? "." : master.substr(0, slash + 1);
  return f;
}

std::string held_file(const std::vector<std::string>& paths) {
  for (const std::string& p : paths) {
    if (!std::ifstream(p, std::ios::binary)) continue;  // missing or not readable
    // The library opens every file of a log exclusively: a file that can be
    // read but that the library cannot open is held by another opener.
    // (Opening any of the set's files as a record file only reads its header.)
    DbfHandle h{};
    const int32_t status = dbf_open_readonly(p.c_str(), &h);
    if (status == 0) dbf_close(&h);
    if (status == OSP_CANNOT_OPEN) return p;
  }
  return "";
}

std::string read_only_reason(const LogFiles& files) {
  for (const std::string& p : files.all())
    if (exists(p) && ::access(p.c_str(), W_OK) != 0) return p;
  if (::access(files.folder.c_str(), W_OK) != 0) return files.folder;
  return "";
}

BackupWatch::BackupWatch(std::vector<std::string> paths) : paths_(std::move(paths)) {
  for (const std::string& p : paths_) had_copy_.push_back(exists(p + "~"));
}

std::vector<std::string> BackupWatch::report() const {
  std::vector<std::string> copies;
  for (size_t i = 0; i < paths_.size(); ++i) {
    if (had_copy_[i] || !exists(paths_[i] + "~")) continue;
    copies.push_back(paths_[i] + "~");
    std::fprintf(stderr, "osprey: the old %s was kept as %s\n", paths_[i].c_str(),
                 copies.back().c_str());
  }
  return copies;
}

std::vector<std::string> files_an_import_changes(const std::string& base) {
  const LogFiles files = log_files(base);
  std::vector<std::string> changed = {files.contacts, files.remarks};
  for (const std::string& index : files.indexes) changed.push_back(index);
  for (const char* profile : {".fdt", ".FDT"}) changed.push_back(replace_extension(base, profile));
  return changed;
}

}  // namespace osprey_tool
