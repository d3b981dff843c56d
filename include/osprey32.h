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
 * status names below (OSP_OK, OSP_CANNOT_OPEN, ...). Above each function:
 * what it does, its results, and what it leaves in the caller's structures.
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

/* Status codes: 0 success; the rest name what failed. 10 to 13 are normal
 * outcomes of reads and cursor moves and are never shown in a message box.
 * The library's own names for these numbers are checked against these at
 * compile time. */
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
  OSP_BAD_SORT_ORDER = 29,
  /* OspreyOpen only: the contact, remarks or master file cannot be used. */
  OSP_CONTACT_FILE_REFUSED = 40,
  OSP_REMARKS_FILE_REFUSED = 41,
  OSP_MASTER_FILE_UNUSABLE = 42
};

/* OspreyOpen flags: exactly OSP_OPEN_QUICK opens the contact and remarks
 * files only; otherwise the bits below combine. */
enum {
  OSP_OPEN_CHECK_TIMES = 1, /* rebuild indexes older than the profile's times */
  OSP_OPEN_QUICK = 2,
  OSP_OPEN_VIEWER = 4       /* allocate the viewer buffer */
};

/* OspreyClose flags: exactly OSP_CLOSE_QUICK closes the contact and remarks
 * files only; otherwise the bits below combine. */
enum {
  OSP_CLOSE_STORE_TIMES = 1, /* store each file's time in the profile file */
  OSP_CLOSE_QUICK = 2,
  OSP_CLOSE_FREE_VIEWER = 4
};

/* Cursor modes (OSP_skip, OSP_seek, OSP_top, OSP_btm, OSP_idxrmv): the index
 * slot in the low three bits, OSP_MODE_CONTACTS for the contact file, and
 * options; the combinations the application uses are named. */
enum {
  OSP_MODE_CONTACTS = 16,
  OSP_MODE_MASTER_KEY_CHECK = 32, /* part of the master modes 34 to 36 */
  OSP_MODE_NO_REMARKS = 64,       /* contacts: leave the remark buffer alone */
  OSP_MODE_PASS_LETTERED = 256,   /* skip: pass entries lettered above 'A' */
  OSP_MODE_TELL_DUPLICATE = 512,  /* seek on contacts: beep when the next matches */
  OSP_MODE_CONTACTS_BY_CALL = 16,
  OSP_MODE_CONTACTS_BY_CODE = 17,
  OSP_MODE_CONTACTS_BY_GRID = 21, /* slot 5, the caller's own index */
  OSP_MODE_CONTACTS_IN_RECORD_ORDER = 24,
  OSP_MODE_MASTERS_BY_CODE = 34,
  OSP_MODE_MASTERS_BY_FLG_CODE = 35,
  OSP_MODE_MASTERS_BY_FLG_HED_ERIA = 36,
  OSP_MODE_MASTERS_IN_RECORD_ORDER = 41
};

/* OSP_read options: what the unpacked view gets. */
enum {
  OSP_READ_SEPARATORS = 1, /* '/' in the date, ':' in the time */
  OSP_READ_REMARKS = 2,    /* read and unpack the remark block */
  OSP_READ_FULL = 3
};

/* OSP_update and OSP_append: OSP_WRITE_CONTACTS in flags chooses the
 * contact file, else the master file. The confirmation word: for an update,
 * OSP_CONFIRM_FIND_ONLY finds the change and writes nothing, and a non-zero
 * OSP_CONFIRM_OWNER_BITS lets the active window own the question; for an
 * append, OSP_CONFIRM_NO_QUESTION writes without asking. Each stores the
 * user's answer in the word. */
