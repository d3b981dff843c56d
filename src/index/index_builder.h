// Building a whole index file over every record of a record file for a key
// expression: an external sort in three phases (sorted runs, pairwise
// merging between two work files, bottom-up pouring of pages).
#pragma once

#include <cstdint>

#include "osprey32.h"

namespace osp::index {

// The work files' names. They are made in the directory of the index file
// being built, so that builds in different folders do not meet.
inline constexpr char kWorkFileName1[] = "NDXTEMP.$$1";
inline constexpr char kWorkFileName2[] = "NDXTEMP.$$2";

// The longest index path for which work-file names can be formed.
inline constexpr int kMaxIndexPath = 1024;

// Builds the index file at index_path (replaced when it exists) over every
// record of the record file at record_path, deleted ones included, for the
// key expression. Shows no message.
//
// Returns 0, or the last failure:
//   5  the record file cannot be opened (or a path is null), or the index
//      file cannot be created;
//   6  memory cannot be had (descriptor table, record buffer, run table, a
//      chunk of at least 3072 bytes, a page buffer);
//   8  the index file cannot be emptied, or a page or the header is written
//      short;
//  21  the record file's header, descriptors or records are read short, its
//      header is unusable, or its record count exceeds what the file holds;
//  23  a work file is read or written short, or the entries would not fit a
//      work file;
//  25  either work file cannot be created (for one, when another build is
//      using the same folder);
//  26  the expression is null or longer than 98 characters, names no field
//      or a field that is not of type C or does not lie within a record, or
//      gives a key longer than 256 bytes.
//
// When the record file cannot be opened or read (5, 6 or 21 before the index
// file exists), when the expression is too long, or when the index file
// cannot be created, no index file is created or touched. After any other
// failure the index file is left with its header only meaningful for the
// expression: the text at offset 24, the key fields when the expression was
// parsed, and root 0 and 0 blocks. The work files never outlive the call.
int32_t make_index(const char* record_path, const char* expression, const char* index_path);

// The same over the record file that records holds open (MakeIndex takes a
// file name; the log's open and its sorted rewrites hold their files and
// build over them, so that no other program can take or replace a file
// between a close and a reopen). The records are those that the file's
// header counts: a caller whose handle has a count not yet written back
// writes it first. The handle stays open; its position afterwards is
// unspecified. Returns what make_index returns (5 for a handle that is not
// open).
int32_t build(const DbfHandle* records, const char* expression, const char* index_path);

// Forms the path of a work file named name in the directory of index_path
// into out (size bytes). False when it does not fit.
bool work_file_path(const char* index_path, const char* name, char* out, int size);

}  // namespace osp::index
