#include "serve/served_log.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "adif/adif_export.h"
#include "adif/adif_import.h"
#include "award/award_table.h"
#include "award/award_walk.h"
#include "contact_filter.h"
#include "contact_formats.h"
#include "contact_input.h"
#include "contact_marks.h"
#include "contact_rows.h"
#include "labels/label_lines.h"
#include "labels/label_order.h"
#include "labels/label_sheet.h"
#include "log_files.h"
#include "mark_text.h"
#include "status_text.h"

namespace osprey_tool {

const char* const kServeLabelTemplate =
    "To: !CP\n!NA\n!DY/!DM/!DD !TH:!TM !TZ  !F5 MHz !MD\nRST !HR  No. !NO\n";

namespace {

using nlohmann::json;

constexpr int32_t kOpenChecked = OSP_OPEN_CHECK_TIMES;
constexpr int32_t kByCall = OSP_MODE_CONTACTS_BY_CALL;
constexpr int32_t kByCode = OSP_MODE_CONTACTS_BY_CODE;
constexpr size_t kPageRows = 250;    // contacts a logbook page shows
constexpr size_t kWorkedRows = 50;   // earlier contacts shown while a call is typed
constexpr size_t kQueueRows = 1000;  // cards of the queue listed (all are marked)
constexpr size_t kRefusalsListed = 100;

std::string dump(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); }

ServeReply reply(const json& j, int status = 200) {
  ServeReply r;
  r.status = status;
  r.body = dump(j);
  return r;
}

ServeReply failure(int status, const std::string& text) { return reply(json{{"error", text}}, status); }

ServeReply library_failure(int32_t status, const std::string& what) {
  return failure(500, what + ": status " + std::to_string(status) + ": " +
                          status_description(status));
}

// A view field as UTF-8 without its trailing blanks.
template <size_t N>
std::string field(const char (&f)[N]) {
  std::string t = utf8_of(f, N);
  t.erase(t.find_last_not_of(' ') + 1);
  return t;
}

// The contact count, copied out of the packed handle: a reference (a JSON
// initializer's, std::max's) must never bind to the packed member itself.
int32_t contact_count(const LogHandle& log) {
  const int32_t count = log.dbs.handle.record_count;
  return count;
}

json row_of(int32_t recno, bool deleted, const ContactView& v, const uint8_t* dbs_image) {
  const ContactTime t = contact_time(dbs_image);
  char date[16], time[8];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", t.year % 10000, t.month % 100, t.day % 100);
  std::snprintf(time, sizeof time, "%02d:%02d", t.hour % 100, t.minute % 100);
  return json{{"recno", recno},          {"deleted", deleted},         {"call", field(v.callsign)},
              {"portable", field(v.portable)}, {"date", date},         {"time", time},
              {"zone", t.utc ? "U" : "J"},     {"freq", field(v.frequency)}, {"mode", field(v.mode)},
              {"his", field(v.his_report)},    {"my", field(v.my_report)},   {"code", field(v.code)},
              {"grid", field(v.grid)},         {"qsl", field(v.qsl)},        {"name", field(v.name)},
              {"remark1", field(v.remark1)},   {"remark2", field(v.remark2)},
              {"remark3", field(v.remark3)},   {"band", band_name(band_of(v.frequency))}};
}

std::string param(const ServeRequest& r, const std::string& name) {
  const auto it = r.params.find(name);
  return it == r.params.end() ? "" : it->second;
}

bool number_of(const std::string& text, int32_t* out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *out = static_cast<int32_t>(std::stol(text));
  return true;
}

std::string hex_of(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

bool bytes_of_hex(const std::string& hex, std::string* out) {
  if (hex.size() % 2 != 0) return false;
  const auto digit = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
  };
  out->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<char>(hi << 4 | lo));
  }
  return true;
}

// The stored key (Shift-JIS) of a text typed on the page, padded to width.
bool key_of(const std::string& utf8, size_t width, std::string* key, std::string* error) {
  if (!sjis_of(utf8, key, error)) return false;
  if (key->size() > width) key->resize(width);
  return true;
}

