/*
 * osprey32.h - the C interface of OSPREY32, the storage engine and log services
 * of an amateur-radio contact logger.
 *
 * Every structure shared with the caller is byte-packed with fixed field widths.
 * On 32-bit Windows the sizes are exactly those the application was built against
 * (DbfHandle 22, DbfSlot 282, IdxHandle 270, ContactView 218, LogHandle 2946);
 * on 64-bit builds only the pointer fields (and OspFile on Windows) widen.
 *
 * All text is Shift-JIS (code page 932). Status codes: 0 is success; see the
 * OSP_STATUS_* names below.
 */
#ifndef OSPREY32_H
#define OSPREY32_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define OSPAPI __stdcall
#else
#define OSPAPI
#endif

#if defined(_WIN32)
#if defined(OSPREY32_BUILDING)
#define OSPEXPORT
#else
#define OSPEXPORT __declspec(dllimport)
#endif
#else
#define OSPEXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A platform file handle: a HANDLE on Windows, a descriptor elsewhere. */
#if defined(_WIN32)
typedef intptr_t OspFile;
#else
typedef int32_t OspFile;
#endif
#define OSP_NO_FILE ((OspFile)-1)

/* Status codes. */
enum {
  OSP_OK = 0,
  OSP_BAD_DATA_STRUCTURE = 2,
  OSP_BAD_INDEX_STRUCTURE = 3,
  OSP_CANNOT_OPEN = 5,
  OSP_NO_MEMORY = 6,
  OSP_INDEX_READ_ERROR = 7,
  OSP_INDEX_WRITE_ERROR = 8,
  OSP_RECNO_ABOVE_COUNT = 10,
  OSP_RECNO_BELOW_ONE = 11,
  OSP_END_OF_ORDER = 12,
  OSP_START_OF_ORDER = 13,
  OSP_INDEX_REBUILD_NEEDED = 15,
  OSP_DATA_READ_ERROR = 21,
  OSP_DATA_WRITE_ERROR = 22,
  OSP_INDEX_BUILD_ERROR = 23,
  OSP_WORK_FILE_ERROR = 25,
  OSP_BAD_KEY_EXPRESSION = 26,
  OSP_BAD_SORT_ORDER = 29
};

#pragma pack(push, 1)

/* A record file (dBASE III-style table). The first 12 bytes mirror the
 * file header byte for byte. */
typedef struct DbfHandle {
  uint8_t version;        /* header byte 0 */
  uint8_t update_date[3]; /* year % 100, month, day */
  int32_t record_count;
  int16_t header_size;    /* offset of record 1 */
  int16_t record_size;    /* bytes per record including the deletion mark */
  int32_t current_recno;  /* last record number that passed a bounds check */
  OspFile file;           /* OSP_NO_FILE when closed */
  uint16_t flags;         /* 1: written since header write-back; 2: count changed */
} DbfHandle;

/* A record-file handle followed by its path, as kept in a log. */
typedef struct DbfSlot {
  DbfHandle handle;
  char path[260];
} DbfSlot;

/* An index file. `state` is owned by the library (idx_open / idx_close). */
typedef struct IdxHandle {
  void *state;
  OspFile file;
  int16_t header_dirty;
  char path[260];
} IdxHandle;

/* The current contact unpacked into NUL-terminated text fields (218 bytes). */
typedef struct ContactView {
  char callsign[8];
  char portable[4];
  char date[9];
  char time[7];
  char his_report[4];
  char my_report[4];
  char frequency[8];
  char mode[4];
  char code[7];
  char grid[7];
  char qsl[4];
  char name[13];
  char remark1[29];
  char remark2[55];
  char remark3[55];
} ContactView;

/* One open log: contact, master and remarks files and six index slots. */
typedef struct LogHandle {
  ContactView view;
  ContactView *viewer;
  uint8_t dbs_image[58];
  uint8_t mst_image[49];
  DbfSlot dbs;
  DbfSlot mst;
  uint8_t dbr_header[8];
  OspFile dbr_file;
  int16_t dbr_dirty;
  char dbr_name[260];
  IdxHandle index_slot[6];
  uint8_t remark_len[3];
  char remark_text[137];
  char *remark_part2; /* points into remark_text */
  char *remark_part3; /* points into remark_text */
  uint8_t remark_block_len;
  int16_t write_through;
  int32_t viewer_count;
  int32_t viewer_capacity;
} LogHandle;

/* A user text file read through its own index. */
typedef struct UserTextFile {
  char c_key[7];
  char info1[13];
  char j_key[7];
  char info2[29];
  char info3[55];
  uint8_t marker;
  uint8_t *file_order;
  uint8_t *c_order;
  uint8_t *j_order;
  uint32_t *fixed_keys;
  OspFile text_file;
  int32_t entry_count;
  int32_t lead_count;
  char header_text[24];
  char file_name[260];
} UserTextFile;

#pragma pack(pop)

/* ---- Port extension: hooks for the user interface and the clock. ----
 * A NULL hooks pointer, or a NULL member, restores the platform's own
 * behaviour: on Windows MessageBoxA, TextOutA, MessageBeep and GetLocalTime;
 * elsewhere a message box writes caption and text to standard error and
 * returns the default button (IDOK for an OK box, IDNO for a question),
 * drawing and beeps do nothing and the clock is the system's. */
