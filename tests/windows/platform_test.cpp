// Drives the Windows platform layer directly (linked in, not through the
// DLL): share modes, create-always on a held file, positions and cuts, file
// times, profile files, renames and copies, against real Win32 files.
//
// Prints one line per check and "N passed, N failed"; exits non-zero when a
// check fails.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "check.h"
#include "platform/dos_time.h"
#include "platform/env.h"

namespace {

using osp::platform::Env;
using osp::platform::Handle;
using osp::platform::kNoFile;
using osp::platform::kRead;
using osp::platform::kReadWrite;
using osp::platform::kShareNone;
using osp::platform::kShareRead;
using osp::wintest::Check;
using osp::wintest::Checker;
using osp::wintest::read_file;
using osp::wintest::TempDir;
using osp::wintest::write_file;
using Bytes = std::vector<uint8_t>;

struct Context {
  Env* env = osp::platform::default_env();
  TempDir dir;
};

void check_exclusive_open(Context& x, Checker& c) {
  const std::string path = x.dir.file("EXCL.DAT");
  WCHECK(c, write_file(path, Bytes{1, 2, 3}));
  const Handle first = x.env->open_existing(path.c_str(), kReadWrite, kShareNone);
  WCHECK(c, first > 0);
  WCHECK_EQ(c, kNoFile, x.env->open_existing(path.c_str(), kReadWrite, kShareNone));
  WCHECK_EQ(c, kNoFile, x.env->open_existing(path.c_str(), kRead, kShareRead));
  WCHECK(c, x.env->close(first));
  const Handle again = x.env->open_existing(path.c_str(), kReadWrite, kShareNone);
  WCHECK(c, again > 0);
  x.env->close(again);
}

void check_read_sharing(Context& x, Checker& c) {
  const std::string path = x.dir.file("SHARED.DAT");
  WCHECK(c, write_file(path, Bytes{1, 2, 3}));
  const Handle a = x.env->open_existing(path.c_str(), kRead, kShareRead);
  const Handle b = x.env->open_existing(path.c_str(), kRead, kShareRead);
  WCHECK(c, a > 0);
  WCHECK(c, b > 0);
  WCHECK_EQ(c, kNoFile, x.env->open_existing(path.c_str(), kReadWrite, kShareNone));
  x.env->close(a);
  x.env->close(b);
}

void check_create_always(Context& x, Checker& c) {
  const std::string path = x.dir.file("HELD.DAT");
  const Handle held = x.env->create_always(path.c_str());
  WCHECK(c, held > 0);
  WCHECK_EQ(c, 5, x.env->write(held, "hello", 5));
  // Nobody may empty or open a file that someone holds.
  WCHECK_EQ(c, kNoFile, x.env->create_always(path.c_str()));
  WCHECK_EQ(c, 5, x.env->size(held));
  x.env->close(held);
  WCHECK_EQ(c, 5, osp::wintest::file_size(path));
  // Free again, it is emptied.
  const Handle fresh = x.env->create_always(path.c_str());
  WCHECK(c, fresh > 0);
  WCHECK_EQ(c, 0, x.env->size(fresh));
  x.env->close(fresh);

  WCHECK_EQ(c, kNoFile, x.env->create_new(path.c_str()));
  const Handle made = x.env->create_new(x.dir.file("NEW.DAT").c_str());
  WCHECK(c, made > 0);
  x.env->close(made);
}

void check_positions(Context& x, Checker& c) {
  const Handle h = x.env->create_always(x.dir.file("POS.DAT").c_str());
  WCHECK(c, h > 0);
  WCHECK_EQ(c, 10, x.env->write(h, "0123456789", 10));
  WCHECK_EQ(c, 4, x.env->seek(h, 4));
  char buf[16] = {};
  WCHECK_EQ(c, 6, x.env->read(h, buf, 10));  // short at the end
  WCHECK(c, std::memcmp(buf, "456789", 6) == 0);
  WCHECK_EQ(c, 0, x.env->read(h, buf, 10));  // at the end: 0, not -1
  WCHECK_EQ(c, 20, x.env->seek(h, 20));
  WCHECK_EQ(c, 1, x.env->write(h, "x", 1));
  WCHECK_EQ(c, 21, x.env->size(h));
  WCHECK_EQ(c, 5, x.env->seek(h, 5));
  WCHECK(c, x.env->set_end(h));
  WCHECK_EQ(c, 5, x.env->size(h));
  WCHECK_EQ(c, -1, x.env->seek(h, -1));
  WCHECK(c, x.env->flush(h));
  WCHECK(c, x.env->close(h));
}

// Handles of 0 or below are closed ones: every call refuses them (-1 is also
// the current process's pseudo handle, which the system would accept).
// A flush of a file opened for reading has nothing to write and succeeds, as
// on every platform; one opened for writing is flushed.
void check_flush_by_access(Context& x, Checker& c) {
  const std::string path = x.dir.file("FLUSH.DAT");
  WCHECK(c, write_file(path, Bytes{1, 2, 3}));
  const struct {
    unsigned access;
    unsigned share;
  } opens[] = {{kRead, kShareRead}, {kRead, kShareNone}, {kReadWrite, kShareNone}};
  for (const auto& o : opens) {
    const Handle h = x.env->open_existing(path.c_str(), o.access, o.share);
    WCHECK(c, h > 0);
    if (!x.env->flush(h))
      c.fail(__FILE__, __LINE__, "flush failed for access " + std::to_string(o.access));
    x.env->close(h);
  }
  WCHECK(c, !x.env->flush(kNoFile));
}

void check_closed_handles(Context& x, Checker& c) {
  char buf[4] = {};
  for (const Handle h : {kNoFile, static_cast<Handle>(0)}) {
    WCHECK_EQ(c, -1, x.env->read(h, buf, 4));
    WCHECK_EQ(c, -1, x.env->write(h, buf, 4));
    WCHECK_EQ(c, -1, x.env->seek(h, 0));
    WCHECK(c, !x.env->set_end(h));
    WCHECK(c, !x.env->flush(h));
    WCHECK(c, !x.env->close(h));
    WCHECK_EQ(c, -1, x.env->size(h));
    WCHECK_EQ(c, 0, x.env->file_time_number(h));
  }
  WCHECK_EQ(c, kNoFile, x.env->open_existing(nullptr, kRead, kShareNone));
  WCHECK_EQ(c, kNoFile, x.env->create_always(nullptr));
}

// The last-write time as local DOS date and time.
void check_file_time_number(Context& x, Checker& c) {
  const std::string path = x.dir.file("TIME.DAT");
  const Handle h = x.env->create_always(path.c_str());
  WCHECK(c, h > 0);
  SYSTEMTIME local{};
  local.wYear = 2026;
  local.wMonth = 3;
  local.wDay = 14;
  local.wHour = 10;
  local.wMinute = 20;
  local.wSecond = 30;
  FILETIME as_local;
  FILETIME as_utc;
  WCHECK(c, SystemTimeToFileTime(&local, &as_local));
  WCHECK(c, LocalFileTimeToFileTime(&as_local, &as_utc));
  WCHECK(c, SetFileTime(reinterpret_cast<HANDLE>(h), nullptr, nullptr, &as_utc));
  WCHECK_EQ(c, osp::platform::pack_dos_time(2026, 3, 14, 10, 20, 30), x.env->file_time_number(h));
  x.env->close(h);
}

// Section, key and the file name's extension match without regard to case;
// a name without a directory is the file in the current directory.
void check_profile_files(Context& x, Checker& c) {
  const std::string upper = x.dir.file("LOG.FDT");
  const std::string lower = x.dir.file("LOG.fdt");
  WCHECK(c, x.env->profile_write_string("FileTime", "DX0", "123", upper.c_str()));
  WCHECK(c, x.env->profile_write_string("FileTime", "MST", "3000000000", upper.c_str()));
  WCHECK_EQ(c, 123, x.env->profile_int("filetime", "dx0", 0, lower.c_str()));
  // A number beyond 31 bits reads back as its 32-bit pattern, as elsewhere.
  WCHECK_EQ(c, static_cast<int32_t>(3000000000u),
            x.env->profile_int("FileTime", "MST", 0, lower.c_str()));
  WCHECK_EQ(c, -7, x.env->profile_int("FileTime", "DBS", -7, lower.c_str()));
  WCHECK_EQ(c, -7, x.env->profile_int("Other", "DX0", -7, lower.c_str()));
  WCHECK_EQ(c, -7, x.env->profile_int("FileTime", "DX0", -7, x.dir.file("NONE.FDT").c_str()));
  WCHECK(c, x.env->profile_write_string("FileTime", "DX0", "", upper.c_str()));
  WCHECK_EQ(c, -7, x.env->profile_int("FileTime", "DX0", -7, lower.c_str()));
  WCHECK(c, x.env->profile_write_string("FileTime", "DX0", "x", upper.c_str()));
  WCHECK_EQ(c, 0, x.env->profile_int("FileTime", "DX0", -7, lower.c_str()));

  char before[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, before);
  WCHECK(c, SetCurrentDirectoryA(x.dir.path().c_str()));
  WCHECK(c, x.env->profile_write_string("FileTime", "DBS", "77", "BARE.FDT"));
  WCHECK_EQ(c, 77, x.env->profile_int("FileTime", "dbs", 0, "bare.fdt"));
  SetCurrentDirectoryA(before);
  WCHECK(c, x.env->exists(x.dir.file("BARE.FDT").c_str()));
  WCHECK_EQ(c, 77, x.env->profile_int("FileTime", "DBS", 0, x.dir.file("bare.FDT").c_str()));
}

void check_rename_copy_remove(Context& x, Checker& c) {
  const std::string a = x.dir.file("A.DAT");
  const std::string b = x.dir.file("B.DAT");
  const std::string d = x.dir.file("D.DAT");
  WCHECK(c, write_file(a, Bytes{'a'}));
  WCHECK(c, write_file(b, Bytes{'b', 'b'}));
  WCHECK(c, x.env->rename(a.c_str(), b.c_str()));  // replaces b
  WCHECK(c, !x.env->exists(a.c_str()));
  WCHECK(c, read_file(b) == Bytes{'a'});
  WCHECK(c, x.env->copy(b.c_str(), d.c_str(), true));
  WCHECK(c, !x.env->copy(b.c_str(), d.c_str(), true));
  WCHECK(c, read_file(d) == Bytes{'a'});
  WCHECK(c, x.env->remove(d.c_str()));
  WCHECK(c, !x.env->exists(d.c_str()));
  WCHECK(c, !x.env->remove(d.c_str()));
}

void check_local_time(Context& x, Checker& c) {
  SYSTEMTIME system;
  GetLocalTime(&system);
  OspLocalTime now{};
  x.env->local_time(&now);
  // Both readings are within a minute of each other.
  SYSTEMTIME ours{};
  ours.wYear = static_cast<WORD>(now.year);
  ours.wMonth = static_cast<WORD>(now.month);
  ours.wDay = static_cast<WORD>(now.day);
  ours.wHour = static_cast<WORD>(now.hour);
  ours.wMinute = static_cast<WORD>(now.minute);
  ours.wSecond = static_cast<WORD>(now.second);
  FILETIME f1;
  FILETIME f2;
  WCHECK(c, SystemTimeToFileTime(&system, &f1));
  WCHECK(c, SystemTimeToFileTime(&ours, &f2));
  const auto ticks = [](FILETIME f) {
    return (static_cast<long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
  };
  const long long apart = ticks(f2) - ticks(f1);
  WCHECK(c, apart > -600000000LL && apart < 600000000LL);
}

const Check<Context> kChecks[] = {
    {"share mode 0 is exclusive", check_exclusive_open},
    {"read-sharing opens admit readers only", check_read_sharing},
    {"create-always never empties a held file", check_create_always},
    {"positions, short reads and cuts", check_positions},
    {"a flush succeeds whatever the access", check_flush_by_access},
    {"closed handles are refused", check_closed_handles},
    {"file time number is local DOS time", check_file_time_number},
    {"profile files", check_profile_files},
    {"rename, copy and remove", check_rename_copy_remove},
    {"local time", check_local_time},
};

}  // namespace

int main() {
  Context x;
  if (!x.dir.ok()) {
    std::printf("cannot make a temporary directory\n0 passed, 1 failed\n");
    return 1;
  }
  return osp::wintest::run_checks(kChecks, x) == 0 ? 0 : 1;
}
