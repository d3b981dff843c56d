// A log's files as the command sees them before and after the library opens
// them: their paths (found as the library finds them, also with extensions in
// capitals), whether another program holds one, whether the log may be
// written, and which files the library moved aside under "~" names.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace osprey_tool {

struct LogFiles {
  std::string master, contacts, remarks;
  std::string indexes[5];
  std::string folder;  // where the set lives ("." for none given)

  // The master, contact and remarks files and the five indexes.
  std::vector<std::string> all() const;
};

// The base path with its extension replaced by extension. The extension is
// what follows the last '.' of the base name (the part after the last '/'),
// so a dot in a folder name ("./LOG", "my.logs/LOG") is no extension.
std::string replace_extension(const std::string& base, const char* extension);

// The path under which the library is given the set of base. The library
// takes the extension from the last '.' of the whole path, so a base name
// without one gets ".mst": "./LOG" becomes "./LOG.mst" (and LOG.dbs becomes
// LOG.mst, a path of the same set).
std::string library_base(const std::string& base);

// The set of base: each file under its name with the small extension, or
// with the extension in capitals when only that one is there.
LogFiles log_files(const std::string& base);

// The first of the files that another program (or another open in this one)
// holds open: one that can be read but that the library cannot open. Empty
// when none is held.
std::string held_file(const std::vector<std::string>& paths);

// The first file of the set that is there but may not be written, or the
// folder when no file may be made in it; empty when the log may be changed.
std::string read_only_reason(const LogFiles& files);

// The backup name for path: "PATH.bak" for the first backup, which is kept
// (the log as it was before the command first changed it); "PATH.bak2" for
// every later one, which replaces the one before. So a file has at most two
// backups, however often it is changed.
std::string backup_name(const std::string& path);

// The files of the log at base that an import may change: the contact and
// remarks files, the indexes and the profile (backed up before one).
std::vector<std::string> files_an_import_changes(const std::string& base);

// Copies each existing file of paths to its backup name, saying so on say
// ("backed up A to B", after prefix); false, with the file named in *error,
// when one cannot be copied (copies already made are kept). A copy is made
// under a temporary name and renamed into place only when whole, so a failed
// backup leaves no file behind and never replaces a good one.
bool back_up(const std::vector<std::string>& paths, std::string* error, std::FILE* say = stdout,
             const char* prefix = "");

// Notes which of the files have no "~" copy yet; report() then names every
// copy that has appeared since, on standard error ("kept the old ... as ...").
class BackupWatch {
 public:
  explicit BackupWatch(std::vector<std::string> paths);
  // The copies that appeared since the watch began, one "FILE~" each.
  std::vector<std::string> report() const;

 private:
  std::vector<std::string> paths_;
  std::vector<bool> had_copy_;
};

}  // namespace osprey_tool
