#include "frame/status.h"

#include "osprey32.h"

namespace osp {

// The public header names the same numbers for callers.
static_assert(status::kOk == OSP_OK);
static_assert(status::kBadDataStructure == OSP_BAD_DATA_STRUCTURE);
static_assert(status::kBadIndexStructure == OSP_BAD_INDEX_STRUCTURE);
static_assert(status::kCannotOpen == OSP_CANNOT_OPEN);
static_assert(status::kNoMemory == OSP_NO_MEMORY);
static_assert(status::kIndexReadError == OSP_INDEX_READ_ERROR);
static_assert(status::kIndexWriteError == OSP_INDEX_WRITE_ERROR);
static_assert(status::kRecnoAboveCount == OSP_RECNO_ABOVE_COUNT);
static_assert(status::kRecnoBelowOne == OSP_RECNO_BELOW_ONE);
static_assert(status::kEndOfOrder == OSP_END_OF_ORDER);
static_assert(status::kStartOfOrder == OSP_START_OF_ORDER);
static_assert(status::kIndexRebuildNeeded == OSP_INDEX_REBUILD_NEEDED);
static_assert(status::kDataReadError == OSP_DATA_READ_ERROR);
static_assert(status::kDataWriteError == OSP_DATA_WRITE_ERROR);
static_assert(status::kIndexBuildError == OSP_INDEX_BUILD_ERROR);
static_assert(status::kWorkFileError == OSP_WORK_FILE_ERROR);
static_assert(status::kBadKeyExpression == OSP_BAD_KEY_EXPRESSION);
static_assert(status::kBadSortOrder == OSP_BAD_SORT_ORDER);

namespace {

struct StatusMessage {
  int32_t code;
  const char* text;
};

// Shift-JIS messages, one per code that has its own.
constexpr StatusMessage kMessages[] = {
    {2, "\x83\x66\x81\x5B\x83\x5E\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xCC\x8D\x5C\x91\xA2\x82\xAA\x88\xE1\x82\xA4"},  // データファイルの構造が違う
    {3, "\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4E\x83\x58\x82\xCC\x8D\x5C\x91\xA2\x82\xAA\x88\xE1\x82\xA4"},  // インデックスの構造が違う
    {5, "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x83\x49\x81\x5B\x83\x76\x83\x93\x82\xC5\x82\xAB\x82\xC8\x82\xA2"},  // ファイルがオープンできない
    {6, "\x83\x81\x83\x82\x83\x8A\x81\x5B\x82\xAA\x8A\x6D\x95\xDB\x82\xC5\x82\xAB\x82\xC8\x82\xA2"},  // メモリーが確保できない
    {7, "\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4E\x83\x58\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x83\x47\x83\x89\x81\x5B"},  // インデックス読み込みエラー
    {8, "\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4E\x83\x58\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x83\x47\x83\x89\x81\x5B"},  // インデックス書き込みエラー
    {15, "\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4E\x83\x58\x82\xCC\x8D\xC4\x8D\x5C\x92\x7A\x82\xAA\x95\x4B\x97\x76"},  // インデックスの再構築が必要
    {21, "\x83\x66\x81\x5B\x83\x5E\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x83\x47\x83\x89\x81\x5B"},  // データ読み込みエラー
    {22, "\x83\x66\x81\x5B\x83\x5E\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x83\x47\x83\x89\x81\x5B"},  // データ書き込みエラー
    {23, "\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4E\x83\x58\x8D\x5C\x92\x7A\x83\x47\x83\x89\x81\x5B"},  // インデックス構築エラー
    {25, "\x8D\xEC\x8B\xC6\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8D\xEC\x82\xEA\x82\xC8\x82\xA2"},  // 作業ファイルが作れない
    {26, "\x83\x4C\x81\x5B\x95\x5C\x8C\xBB\x8E\xAE\x82\xAA\x95\x73\x90\xB3"},  // キー表現式が不正
    {29, "\x95\x73\x90\xB3\x82\xC8\x83\x5C\x81\x5B\x83\x67\x81\x41\x96\x94\x82\xCD\x8F\x64\x95\xA1"},  // 不正なソート、又は重複
};

// "なんらかのエラー発生": some error has occurred.
constexpr const char kOtherMessage[] = "\x82\xC8\x82\xF1\x82\xE7\x82\xA9\x82\xCC\x83\x47\x83\x89\x81\x5B\x94\xAD\x90\xB6";

}  // namespace

const char* status_message(int32_t code) {
  for (const StatusMessage& m : kMessages) {
    if (m.code == code) return m.text;
  }
  return kOtherMessage;
}

const char kFullWidthOpen[] = "\x81\x69";
const char kFullWidthClose[] = "\x81\x6A";

}  // namespace osp
