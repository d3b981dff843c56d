// Exports of the text files: the user text file and the text helpers.
#include "osprey32.h"
#include "text/contact_line.h"
#include "text/line_reader.h"
#include "text/sjis_search.h"
#include "text/user_text_file.h"

extern "C" {

int32_t OSPAPI User_open(void* device_context, int32_t type, UserTextFile* file, const char* path) {
  return osp::text::user_open(device_context, type, file, path);
}
int32_t OSPAPI User_Seek(LogHandle* log, int32_t type, UserTextFile* file, const void* key) {
  return osp::text::user_seek(log, type, file, key);
}
int32_t OSPAPI User_Read(int32_t selector, int32_t position, UserTextFile* file) {
  return osp::text::user_read(selector, position, file);
}
void OSPAPI User_close(int32_t type, UserTextFile* file) { osp::text::user_close(type, file); }
OspFile OSPAPI T_Open(const char* path) { return osp::text::open_text(path); }
int32_t OSPAPI T_Gets(char* buffer, int32_t size, OspFile file) {
  return osp::text::read_line(buffer, size, file);
}
int32_t OSPAPI T_GetDbs(char* buffer, int32_t size, OspFile file) {
  return osp::text::read_padded_line(buffer, size, file);
}
int32_t OSPAPI T_Puts(const char* text, OspFile file) { return osp::text::write_line(text, file); }
int32_t OSPAPI JStrStr(const char* text, const char* pattern) {
  return osp::text::find_text(text, pattern);
}
int32_t OSPAPI Text_QFRappend(LogHandle* log, const char* line) {
  return osp::text::append_contact_line(log, line);
}

}  // extern "C"

// Four list pointers and the text file's handle widen on 64-bit builds.
static_assert(sizeof(UserTextFile) == 424 + 4 * (sizeof(void*) - 4) + (sizeof(OspFile) - 4),
              "UserTextFile is packed");
