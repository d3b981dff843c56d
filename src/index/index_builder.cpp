#include "index/index_builder.h"

#include <cstring>

#include "dbf/field_descriptors.h"
#include "frame/bytes.h"
#include "frame/file.h"
#include "frame/status.h"
#include "index/index_format.h"
#include "index/key_expression.h"
#include "index/runs.h"
#include "index/page_pour.h"
#include "platform/env.h"

namespace osp::index {

namespace {

// Records are read in blocks of about this many bytes (at least one record).
constexpr int32_t kRecordBlockBytes = 16384;

constexpr int kWorkPathSize = kMaxIndexPath + static_cast<int>(sizeof kWorkFileName1);

// Length of the directory part of path, its final separator included.
std::size_t directory_length(const char* path) {
  std::size_t length = 0;
  for (std::size_t i = 0; path[i] != '\0'; ++i) {
    const char c = path[i];
    const bool drive = c == ':' && i == 1 &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (c == '/' || c == '\\' || drive) length = i + 1;
  }
  return length;
}

// Everything one build holds; what exists is undone by finish().
class Build {
 public:
  Build() = default;
  Build(const Build&) = delete;
  Build& operator=(const Build&) = delete;

  int32_t run(const char* record_path, const char* expression, const char* index_path) {
    if (record_path == nullptr || index_path == nullptr) return status::kCannotOpen;
    if (expression == nullptr || !expression_length_ok(expression))
      return status::kBadKeyExpression;
    // Step 1: the record file, opened here and closed by finish().
    records_ = file_open_existing(record_path, kGenericRead);
    if (records_ == kNoFile) return status::kCannotOpen;
    return build_from_records(expression, index_path);
  }

  // The same over a record file that its caller holds open: its descriptors
  // are read through that handle, which stays open.
  int32_t run_over(FileHandle records, const char* expression, const char* index_path) {
    if (!platform::is_open(records) || index_path == nullptr) return status::kCannotOpen;
    if (expression == nullptr || !expression_length_ok(expression))
      return status::kBadKeyExpression;
    records_ = records;
    borrowed_ = true;
    if (file_seek(records_, 0) != 0) {
      release_records();
      return status::kDataReadError;
    }
    return build_from_records(expression, index_path);
  }

 private:
  int32_t build_from_records(const char* expression, const char* index_path) {
    // Step 1, continued: the descriptors and a record buffer. A failure here
    // touches no index file.
    int32_t result = dbf::read_record_layout(records_, &layout_);
    if (result == status::kOk) result = allocate_record_block();
    if (result != status::kOk) {
      release_records();
      return result;
    }

    // Step 2: the index file and its header with the expression.
    index_ = file_create(index_path);
    if (index_ == kNoFile) {
      release_records();
      return status::kCannotOpen;
    }
    const std::size_t text_length = std::strlen(expression);
    std::memcpy(header_ + kHdrExpression, expression, text_length);
    header_[kHdrExpression + text_length] = ' ';
    header_[kHdrUnique] = 0;

    build(expression, index_path);
    finish();
    return status_;
  }

  // Steps 3 to 9; a failure records its code and returns.
  void build(const char* expression, const char* index_path) {
    // Steps 3 and 4: the key.
    KeyExpression key;
    if (record(parse_key_expression(expression, layout_, &key))) return;
    const int32_t entry_size = entry_size_for(key.key_length);
    store_i16(header_ + kHdrKeyLength, static_cast<int16_t>(key.key_length));
    store_i16(header_ + kHdrMaxKeys, static_cast<int16_t>(max_keys_for(entry_size)));
    store_i16(header_ + kHdrKeyType, 0);
    store_i16(header_ + kHdrEntrySize, static_cast<int16_t>(entry_size));

    // Step 5: the work files, beside the index file.
    if (!work_file_path(index_path, kWorkFileName1, work_path_[0], kWorkPathSize) ||
        !work_file_path(index_path, kWorkFileName2, work_path_[1], kWorkPathSize)) {
      record(status::kWorkFileError);
      return;
    }
    for (int i = 0; i < 2; ++i) {
      work_[i] = file_create(work_path_[i]);
      if (work_[i] == kNoFile && record(status::kWorkFileError)) return;
    }

    // Step 6: working memory, for a record count the file can really hold.
    if (record(check_sizes(key.key_length))) return;
    if (record(allocate_sort_space(&space_, key.key_length, layout_.record_count))) return;

    // Steps 7 to 9: sorted runs, merging, pages.
    const RecordSource source{records_, &layout_, block_, block_records_};
    if (record(write_sorted_runs(source, key, &space_, work_[0]))) return;
    int sorted = 0;
    if (record(merge_runs(&space_, work_, &sorted))) return;
    PourResult tree;
    if (record(pour_pages(work_[sorted], index_, space_,
                          static_cast<uint32_t>(layout_.record_count), &tree))) {
      return;
    }
    store_u32(header_ + kHdrRoot, tree.root);
    store_u32(header_ + kHdrNextFree, tree.next_page);
  }