// A file made in the temporary folder that goes away with it.
class TempFile {
 public:
  explicit TempFile(const char* suffix) {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/osprey-serve-XXXXXX" + suffix;
    const int fd = ::mkstemps(path_.data(), static_cast<int>(std::strlen(suffix)));
    if (fd < 0) path_.clear(); else ::close(fd);
  }
  ~TempFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Writes into memory through a FILE*, for the writers that take one.
class MemoryFile {
 public:
  MemoryFile() : file_(::open_memstream(&data_, &size_)) {}
  ~MemoryFile() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(data_);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  std::FILE* get() { return file_; }
  std::string text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  std::FILE* file_;
};

}  // namespace

ServedLog::ServedLog(const std::string& base, ServeLimits limits, std::unique_ptr<RigSource> rig)
    : base_(base), limits_(limits), rig_(std::move(rig)) {
  const LogFiles files = log_files(base);
  std::error_code ec;
  if (!std::filesystem::exists(files.contacts, ec)) {
    error_ = "there is no contact file " + files.contacts + " (osprey new makes a log)";
    return;
  }
  hooks_ = std::make_unique<SessionHooks>(Answers::kYes);
  open_ = std::make_unique<OpenLog>(*hooks_, "serve: " + base, base, kOpenChecked, Use::kChange);
  hooks_->end_progress();
  if (!open_->ok()) {
    error_ = "the log cannot be opened (the reason is above)";
    open_.reset();
    return;
  }
  LogHandle& log = *open_->get();
  const int32_t count = log.dbs.handle.record_count;
  if (count > 0 && OSP_read(&log, count, OSP_READ_FULL) == 0) {
    last_freq_ = field(log.view.frequency);
    last_mode_ = field(log.view.mode);
  }
}

ServedLog::~ServedLog() { close(); }

bool ServedLog::close() {
  std::lock_guard<std::mutex> guard(lock_);
  if (open_ == nullptr) return error_.empty();
  const bool flushed = open_->flush("serve: " + base_);
  if (!flushed) error_ = "the log could not be flushed (the reason is above)";
  open_.reset();
  hooks_.reset();
  return flushed;
}

bool ServedLog::reopen() {
  open_.reset();
  open_ = std::make_unique<OpenLog>(*hooks_, "serve: " + base_, base_, kOpenChecked, Use::kChange);
  hooks_->end_progress();
  if (open_->ok()) return true;
  open_.reset();
  error_ = "the log could not be opened again";
  return false;
}

bool ServedLog::written(const char* what, std::string* error) {
  if (hooks_->messages().empty()) return true;
  *error = std::string(what) + ": the library reported: " + hooks_->messages().front();
  return false;
}

ServeReply ServedLog::handle(const ServeRequest& request) {
  std::lock_guard<std::mutex> guard(lock_);
  if (open_ == nullptr) return failure(503, "the log is closed");
  hooks_->clear();
  const bool post = request.method == "POST";
  if (post && request.path != "/api/import" && request.body.size() > limits_.form)
    return failure(413, "the request is larger than " + std::to_string(limits_.form) + " bytes");
  try {
    const std::string& p = request.path;
    int32_t recno = 0;
    const bool has_recno = number_of(param(request, "recno"), &recno);
    if (!post) {
      if (p == "/api/info") return info();
      if (p == "/api/contacts") return contacts(request);
      if (p == "/api/contact" && has_recno) return contact(recno);
      if (p == "/api/worked") return worked(request);
      if (p == "/api/award") return award();
      if (p == "/api/award/contacts") return award_contacts(request);
      if (p == "/api/qsl") return qsl_queue();
      if (p == "/api/labels.pdf") return labels_pdf();
      if (p == "/api/stats") return stats();
      if (p == "/api/export") return export_file(request);
      if (p == "/api/rig") return rig();
    } else {
      if (p == "/api/contact") return save(request, has_recno ? recno : 0);
      if (p == "/api/contact/delete" && has_recno) return mark_deleted(recno, true);
      if (p == "/api/contact/undelete" && has_recno) return mark_deleted(recno, false);
      if (p == "/api/qsl/mark-sent") return mark_sent(request);
      if (p == "/api/import") return import(request);
    }
    return failure(404, "no such request: " + request.method + " " + p);
  } catch (const json::exception& e) {
    return failure(400, std::string("the request's JSON: ") + e.what());
  }
}

ServeReply ServedLog::info() {
  const LogHandle& log = *open_->get();
  json indexes = json::array();
  for (int slot = 0; slot < 5; ++slot) indexes.push_back(open_->index_note(slot));
  return reply(json{{"log", base_.substr(base_.find_last_of('/') + 1)},
                    {"contacts", contact_count(log)},
                    {"freq", last_freq_},
                    {"mode", last_mode_},
                    {"rig", rig_ != nullptr},
                    {"indexes", indexes}});
}

