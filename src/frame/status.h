// The library's status codes and their Shift-JIS messages.
#pragma once

#include <cstdint>

namespace osp {

namespace status {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kBadDataStructure = 2;
inline constexpr int32_t kBadIndexStructure = 3;
inline constexpr int32_t kCannotOpen = 5;
inline constexpr int32_t kNoMemory = 6;
inline constexpr int32_t kIndexReadError = 7;
inline constexpr int32_t kIndexWriteError = 8;
inline constexpr int32_t kRecnoAboveCount = 10;
inline constexpr int32_t kRecnoBelowOne = 11;
inline constexpr int32_t kEndOfOrder = 12;
inline constexpr int32_t kStartOfOrder = 13;
inline constexpr int32_t kIndexRebuildNeeded = 15;
inline constexpr int32_t kDataReadError = 21;
inline constexpr int32_t kDataWriteError = 22;
inline constexpr int32_t kIndexBuildError = 23;
inline constexpr int32_t kWorkFileError = 25;
inline constexpr int32_t kBadKeyExpression = 26;
inline constexpr int32_t kBadSortOrder = 29;
}  // namespace status

// The message shown for code: the code's own, or "some error has occurred"
// for any code without one (negative codes included). Never null.
const char* status_message(int32_t code);

// The full-width parentheses that enclose the subject of a status message.
extern const char kFullWidthOpen[];
extern const char kFullWidthClose[];

}  // namespace osp