  // Refuses a record count beyond what the file holds before any memory is
  // spent on it (the records would be read short later anyway), and entries
  // that would not fit a work file's 32-bit positions.
  int32_t check_sizes(int32_t key_length) const {
    const int64_t need = static_cast<int64_t>(layout_.header_size) +
                         static_cast<int64_t>(layout_.record_count) * layout_.record_size;
    const int64_t size = platform::env()->size(records_);
    if (size >= 0 && need > size) return status::kDataReadError;
    const int64_t work = static_cast<int64_t>(layout_.record_count) * (key_length + kRecnoBytes);
    if (work > kMaxFilePosition) return status::kIndexBuildError;
    return status::kOk;
  }

  // A block of whole records, as many as fit kRecordBlockBytes; fewer while
  // that much cannot be had, down to the one record buffer a build needs.
  int32_t allocate_record_block() {
    const int32_t size = layout_.record_size;
    for (int32_t n = size >= kRecordBlockBytes ? 1 : kRecordBlockBytes / size; n >= 1; n /= 2) {
      block_ = static_cast<uint8_t*>(
          platform::env()->allocate(static_cast<std::size_t>(n) * static_cast<std::size_t>(size)));
      if (block_ != nullptr) {
        block_records_ = n;
        return status::kOk;
      }
    }
    return status::kNoMemory;
  }

  // Records a failure (the last one wins); true when code is one.
  bool record(int32_t code) {
    if (code == status::kOk) return false;
    status_ = code;
    return true;
  }

  // Steps 10 and 11: frees the memory, closes and removes the work files,
  // closes the record file and closes the index file after writing its header.
  void finish() {
    release_sort_space(&space_);
    for (int i = 1; i >= 0; --i) {
      if (work_[i] == kNoFile) continue;
      file_close(work_[i]);
      platform::env()->remove(work_path_[i]);
      work_[i] = kNoFile;
    }
    release_records();
    if (file_seek(index_, 0) != 0 || file_write(index_, header_, kPageSize) != kPageSize)
      status_ = status::kIndexWriteError;
    file_close(index_);
    index_ = kNoFile;
  }

  void release_records() {
    platform::env()->release(block_);
    block_ = nullptr;
    dbf::release_record_layout(&layout_);
    if (!borrowed_) file_close(records_);
    records_ = kNoFile;
  }

  int32_t status_ = status::kOk;
  FileHandle records_ = kNoFile;
  bool borrowed_ = false;  // records_ is the caller's, left open
  FileHandle index_ = kNoFile;
  FileHandle work_[2] = {kNoFile, kNoFile};
  char work_path_[2][kWorkPathSize] = {};
  dbf::RecordLayout layout_;
  uint8_t* block_ = nullptr;
  int32_t block_records_ = 0;
  SortSpace space_;
  uint8_t header_[kPageSize] = {};
};

}  // namespace

bool work_file_path(const char* index_path, const char* name, char* out, int size) {
  const std::size_t directory = directory_length(index_path);
  const std::size_t name_length = std::strlen(name);
  if (directory + name_length + 1 > static_cast<std::size_t>(size)) return false;
  std::memcpy(out, index_path, directory);
  std::memcpy(out + directory, name, name_length + 1);
  return true;
}

int32_t make_index(const char* record_path, const char* expression, const char* index_path) {
  Build build;
  return build.run(record_path, expression, index_path);
}

int32_t build(const DbfHandle* records, const char* expression, const char* index_path) {
  if (records == nullptr) return status::kCannotOpen;
  Build build;
  return build.run_over(records->file, expression, index_path);
}

}  // namespace osp::index