const std::vector<std::pair<int64_t, int32_t>>* ServedLog::by_date(std::string* error) {
  if (by_date_ != nullptr) return by_date_.get();
  auto order = std::make_unique<std::vector<std::pair<int64_t, int32_t>>>();
  LogHandle& log = *open_->get();
  order->reserve(static_cast<size_t>(std::max(0, contact_count(log))));
  log.dbs.handle.current_recno = 0;
  int32_t r = log.dbs.handle.record_count == 0 ? OSP_RECNO_ABOVE_COUNT : DBS_Xread(&log);
  for (; r == 0; r = DBS_Xread(&log))
    order->emplace_back(contact_time(log.dbs_image).utc_minutes(), dbf_recno(&log.dbs.handle));
  if (r != OSP_RECNO_ABOVE_COUNT) {
    *error = "reading the contacts: status " + std::to_string(r) + ": " + status_description(r);
    return nullptr;
  }
  std::stable_sort(order->begin(), order->end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  by_date_ = std::move(order);
  return by_date_.get();
}

ServeReply ServedLog::contacts(const ServeRequest& r) {
  LogHandle& log = *open_->get();
  ContactFilter filter;
  filter.deleted = param(r, "deleted") == "1";
  for (const auto& [name, slot] :
       {std::pair{"call", &filter.call}, {"band", &filter.band}, {"mode", &filter.mode},
        {"since", &filter.since}, {"until", &filter.until}}) {
    const std::string value = param(r, name);
    if (!value.empty()) *slot = value;
  }
  std::string error;
  if (!filter.prepare(&error)) return failure(400, error);
  const std::string order = param(r, "order").empty() ? "record" : param(r, "order");
  const std::string after = param(r, "after");
  DeletionMarks marks(log.dbs.handle);
  json rows = json::array();
  std::string next;
  const int32_t count = log.dbs.handle.record_count;
  const auto take = [&](int32_t recno) {
    const bool deleted = marks.deleted(recno);
    if (!filter.matches(deleted, log.view, log.dbs_image)) return false;
    rows.push_back(row_of(recno, deleted, log.view, log.dbs_image));
    return true;
  };
  int32_t status = 0;
  if (order == "record") {
    int32_t from = 0;
    if (!after.empty() && !number_of(after, &from)) return failure(400, "a bad page cursor");
    log.dbs.handle.current_recno = from;
    int32_t s = from >= count ? OSP_RECNO_ABOVE_COUNT : DBS_Xread(&log);
    for (; s == 0; s = DBS_Xread(&log)) {
      const int32_t recno = dbf_recno(&log.dbs.handle);
      if (take(recno) && rows.size() == kPageRows) {
        if (recno < count) next = std::to_string(recno);
        break;
      }
    }
    if (s != 0 && s != OSP_RECNO_ABOVE_COUNT) status = s;
  } else if (order == "record-desc") {
    int32_t from = count + 1;
    if (!after.empty() && !number_of(after, &from)) return failure(400, "a bad page cursor");
    for (int32_t recno = std::min(from, count + 1) - 1; recno >= 1; --recno) {
      status = OSP_read(&log, recno, OSP_READ_FULL);
      if (status != 0) break;
      if (take(recno) && rows.size() == kPageRows) {
        if (recno > 1) next = std::to_string(recno);
        break;
      }
    }
  } else if (order == "date") {
    const auto* by = by_date(&error);
    if (by == nullptr) return failure(500, error);
    int32_t from = 0;
    if (!after.empty() && !number_of(after, &from)) return failure(400, "a bad page cursor");
    for (size_t i = static_cast<size_t>(from); i < by->size(); ++i) {
      const int32_t recno = (*by)[i].second;
      status = OSP_read(&log, recno, OSP_READ_FULL);
      if (status != 0) break;
      if (take(recno) && rows.size() == kPageRows) {
        if (i + 1 < by->size()) next = std::to_string(i + 1);
        break;
      }
    }
  } else if (order == "call") {
    if (!open_->index_note(0).empty()) return failure(409, open_->index_note(0));
    std::string prefix;
    if (filter.call && !key_of(capitals(*filter.call), 6, &prefix, &error)) return failure(400, error);
    int32_t s = 0;
    if (!after.empty()) {
      const size_t colon = after.find(':');
      int32_t at = 0;
      std::string key;
      if (colon == std::string::npos || !number_of(after.substr(0, colon), &at) ||
          !bytes_of_hex(after.substr(colon + 1), &key))
        return failure(400, "a bad page cursor");
      s = OSP_idxrmv(&log, at, kByCall, key.c_str());
      if (s == 0) s = OSP_skip(&log, 1, kByCall);
    } else if (count == 0) {
      s = OSP_END_OF_ORDER;
    } else if (!prefix.empty()) {
      std::vector<char> buffer(prefix.begin(), prefix.end());
      buffer.push_back('\0');
      s = OSP_seek(&log, buffer.data(), kByCall);
    } else {
      s = OSP_top(&log, kByCall);
    }
    for (; s == 0; s = OSP_skip(&log, 1, kByCall)) {
      const std::string key = Idx_ReadKey(&log, 0);
      if (!prefix.empty() && key.compare(0, prefix.size(), prefix) != 0) break;
      const int32_t recno = dbf_recno(&log.dbs.handle);
      if (take(recno) && rows.size() == kPageRows) {
        next = std::to_string(recno) + ":" + hex_of(key);
        break;
      }
    }
    if (s != 0 && s != OSP_END_OF_ORDER) status = s;
  } else {
    return failure(400, "order is record, record-desc, date or call");
  }
  if (status != 0) return library_failure(status, "reading the contacts");
  return reply(json{{"rows", rows}, {"next", next.empty() ? json(nullptr) : json(next)},
                    {"contacts", count}});
}

ServeReply ServedLog::contact(int32_t recno) {
  LogHandle& log = *open_->get();
  const int32_t s = OSP_read(&log, recno, OSP_READ_FULL);
  if (s == OSP_RECNO_ABOVE_COUNT || s == OSP_RECNO_BELOW_ONE) return failure(404, "no such contact");
  if (s != 0) return library_failure(s, "reading the contact");
  DeletionMarks marks(log.dbs.handle);
  return reply(row_of(recno, marks.deleted(recno), log.view, log.dbs_image));
}

ServeReply ServedLog::worked(const ServeRequest& r) {
  LogHandle& log = *open_->get();
  const std::string call = capitals(param(r, "call"));
  json out{{"call", call}, {"count", 0}, {"rows", json::array()}, {"new_band", false},
           {"new_mode", false}, {"duplicate", false}};
  if (call.empty()) return reply(out);
  if (!open_->index_note(0).empty()) return failure(409, open_->index_note(0));
  std::string key, error;
  if (!sjis_of(call, &key, &error)) return failure(400, error);
  const std::string full = key;
  key.resize(6, ' ');
  std::vector<int32_t> results(1001, 0);
  DupIndexRead(&log.index_slot[0], key.substr(0, 6).c_str(), results.data());
  DeletionMarks marks(log.dbs.handle);
  const int band = band_of(param(r, "freq").c_str());
  const std::string mode = capitals(param(r, "mode"));
  int32_t day = 0;
  parse_full_date(param(r, "date"), &day);
  struct Found {
    int64_t when;
    json row;
  };
  std::vector<Found> found;
  bool band_before = false, mode_before = false, duplicate = false;
  for (size_t i = 0; i < 1000 && results[i] != 0; ++i) {
    const int32_t recno = results[i];
    if (OSP_read(&log, recno, OSP_READ_FULL) != 0 || marks.deleted(recno)) continue;
    if (call_of(log.view) != full) continue;
    const ContactTime t = contact_time(log.dbs_image);
    const bool same_band = band >= 0 && band_of(log.view.frequency) == band;
    const bool same_mode = !mode.empty() && capitals(field(log.view.mode)) == mode;
    band_before = band_before || same_band;
    mode_before = mode_before || same_mode;
    duplicate = duplicate || (same_band && same_mode && t.ymd() == day);
    found.push_back({t.utc_minutes(), row_of(recno, false, log.view, log.dbs_image)});
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const Found& a, const Found& b) { return a.when > b.when; });
  for (size_t i = 0; i < found.size() && i < kWorkedRows; ++i) out["rows"].push_back(found[i].row);
  out["count"] = found.size();
  out["new_band"] = !found.empty() && band >= 0 && !band_before;
  out["new_mode"] = !found.empty() && !mode.empty() && !mode_before;
  out["duplicate"] = duplicate;
  return reply(out);
}