typedef struct OspLocalTime {
  int32_t year, month, day, hour, minute, second;
} OspLocalTime;

typedef struct OspHooks {
  int32_t (*message_box)(void *ctx, int32_t use_active, const char *text, const char *caption,
                         uint32_t style);
  void (*text_out)(void *ctx, void *device_context, int32_t x, int32_t y, const char *text,
                   int32_t length);
  void (*beep)(void *ctx, uint32_t type);
  void (*local_time)(void *ctx, OspLocalTime *now);
  void *ctx;
} OspHooks;

OSPEXPORT void OSPAPI OspSetHooks(const OspHooks *hooks);

/* ---- Port extension: read-only viewing. ----
 * OSP_OPEN_READ_ONLY, or-ed into OspreyOpen's flags (not with quick open):
 * every file is opened for reading only; nothing is created, deleted, rebuilt
 * or forced. A missing contact or remarks file fails the open (40, 41)
 * without a question; an index that is missing, unreadable or (with flag 1)
 * stale is left closed (its slot's file is OSP_NO_FILE) and only the orders
 * through it are refused. Close such a log without flag 1.
 * dbf_open_readonly and idx_open_readonly: dbf_open and idx_open for reading
 * only; the same results, and any write through the handle fails. */
#define OSP_OPEN_READ_ONLY 8
OSPEXPORT int32_t OSPAPI dbf_open_readonly(const char *path, DbfHandle *handle);
OSPEXPORT int32_t OSPAPI idx_open_readonly(const char *path, IdxHandle *handle);

/* ---- Library frame ---- */
/* The version constant 0x00043400. */
OSPEXPORT int32_t OSPAPI GetOspdllVersion(void);
/* Sorts count records of (spec & 0xFFFF) bytes by unsigned byte comparison;
 * descending when the high 16 bits of spec are non-zero. */
OSPEXPORT int32_t OSPAPI _Qsorter(void *base, int32_t count, int32_t spec);

/* ---- Record files ---- */
/* Creates the contact file at path, replacing (emptying) any file there: 0, 5 or 22. */
OSPEXPORT int32_t OSPAPI dbf_create(const char *path);
OSPEXPORT int32_t OSPAPI dbf_open(const char *path, DbfHandle *handle);
OSPEXPORT int32_t OSPAPI dbf_close(DbfHandle *handle);
OSPEXPORT int32_t OSPAPI dbf_read(DbfHandle *handle, int32_t recno, void *buffer);
OSPEXPORT int32_t OSPAPI dbf_write(DbfHandle *handle, int32_t recno, const void *data);
OSPEXPORT int32_t OSPAPI dbf_write2(DbfHandle *handle, int32_t recno, const void *data,
                                    int32_t offset, int32_t length);
OSPEXPORT int32_t OSPAPI dbf_delete(DbfHandle *handle, int32_t recno);
OSPEXPORT int32_t OSPAPI dbf_packwk(DbfHandle *handle, void *buffer, int32_t size);
OSPEXPORT int32_t OSPAPI dbf_rsize(DbfHandle *handle);
OSPEXPORT int32_t OSPAPI dbf_rcount(DbfHandle *handle);
OSPEXPORT int32_t OSPAPI dbf_recno(DbfHandle *handle);

/* ---- Index files ---- */
OSPEXPORT int32_t OSPAPI idx_open(const char *path, IdxHandle *handle);
OSPEXPORT int32_t OSPAPI idx_close(IdxHandle *handle);
OSPEXPORT int32_t OSPAPI idx_search(IdxHandle *handle, const char *key, int32_t length);
OSPEXPORT int32_t OSPAPI idx_next(IdxHandle *handle);
OSPEXPORT int32_t OSPAPI idx_back(IdxHandle *handle);
OSPEXPORT int32_t OSPAPI idx_top(IdxHandle *handle);
OSPEXPORT int32_t OSPAPI idx_bottom(IdxHandle *handle);
OSPEXPORT int32_t OSPAPI MakeIndex(const char *record_path, const char *expression,
                                   const char *index_path);

/* ---- The log ---- */
OSPEXPORT int32_t OSPAPI OspreyOpen(void *device_context, LogHandle *log, const char *base_path,
                                    int32_t viewer_length, int32_t flags);
OSPEXPORT int32_t OSPAPI OspreyClose(LogHandle *log, int32_t flags);
OSPEXPORT int32_t OSPAPI ChosonCheck(const char *code);
OSPEXPORT int32_t OSPAPI OSP_read(LogHandle *log, int32_t recno, int32_t options);
OSPEXPORT int32_t OSPAPI OSP_skip(LogHandle *log, int32_t count, int32_t mode);
OSPEXPORT int32_t OSPAPI OSP_seek(LogHandle *log, char *key, int32_t mode);
OSPEXPORT int32_t OSPAPI OSP_top(LogHandle *log, int32_t mode);
OSPEXPORT int32_t OSPAPI OSP_btm(LogHandle *log, int32_t mode);
OSPEXPORT int32_t OSPAPI OSP_idxrmv(LogHandle *log, int32_t recno, int32_t mode, const char *key);
OSPEXPORT char *OSPAPI Idx_ReadKey(LogHandle *log, int32_t which);
OSPEXPORT int32_t OSPAPI OSP_update(LogHandle *log, LogHandle *old_copy, int32_t recno,
                                    int32_t flags, int32_t *confirm);
