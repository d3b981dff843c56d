// Exports of the index file.
#include "frame/status.h"
#include "index/index_file.h"
#include "osprey32.h"

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