ServeReply ServedLog::save(const ServeRequest& r, int32_t recno) {
  LogHandle& log = *open_->get();
  const json body = json::parse(r.body);
  if (!body.is_object()) return failure(400, "the contact is a JSON object");
  ContactFields f;
  const std::pair<const char*, std::optional<std::string>*> kFields[] = {
      {"call", &f.call},         {"portable", &f.portable}, {"date", &f.date},
      {"time", &f.time},         {"freq", &f.freq},         {"mode", &f.mode},
      {"his", &f.his},           {"my", &f.my},             {"code", &f.code},
      {"grid", &f.grid},         {"qsl", &f.qsl},           {"name", &f.name},
      {"remark1", &f.remark1},   {"remark2", &f.remark2},   {"remark3", &f.remark3}};
  for (const auto& [name, slot] : kFields) {
    if (!body.contains(name)) continue;
    const std::string value = body.at(name).get<std::string>();
    // A new contact takes blanks for what is not filled in; an edit stores
    // every field the form holds, blanks too.
    if (recno == 0 && value.empty()) continue;
    *slot = value;
  }
  if (f.time && body.contains("zone")) {
    const std::string zone = body.at("zone").get<std::string>();
    if (zone != "U" && zone != "J") return failure(400, "zone is U (UTC) or J (JST)");
    *f.time += zone;
  }
  std::string error;
  if (recno == 0 && (!f.call || f.call->empty())) return failure(400, "the call sign is required");
  by_date_.reset();
  if (recno == 0) {
    ContactView v = blank_view();
    if (!apply_fields(f, &v, &error)) return failure(400, error);
    log.view = v;
    ContactView stored;
    int32_t status = 0;
    if (!pack_view(&log, f, &stored, &status, &error))
      return status != 0 ? library_failure(status, "packing the contact") : failure(400, error);
    const int64_t at = contact_time(log.dbs_image).utc_minutes();
    const std::vector<int32_t> same = open_->index_note(0).empty() ? duplicates_of(&log, v, at)
                                                                   : std::vector<int32_t>{};
    log.view = v;
    int32_t word = 1;  // asked, and answered Yes by the hooks
    status = OSP_append(&log, OSP_WRITE_CONTACTS, &word);
    if (status != 0) return library_failure(status, "adding the contact");
    if (word != OSP_ANSWER_YES) return failure(500, "the contact was not written");
    if (!written("adding the contact", &error) || !open_->flush("serve: " + base_))
      return failure(500, error.empty() ? "the log could not be flushed" : error);
    last_freq_ = field(v.frequency);
    last_mode_ = field(v.mode);
    return reply(json{{"recno", contact_count(log)}, {"duplicates", same}});
  }
  int32_t s = OSP_read(&log, recno, OSP_READ_FULL);
  if (s == OSP_RECNO_ABOVE_COUNT || s == OSP_RECNO_BELOW_ONE) return failure(404, "no such contact");
  if (s != 0) return library_failure(s, "reading the contact");
  auto old = std::make_unique<LogHandle>(log);
  if (!apply_fields(f, &log.view, &error)) return failure(400, error);
  ContactView stored;
  if (!pack_view(&log, f, &stored, &s, &error))
    return s != 0 ? library_failure(s, "packing the contact") : failure(400, error);
  int32_t word = 0;
  s = OSP_update(&log, old.get(), recno, OSP_WRITE_CONTACTS, &word);
  if (s != 0) return library_failure(s, "updating the contact");
  if (word != 0 && word != OSP_ANSWER_YES) return failure(500, "the contact was not written");
  if (!written("updating the contact", &error) || !open_->flush("serve: " + base_))
    return failure(500, error.empty() ? "the log could not be flushed" : error);
  return reply(json{{"recno", recno}, {"changed", word != 0}});
}

