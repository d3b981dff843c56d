// The exports of the library frame, the record files, the index files and the
// index builder, in the order of the public header, and the compile-time checks
// of the caller structures.

#include <cstddef>

#include "dbf/dbf_format.h"
#include "dbf/record_file.h"
#include "frame/sort.h"
#include "frame/status.h"
#include "frame/ui.h"
#include "frame/version.h"
#include "index/index_builder.h"
#include "index/index_file.h"
#include "osprey32.h"

// Exports of the library frame and the in-memory sort.

extern "C" {

void OSPAPI OspSetHooks(const OspHooks* hooks) { osp::set_hooks(hooks); }

int32_t OSPAPI GetOspdllVersion(void) { return osp::kVersion; }

int32_t OSPAPI _Qsorter(void* base, int32_t count, int32_t spec) {
  return osp::qsorter(base, count, spec);
}

}  // extern "C"

// Exports of the record file.

extern "C" {

int32_t OSPAPI dbf_create(const char* path) { return osp::dbf::create(path); }
int32_t OSPAPI dbf_open(const char* path, DbfHandle* handle) {
  return osp::dbf::open(path, handle);
}
int32_t OSPAPI dbf_open_readonly(const char* path, DbfHandle* handle) {
  return osp::dbf::open_read_only(path, handle);
}
int32_t OSPAPI dbf_close(DbfHandle* handle) { return osp::dbf::close(handle); }
int32_t OSPAPI dbf_read(DbfHandle* handle, int32_t recno, void* buffer) {
  return osp::dbf::read(handle, recno, buffer);
}
int32_t OSPAPI dbf_write(DbfHandle* handle, int32_t recno, const void* data) {
  return osp::dbf::write(handle, recno, data);
}
int32_t OSPAPI dbf_write2(DbfHandle* handle, int32_t recno, const void* data, int32_t offset,
                          int32_t length) {
  return osp::dbf::write2(handle, recno, data, offset, length);
}
int32_t OSPAPI dbf_delete(DbfHandle* handle, int32_t recno) {
  return osp::dbf::mark_deleted(handle, recno);
}
int32_t OSPAPI dbf_packwk(DbfHandle* handle, void* buffer, int32_t size) {
  return osp::dbf::pack(handle, buffer, size);
}
int32_t OSPAPI dbf_rsize(DbfHandle* handle) { return handle->record_size; }
int32_t OSPAPI dbf_rcount(DbfHandle* handle) { return handle->record_count; }
int32_t OSPAPI dbf_recno(DbfHandle* handle) { return handle->current_recno; }

}  // extern "C"

// Exports of the index file.

extern "C" {

int32_t OSPAPI idx_open(const char* path, IdxHandle* handle) {
  if (handle == nullptr) return osp::status::kCannotOpen;
  return osp::index::open(path, handle);
}
int32_t OSPAPI idx_open_readonly(const char* path, IdxHandle* handle) {
  if (handle == nullptr) return osp::status::kCannotOpen;
  return osp::index::open_read_only(path, handle);
}
int32_t OSPAPI idx_close(IdxHandle* handle) { return osp::index::close(handle); }
int32_t OSPAPI idx_search(IdxHandle* handle, const char* key, int32_t length) {
  return osp::index::search(handle, key, length);
}
int32_t OSPAPI idx_next(IdxHandle* handle) { return osp::index::next(handle); }
int32_t OSPAPI idx_back(IdxHandle* handle) { return osp::index::back(handle); }
int32_t OSPAPI idx_top(IdxHandle* handle) { return osp::index::top(handle); }
int32_t OSPAPI idx_bottom(IdxHandle* handle) { return osp::index::bottom(handle); }

}  // extern "C"

// Exports of the index builder.

extern "C" {

int32_t OSPAPI MakeIndex(const char* record_path, const char* expression,
                         const char* index_path) {
  return osp::index::make_index(record_path, expression, index_path);
}

}  // extern "C"

// Compile-time checks of the caller structures' layout on every platform.


static_assert(sizeof(ContactView) == 218, "ContactView is 218 bytes");
static_assert(offsetof(DbfHandle, update_date) == osp::dbf::kHdrDate, "header mirror");
static_assert(offsetof(DbfHandle, record_count) == osp::dbf::kHdrRecordCount, "header mirror");
static_assert(offsetof(DbfHandle, header_size) == osp::dbf::kHdrHeaderSize, "header mirror");
static_assert(offsetof(DbfHandle, record_size) == osp::dbf::kHdrRecordSize, "header mirror");
static_assert(offsetof(DbfHandle, current_recno) == 12, "DbfHandle layout");
static_assert(offsetof(DbfHandle, file) == 16, "DbfHandle layout");
static_assert(sizeof(DbfHandle) == 18 + sizeof(OspFile), "DbfHandle is packed");
static_assert(sizeof(DbfSlot) == sizeof(DbfHandle) + 260, "DbfSlot is packed");
static_assert(sizeof(IdxHandle) == sizeof(void*) + sizeof(OspFile) + 2 + 260,
              "IdxHandle is packed");
// Nine pointers (viewer, two remark parts, six index states) and nine file
// handles (two record files, the remarks file, six index files).
static_assert(sizeof(LogHandle) == 2946 + 9 * (sizeof(void*) - 4) + 9 * (sizeof(OspFile) - 4),
              "LogHandle widens only by its pointers and handles");