enum {
  OSP_WRITE_CONTACTS = 16,
  OSP_CONFIRM_NO_QUESTION = 0,
  OSP_CONFIRM_OWNER_BITS = 15,
  OSP_CONFIRM_FIND_ONLY = 16,
  OSP_ANSWER_CANCEL = 2,
  OSP_ANSWER_YES = 6,
  OSP_ANSWER_NO = 7
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

/* Routes message boxes, progress text, beeps and the clock through hooks;
 * NULL (or a NULL member) restores the platform's own. No result. */
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
/* Creates (or empties) a contact file: header and schema, no records.
 * 0; 5 cannot create; 22 short write. Leaves no file open. */
OSPEXPORT int32_t OSPAPI dbf_create(const char *path);
/* Opens a record file exclusively and fills handle (flags and current_recno
 * 0). 0; 5 cannot open; 21 short header; 2 not a usable header. On failure
 * handle->file is OSP_NO_FILE. */
OSPEXPORT int32_t OSPAPI dbf_open(const char *path, DbfHandle *handle);
/* Writes the header back when changed, closes, sets file to OSP_NO_FILE.
 * 1 done; 0 the header (a record count) or the close failed; file - 1
 * (-2) for a closed handle. */
OSPEXPORT int32_t OSPAPI dbf_close(DbfHandle *handle);
/* Copies record recno's data bytes (without the mark) into buffer.
 * 0; 10 above the count; 11 below 1; 21 short read. current_recno = recno
 * once the bounds pass. */
OSPEXPORT int32_t OSPAPI dbf_read(DbfHandle *handle, int32_t recno, void *buffer);
/* Replaces record recno's data bytes, leaving its mark. 0, 10, 11, 22. */
OSPEXPORT int32_t OSPAPI dbf_write(DbfHandle *handle, int32_t recno, const void *data);
/* Writes length bytes at offset within record recno (0 is the mark).
 * 0, 10, 11, 22. The caller keeps offset + length within the record. */
OSPEXPORT int32_t OSPAPI dbf_write2(DbfHandle *handle, int32_t recno, const void *data,
                                    int32_t offset, int32_t length);
/* Marks record recno deleted ("*"). 0, 10, 11, 22. */
OSPEXPORT int32_t OSPAPI dbf_delete(DbfHandle *handle, int32_t recno);
/* Removes every record not marked live, keeping order, through the
 * caller's buffer (size bytes, at least one record). 0, 21, 22; the new
 * count reaches the file at the next close. */
OSPEXPORT int32_t OSPAPI dbf_packwk(DbfHandle *handle, void *buffer, int32_t size);
/* The handle's record size, record count and current record number. */
OSPEXPORT int32_t OSPAPI dbf_rsize(DbfHandle *handle);
OSPEXPORT int32_t OSPAPI dbf_rcount(DbfHandle *handle);
OSPEXPORT int32_t OSPAPI dbf_recno(DbfHandle *handle);

/* ---- Index files ---- */
/* Opens an index file exclusively, allocates its state and stands on the
 * first entry. 0; 5 cannot open (silent); 6, 7 or 3 (reported): no memory,
 * short header, a header this library cannot use. On failure file is -1. */
OSPEXPORT int32_t OSPAPI idx_open(const char *path, IdxHandle *handle);
/* Writes root and next free page back when dirty, closes and frees the
 * state. 1 closed; 0 nothing open, or the header write failed (reported;
 * the file stays open so that a later close can try again). */
OSPEXPORT int32_t OSPAPI idx_close(IdxHandle *handle);
/* Stands on the first entry whose key begins with length bytes of key
 * (0: the key's string length); returns its record number, 0 when none. */
OSPEXPORT int32_t OSPAPI idx_search(IdxHandle *handle, const char *key, int32_t length);
/* Moves one entry forward / backward, to the first / last entry; returns
 * its record number, 0 when there is none (the cursor is then unpositioned). */
OSPEXPORT int32_t OSPAPI idx_next(IdxHandle *handle);
OSPEXPORT int32_t OSPAPI idx_back(IdxHandle *handle);
OSPEXPORT int32_t OSPAPI idx_top(IdxHandle *handle);
OSPEXPORT int32_t OSPAPI idx_bottom(IdxHandle *handle);
/* Builds the index file anew over a record file from a key expression
 * ("CALLS", "FLG+CODE", ...). 0, or the failure's status (not shown). */
OSPEXPORT int32_t OSPAPI MakeIndex(const char *record_path, const char *expression,
                                   const char *index_path);

/* ---- The log ---- */
/* Opens the log of base_path (NULL: the paths in log) with OSP_OPEN_*
 * flags, asking before creating missing files and rebuilding missing or
 * stale indexes. 0; OSP_*_REFUSED/UNUSABLE 40-42; 5 quick; 23; 6. */
OSPEXPORT int32_t OSPAPI OspreyOpen(void *device_context, LogHandle *log, const char *base_path,
                                    int32_t viewer_length, int32_t flags);
/* Closes the log (OSP_CLOSE_* flags), writing headers back and, with
 * OSP_CLOSE_STORE_TIMES, the file times into the profile file. The result
 * carries no status. */
OSPEXPORT int32_t OSPAPI OspreyClose(LogHandle *log, int32_t flags);
/* The kind (0-7) of the area code whose 6 bytes are at code. */
OSPEXPORT int32_t OSPAPI ChosonCheck(const char *code);
/* Reads contact recno into dbs_image and, with OSP_READ_* options,
 * unpacks it (and its remarks) into view. 0, 10, 11, or a reported failure. */
OSPEXPORT int32_t OSPAPI OSP_read(LogHandle *log, int32_t recno, int32_t options);
/* Moves count entries in the order of an OSP_MODE_* and loads the record
 * into the images and view. 0; 12/13 ran off the end/start; 15 index
 * out of step; others reported. */
OSPEXPORT int32_t OSPAPI OSP_skip(LogHandle *log, int32_t count, int32_t mode);
/* Finds the first entry of the mode's slot whose key begins with key and
 * loads its record. 0; 12 none; others reported. */
OSPEXPORT int32_t OSPAPI OSP_seek(LogHandle *log, char *key, int32_t mode);
/* Moves to the first / last entry of the mode's order and loads it.
 * 0; 12 empty; others reported. */
OSPEXPORT int32_t OSPAPI OSP_top(LogHandle *log, int32_t mode);
OSPEXPORT int32_t OSPAPI OSP_btm(LogHandle *log, int32_t mode);
/* Puts the mode's index cursor on the entry of key and recno without
 * loading anything. 0; 12 no such entry. */
OSPEXPORT int32_t OSPAPI OSP_idxrmv(LogHandle *log, int32_t recno, int32_t mode, const char *key);
/* The key under slot (which & 7)'s cursor, NUL-terminated, in a library
 * buffer overwritten by the next call. */
OSPEXPORT char *OSPAPI Idx_ReadKey(LogHandle *log, int32_t which);
/* Writes the edited view (contacts) or mst_image (masters) as record
 * recno after the question, moving index entries whose keys changed;
 * old_copy is the handle before the edit. 0; a reported write failure. */
OSPEXPORT int32_t OSPAPI OSP_update(LogHandle *log, LogHandle *old_copy, int32_t recno,
                                    int32_t flags, int32_t *confirm);
/* Appends the view (contacts, with its remarks) or mst_image (masters)
 * after the question (none for OSP_CONFIRM_NO_QUESTION) and indexes it.
 * 0 (also declined); 5 or 22 from the remarks; the record's failure.
 * On 0 the contact's remark block and record are written (with
 * write_through also synced, and the index pages written), unless the log
 * has a bulk run (OSP_bulk_begin). */
OSPEXPORT int32_t OSPAPI OSP_append(LogHandle *log, int32_t flags, int32_t *confirm);
/* Ends a bulk run (writing what it holds), writes every header back, and
 * flushes the log's files to disk. 0; 5 the contact file is not open; 22
 * a bulk run's contacts could not be written (taken back); 22 or 8 a
 * header or flush failed (the file stays dirty for the next flush). */
OSPEXPORT int32_t OSPAPI OSP_flush(LogHandle *log);
/* Empties the contact file, the remarks file and the indexes over them. */
OSPEXPORT void OSPAPI OSP_zap(LogHandle *log);
/* Appends the view as a contact without a question and without index
 * entries (the caller rebuilds them); written at once as OSP_append's,
 * held in a bulk run as OSP_append's. 0; 5 or 22 reported. */
OSPEXPORT int32_t OSPAPI DB_append(LogHandle *log);

/* ---- Port extension: bulk runs. ----
 * The library runs one call at a time (single caller): it keeps no locks,
 * and a log and its handles belong to one thread of the caller's.
 *
 * OSP_bulk_begin asks that contacts appended to log without write_through
 * (OSP_append, DB_append, Text_QFRappend) be gathered in memory and written
 * in runs of up to 64 KiB, remark blocks first, then records, one write per
 * file: when a run is full, before anything else reads or writes the
 * contact or remarks file, and at the run's end. The bulk run ends with
 * OSP_bulk_end, OSP_flush or OspreyClose of log.
 * What it risks: until its run is written a contact acknowledged with 0 is
 * in memory only, so a process that ends before the bulk run's end (or a
 * flush or close) loses the contacts held. A run that cannot be written is
 * taken back whole (both files cut back, both counts lowered, index slots
 * 0 and 1 dropped to be built at the next open when the run had entries
 * there) and its failure reported and returned by the append that wrote
 * it, or else by OSP_bulk_end, OSP_flush, or reported by OspreyClose.
 * OSP_bulk_begin: 0 (also when a run is under way); 5 the contact file is
 * not open; 6 no memory for the run.
 * OSP_bulk_end: writes what is held and ends the bulk run; 0, or 22 when
 * contacts of the run could not be written (taken back, reported). */
OSPEXPORT int32_t OSPAPI OSP_bulk_begin(LogHandle *log);
OSPEXPORT int32_t OSPAPI OSP_bulk_end(LogHandle *log);
/* Fills the empty first remark of every contact with its area's name
 * from the master file. Returns the first contact changed, 0 when none. */
OSPEXPORT int32_t OSPAPI CopyFromMAS(LogHandle *log);
/* Stores in results (1001 entries) the record numbers of the entries
 * whose first 6 key bytes equal key's, the last 1000 when more; returns
 * how many matched. */
OSPEXPORT int32_t OSPAPI DupIndexRead(IdxHandle *index, const char *key, int32_t *results);
/* The last-update date of a record-file or remarks-file header as
 * "YY/MM/DD", in a library buffer overwritten by the next call. */
OSPEXPORT char *OSPAPI Get_lupdate(const void *header);

/* ---- Contact data and checks ---- */
/* Reads the contact after dbs.current_recno into the images, remark
 * buffer and view, in batches. 0; 10 the pass ended; 6 no memory. */
OSPEXPORT int32_t OSPAPI DBS_Xread(LogHandle *log);
/* Writes the low byte of mark as contact recno's QSL sent / received
 * mark. 0; after a reported failure a value that is not a status. */
OSPEXPORT int32_t OSPAPI QSL_Send(LogHandle *log, int32_t recno, int32_t mark);
OSPEXPORT int32_t OSPAPI QSL_Rcv(LogHandle *log, int32_t recno, int32_t mark);
/* The decimal number at the start of text. */
OSPEXPORT int32_t OSPAPI StrToLong(const char *text);
/* The band (0-15) of a frequency text. */
OSPEXPORT int32_t OSPAPI FreqPCheck(const char *frequency);
/* Writes the band string of a master entry's worked and confirmed masks
 * (at least 16 bytes) into out. */
OSPEXPORT void OSPAPI Wget_bit(char *out, const uint8_t *master_data);
/* Sets the masks of log->mst_image from a band string of 15 characters. */
OSPEXPORT void OSPAPI Wput_bit(LogHandle *log, const char *bands);
/* Walks the contacts from *recno on, raising the worked and confirmed
 * bands of their masters. 0; 10, 11 or 21 from the read that ended it. */
OSPEXPORT int32_t OSPAPI WkdCfmCheck(void *device_context, LogHandle *log, int32_t *recno,
                                     const char *excluded_routes, int32_t not_received);
/* Port extension. Recomputes the worked and confirmed tables from the live
 * contacts: clears the masks of every master entry that takes part (entries
 * marked as taking no part stay so), then credits every contact that is not
 * deleted as WkdCfmCheck does (excluded_routes and not_received as there),
 * reading both files in batches; progress drawn as WkdCfmCheck draws it.
 * 0; the status of a failed read; a failed write of the masks (reported),
 * which leaves the tables part-way (a second call mends them). */
OSPEXPORT int32_t OSPAPI OSP_award_recompute(void *device_context, LogHandle *log,
                                             const char *excluded_routes,
                                             int32_t not_received);
/* -1, 0 or 1 as the first date text is earlier, equal or later. */
OSPEXPORT int32_t OSPAPI DateComp(const char *first, const char *second);
/* 1 when the call sign's prefix is in the NUL-terminated list, else 0. */
OSPEXPORT int32_t OSPAPI isExPrefix(const char *prefixes, const char *callsign);

/* ---- Sorts and prints ---- */
/* Fills entries with the contacts first to last in bureau or record
 * order (mode). 0; -1 more than 10,000 contacts; 10 a read failed. */
OSPEXPORT int32_t OSPAPI JARL_sort(LogHandle *log, void *entries, int32_t first, int32_t last,
                                   const char *list1, const char *list2, const char *list3,
                                   int32_t mode);
/* Rewrites the contact file in date and time order. 0 or 25. */
OSPEXPORT int32_t OSPAPI DateTimeSort(LogHandle *log);
/* Rewrites the master file in code order. 0 or 1. */
OSPEXPORT int32_t OSPAPI MasterSort(LogHandle *log);
/* Expands a print template with the current view into out; 1 when a
 * field was printed, else 0. */
OSPEXPORT int32_t OSPAPI PrintDataFmt(LogHandle *log, char *out, const char *template_text);
/* Expands a QSL-label template with the current view into out; 1 when a
 * field was printed, else 0. */
OSPEXPORT int32_t OSPAPI PrintQslFmt(LogHandle *log, char *out, const char *template_text);

/* ---- Text files ---- */
/* Opens a user text file of a type (0-2 free lines, 3 and above fixed
 * records) through its own index, rebuilt when stale. Returns a status. */
OSPEXPORT int32_t OSPAPI User_open(void *device_context, int32_t type, UserTextFile *file,
                                   const char *path);
/* Finds key in the open user text file and fills its text fields.
 * -1 not found; else the position (free lines) or 1 (fixed records). */
OSPEXPORT int32_t OSPAPI User_Seek(LogHandle *log, int32_t type, UserTextFile *file,
                                   const void *key);
/* Fills the text fields from entry position of an order ("C", "J" or file
 * order). 0; 10 above the count; 11 below 1. */
OSPEXPORT int32_t OSPAPI User_Read(int32_t selector, int32_t position, UserTextFile *file);
/* Closes the user text file and frees its lists. */
OSPEXPORT void OSPAPI User_close(int32_t type, UserTextFile *file);
/* Opens a text file for reading line by line; the handle, or -1. */
OSPEXPORT OspFile OSPAPI T_Open(const char *path);
/* Reads the next line into buffer without its line end. 0; -1 at the end. */
OSPEXPORT int32_t OSPAPI T_Gets(char *buffer, int32_t size, OspFile file);
/* Reads the next non-empty line into buffer, padded with blanks. 0; -1 at
 * the end. */
OSPEXPORT int32_t OSPAPI T_GetDbs(char *buffer, int32_t size, OspFile file);
/* Writes text and a line end to file. The bytes written, or -1. */
OSPEXPORT int32_t OSPAPI T_Puts(const char *text, OspFile file);
/* The offset of pattern in text on a character boundary, or -1. */
OSPEXPORT int32_t OSPAPI JStrStr(const char *text, const char *pattern);
/* Appends the contact of a fixed-column line to the open log. 0 or a
 * status. */
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