ServeReply ServedLog::mark_deleted(int32_t recno, bool deleting) {
  LogHandle& log = *open_->get();
  const int32_t s = OSP_read(&log, recno, OSP_READ_FULL);
  if (s == OSP_RECNO_ABOVE_COUNT || s == OSP_RECNO_BELOW_ONE) return failure(404, "no such contact");
  if (s != 0) return library_failure(s, "reading the contact");
  DeletionMarks marks(log.dbs.handle);
  if (marks.deleted(recno) == deleting) return reply(json{{"recno", recno}, {"changed", false}});
  const char live = ' ';
  const int32_t w = deleting ? dbf_delete(&log.dbs.handle, recno)
                             : dbf_write2(&log.dbs.handle, recno, &live, 0, 1);
  if (w != 0) return library_failure(w, deleting ? "deleting the contact" : "undeleting the contact");
  by_date_.reset();
  if (!open_->flush("serve: " + base_)) return failure(500, "the log could not be flushed");
  return reply(json{{"recno", recno}, {"changed", true}});
}

ServeReply ServedLog::award() {
  LogHandle& log = *open_->get();
  std::string error;
  WalkCounts counts;
  int device_context = 0;  // the library's progress text goes nowhere
  if (!recompute_tables(&log, &device_context, "", 'N', &counts, &error)) return failure(500, error);
  if (!open_->flush("serve: " + base_)) return failure(500, "the log could not be flushed");
  std::vector<AwardRow> rows;
  const int32_t s = award_rows(&log, &rows);
  if (s != 0) return library_failure(s, "reading the master file");
  const BandTotals totals = totals_of(rows);
  json out{{"bands", kBandNames}, {"rows", json::array()}, {"areas", rows.size()},
           {"worked", totals.worked}, {"confirmed", totals.confirmed},
           {"walked", counts.walked}, {"deleted", counts.deleted}};
  for (const AwardRow& row : rows) {
    std::string code = utf8_of(row.code.c_str(), row.code.size());
    code.erase(code.find_last_not_of(' ') + 1);
    out["rows"].push_back(json{{"code", code}, {"name", row.name}, {"bands", row.bands}});
  }
  return reply(out);
}

