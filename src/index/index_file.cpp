// Opening, closing and flushing an index file, and the header rules: the
// root and the next free page are held in the state and written back only by
// flush and close.
#include "index/index_file.h"

#include <cctype>
#include <cstring>

#include "frame/bytes.h"
#include "frame/file.h"
#include "frame/status.h"
#include "index/index_state.h"
#include "platform/env.h"

namespace osp::index {

namespace {

constexpr int kHeaderWriteBack = 8;  // root and next free page
constexpr int kExpressionBytes = 100;  // the expression text's room in the header

// Decodes the header copy; false when its layout would let pages overflow
// the buffers or is not the one this library handles.
bool accept_header(IndexState* s) {
  const uint8_t* hdr = s->header;
  s->root = load_u32(hdr + kHdrRoot);
  s->next_free = load_u32(hdr + kHdrNextFree);
  s->key_length = load_i16(hdr + kHdrKeyLength);
  s->max_keys = load_i16(hdr + kHdrMaxKeys);
  s->entry_size = load_i16(hdr + kHdrEntrySize);
  if (load_i16(hdr + kHdrKeyType) != 0 || hdr[kHdrUnique] != 0) return false;
  if (s->key_length < 0 || s->key_length > kMaxKeyLength) return false;
  if (s->entry_size != entry_size_for(s->key_length)) return false;
  // A build that did not finish leaves root and next free page 0: the tree
  // has no root page to start any move from.
  if (s->root == 0 || s->root >= s->next_free) return false;
  return s->max_keys >= 1 && s->max_keys <= max_keys_for(s->entry_size);
}

void header_image(const IndexState* s, uint8_t out[kHeaderWriteBack]) {
  store_u32(out + kHdrRoot, s->root);
  store_u32(out + kHdrNextFree, s->next_free);
}

int32_t open_with(const char* path, IdxHandle* h, unsigned access) {
  h->state = nullptr;
  h->header_dirty = 0;
  h->file = file_open_existing(path, access);
  if (!platform::is_open(h->file)) {
    h->file = kNoFile;
    return status::kCannotOpen;
  }
  IndexState* s = create_state();
  int32_t result = status::kOk;
  if (s == nullptr) {
    result = status::kNoMemory;
  } else if (file_read(h->file, s->header, kHeaderStateBytes) != kHeaderStateBytes) {
    result = status::kIndexReadError;
  } else if (!accept_header(s)) {
    result = status::kBadIndexStructure;
  }
  if (result != status::kOk) {
    file_close(h->file);
    h->file = kNoFile;
    destroy_state(s);
    report(h, result);
    return result;
  }
  const int64_t size = platform::env()->size(h->file);
  s->file_pages = size < 0 ? s->next_free : static_cast<uint32_t>(size / kPageSize);
  // A read-only index keeps no changed pages: an edit's write fails at once.
  s->write_back = access != kGenericRead;
  h->state = s;
  top(h);
  return status::kOk;
}

}  // namespace

int32_t open(const char* path, IdxHandle* h) { return open_with(path, h, kGenericReadWrite); }

int32_t open_read_only(const char* path, IdxHandle* h) {
  return open_with(path, h, kGenericRead);
}

int32_t close(IdxHandle* h) {
  if (h == nullptr || h->file <= 0) return 0;
  IndexState* s = static_cast<IndexState*>(h->state);
  // Changed pages first, then the header that may point at them. A page
  // that cannot be written (reported) is forgotten, as an edit's page whose
  // write failed always was: the file then lacks it.
  // A header that would point at such a page says instead that the tree is
  // not whole (root 0, as a build that did not finish leaves it), so that
  // the next open refuses it (3) and a log's open builds it anew.
  bool pages_lost = false;
  if (s != nullptr && !write_dirty_pages(h, s)) {
    forget_dirty_pages(s);
    pages_lost = true;
  }
  if (file_seek(h->file, 0) != 0) return 0;
  if ((h->header_dirty != 0 || pages_lost) && s != nullptr) {
    uint8_t image[kHeaderWriteBack];
    header_image(s, image);
    if (pages_lost) std::memset(image, 0, sizeof image);
    if (file_write(h->file, image, kHeaderWriteBack) != kHeaderWriteBack) {
      report(h, status::kIndexWriteError);
      return 0;
    }
  }
  file_close(h->file);
  h->header_dirty = 0;
  destroy_state(s);
  h->state = nullptr;
  h->file = kNoFile;
  return 1;
}

int32_t write_back(IdxHandle* h) {
  IndexState* s = state_of(h);
  if (s == nullptr) return status::kOk;
  if (!write_dirty_pages(h, s)) return status::kIndexWriteError;  // reported
  if (h->header_dirty == 0) return status::kOk;
  uint8_t image[kHeaderWriteBack];
  header_image(s, image);
  if (file_write_at(h->file, 0, image, kHeaderWriteBack) != kHeaderWriteBack) {
    report(h, status::kIndexWriteError);
    return status::kIndexWriteError;
  }
  h->header_dirty = 0;
  return status::kOk;
}

int32_t flush(IdxHandle* h) {
  IndexState* s = state_of(h);
  if (s == nullptr) return status::kOk;
  if (!write_dirty_pages(h, s)) return status::kIndexWriteError;  // reported
  if (h->header_dirty == 0) return status::kOk;
  if (file_seek(h->file, 0) != 0) {
    report(h, status::kCannotOpen);
    return status::kCannotOpen;
  }
  uint8_t image[kHeaderWriteBack];
  header_image(s, image);
  if (file_write(h->file, image, kHeaderWriteBack) != kHeaderWriteBack) {
    report(h, status::kIndexWriteError);
    return status::kIndexWriteError;
  }
  if (!file_flush(h->file)) {
    report(h, status::kIndexWriteError);
    return status::kIndexWriteError;
  }
  h->header_dirty = 0;
  return status::kOk;
}

int32_t write_changed_pages(IdxHandle* h) {
  IndexState* s = state_of(h);
  if (s == nullptr || write_dirty_pages(h, s)) return status::kOk;
  return status::kIndexWriteError;
}

bool has_unwritten_pages(const IdxHandle* h) {
  const IndexState* s = state_of(h);
  return s != nullptr && has_dirty_pages(s);
}

void forget_changes(IdxHandle* h) {
  IndexState* s = state_of(h);
  if (s != nullptr) forget_dirty_pages(s);
  h->header_dirty = 0;
}

const char* current_key(const IdxHandle* h) {
  const IndexState* s = state_of(h);
  return s == nullptr ? nullptr : reinterpret_cast<const char*>(s->key);
}

int32_t current_recno(const IdxHandle* h) {
  const IndexState* s = state_of(h);
  if (s == nullptr || s->current < 0) return 0;
  const Level& level = s->levels[s->current];
  if (level.page_no == 0 || level.index < 0 || level.index >= page_count(level.page)) return 0;
  return entry_recno(s, level.page, level.index);
}

bool built_for(const IdxHandle* h, const char* expression, int32_t key_length) {
  const IndexState* s = state_of(h);
  if (s == nullptr || expression == nullptr || s->key_length != key_length) return false;
  char text[kExpressionBytes];
  const int32_t got = file_read_at(h->file, kHdrExpression, text, kExpressionBytes);
  if (got <= 0) return false;
  int32_t n = 0;
  while (n < got && text[n] != ' ' && text[n] != '\0') ++n;
  if (std::strlen(expression) != static_cast<size_t>(n)) return false;
  for (int32_t i = 0; i < n; ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) !=
        std::toupper(static_cast<unsigned char>(expression[i])))
      return false;
  }
  return true;
}

int32_t key_length(const IdxHandle* h) {
  const IndexState* s = state_of(h);
  return s == nullptr ? 0 : s->key_length;
}

}  // namespace osp::index
