#include "contact_marks.h"

#include <algorithm>

#include "formats/open_file_reads.h"

namespace osprey_tool {

namespace {

constexpr size_t kPieceBytes = size_t{1} << 20;  // contact file read at a time
// Places in the stored record, the deletion mark at 0.
constexpr size_t kRouteAt = 42;
constexpr size_t kSentAt = 43;
constexpr size_t kReceivedAt = 44;

}  // namespace

bool read_contact_marks(const LogHandle& log, int32_t first, int32_t last,
                        std::vector<ContactMarks>* marks, std::string* error) {
  marks->clear();
  if (last < first) return true;
  const DbfHandle& h = log.dbs.handle;
  const auto record_size = static_cast<size_t>(h.record_size);
  if (record_size <= kReceivedAt) {
    *error = std::string("the contact file ") + log.dbs.path + " has records too short for QSL marks";
    return false;
  }
  const auto wanted = static_cast<size_t>(last - first + 1);
  marks->reserve(wanted);
  const size_t per_piece = std::max<size_t>(1, kPieceBytes / record_size);
  std::vector<uint8_t> piece(per_piece * record_size);
  int64_t at = static_cast<uint16_t>(h.header_size) +
               static_cast<int64_t>(first - 1) * static_cast<int64_t>(record_size);
  while (marks->size() < wanted) {
    const size_t n = std::min(per_piece, wanted - marks->size());
    const int64_t got = read_open_file(h.file, at, piece.data(), n * record_size);
    if (got != static_cast<int64_t>(n * record_size)) {
      *error = std::string("the contact file ") + log.dbs.path + " cannot be read";
      return false;
    }
    for (size_t i = 0; i < n; ++i) {
      const uint8_t* r = piece.data() + i * record_size;
      ContactMarks m;
      m.deleted = r[0] != ' ';
      m.route = static_cast<char>(r[kRouteAt]);
      m.sent = static_cast<char>(r[kSentAt]);
      m.received = static_cast<char>(r[kReceivedAt]);
      marks->push_back(m);
    }
    at += got;
  }
  return true;
}

bool card_unsent(const ContactMarks& m, const std::string& no_card_routes) {
  if (m.deleted || (m.sent != ' ' && m.sent != '\0')) return false;
  return no_card_routes.find(m.route) == std::string::npos;
}

std::string mark_refusal(const LogHandle& log, int32_t recno) {
  const int32_t count = log.dbs.handle.record_count;
  if (recno < 1 || recno > count)
    return "record " + std::to_string(recno) + ": no such contact (the log has " +
           std::to_string(count) + ")";
  std::vector<ContactMarks> marks;
  std::string error;
  if (!read_contact_marks(log, recno, recno, &marks, &error)) return error;
  if (marks[0].deleted)
    return "record " + std::to_string(recno) +
           " is a deleted contact; its card is not marked (undelete it first)";
  return "";
}

}  // namespace osprey_tool