ServeReply ServedLog::award_contacts(const ServeRequest& r) {
  LogHandle& log = *open_->get();
  const int band = band_number(param(r, "band"));
  if (band < 0) return failure(400, "no band " + param(r, "band"));
  std::string key, error;
  if (!key_of(param(r, "code"), 6, &key, &error)) return failure(400, error);
  if (key.empty()) return failure(400, "an area code is needed");
  key.resize(6, ' ');
  DeletionMarks marks(log.dbs.handle);
  json rows = json::array();
  const auto take = [&](int32_t recno) {
    if (std::memcmp(log.view.code, key.data(), 6) != 0 || band_of(log.view.frequency) != band ||
        marks.deleted(recno))
      return;
    rows.push_back(row_of(recno, false, log.view, log.dbs_image));
  };
  int32_t s = 0;
  if (open_->index_note(1).empty()) {
    std::vector<char> buffer(key.begin(), key.end());
    buffer.push_back('\0');
    s = log.dbs.handle.record_count == 0 ? OSP_END_OF_ORDER : OSP_seek(&log, buffer.data(), kByCode);
    for (; s == 0 && std::memcmp(log.view.code, key.data(), 6) == 0; s = OSP_skip(&log, 1, kByCode))
      take(dbf_recno(&log.dbs.handle));
    if (s == OSP_END_OF_ORDER) s = 0;
  } else {
    log.dbs.handle.current_recno = 0;
    s = log.dbs.handle.record_count == 0 ? OSP_RECNO_ABOVE_COUNT : DBS_Xread(&log);
    for (; s == 0; s = DBS_Xread(&log)) take(dbf_recno(&log.dbs.handle));
    if (s == OSP_RECNO_ABOVE_COUNT) s = 0;
  }
  if (s != 0) return library_failure(s, "reading the contacts");
  return reply(json{{"code", param(r, "code")}, {"band", band_name(band)}, {"rows", rows}});
}

namespace {

ContactRange queue_range() {
  ContactRange range;
  range.order = ContactOrder::kBureau;
  range.unsent = true;
  range.no_card_routes = std::string(1, kNoCardRoute);
  return range;
}

}  // namespace

ServeReply ServedLog::qsl_queue() {
  LogHandle& log = *open_->get();
  std::vector<int32_t> recnos;
  std::string error;
  if (!contact_order(log, queue_range(), &recnos, &error)) return failure(500, error);
  json rows = json::array();
  for (size_t i = 0; i < recnos.size() && i < kQueueRows; ++i) {
    const int32_t s = OSP_read(&log, recnos[i], OSP_READ_FULL);
    if (s != 0) return library_failure(s, "reading the contacts");
    rows.push_back(row_of(recnos[i], false, log.view, log.dbs_image));
  }
  return reply(json{{"count", recnos.size()}, {"recnos", recnos}, {"rows", rows}});
}

