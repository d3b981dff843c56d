#include "record/remark_block.h"

#include <cstring>

#include "frame/file.h"
#include "frame/status.h"

namespace osp::log {

namespace {

constexpr int32_t kMax[3] = {kRemark1Max, kRemark2Max, kRemark3Max};

// An offset inside the header is refused with the code for a position below
// the first one.
constexpr int32_t kOffsetInHeader = status::kRecnoBelowOne;

int32_t fail(LogHandle* log, int32_t code) {
  clear_remarks(log);
  return code;
}

}  // namespace

bool remark_lengths_valid(const uint8_t* lengths) {
  return lengths[0] <= kRemark1Max && lengths[1] <= kRemark2Max && lengths[2] <= kRemark3Max;
}

void set_remark_parts(LogHandle* log) {
  const uint8_t* l = log->remark_len;
  log->remark_part2 = log->remark_text + l[0];
  log->remark_part3 = log->remark_text + l[0] + l[1];
  log->remark_block_len = static_cast<uint8_t>(kRemarkLengthBytes + l[0] + l[1] + l[2]);
}

void clear_remarks(LogHandle* log) {
  std::memset(log->remark_len, 0, sizeof log->remark_len);
  set_remark_parts(log);
}

int32_t read_remark_block(LogHandle* log, uint32_t o) {
  if (o == 0) return fail(log, status::kOk);
  if (o < kFirstRemarkOffset) return fail(log, kOffsetInHeader);
  if (!platform::is_open(log->dbr_file)) return fail(log, status::kOk);
  // The whole block in one read: its lengths and as much text as the
  // longest block holds; what the lengths say is then taken from that.
  uint8_t block[kRemarkBlockMax];
  const int32_t got = file_read_at(log->dbr_file, o, block, kRemarkBlockMax);
  if (got < 0) return fail(log, status::kDataReadError);
  if (got == 0) return fail(log, status::kOk);
  if (got < kRemarkLengthBytes) return fail(log, status::kDataReadError);
  const uint8_t* lengths = block;
  if (!remark_lengths_valid(lengths)) return fail(log, status::kOk);
  const int32_t text = lengths[0] + lengths[1] + lengths[2];
  if (got < kRemarkLengthBytes + text) return fail(log, status::kDataReadError);
  std::memcpy(log->remark_text, block + kRemarkLengthBytes, static_cast<size_t>(text));
  std::memcpy(log->remark_len, lengths, kRemarkLengthBytes);
  set_remark_parts(log);
  return status::kOk;
}

void pack_remarks(LogHandle* log) {
  const ContactView& v = log->view;
  const char* parts[3] = {v.remark1, v.remark2, v.remark3};
  size_t end = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t start = end;
    const size_t n = strnlen(parts[i], static_cast<size_t>(kMax[i]));
    std::memcpy(log->remark_text + start, parts[i], n);
    end = start + n;
    while (end > start && log->remark_text[end - 1] == ' ') --end;
    log->remark_len[i] = static_cast<uint8_t>(end - start);
  }
  set_remark_parts(log);
}

int32_t remark_block_bytes(const LogHandle* log, uint8_t* out) {
  int32_t text = 0;
  for (int i = 0; i < 3; ++i) {
    const uint8_t n = log->remark_len[i] < kMax[i] ? log->remark_len[i] : static_cast<uint8_t>(kMax[i]);
    out[i] = n;
    text += n;
  }
  std::memcpy(out + kRemarkLengthBytes, log->remark_text, static_cast<size_t>(text));
  return kRemarkLengthBytes + text;
}

}  // namespace osp::log
