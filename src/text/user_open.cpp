// User_open: the text file, its index file and the choice between reusing
// and rebuilding the index.
#include <cstdio>
#include <cstring>
#include <string>

#include "frame/bytes.h"
#include "frame/report.h"
#include "frame/status.h"
#include "frame/ui.h"
#include "platform/env.h"
#include "text/text_index.h"
#include "text/user_text_file.h"

namespace osp::text {

namespace {

// "テキストデータ読み込み中・・・": reading text data... (30 bytes).
constexpr char kReadingText[] =
    "\x83\x65\x83\x4C\x83\x58\x83\x67\x83\x66\x81\x5B\x83\x5E\x93\xC7\x82\xDD\x8D\x9E\x82\xDD"
    "\x92\x86\x81\x45\x81\x45\x81\x45";
constexpr int32_t kHeaderBytes = 24;
constexpr int32_t kLeadLetter = 23;  // the header byte that carries the lead count (type 0)

void draw_progress(void* device_context, const char* path) {
  if (device_context == nullptr) return;
  char blanks[201];
  std::snprintf(blanks, sizeof blanks, "%200s", "");
  text_out(device_context, 0, 136, blanks, 200);
  text_out(device_context, 0, 160, blanks, 200);
  text_out(device_context, 45, 136, kReadingText, 30);
  const auto length = static_cast<int32_t>(std::strlen(path));
  text_out(device_context, (360 - 9 * length) / 2, 160, path, length);
}

// The index file's path: the text file's path cut at its last '.' (if
// any), with the layout's extension.
std::string index_path(const char* text_path, int32_t type) {
  std::string path(text_path);
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos) path.resize(dot);
  return path + (type == kMasterNameType ? ".IDX" : ".HDX");
}

void mark_closed(UserTextFile* f) {
  f->file_order = nullptr;
  f->c_order = nullptr;
  f->j_order = nullptr;
  f->fixed_keys = nullptr;
  f->text_file = kNoFile;
  f->entry_count = -1;
}

// Reads the header line's first bytes into header_text; with type 0 a
// capital letter in byte 23 gives the lead count.
void read_header(FileHandle text, int32_t type, UserTextFile* f) {
  uint8_t head[kHeaderBytes] = {};
  if (file_seek(text, 0) == 0) file_read(text, head, kHeaderBytes);
  const uint8_t letter = head[kLeadLetter];
  if (type == kLeadCountType && letter >= 'A' && letter <= 'Z') f->lead_count = letter - 64;
  head[kLeadLetter] = 0;
  std::memcpy(f->header_text, head, kHeaderBytes);
}

FileHandle open_index(const char* path) {
  const FileHandle h = platform::env()->open_existing(path, platform::kReadWrite, platform::kShareRead);
  if (platform::is_open(h)) return h;
  return platform::env()->create_new(path);
}

// Reads the stored stamp and count and decides whether the index may be
// reused.
void read_index_header(IndexWork* w) {
  uint8_t head[kHeaderLength];
  const bool whole = file_seek(w->index, 0) == 0 && file_read(w->index, head, kHeaderLength) == kHeaderLength;
  const uint32_t stored = whole ? load_u32(head) : kUnfinishedStamp;
  w->stored_count = whole ? load_i32(head + 4) : 0;
  w->index_size = platform::env()->size(w->index);
  w->stamp = platform::env()->file_time_number(w->text);
  w->reuse = whole && stored == w->stamp && stored != kUnfinishedStamp &&
             w->index_size >= kShortestReusable;
}

}  // namespace

bool start_rebuild(IndexWork* w) {
  uint8_t stamp[4];
  store_u32(stamp, kUnfinishedStamp);
  return file_truncate(w->index, 0) == 1 && file_seek(w->index, 0) == 0 &&
         file_write(w->index, stamp, 4) == 4;
}

bool finish_rebuild(IndexWork* w) {
  uint8_t stamp[4];
  store_u32(stamp, w->stamp);
  return file_seek(w->index, 0) == 0 && file_write(w->index, stamp, 4) == 4;
}

int32_t user_open(void* device_context, int32_t type, UserTextFile* file, const char* path) {
  if (file == nullptr) return status::kCannotOpen;
  if (path != nullptr) {
    const size_t n = strnlen(path, sizeof file->file_name);
    if (n == sizeof file->file_name) {
      // A path longer than the structure holds names no file it could open.
      mark_closed(file);
      report_status(status::kCannotOpen, path);
      return status::kCannotOpen;
    }
    std::memcpy(file->file_name, path, n + 1);
  }
  file->file_name[sizeof file->file_name - 1] = '\0';
  mark_closed(file);
  draw_progress(device_context, file->file_name);

  file->marker = 0;
  IndexWork w;
  w.file = file;
  w.text = platform::env()->open_existing(file->file_name, platform::kRead, platform::kShareRead);
  if (!platform::is_open(w.text)) {
    report_status(status::kCannotOpen, file->file_name);
    return status::kCannotOpen;
  }
  read_header(w.text, type, file);
  const std::string index = index_path(file->file_name, type);
  w.index = open_index(index.c_str());
  if (!platform::is_open(w.index)) {
    file_close(w.text);
    report_status(status::kIndexWriteError, index.c_str());
    return status::kIndexWriteError;
  }
  read_index_header(&w);

  int32_t r = status::kNoMemory;
  w.work = static_cast<uint8_t*>(platform::env()->allocate(kWorkBufferSize));
  if (w.work != nullptr) r = type < kFirstFixedType ? open_variable(&w) : open_fixed(&w);
  platform::env()->release(w.work);
  file_close(w.index);
  if (r == status::kOk) {
    file->text_file = w.text;
    return status::kOk;
  }
  file_close(w.text);
  // An index that was not finished must not be found by the next open.
  platform::env()->remove(index.c_str());
  mark_closed(file);
  const bool about_text = r == status::kNoMemory || r == status::kBadDataStructure ||
                          r == status::kDataReadError;
  report_status(r, about_text ? file->file_name : index.c_str());
  return r;
}

}  // namespace osp::text