OSPEXPORT int32_t OSPAPI OSP_append(LogHandle *log, int32_t flags, int32_t *confirm);
OSPEXPORT int32_t OSPAPI OSP_flush(LogHandle *log);
OSPEXPORT void OSPAPI OSP_zap(LogHandle *log);
OSPEXPORT int32_t OSPAPI DB_append(LogHandle *log);
OSPEXPORT int32_t OSPAPI CopyFromMAS(LogHandle *log);
OSPEXPORT int32_t OSPAPI DupIndexRead(IdxHandle *index, const char *key, int32_t *results);
OSPEXPORT char *OSPAPI Get_lupdate(const void *header);

/* ---- Contact data and checks ---- */
OSPEXPORT int32_t OSPAPI DBS_Xread(LogHandle *log);
OSPEXPORT int32_t OSPAPI QSL_Send(LogHandle *log, int32_t recno, int32_t mark);
OSPEXPORT int32_t OSPAPI QSL_Rcv(LogHandle *log, int32_t recno, int32_t mark);
OSPEXPORT int32_t OSPAPI StrToLong(const char *text);
OSPEXPORT int32_t OSPAPI FreqPCheck(const char *frequency);
OSPEXPORT void OSPAPI Wget_bit(char *out, const uint8_t *master_data);
OSPEXPORT void OSPAPI Wput_bit(LogHandle *log, const char *bands);
OSPEXPORT int32_t OSPAPI WkdCfmCheck(void *device_context, LogHandle *log, int32_t *recno,
                                     const char *excluded_routes, int32_t not_received);
OSPEXPORT int32_t OSPAPI DateComp(const char *first, const char *second);
OSPEXPORT int32_t OSPAPI isExPrefix(const char *prefixes, const char *callsign);

/* ---- Sorts and prints ---- */
OSPEXPORT int32_t OSPAPI JARL_sort(LogHandle *log, void *entries, int32_t first, int32_t last,
                                   const char *list1, const char *list2, const char *list3,
                                   int32_t mode);
OSPEXPORT int32_t OSPAPI DateTimeSort(LogHandle *log);
OSPEXPORT int32_t OSPAPI MasterSort(LogHandle *log);
OSPEXPORT int32_t OSPAPI PrintDataFmt(LogHandle *log, char *out, const char *template_text);
OSPEXPORT int32_t OSPAPI PrintQslFmt(LogHandle *log, char *out, const char *template_text);

/* ---- Text files ---- */
OSPEXPORT int32_t OSPAPI User_open(void *device_context, int32_t type, UserTextFile *file,
                                   const char *path);
OSPEXPORT int32_t OSPAPI User_Seek(LogHandle *log, int32_t type, UserTextFile *file,
                                   const void *key);
OSPEXPORT int32_t OSPAPI User_Read(int32_t selector, int32_t position, UserTextFile *file);
OSPEXPORT void OSPAPI User_close(int32_t type, UserTextFile *file);
OSPEXPORT OspFile OSPAPI T_Open(const char *path);
OSPEXPORT int32_t OSPAPI T_Gets(char *buffer, int32_t size, OspFile file);
OSPEXPORT int32_t OSPAPI T_GetDbs(char *buffer, int32_t size, OspFile file);
OSPEXPORT int32_t OSPAPI T_Puts(const char *text, OspFile file);
OSPEXPORT int32_t OSPAPI JStrStr(const char *text, const char *pattern);
OSPEXPORT int32_t OSPAPI Text_QFRappend(LogHandle *log, const char *line);

#ifdef __cplusplus
} /* extern "C" */
#endif

#if defined(_WIN32) && !defined(_WIN64) && defined(__cplusplus)
static_assert(sizeof(DbfHandle) == 22, "DbfHandle is 22 bytes");
static_assert(sizeof(DbfSlot) == 282, "DbfSlot is 282 bytes");
static_assert(sizeof(IdxHandle) == 270, "IdxHandle is 270 bytes");
static_assert(sizeof(ContactView) == 218, "ContactView is 218 bytes");
static_assert(sizeof(LogHandle) == 2946, "LogHandle is 2946 bytes");
#elif defined(_WIN32) && !defined(_WIN64) && defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(DbfHandle) == 22, "DbfHandle is 22 bytes");
_Static_assert(sizeof(DbfSlot) == 282, "DbfSlot is 282 bytes");
_Static_assert(sizeof(IdxHandle) == 270, "IdxHandle is 270 bytes");
_Static_assert(sizeof(ContactView) == 218, "ContactView is 218 bytes");
_Static_assert(sizeof(LogHandle) == 2946, "LogHandle is 2946 bytes");
#endif

#endif /* OSPREY32_H */
