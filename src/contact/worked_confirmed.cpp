#include "contact/worked_confirmed.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "contact/bands.h"
#include "contact/sequential_pass.h"
#include "dbf/record_file.h"
#include "frame/file.h"
#include "frame/status.h"
#include "frame/ui.h"
#include "index/index_file.h"
#include "log/log_guard.h"
#include "osprey32.h"
#include "platform/env.h"
#include "record/area_code.h"
#include "record/contact_record.h"
#include "record/field_codec.h"
#include "record/master_record.h"

namespace osp::contact {

// The master entry of an area code, looked up through the master file's
// code index (slot 2) and remembered for the rest of a walk: a walk changes
// no key, so the index gives the same answer for a code every time.
class CodeLookup {
 public:
  explicit CodeLookup(IdxHandle* index) : index_(index) {}
  ~CodeLookup();
  CodeLookup(const CodeLookup&) = delete;
  CodeLookup& operator=(const CodeLookup&) = delete;

  // The record number of the first entry in key order whose key begins
  // with the 6 bytes of code (index::search over 6 bytes), 0 when there is
  // none. Codes already asked for are answered from memory; when memory
  // cannot be had or the table is full, every code goes to the index.
  int32_t find(const char* code);

 private:
  static constexpr uint32_t kSlots = 1u << 14;  // a power of two
  static constexpr uint32_t kMostUsed = kSlots / 4 * 3;
  struct Slot {
    char code[6];
    bool used;
    int32_t recno;
  };
  IdxHandle* index_;
  Slot* slots_ = nullptr;
  uint32_t used_ = 0;
  bool no_memory_ = false;
};

namespace {

uint32_t hash_of(const char* code) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (int i = 0; i < log::kAreaCodeLength; ++i)
    h = (h ^ static_cast<uint8_t>(code[i])) * 16777619u;
  return h;
}

}  // namespace

CodeLookup::~CodeLookup() { platform::env()->release(slots_); }

int32_t CodeLookup::find(const char* code) {
  if (slots_ == nullptr && !no_memory_) {
    slots_ = static_cast<Slot*>(platform::env()->allocate(sizeof(Slot) * kSlots));
    no_memory_ = slots_ == nullptr;
  }
  if (slots_ == nullptr) return index::search(index_, code, log::kAreaCodeLength);
  for (uint32_t i = hash_of(code) & (kSlots - 1);; i = (i + 1) & (kSlots - 1)) {
    Slot& s = slots_[i];
    if (s.used && std::memcmp(s.code, code, sizeof s.code) == 0) return s.recno;
    if (s.used) continue;
    const int32_t recno = index::search(index_, code, log::kAreaCodeLength);
    if (used_ < kMostUsed) {
      std::memcpy(s.code, code, sizeof s.code);
      s.recno = recno;
      s.used = true;
      ++used_;
    }
    return recno;
  }
}

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

// The deletion mark of record recno read from the file itself ('\0' when
// it cannot be read).
char mark_on_file(const DbfHandle* h, int32_t recno) {
  const int64_t at = dbf::record_position(h, recno);
  uint8_t mark = 0;
  if (at < 0 || file_seek(h->file, at) != at || file_read(h->file, &mark, 1) != 1) return '\0';
  return static_cast<char>(mark);
}

// What a walk needs: the log open with its contact and master files and the
// master code index, each file of the log's record size.
int32_t walk_ready(LogHandle* log) {
  const int32_t guard = log::require_open(
      log, log::need::kContacts | log::need::kMasters | log::need::kMasterCodeIndex);
  if (guard != status::kOk) return guard;
  const DbfSlot* files[2] = {&log->dbs, &log->mst};
  const int32_t sizes[2] = {contact_fields::kRecordSize, master_fields::kRecordSize};
  for (int i = 0; i < 2; ++i) {
    if (files[i]->handle.record_size != sizes[i]) {
      log::report_path_status(status::kBadDataStructure, files[i]->path);
      return status::kBadDataStructure;
    }
  }
  return status::kOk;
}

// Clears the masks of every master entry that takes part and shows any
// standing, writing each cleared entry; held->masters is loaded and kept in
// step.
int32_t clear_tables(LogHandle* log, WalkBuffers* held) {
  const int32_t count = log->mst.handle.record_count;
  if (count <= kMostMastersHeld) held->masters.load(&log->mst.handle, 1, count);
  held->masters_tried = true;
  char blank[kBandStringLength + 1];
  std::memset(blank, ' ', kBandStringLength);
  blank[kBandStringLength] = '\0';
  for (int32_t m = 1; m <= count; ++m) {
    const int32_t r = read_record(&log->mst, m, log->mst_image, &held->masters, 0);
    if (r != status::kOk) return r;
    char s[kBandStringLength + 1];
    band_string(log->mst_image, s);
    if (s[0] == kTakesNoPart || std::memcmp(s, blank, kBandStringLength) == 0) continue;
    set_band_masks(log, blank);
    const int32_t w =
        dbf::write2(&log->mst.handle, m, log->mst_image + master_fields::kConfirmed.data(),
                    master_fields::kConfirmed.offset,
                    master_fields::kConfirmed.width + master_fields::kWorked.width);
    if (w != status::kOk) {
      log::report_path_status(w, log->mst.path);
      return w;
    }
    if (uint8_t* kept = held->masters.mutable_data(m))
      std::memcpy(kept, log->mst_image, static_cast<size_t>(master_fields::kDataSize));
  }
  return status::kOk;
}

}  // namespace

int32_t worked_confirmed_recompute(void* device_context, LogHandle* log,
                                   const char* excluded_routes, int32_t not_received) {
  const int32_t ready = walk_ready(log);
  if (ready != status::kOk) return ready;
  WalkBuffers held(&log->index_slot[kMasterCodeSlot]);
  const int32_t cleared = clear_tables(log, &held);
  if (cleared != status::kOk) return cleared;
  const int32_t count = log->dbs.handle.record_count;
  for (int32_t recno = 1; recno <= count; ++recno) {
    int32_t r = read_record(&log->dbs, recno, log->dbs_image, &held.contacts, kContactBatch);
    if (r != status::kOk) return r;
    if (device_context != nullptr && recno % kProgressEvery == 0)
      draw_progress(device_context, recno);
    // The batch holds the record just read unless memory was short; then
    // the handle's own read tells its mark.
    char mark = held.contacts.mark(recno);
    if (mark == '\0') mark = mark_on_file(&log->dbs.handle, recno);
    if (mark == '*' || !counts(log->dbs_image, excluded_routes)) continue;
    r = credit(log, not_received, &held);
    if (r != status::kOk) return r;
  }
  return status::kOk;
}

int32_t worked_confirmed_walk(void* device_context, LogHandle* log, int32_t* recno,
                              const char* excluded_routes, int32_t not_received) {
  const int32_t ready = walk_ready(log);
  if (ready != status::kOk) return ready;
  if (recno == nullptr) return status::kCannotOpen;
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
