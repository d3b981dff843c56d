// Exports of the record file.
#include "dbf/record_file.h"
#include "osprey32.h"

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
