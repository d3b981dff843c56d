#include "log/remarks_file.h"

#include <cstring>

#include "frame/bytes.h"
#include "frame/file.h"
#include "frame/status.h"
#include "frame/ui.h"

namespace osp::log {


void build_remarks_header(uint8_t* out, const OspLocalTime& today) {
  std::memset(out, 0, kRemarksHeaderSize);
  out[0] = kRemarksMarker;
  stamp_remarks_date(out, today);
  store_i16(out + kRemarksHeaderLength, static_cast<int16_t>(kRemarksHeaderSize));
  store_i16(out + kRemarksRecordLength, kRemarksNominalRecord);
  out[kRemarksHeaderSize - 1] = kRemarksMarker;
}

int32_t remarks_count(const uint8_t* header) { return load_i32(header + kRemarksCount); }

void set_remarks_count(uint8_t* header, int32_t count) { store_i32(header + kRemarksCount, count); }

void add_to_remarks_count(uint8_t* header, int32_t change) {
  const auto count = static_cast<uint32_t>(remarks_count(header));
  set_remarks_count(header, static_cast<int32_t>(count + static_cast<uint32_t>(change)));
}

void stamp_remarks_date(uint8_t* header, const OspLocalTime& today) {
  header[kRemarksDate] = static_cast<uint8_t>(today.year % 100);
  header[kRemarksDate + 1] = static_cast<uint8_t>(today.month);
  header[kRemarksDate + 2] = static_cast<uint8_t>(today.day);
}

int32_t create_remarks_file(const char* path) {
  uint8_t image[kRemarksHeaderSize];
  build_remarks_header(image, local_time());
  const FileHandle f = file_create(path);
  if (f == kNoFile) return status::kCannotOpen;
  const bool written = file_write(f, image, kRemarksHeaderSize) == kRemarksHeaderSize;
  // On the disk before anything may take it for the log's remarks file.
  const bool synced = written && file_flush(f);
  file_close(f);
  return synced ? status::kOk : status::kDataWriteError;
}

int32_t open_remarks_file(LogHandle* log, bool read_only) {
  if (strnlen(log->dbr_name, sizeof log->dbr_name) == sizeof log->dbr_name) {
    log->dbr_file = kNoFile;
    return status::kCannotOpen;
  }
  log->dbr_file = file_open_existing(log->dbr_name, read_only ? kGenericRead : kGenericReadWrite);
  if (log->dbr_file == kNoFile) return status::kCannotOpen;
  const int32_t got = file_read(log->dbr_file, log->dbr_header, kRemarksMirrorSize);
  int32_t result = status::kOk;
  if (got != kRemarksMirrorSize) {
    result = status::kDataReadError;
  } else if (log->dbr_header[0] != kRemarksMarker) {
    result = status::kBadDataStructure;
  }
  if (result != status::kOk) {
    file_close(log->dbr_file);
    log->dbr_file = kNoFile;
    return result;
  }
  log->dbr_dirty = 0;
  return status::kOk;
}

int32_t write_back_remarks_header(LogHandle* log) {
  file_settle(log->dbr_file);  // held appends first: their failure lowers the count
  if (log->dbr_dirty == 0 || !platform::is_open(log->dbr_file)) return status::kOk;
  stamp_remarks_date(log->dbr_header, local_time());
  if (file_write_at(log->dbr_file, 0, log->dbr_header, kRemarksMirrorSize) != kRemarksMirrorSize)
    return status::kDataWriteError;
  log->dbr_dirty = 0;
  return status::kOk;
}

int32_t close_remarks_file(LogHandle* log) {
  if (!platform::is_open(log->dbr_file)) return status::kOk;
  const int32_t result = write_back_remarks_header(log);
  file_close(log->dbr_file);
  log->dbr_file = kNoFile;
  log->dbr_dirty = 0;
  return result;
}

}  // namespace osp::log