ServeReply ServedLog::labels_pdf() {
  LogHandle& log = *open_->get();
  std::vector<int32_t> recnos;
  std::string error;
  if (!contact_order(log, queue_range(), &recnos, &error)) return failure(500, error);
  std::vector<std::string> templates;
  for (const std::string& line : template_lines(kServeLabelTemplate)) {
    std::string sjis;
    if (!template_sjis(line, &sjis, &error)) return failure(500, error);
    templates.push_back(sjis);
  }
  std::vector<std::vector<std::string>> labels;
  for (const int32_t recno : recnos) {
    const int32_t s = OSP_read(&log, recno, OSP_READ_FULL);
    if (s != 0) return library_failure(s, "reading the contacts");
    std::vector<std::string> label;
    for (const std::string& t : templates) {
      const std::string line = expand_line(log, t, true);
      label.push_back(utf8_of(line.c_str(), line.size()));
    }
    labels.push_back(std::move(label));
  }
  TempFile pdf(".pdf");
  if (pdf.path().empty()) return failure(500, "cannot make a temporary file for the labels");
  if (!write_label_pdf(pdf.path(), SheetLayout{}, labels, &error)) return failure(500, error);
  std::ifstream in(pdf.path(), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  ServeReply out;
  out.type = "application/pdf";
  out.body = bytes.str();
  out.filename = "labels.pdf";
  return out;
}

ServeReply ServedLog::mark_sent(const ServeRequest& r) {
  LogHandle& log = *open_->get();
  const json body = json::parse(r.body);
  std::vector<int32_t> recnos = body.at("recnos").get<std::vector<int32_t>>();
  uint8_t mark = 0;
  std::string error;
  if (!mark_byte(body.value("mark", std::string("Y")), "mark", &mark, &error))
    return failure(400, error);
  std::sort(recnos.begin(), recnos.end());
  recnos.erase(std::unique(recnos.begin(), recnos.end()), recnos.end());
  // Every contact is checked before any is marked.
  for (const int32_t recno : recnos) {
    const std::string why = mark_refusal(log, recno);
    if (!why.empty()) return failure(400, why + "; nothing was marked");
  }
  size_t marked = 0;
  for (const int32_t recno : recnos) {
    if (QSL_Send(&log, recno, mark) != 0) {
      open_->flush("serve: " + base_);
      return failure(500, "record " + std::to_string(recno) + " could not be marked; " +
                              std::to_string(marked) + " were");
    }
    ++marked;
  }
  if (!open_->flush("serve: " + base_)) return failure(500, "the log could not be flushed");
  return reply(json{{"marked", marked}});
}

ServeReply ServedLog::stats() {
  LogHandle& log = *open_->get();
  std::map<std::string, int64_t> bands, modes, years;
  DeletionMarks marks(log.dbs.handle);
  log.dbs.handle.current_recno = 0;
  int32_t s = log.dbs.handle.record_count == 0 ? OSP_RECNO_ABOVE_COUNT : DBS_Xread(&log);
  int64_t live = 0;
  for (; s == 0; s = DBS_Xread(&log)) {
    if (marks.deleted(dbf_recno(&log.dbs.handle))) continue;
    ++live;
    const int band = band_of(log.view.frequency);
    ++bands[band < 0 ? "?" : band_name(band)];
    const std::string mode = capitals(field(log.view.mode));
    ++modes[mode.empty() ? "?" : mode];
    ++years[std::to_string(contact_time(log.dbs_image).year)];
  }
  if (s != OSP_RECNO_ABOVE_COUNT) return library_failure(s, "reading the contacts");
  // Bands in band order, not in the order of their names.
  json band_list = json::array();
  for (int b = 0; b < kBands; ++b)
    if (bands.count(band_name(b)) != 0) band_list.push_back(json{band_name(b), bands[band_name(b)]});
  if (bands.count("?") != 0) band_list.push_back(json{"?", bands["?"]});
  json mode_list = json::array(), year_list = json::array();
  for (const auto& [k, v] : modes) mode_list.push_back(json{k, v});
  for (const auto& [k, v] : years) year_list.push_back(json{k, v});
  return reply(json{{"contacts", live}, {"bands", band_list}, {"modes", mode_list},
                    {"years", year_list}});
}

ServeReply ServedLog::import(const ServeRequest& r) {
  if (r.body.size() > limits_.upload)
    return failure(413, "the file is larger than the upload limit of " +
                            std::to_string(limits_.upload >> 20) + " MiB; nothing was imported");
  if (r.body.empty()) return failure(400, "the file is empty; nothing was imported");
  // As the command's import: what the import may change is backed up first,
  // once the log has written all it holds.
  if (!open_->flush("serve: " + base_)) return failure(500, "the log could not be flushed");
  std::string backup_error;
  if (!back_up(files_an_import_changes(base_), &backup_error, stderr, "osprey serve: "))
    return failure(500, backup_error + "; nothing was imported");
  AdifImportOptions options;
  options.allow_duplicates = param(r, "duplicates") == "1";
  by_date_.reset();
  const AdifImportResult result = import_adif(open_->get(), r.body, options);
  json refused = json::array();
  for (size_t i = 0; i < result.refused.size() && i < kRefusalsListed; ++i)
    refused.push_back(json{{"record", result.refused[i].record},
                           {"field", result.refused[i].refusal.field},
                           {"reason", result.refused[i].refusal.reason}});
  json out{{"records", result.records},
           {"imported", result.imported},
           {"refused", refused},
           {"refused_count", result.refused.size()},
           {"duplicates", result.duplicates.size()},
           {"error", result.error}};
  // The appends left indexes 0 and 1 stale: the log is opened again, which
  // builds them.
  if (result.imported != 0 && !reopen()) return failure(500, error_);
  if (!open_->flush("serve: " + base_)) return failure(500, "the log could not be flushed");
  out["contacts"] = contact_count(*open_->get());
  return reply(out, result.status != 0 || !result.error.empty() ? 422 : 200);
}

ServeReply ServedLog::export_file(const ServeRequest& r) {
  LogHandle& log = *open_->get();
  const std::string format = param(r, "format");
  const std::string name = base_.substr(base_.find_last_of('/') + 1);
  MemoryFile out;
  if (out.get() == nullptr) return failure(500, "no memory for the export");
  ServeReply file;
  if (format == "adi" || format == "adx") {
    AdifExportOptions options;
    options.format = format == "adx" ? AdifFormat::kAdx : AdifFormat::kAdi;
    const AdifExportResult result =
        export_adif(&log, options, adif_created_now(), "The log " + name + ", written by osprey serve", out.get());
    if (result.status != 0) return library_failure(result.status, result.error);
    if (!result.error.empty()) return failure(500, result.error);
    file.type = format == "adx" ? "application/xml" : "text/plain; charset=us-ascii";
  } else if (format == "csv") {
    std::string error;
    const auto writer = make_contact_writer("csv", TextEncoding::kUtf8, &error);
    if (writer == nullptr) return failure(500, error);
    writer->begin(out.get());
    DeletionMarks marks(log.dbs.handle);
    for (int32_t recno = 1; recno <= log.dbs.handle.record_count; ++recno) {
      if (marks.deleted(recno)) continue;
      const int32_t s = OSP_read(&log, recno, OSP_READ_REMARKS);
      if (s != 0) return library_failure(s, "reading the contacts");
      writer->contact(out.get(), log);
    }
    file.type = "text/csv; charset=utf-8";
  } else {
    return failure(400, "format is adi, adx or csv");
  }
  file.body = out.text();
  file.filename = name + "." + format;
  return file;
}

ServeReply ServedLog::rig() {
  if (rig_ == nullptr) return failure(404, "no rig is attached (osprey serve --rig HOST:PORT)");
  std::string mhz, mode, error;
  if (!rig_->read(&mhz, &mode, &error)) return failure(502, error);
  return reply(json{{"freq", mhz}, {"mode", mode}});
}

std::string request_refusal(const std::string& method, const std::string& host,
                            const std::string& origin, const std::string& token,
                            const std::string& run_token, const std::vector<std::string>& hosts,
                            bool remote) {
  if (std::find(hosts.begin(), hosts.end(), host) == hosts.end())
    return "this server does not answer to the host \"" + host + "\"";
  const bool write = method != "GET" && method != "HEAD";
  if (!write && !remote) return "";
  if (token != run_token) return "the request does not carry this run's token";
  if (!origin.empty() &&
      std::find(hosts.begin(), hosts.end(),
                origin.rfind("http://", 0) == 0 ? origin.substr(7) : std::string("\n")) ==
          hosts.end())
    return "a write from another site (" + origin + ") is refused";
  return "";
}

}  // namespace osprey_tool
