// Compile-time checks of the caller structures' layout on every platform.
#include <cstddef>

#include "osprey32.h"

static_assert(sizeof(ContactView) == 218, "ContactView is 218 bytes");
static_assert(offsetof(DbfHandle, record_count) == 4, "header mirror");
static_assert(offsetof(DbfHandle, header_size) == 8, "header mirror");
static_assert(offsetof(DbfHandle, record_size) == 10, "header mirror");
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
