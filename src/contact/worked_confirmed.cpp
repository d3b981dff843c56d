#include "contact/worked_confirmed.h"

#include <cstdio>
#include <cstring>

#include "contact/band_string.h"
#include "contact/code_lookup.h"
#include "contact/frequency_band.h"
#include "contact/record_batch.h"
#include "dbf/record_file.h"
#include "frame/status.h"
#include "frame/ui.h"
#include "index/index_file.h"
#include "record/area_code.h"
#include "record/contact_record.h"
#include "record/field_codec.h"
#include "log/log_guard.h"
#include "record/master_record.h"

namespace osp::contact {

namespace {

namespace contact_fields = log::contact;
namespace master_fields = log::master;

constexpr int kMasterCodeSlot = 2;
constexpr int32_t kContactBatch = 2000;
constexpr int32_t kMostMastersHeld = 65536;

// A walk that runs to the end reads the contact file in batches and the
// master file once, instead of one seek and read per record. Each holds
// only bytes really read; anything else is read record by record, which
// gives the record file's own status.
struct WalkBuffers {
  explicit WalkBuffers(IdxHandle* index) : codes(index) {}
  CodeLookup codes;
  RecordBatch contacts;
  RecordBatch masters;
  bool masters_tried = false;
};

// Reads record recno of slot into image as dbf::read does (its data bytes,
// current_recno set), from batch when it holds the record. With refill the
// batch is loaded from recno on when it does not.
int32_t read_record(DbfSlot* slot, int32_t recno, uint8_t* image, RecordBatch* batch,
                    int32_t refill) {
  if (batch != nullptr) {
    const uint8_t* data = batch->data(recno);
    if (data == nullptr && refill > 0 && batch->load(&slot->handle, recno, refill))
      data = batch->data(recno);
    if (data != nullptr) {
      std::memcpy(image, data, static_cast<size_t>(slot->handle.record_size - 1));
      slot->handle.current_recno = recno;
      return status::kOk;
    }
  }
  return dbf::read(&slot->handle, recno, image);
}

void draw_progress(void* device_context, int32_t recno) {
  char text[16];
  const int n = std::snprintf(text, sizeof text, "%7ld", static_cast<long>(recno));
  if (n > 0) text_out(device_context, kProgressX, kProgressY, text, n);
}

// True when the contact takes part: its code is not blank and its route
// mark is not excluded.
bool counts(const uint8_t* data, const char* excluded_routes) {
  const uint8_t* code = data + contact_fields::kCode.data();
  if (code[0] == ' ' && code[1] == ' ') return false;
  const char route = static_cast<char>(data[contact_fields::kRouteMark.data()]);
  if (route == '\0') return false;
  return excluded_routes == nullptr || std::strchr(excluded_routes, route) == nullptr;
}

// Raises the master entry with the 6-byte key on band to standing ('W' or
// 'C'). Returns 0 with *raised telling whether the entry rose; or the
// status of a failed write of its masks, reported.
int32_t raise_entry(LogHandle* log, const char* key, int32_t band, char standing,
                    WalkBuffers* held, bool* raised) {
  *raised = false;
  RecordBatch* masters = held != nullptr ? &held->masters : nullptr;
  const int32_t m = held != nullptr ? held->codes.find(key)
                                    : index::search(&log->index_slot[kMasterCodeSlot], key,
                                                    log::kAreaCodeLength);
  if (m == 0) return status::kOk;
  if (read_record(&log->mst, m, log->mst_image, masters, 0) != status::kOk) return status::kOk;
  char s[kBandStringLength + 1];
  band_string(log->mst_image, s);
  if (s[0] == kTakesNoPart) return status::kOk;
  if (s[band] == kConfirmed || (s[band] == kWorked && standing == kWorked)) return status::kOk;
  s[band] = standing;
  set_band_masks(log, s);
  const int32_t r =
      dbf::write2(&log->mst.handle, m, log->mst_image + master_fields::kConfirmed.data(),
                  master_fields::kConfirmed.offset,
                  master_fields::kConfirmed.width + master_fields::kWorked.width);
  if (r != status::kOk) {
    log::report_path_status(r, log->mst.path);
    return r;
  }
  if (uint8_t* kept = masters != nullptr ? masters->mutable_data(m) : nullptr)
    std::memcpy(kept, log->mst_image, static_cast<size_t>(master_fields::kDataSize));
  *raised = true;
  return status::kOk;
}

// Credits one contact (in dbs_image) to its area and, when the area rose,
// to its parent. Returns 0 or a failed write's status.
int32_t credit(LogHandle* log, int32_t not_received, WalkBuffers* held) {
  const uint8_t* data = log->dbs_image;
  const char received = static_cast<char>(data[contact_fields::kReceivedMark.data()]);
  const char standing =
      received == ' ' || received == static_cast<char>(not_received & 0xFF) ? kWorked : kConfirmed;
  char frequency[log::kFrequencyTextLength + 1];
  log::unpack_frequency(data + contact_fields::kFreq.data(), frequency);
  const int32_t band = frequency_band(frequency);
  if (band == kNotABand) return status::kOk;

  char key[log::kAreaCodeLength];
  std::memcpy(key, data + contact_fields::kCode.data(), sizeof key);
  const int32_t kind = log::area_code_kind(key);
  bool raised = false;
  const int32_t r = raise_entry(log, key, band, standing, held, &raised);
  if (r != status::kOk || !raised) return r;
  char parent[log::kAreaCodeLength];
  if (!log::area_code_parent(key, kind, parent)) return status::kOk;
  return raise_entry(log, parent, band, standing, held, &raised);
}

}  // namespace

int32_t worked_confirmed_walk(void* device_context, LogHandle* log, int32_t* recno,
                              const char* excluded_routes, int32_t not_received) {
  const int32_t guard = log::require_open(
      log, log::need::kContacts | log::need::kMasters | log::need::kMasterCodeIndex);
  if (guard != status::kOk) return guard;
  if (recno == nullptr) return status::kCannotOpen;
  const DbfSlot* files[2] = {&log->dbs, &log->mst};
  const int32_t sizes[2] = {contact_fields::kRecordSize, master_fields::kRecordSize};
  for (int i = 0; i < 2; ++i) {
    if (files[i]->handle.record_size != sizes[i]) {
      log::report_path_status(status::kBadDataStructure, files[i]->path);
      return status::kBadDataStructure;
    }
  }
  WalkBuffers buffers(&log->index_slot[kMasterCodeSlot]);
  WalkBuffers* held = device_context != nullptr ? &buffers : nullptr;
  for (;;) {
    const int32_t r = read_record(&log->dbs, *recno, log->dbs_image,
                                  held != nullptr ? &held->contacts : nullptr, kContactBatch);
    if (r != status::kOk) return r;
    if (device_context != nullptr && *recno % kProgressEvery == 0)
      draw_progress(device_context, *recno);
    ++*recno;
    if (counts(log->dbs_image, excluded_routes)) {
      if (held != nullptr && !held->masters_tried) {
        const int32_t count = log->mst.handle.record_count;
        if (count <= kMostMastersHeld) held->masters.load(&log->mst.handle, 1, count);
        held->masters_tried = true;
      }
      const int32_t w = credit(log, not_received, held);
      if (w != status::kOk) return w;
    }
    if (device_context == nullptr) return status::kOk;
  }
}

}  // namespace osp::contact
