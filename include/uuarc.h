/* uuarc.h - the interface of the uuarc module, the one header a host needs.

   The module presents a uuencoded text file as an archive that holds exactly one file: a host
   lists that entry, extracts (decodes) it, or creates a new encoded file from one source file.
   A host that sets the module's own UUARC_OPTION_EVERY_FILE (not in the 32-bit DLL) gets every
   file of a text that carries several, one entry each.
   It comes as a 32-bit Windows DLL (uuarc.dll for 32-bit hosts, __stdcall, undecorated names at
   ordinals 1 to 41), as a 64-bit Windows DLL (uuarc.dll for 64-bit hosts, the same names at the
   same ordinals, the x64 calling convention) and, for Linux, as a shared library (libuuarc.so)
   with the same 41 functions.

   This header is plain C: a C99 or C++ compiler takes it, for either build. It pulls in nothing
   of the module's internals.

   General rules
   - One archive at a time, one call at a time, from one thread. All state lives in the module;
     callbacks run synchronously inside the export that makes them, on the caller's thread, and
     must not start another archive operation.
   - Outcomes are reported only through the archive status, a 16-bit word read back with
     GetArchiveStatus (the UUARC_STATUS_ codes below). The five archive operations (InitArcFile,
     CreateArcFile, BuildArcFileList, ExtractFileMaskListArc, CompressFileMaskListArc) set it to
     0 on entry and then to their outcome; the other exports leave it alone unless said below.
   - Strings are NUL-terminated bytes in the ANSI code page. In the Linux build names are bytes,
     as the file system has them (UTF-8 as a rule, but not necessarily): a stored name is taken
     as it is, without the OEM conversion, and ':' is a byte like any other, with no drive or
     stream behind it. Paths that the host hands over are at most 255 bytes long, terminator not
     counted; a longer one is refused with status 5 where an operation takes it, and is never cut.
   - A null pointer where an export takes a string or a record is refused, never read: the five
     archive operations end with status 5, the other exports change nothing. A null string is no
     empty string. Each family below says what it does.
   - Every callback gets the user-data word registered with it as its first argument (UserData:
     32 bits in the 32-bit DLL, pointer-sized in every 64-bit build, so that a 64-bit host can pass
     a pointer). Only the result of OkToReplaceProc is read.
   - Records are little-endian. The 32-bit layout is the one the host interface fixes. The 64-bit
     layout is this module's own: the same declarations in their natural x64 layout, pointers
     widened to 8 bytes, field order and types unchanged. The sizes and offsets of both layouts
     stand at the end of this header and are checked there at compile time.
*/
#ifndef UUARC_H
#define UUARC_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define UUARC_CALL __stdcall
#else
#define UUARC_CALL
#endif

#if defined(__cplusplus)
#define UUARC_EXTERN extern "C"
#else
#define UUARC_EXTERN extern
#endif

#if defined(_WIN32) && defined(UUARC_BUILDING)
#define UUARC_API UUARC_EXTERN
#elif defined(_WIN32)
#define UUARC_API UUARC_EXTERN __declspec(dllimport)
#else
#define UUARC_API UUARC_EXTERN __attribute__((visibility("default")))
#endif

/* ---- Archive status ------------------------------------------------------------------------ */
/* The only values the module ever stores; the host may store any value with SetArchiveStatus. */
#define UUARC_STATUS_OK 0                  /* success */
#define UUARC_STATUS_NO_TARGET 2           /* internal to creation; the host never sees it */
#define UUARC_STATUS_CANNOT_OPEN 5         /* a file cannot be opened or created, or is no regular
                                              file; an unsafe stored name; a path or setting too long */
#define UUARC_STATUS_NO_MEMORY 8           /* a list entry or a mask node cannot be allocated */
#define UUARC_STATUS_WRITE_FAILED 101      /* the output could not be written in full */
#define UUARC_STATUS_REPLACE_REFUSED 2926  /* OkToReplaceProc kept the existing file */
#define UUARC_STATUS_CREATE_REFUSED 9901   /* no new archive open, or the target is encoded or the source */
#define UUARC_STATUS_CANNOT_DELETE 9902    /* DeleteFileMaskListArc */
#define UUARC_STATUS_TOO_MANY_MASKS 9907   /* creation got more than one mask */
#define UUARC_STATUS_SOURCE_IS_DIRECTORY 9908
#define UUARC_STATUS_BAD_FORMAT 9964       /* no begin line, bad table block, bad data line, no "end" */
#define UUARC_STATUS_NOT_ENCODED 9974      /* no begin line when an archive is opened or extracted */
#define UUARC_STATUS_NOT_SUPPORTED 32770   /* an operation this format does not have (0x8002) */

/* ---- Option bits (arOptionsOn, arOptionsOff, arOptionsAreOn) ------------------------------- */
#define UUARC_OPTION_NO_SOURCE_PREFIX 0x0010 /* creation: the source prefix is not put in front */
/* This module's own bit, read by the Linux build only: extraction makes a new file with 0666 less
   the umask instead of the begin line's mode (less setuid, setgid and sticky, less the umask).
   A file that replaces another takes the old file's bits either way; Windows builds ignore it. */
#define UUARC_OPTION_NO_MODE 0x0020
/* This module's own bit, read by the native build and the 64-bit DLL; the 32-bit DLL has none (it
   is not defined there): creation replaces a target that already holds a begin line, asking
   OkToReplaceProc first as for any existing target, instead of refusing it with 9901. A host sets
   it only when its user asked for exactly that. */
#if !defined(_WIN32) || defined(_WIN64)
#define UUARC_OPTION_REPLACE_ENCODED 0x0040
#endif
/* This module's own bit, read by the native build and the 64-bit DLL; the 32-bit DLL has none (it
   is not defined there): every file of a text. A mail or a digest often carries several encoded
   files one after the other; without the bit the archive is the first of them alone, as the
   format's documents say. With it, each begin line (uuencode, xx, table or base64) starts an
   entry of its own, in the order of the text:
   - Each entry's data runs from the line after its begin line to its end line ("end", or "===="
     after a base64 begin line). A begin line met among the data ends the entry there, without an
     end line (damaged), and starts the next one.
   - Each entry starts from the default alphabet: a table block applies to the begin line after it
     alone, and a switch to xx holds for its one entry.
   - BuildArcFileList appends one entry per file (see Opening), ExtractFileMaskListArc extracts
     each one that the masks select, one after the other (see Extraction).
   A text of one file lists and extracts as without the bit, except that its estimate counts its
   data lines alone (see Opening). */
#if !defined(_WIN32) || defined(_WIN64)
#define UUARC_OPTION_EVERY_FILE 0x0100
#endif
/* This module's own bit, read by the native build and the 64-bit DLL; the 32-bit DLL has none (it
   is not defined there): the module tells the host, through SetSignalProc, what its reading found
   where the status alone cannot say it. See "Facts" below. */
#if !defined(_WIN32) || defined(_WIN64)
#define UUARC_OPTION_FACTS 0x0200
#endif
/* This module's own bit, read by the native build and the 64-bit DLL; the 32-bit DLL has none (it
   is not defined there): the archive that InitArcFile has read up to its begin line stays open,
   for reading only, with what was read of it, until the next export that reads the archive takes
   it (BuildArcFileList or ExtractFileMaskListArc, which read it from its start without opening it
   again and close it when done), or until InitArcFile, CreateArcFile, DoneArcFile or
   CompressFileMaskListArc closes it. A file whose size or last write is no longer what it was is
   not taken: the export opens the path afresh, as without the bit. A host that reads many small
   archives one after the other saves opening each twice. The file is then held between calls: on
   Windows nobody may rename or remove it meanwhile. */
#if !defined(_WIN32) || defined(_WIN64)
#define UUARC_OPTION_HOLD_ARCHIVE 0x0400
#endif
#define UUARC_OPTIONS_AT_LOAD 0x0800         /* the options word right after load */
#define UUARC_OPTIONS_LOCKED 0x8000          /* never switched on */

/* ---- Attribute bits (ArcFileEntry.attributes, FindData.attributes) -------------------------- */
/* The Win32 attribute word. The Linux build reports a directory as DIRECTORY and any other file
   as ARCHIVE, with READ_ONLY when its owner may not write it. */
#define UUARC_ATTR_READ_ONLY 0x01
#define UUARC_ATTR_HIDDEN 0x02
#define UUARC_ATTR_SYSTEM 0x04
#define UUARC_ATTR_DIRECTORY 0x10
#define UUARC_ATTR_ARCHIVE 0x20
#define UUARC_ATTR_NORMAL 0x80

/* Longest path or setting the module takes from the host, terminator not counted. */
#define UUARC_MAX_HOST_PATH 255
/* Longest output path that extraction makes of the output path and a stored name, or that a
   creation writes: what the find-data record's name field holds with its terminator. */
#define UUARC_MAX_OUTPUT_PATH 259
/* Longest name that creation stores, in bytes as the begin line holds it: "begin 644 ", the name
   and the line end fill one read of a line (254 characters), so that extraction gives it back
   whole. */
#define UUARC_MAX_STORED_NAME 243

/* ---- Records at the boundary --------------------------------------------------------------- */

/* One listed entry, allocated by the module in BuildArcFileList and owned by it until the host
   gives the list back with DoneArcFileList. */
typedef struct ArcFileEntry {
    struct ArcFileEntry* next;   /* null in the last entry */
    char name[276];              /* stored name, ANSI code page, zero-padded */
    int64_t first_size;          /* estimated decoded size */
    int64_t second_size;         /* the same estimate */
    uint32_t dos_date_time;      /* last write of the encoded file: date << 16 | time, local time */
    uint32_t attributes;         /* attribute word of the encoded file */
    uint32_t fixed_12;           /* always 12 */
    uint8_t reserved1[12];
    uint32_t zero_320;
    uint32_t zero_324;
    uint32_t zero_328;
    uint32_t fixed_1;            /* always 1 */
    uint8_t reserved2[108];
    uint32_t zero_444;
    uint8_t reserved3[48];
} ArcFileEntry;

/* The host's list head; the host owns it, the module links its entries into it. */
typedef struct ArcFileList {
    uint32_t count;
    ArcFileEntry* first;
    ArcFileEntry* last;
} ArcFileList;

/* The summary that GetExtraInfoArc copies into the host's 384 bytes. */
typedef struct ArcExtraInfo {
    uint32_t fixed_11;           /* always 11 */
    uint32_t fixed_1a;           /* always 1 */
    uint32_t fixed_2;            /* always 2 */
    uint32_t zero_12;
    uint8_t reserved1[12];
    uint32_t zero_28;
    uint32_t zero_32;
    uint32_t fixed_1b;           /* always 1 */
    int64_t first_size_total;
    int64_t second_size_total;
    int32_t ratio;               /* 100 * first total / second total */
    uint8_t reserved2[324];
} ArcExtraInfo;

/* A mask node, allocated by the module in AppendFileMask and owned by it until DoneFileMaskList. */
typedef struct FileMask {
    char* directory;             /* drive and directory, a separately allocated string */
    char name[256];
    char extension[256];         /* without its dot */
    struct FileMask* next;
} FileMask;

/* The host's mask-list head (head and tail), emptied by InitFileMaskList. */
typedef struct FileMaskList {
    FileMask* head;
    FileMask* tail;
} FileMaskList;

/* The host's feature records; the module reads only the named fields, at the time of the call. */
typedef struct DecompExtraFeatures {
    uint32_t reserved0;
    int32_t keep_paths;          /* 0 drops the stored directories */
    uint8_t reserved1[824];
    char base_path[272];         /* taken when not empty */
    char output_path[316];       /* taken when not empty, as by SetOutputPath */
} DecompExtraFeatures;

typedef struct CompExtraFeatures {
    uint8_t reserved0[896];
    char base_path[272];         /* taken when not empty */
    char source_prefix[256];     /* taken when not empty; a "\" is added when longer than 3 bytes */
} CompExtraFeatures;

/* A 64-bit FILETIME (100 ns since 1601, UTC) as two 32-bit halves, low half first. */
typedef struct FileTime {
    uint32_t low;
    uint32_t high;
} FileTime;

/* The layout of WIN32_FIND_DATAA: what OkToReplaceProc receives for both files. */
typedef struct FindData {
    uint32_t attributes;
    FileTime creation_time;
    FileTime last_access_time;
    FileTime last_write_time;
    uint32_t size_high;
    uint32_t size_low;
    uint32_t reserved0;
    uint32_t reserved1;
    char file_name[260];
    char alternate_name[14];
    uint8_t filler[2];
} FindData;

/* ---- Host callbacks ------------------------------------------------------------------------ */

/* The word a host registers with each callback and gets back as its first argument. */
typedef uintptr_t UserData;

/* The file being worked on: extraction passes "\" + stored name and the output path, creation the
   source path and then "\" + the entry name or the target path. */
typedef int32_t(UUARC_CALL* SetFileNameProc)(UserData user, const char* source, const char* target);
/* Progress: a percentage from 0 to 100 and the bytes counted since the previous call. */
typedef int32_t(UUARC_CALL* SetProgressProc)(UserData user, int32_t percent, int32_t bytes);
/* Asked before an existing file is replaced; 0 lets the module replace it, any other value keeps
   it (status 2926). The records are the module's, valid during the call only. */
typedef int32_t(UUARC_CALL* OkToReplaceProc)(UserData user, FindData* existing, FindData* incoming);
/* Extraction, once the output is open: the archive file's length and the code 2; for a
   standard output or null output (see SetOutputPath) also at the end: the bytes delivered and 3.
   With UUARC_OPTION_FACTS, the fields of a fact and the codes from 6 up (see "Facts"). */
typedef int32_t(UUARC_CALL* SetSignalProc)(UserData user, int64_t length, int32_t code);
/* The four callbacks that the module accepts and never calls; their types are the host's. */
typedef void* OtherProc;

/* ---- Status and options -------------------------------------------------------------------
   GetArchiveStatus returns the status and changes nothing. SetArchiveStatus stores the low 16
   bits of its argument and returns them. The options word starts at UUARC_OPTIONS_AT_LOAD;
   arOptionsOn switches on the bits of the mask that are not locked and returns them,
   arOptionsOff returns NOT (mask AND NOT locked) and keeps only those bits, arOptionsAreOn
   answers 1 when every bit of the mask is on (also for the mask 0). None of them touches the
   status. */
UUARC_API uint16_t UUARC_CALL GetArchiveStatus(void);                              /* 15 */
UUARC_API uint16_t UUARC_CALL SetArchiveStatus(uint32_t value);                    /* 21 */
UUARC_API int32_t UUARC_CALL arOptionsAreOn(uint32_t mask);                        /* 39 */
UUARC_API uint16_t UUARC_CALL arOptionsOff(uint32_t mask);                         /* 40 */
UUARC_API uint16_t UUARC_CALL arOptionsOn(uint32_t mask);                          /* 41 */

/* ---- Callback registration ----------------------------------------------------------------
   Each takes the user-data word and the procedure and replaces both; a null procedure switches
   the callback off. InitArcFile and CreateArcFile set every user-data word back to 0 and keep
   the procedures, so a host that wants its own word back registers after opening. The skip-file,
   warning, next-disk and self-extractor registrations are accepted and never called. The status
   is untouched. */
UUARC_API void UUARC_CALL SetSetFileNameProc(UserData user, SetFileNameProc proc);  /* 31 */
UUARC_API void UUARC_CALL SetSetProgressProc(UserData user, SetProgressProc proc);  /* 32 */
UUARC_API void UUARC_CALL SetOkToReplaceProc(UserData user, OkToReplaceProc proc);  /* 28 */
UUARC_API void UUARC_CALL SetSetSignalProc(UserData user, SetSignalProc proc);      /* 34 */
UUARC_API void UUARC_CALL SetSkipFileProc(UserData user, OtherProc proc);           /* 36 */
UUARC_API void UUARC_CALL SetSetWarningProc(UserData user, OtherProc proc);         /* 35 */
UUARC_API void UUARC_CALL SetGetNextDiskProc(UserData user, OtherProc proc);        /* 26 */
UUARC_API void UUARC_CALL SetSetSfxProgressProc(UserData user, OtherProc proc);     /* 33 */

/* ---- Opening, creating, closing and listing ------------------------------------------------
   InitArcFile(path) first sets status 0, zeroes the summary and sets the user words to 0, also
   for a path it then refuses: a null path or one over 255 bytes gives 5 and leaves the archive
   as it was. A path where nothing exists, or the empty path, opens a new, unnamed archive
   (status 0). An existing file is scanned up to its begin line: 0 opens it, 9974 says it has
   none, 5 that it cannot be read or is no regular file (a FIFO or a device is never read). No
   callback fires, but for the fact that explains 9974 with UUARC_OPTION_FACTS (and a part's name
   before UUARC_FACT_PART).
   CreateArcFile(path): the same first step and the same refusals, then as InitArcFile, then
   names the file to be created; 5 when the path exists.
   DoneArcFile() forgets the archive.
   InitArcFileList(list) empties the host's list head. BuildArcFileList(list) scans the archive
   again and appends one entry (allocated by the module; 8 when memory runs out, 5 or 9964 when
   the file is gone or damaged, the list then unchanged); a null list gives 5 before the scan.
   With UUARC_OPTION_EVERY_FILE it reads the whole text and appends one entry per file, in the
   order of the text (9964 when it holds none): each with its own name and its own estimate, from
   the bytes after its begin line up to and including its end line (up to the begin line that
   cut it, or the end of the text, when it has none), and all with the text's date, time and
   attributes. The summary then sums the entries: both totals are the sums of their estimates,
   the ratio is worked out from them.
   DoneArcFileList(list) frees the entries and empties the head. GetExtraInfoArc(buffer) copies
   the 384-byte summary of the last listing. GetMainCommentArc(record) sets the record's first
   two 32-bit words to 0 (no comment) and no other byte. None of the last four touches the
   status, and each does nothing with a null pointer. */
UUARC_API void UUARC_CALL InitArcFile(const char* path);                           /* 18 */
UUARC_API void UUARC_CALL CreateArcFile(const char* path);                         /*  6 */
UUARC_API void UUARC_CALL DoneArcFile(void);                                       /* 11 */
UUARC_API void UUARC_CALL InitArcFileList(ArcFileList* list);                      /* 19 */
UUARC_API void UUARC_CALL BuildArcFileList(ArcFileList* list);                     /*  3 */
UUARC_API void UUARC_CALL DoneArcFileList(ArcFileList* list);                      /* 12 */
UUARC_API void UUARC_CALL GetExtraInfoArc(ArcExtraInfo* buffer);                   /* 16 */
UUARC_API void UUARC_CALL GetMainCommentArc(void* record);                         /* 17 */

/* ---- Host settings -------------------------------------------------------------------------
   SetOutputPath(path) sets the folder of extracted files ("\" appended unless empty or ending in
   "\", or on Windows in ":"). SetDecompExtraFeatures takes the keep-paths flag and, when not
   empty, the output and base paths; SetCompExtraFeatures the base path and the source prefix. A
   value over 255 bytes is not taken and the older one is not used either: the operations that
   need it end with status 5 until a value that fits is set. A null path or record changes
   nothing. The status is untouched. */
UUARC_API void UUARC_CALL SetOutputPath(const char* path);                         /* 29 */

/* Outputs that are not files (native builds and the 64-bit DLL; the 32-bit DLL knows no such
   names). An output path that is exactly one of these spellings, given to SetOutputPath or in
   DecompExtraFeatures, sends what extraction decodes into the process's standard output
   (descriptor 1; on Windows the handle that GetStdHandle gives) or into nothing (the null device),
   until another output path is set. Only the output path itself names one: a stored name, ':'
   and all, always goes below the output path, so no archive can name either. The stored name
   must still be safe to put under an output path (status 5 otherwise), but nothing is made,
   renamed or asked about: SetFileNameProc names the spelling as the output, OkToReplaceProc never
   comes, and the bytes go out as they are decoded, a buffer at a time. When the decoding ends,
   however it ends, SetSignalProc is called a second time with the number of bytes that the output
   took and the code UUARC_SIGNAL_BYTES_DELIVERED: the count that a host reports after a failure.
   Status 101 means the output refused a write (a closed pipe, a full disk), 5 that it could not
   be opened.
   Creation takes them too, as this module's own extension: a creation on a new, unnamed archive
   (CreateArcFile with an empty path) while the output path is one of these spellings writes the
   encoded text there as it encodes it, a buffer at a time, in constant memory and with no file of
   its own: SetFileNameProc (source path, the spelling), no question and no check of a target,
   SetProgressProc as for a file, then SetSignalProc (bytes that the output took,
   UUARC_SIGNAL_BYTES_DELIVERED). The source is read as for a file target: its size, which the
   header states before the data, is known before the first byte goes out. A source that does not
   hold that size to the end ends with status 5 (after SetSignalProc with
   UUARC_SIGNAL_SOURCE_CHANGED) once its bytes have gone out: the host must say that the output is
   wrong. */
#if !defined(_WIN32) || defined(_WIN64)
#define UUARC_OUTPUT_STDOUT ":stdout:"
#define UUARC_OUTPUT_NULL ":null:"
#endif
/* The output file (native builds and the 64-bit DLL; the 32-bit DLL knows no such name). An output
   path that is UUARC_OUTPUT_FILE followed by a path that does not end in "\" or "/" names the
   output file itself, until another output path is set; the whole setting is at most 255 bytes.
   Extraction writes the decoded file there whatever the stored name says: the stored name is no
   part of the path, so neither its length nor its path rules count (SetFileNameProc still gets
   "\" + stored name, then this path). A creation on a new, unnamed archive (CreateArcFile with an
   empty path) writes its encoded file there, an existing file included; CreateArcFile(path) names
   a new target as before. The file is made, asked about and replaced as every output is (see
   Extraction); the directories of its path are taken as they resolve, and missing ones are made. */
#if !defined(_WIN32) || defined(_WIN64)
#define UUARC_OUTPUT_FILE ":file:"
#endif
#define UUARC_SIGNAL_OUTPUT_OPEN 2
#define UUARC_SIGNAL_BYTES_DELIVERED 3
#define UUARC_SIGNAL_SOURCE_CHANGED 4 /* creation, before status 5: see CompressFileMaskListArc */
/* With UUARC_OPTION_EVERY_FILE (so never from the 32-bit DLL): an entry that the masks selected is
   done; the length argument is its own status (0, 5, 2926, 9964, 101). See Extraction. */
#if defined(UUARC_OPTION_EVERY_FILE)
#define UUARC_SIGNAL_ENTRY_DONE 5
#endif

/* ---- Facts (native build and the 64-bit DLL) ----------------------------------------------
   With UUARC_OPTION_FACTS on, the module says why an operation failed where its status alone
   cannot: where and why its reading of the archive stopped (9974, 9964), and which rule a stored
   name breaks (5). The facts come from the code that read the archive, so a host needs no reader
   of its own to explain a status. Without the bit, and always in the 32-bit DLL, none of these
   codes is ever passed.

   A fact comes through SetSignalProc as a few calls in a row, one field each: the field's code
   and its value in the 64-bit argument. First come the fields that the fact's kind has, in the
   order of the codes below and each once; then UUARC_SIGNAL_FACT with the kind closes it. The
   fields passed since the previous UUARC_SIGNAL_FACT (or since the export began) are the fact's
   own; a field that the kind does not list is not passed. An export closes at most one fact that
   explains its status, just before it returns (with UUARC_OPTION_EVERY_FILE, one for each entry
   that fails, before its UUARC_SIGNAL_ENTRY_DONE), and before it, when the text says so, the fact
   UUARC_FACT_PART that puts it in context. An extraction or a creation that makes a new file
   closes UUARC_FACT_NEW_OUTPUT as soon as it is made. BuildArcFileList besides closes one
   UUARC_FACT_ENTRY_MODE for each entry it makes, in the order of the list, as it makes it: what
   the list's fixed records have no field for. Facts of other kinds may come later through the
   same codes, so a host passes over a kind that it does not know.
     UUARC_SIGNAL_FACT_LINE       a line of the archive, 1 for its first. Lines end at LF, CR LF
                                  or a CR alone, as the module reads them; empty lines count.
     UUARC_SIGNAL_FACT_CHARACTER  a byte of the archive, 0 to 255
     UUARC_SIGNAL_FACT_COUNT      what the module found: bytes decoded, characters on a line
     UUARC_SIGNAL_FACT_EXPECTED   what the archive says there should be
     UUARC_SIGNAL_FACT_RULE       the rule that a stored name breaks, a UUARC_NAME_ value
     UUARC_SIGNAL_FACT_SPAN       the part of the stored name (as SetFileNameProc gave it, after
                                  its "\") that breaks the rule: first byte << 16 | length
     UUARC_SIGNAL_FACT_MODE       the mode of a begin line, its low twelve bits (0644 for
                                  "begin 644"): permission bits, setuid, setgid and sticky
     UUARC_SIGNAL_FACT_PART       which part of a split posting the text is, 1 for the first
     UUARC_SIGNAL_FACT_PARTS      how many parts the posting has, 2 or more
     UUARC_SIGNAL_FACT_VOLUME     the volume of a file: Linux its device (st_dev), Windows its
                                  volume serial number
     UUARC_SIGNAL_FACT_INDEX      the file on that volume: Linux its inode, Windows its file index
     UUARC_SIGNAL_FACT            the kind, a UUARC_FACT_ value; the fact is whole
   The kinds, the status each explains, and their fields:
     UUARC_FACT_NO_BEGIN_LINE      9974 (9964 from BuildArcFileList): no begin line at all
     UUARC_FACT_TABLE_WITHOUT_BLOCK  9974: a line that is "table" alone is followed by no block of
                                   64 different characters. LINE: that line
     UUARC_FACT_BAD_CHARACTER      9964: a character outside the data's alphabet (the length
                                   character, a character of the groups that carries data, a
                                   base64 character). LINE, CHARACTER
     UUARC_FACT_SHORT_LINE         9964: a data line that ends before the characters its length
                                   character asks for, where no blanks can have been stripped.
                                   LINE; COUNT: the characters it has; EXPECTED: those asked for
     UUARC_FACT_NO_END_LINE        9964: the text ends before the end line ("end", or "====")
     UUARC_FACT_AMBIGUOUS_END      9964: an end line that is a whole data line too, with data
                                   lines after it up to another end line. LINE: the first one
     UUARC_FACT_SIZE_MISMATCH      9964: the header that this module writes states another
                                   decoded size. COUNT: the bytes decoded; EXPECTED: the header's
     UUARC_FACT_MISPLACED_PADDING  9964: a base64 "=" in the first or second place of a group.
                                   LINE
     UUARC_FACT_AFTER_PADDING      9964: a base64 character after the "=" that ended the data.
                                   LINE, CHARACTER
     UUARC_FACT_UNFINISHED_GROUP   9964: the base64 data ends inside a group of four. LINE: the
                                   "====" line
     UUARC_FACT_NAME_REFUSED       5: extraction refuses the stored name. RULE, SPAN. Before the
                                   fact, SetFileNameProc gets "\" + the stored name and "" for
                                   the output that is never made.
     UUARC_FACT_ENTRY_MODE         no status: BuildArcFileList has made the next entry of the
                                   list. MODE: its begin line's. When the listing then fails,
                                   these facts name no entry.
     UUARC_FACT_PART               right before UUARC_FACT_NO_BEGIN_LINE or UUARC_FACT_NO_END_LINE:
                                   the text marks itself as one part of a posting split over
                                   several ("Part 2 of 3", "part 2/3", "section 2 of 3", "[2/3]"
                                   in the free text before its begin line, or anywhere in a text
                                   without one; any case), so the rest of the file is in the
                                   others. PART, PARTS. The file: where the marker names it
                                   ("... of file NAME", as uuenview writes), SetFileNameProc gets
                                   "\" + NAME and the entry's output ("" when none was opened)
                                   just before the fact's fields; otherwise it is the entry that
                                   SetFileNameProc named last in this export (its begin line), or,
                                   with no entry named, the archive itself.
     UUARC_FACT_NEW_OUTPUT         no status: the output file that the module has just made where
                                   nothing was (before UUARC_SIGNAL_OUTPUT_OPEN when extracting).
                                   VOLUME, INDEX: which file it is, so that a host that removes
                                   it when its run is cut short removes that file and no other,
                                   without asking the system again */
#if !defined(_WIN32) || defined(_WIN64)
#define UUARC_SIGNAL_FACT 6
#define UUARC_SIGNAL_FACT_LINE 7
#define UUARC_SIGNAL_FACT_CHARACTER 8
#define UUARC_SIGNAL_FACT_COUNT 9
#define UUARC_SIGNAL_FACT_EXPECTED 10
#define UUARC_SIGNAL_FACT_RULE 11
#define UUARC_SIGNAL_FACT_SPAN 12
#define UUARC_SIGNAL_FACT_MODE 13
#define UUARC_SIGNAL_FACT_PART 14
#define UUARC_SIGNAL_FACT_PARTS 15
#define UUARC_SIGNAL_FACT_VOLUME 16
#define UUARC_SIGNAL_FACT_INDEX 17

#define UUARC_FACT_NO_BEGIN_LINE 1
#define UUARC_FACT_TABLE_WITHOUT_BLOCK 2
#define UUARC_FACT_BAD_CHARACTER 3
#define UUARC_FACT_SHORT_LINE 4
#define UUARC_FACT_NO_END_LINE 5
#define UUARC_FACT_AMBIGUOUS_END 6
#define UUARC_FACT_SIZE_MISMATCH 7
#define UUARC_FACT_MISPLACED_PADDING 8
#define UUARC_FACT_AFTER_PADDING 9
#define UUARC_FACT_UNFINISHED_GROUP 10
#define UUARC_FACT_NAME_REFUSED 11
#define UUARC_FACT_ENTRY_MODE 12
#define UUARC_FACT_PART 13
#define UUARC_FACT_NEW_OUTPUT 14

/* The rules of a stored name that extraction puts below the output path (the part it takes: the
   file name alone, or with keep-paths the whole name less a leading separator and the base
   path's length). */
#define UUARC_NAME_EMPTY 1             /* no file name */
#define UUARC_NAME_ROOTED 2            /* an absolute path */
#define UUARC_NAME_COLON 3             /* a ':' names a drive or a stream (Windows) */
#define UUARC_NAME_DOT_COMPONENT 4     /* a component of dots and spaces alone, ".." */
#define UUARC_NAME_DEVICE 5            /* CON, NUL, COM1, ... with any extension (Windows) */
#define UUARC_NAME_ENDS_IN_SEPARATOR 6 /* it names a folder */
#define UUARC_NAME_CUT 7               /* its ANSI form did not fit the module's 255 bytes */
#define UUARC_NAME_PATH_TOO_LONG 8     /* the output path would pass UUARC_MAX_OUTPUT_PATH */
#endif
UUARC_API void UUARC_CALL SetDecompExtraFeatures(const DecompExtraFeatures* record);  /* 24 */
UUARC_API void UUARC_CALL SetCompExtraFeatures(const CompExtraFeatures* record);   /* 22 */

/* ---- Mask lists ----------------------------------------------------------------------------
   InitFileMaskList(list) empties the host's head (two null pointers). AppendFileMask(mask, list)
   splits the mask into directory, name and extension, appends a node that the module allocates
   and answers 1; it answers 0 for a null mask or list or a mask over 255 bytes (status and list
   untouched) and 0 with status 8 when memory runs out. DoneFileMaskList(list) frees every node and
   empties the head. InitFileMaskList and DoneFileMaskList do nothing with a null list. The masks
   match names as the host's wildcards do ("*", "?", case-insensitive). */
UUARC_API void UUARC_CALL InitFileMaskList(FileMaskList* list);                    /* 20 */
UUARC_API uint8_t UUARC_CALL AppendFileMask(const char* mask, FileMaskList* list);  /*  2 */
UUARC_API void UUARC_CALL DoneFileMaskList(FileMaskList* list);                    /* 13 */

/* ---- Extraction ----------------------------------------------------------------------------
   ExtractFileMaskListArc(list): a null list gives 5; an empty list (null head), or masks that do
   not select the stored name, give 0. Either way nothing is opened and no callback fires.
   Otherwise, in this order:
   SetFileNameProc ("\" + stored name, output path); the archive is read again and
   SetFileNameProc is called once more with the same names; OkToReplaceProc when the output file
   exists; SetSignalProc (archive length, 2) once the output is open; SetProgressProc after data
   lines, about once per hundredth of the archive's length. OkToReplaceProc is asked about a
   symbolic link at the output as about a file: a yes ends with 5 (a link is never written
   through), a no with 2926. An existing output is replaced through a new file beside it that
   takes its name only at the end; where a rename would make another file of it (a second hard
   link, a folder where names cannot be made) the new content is made whole in a private file
   first (beside it, else in the system's temporary folder) and then copied over it, with the
   signals that end a POSIX process held for the copy. So a failure (5, 101) or a refusal (2926)
   before that copy leaves the old file as it was; a failure during it leaves the file cut short.
   A new file (POSIX) is made writable by its owner and gets the begin line's mode (less setuid,
   setgid, sticky and the umask; see UUARC_OPTION_NO_MODE) on the open file at the end. Statuses: 9974 no begin line, or a line "table" alone
   before it that no alphabet block follows; 5 archive unreadable, unsafe stored
   name (leaving the output path, a device name), output not creatable or not a regular file,
   a refused setting; 2926; 9964 damaged data (the bytes before the damaged line are kept; a data
   line cut short is damage unless blanks can have been stripped from the archive, which is then
   read a second time to tell, before that line's bytes are written); 101 a write
   failed (decoding stops at once, the bytes written before stay, and damage or a missing "end"
   line met before the failure showed does not turn it into 9964). With UUARC_OPTION_FACTS, 9974,
   9964 and an unsafe stored name come with their fact, just before the export returns; the
   fact's line is counted by reading the archive once more.
   With UUARC_OPTION_EVERY_FILE the text is read once, from the start, and every entry that the
   masks select goes through the steps above in turn, as if it were the one file: its two
   SetFileNameProc calls, OkToReplaceProc when its output exists (a second entry of the same name
   is asked about the file that the first one made), SetSignalProc (length, 2) when its output is
   open, its own progress reports, and for a sink SetSignalProc (bytes, 3). For an entry, the
   length is the text's length less the bytes up to the end of its begin line (how long the entry
   is shows only once it is decoded); progress counts from there, and the replace question's
   estimate is that length * 10 / 14 (57 / 77 for base64). Then SetSignalProc (status, 5:
   UUARC_SIGNAL_ENTRY_DONE) gives the entry's own status, after everything else of the entry (its
   fact too, with UUARC_OPTION_FACTS), also when it was refused before any other callback (an
   unsafe stored name: 5). A failed entry does
   not keep the next from being extracted: its data is passed over up to what ends it. An entry
   that the masks do not select makes no callback. The call ends with the status of the first
   entry that failed, 0 when none did, 9974 when the text holds no begin line at all, and 5 when
   it cannot be read; those two before any callback (but for the fact of 9974). */
UUARC_API void UUARC_CALL ExtractFileMaskListArc(FileMaskList* list);              /* 14 */

/* ---- Creation ------------------------------------------------------------------------------
   CompressFileMaskListArc(list) encodes the one source that the list's single mask names (the
   source prefix in front unless UUARC_OPTION_NO_SOURCE_PREFIX is on) into the archive named by
   CreateArcFile (or, for an unnamed one, the output file, UUARC_OUTPUT_FILE, or a sink,
   UUARC_OUTPUT_STDOUT and UUARC_OUTPUT_NULL, where the output path names one). Status 0 and nothing
   for an empty list; 9901 without a new archive, when the target is the source, or when it holds
   a begin line (unless UUARC_OPTION_REPLACE_ENCODED is on); 9907 for two masks or more; 5, before
   anything is made, when the name to store (the source's last component) would not come back from
   a begin line as it went in: it holds a control byte (0x01 to 0x1F, 0x7F), starts or ends with a
   blank, or is longer than UUARC_MAX_STORED_NAME bytes as stored. Then SetFileNameProc (source
   path, "\" + entry name); 9908 for a directory; 5 when the source cannot be read or is no regular
   file; SetFileNameProc (source path, target path); 5 when the target is no regular file nor link;
   OkToReplaceProc when the target exists (2926 keeps it; a link then gives 5); SetProgressProc
   after data lines. The target is made and replaced as extraction makes its output.
   The decoded size in the header is the number of bytes encoded: a source that the module's buffer
   (128 KiB; 256 KiB in the 32-bit DLL) holds whole is counted as read, whatever size the system
   reports for it (a /proc or sysfs file); a longer one must hold the size that the system reports,
   at the start and to the end. When it does not (it changed while it was read, or its size is not
   reported truly), or a read fails, creation ends with 5 and leaves no new file: a new target is
   removed, an existing one stays as it was. The native and 64-bit builds call SetSignalProc first
   with the bytes read and the code UUARC_SIGNAL_SOURCE_CHANGED, so that a host can say why.
   101 when a line cannot be written: a new target keeps what was written, a replaced one stays
   as it was. A null list gives 5 before anything else. */
UUARC_API void UUARC_CALL CompressFileMaskListArc(FileMaskList* list);             /*  5 */

/* ---- Not supported -------------------------------------------------------------------------
   The nine operations this format does not have read no argument and set status 32770;
   DeleteFileMaskListArc sets 9902. SetCryptKey and SetSetCryptKeyProc do nothing at all. */
UUARC_API void UUARC_CALL AddDamageProtXionArc(uint32_t ignored);                  /*  1 */
UUARC_API void UUARC_CALL BuildUnDamagedArc(uint32_t ignored);                     /*  4 */
UUARC_API void UUARC_CALL CreateArcSfx2(uint32_t ignored);                         /*  7 */
UUARC_API void UUARC_CALL CreateDirectoryArc(uint32_t ignored);                    /*  8 */
UUARC_API void UUARC_CALL CreateExeArc(uint32_t ignored);                          /*  9 */
UUARC_API void UUARC_CALL SetFileCommentsArc(uint32_t ignored);                    /* 25 */
UUARC_API void UUARC_CALL SetMainCommentArc(uint32_t ignored);                     /* 27 */
UUARC_API void UUARC_CALL StripDamageProtXionArc(uint32_t ignored);                /* 37 */
UUARC_API void UUARC_CALL TestArc(uint32_t ignored);                               /* 38 */
UUARC_API void UUARC_CALL DeleteFileMaskListArc(uint32_t ignored);                 /* 10 */
UUARC_API void UUARC_CALL SetCryptKey(uint32_t ignored1, uint32_t ignored2);       /* 23 */
UUARC_API void UUARC_CALL SetSetCryptKeyProc(uint32_t ignored1, uint32_t ignored2);  /* 30 */

/* ---- Layout checks -------------------------------------------------------------------------
   An array of negative size when a check fails: C99 and C++ alike refuse it. The left column holds
   for the 32-bit build (the host interface's layout), the right one for every 64-bit build.

   record                   32-bit        64-bit
   ArcFileList              size 12       size 24    first 4 / 8, last 8 / 16
   ArcFileEntry             size 496      size 504   name 4 / 8, first_size 280 / 288,
                                                     second_size 288 / 296, dos_date_time 296 / 304,
                                                     attributes 300 / 308, fixed_12 304 / 312,
                                                     zero_320 320 / 328, fixed_1 332 / 340,
                                                     zero_444 444 / 452
   ArcExtraInfo             size 384      size 384   (no pointers: the same offsets)
   FileMask                 size 520      size 528   name 4 / 8, extension 260 / 264, next 516 / 520
   FileMaskList             size 8        size 16    tail 4 / 8
   DecompExtraFeatures      size 1420     size 1420  (no pointers: the same offsets)
   CompExtraFeatures        size 1424     size 1424  (no pointers: the same offsets)
   FindData                 size 320      size 320   (no pointers: the same offsets) */
#define UUARC_CHECK_JOIN2(a, b) a##b
#define UUARC_CHECK_JOIN(a, b) UUARC_CHECK_JOIN2(a, b)
#define UUARC_CHECK(condition) \
    typedef char UUARC_CHECK_JOIN(uuarc_layout_check_, __LINE__)[(condition) ? 1 : -1]
/* The offset or size in the 32-bit build, and in a 64-bit one. */
#define UUARC_BY_WIDTH(bits32, bits64) (sizeof(void*) == 4 ? (bits32) : (bits64))
#define UUARC_CHECK_OFFSET(type, field, at32, at64) \
    UUARC_CHECK(offsetof(type, field) == UUARC_BY_WIDTH(at32, at64))
#define UUARC_CHECK_SIZE(type, size32, size64) UUARC_CHECK(sizeof(type) == UUARC_BY_WIDTH(size32, size64))

UUARC_CHECK(sizeof(void*) == 4 || sizeof(void*) == 8);
UUARC_CHECK(sizeof(UserData) == sizeof(void*));
UUARC_CHECK_SIZE(ArcFileList, 12, 24);
UUARC_CHECK_OFFSET(ArcFileList, first, 4, 8);
UUARC_CHECK_OFFSET(ArcFileList, last, 8, 16);
UUARC_CHECK_SIZE(ArcFileEntry, 496, 504);
UUARC_CHECK_OFFSET(ArcFileEntry, name, 4, 8);
UUARC_CHECK_OFFSET(ArcFileEntry, first_size, 280, 288);
UUARC_CHECK_OFFSET(ArcFileEntry, second_size, 288, 296);
UUARC_CHECK_OFFSET(ArcFileEntry, dos_date_time, 296, 304);
UUARC_CHECK_OFFSET(ArcFileEntry, attributes, 300, 308);
UUARC_CHECK_OFFSET(ArcFileEntry, fixed_12, 304, 312);
UUARC_CHECK_OFFSET(ArcFileEntry, zero_320, 320, 328);
UUARC_CHECK_OFFSET(ArcFileEntry, fixed_1, 332, 340);
UUARC_CHECK_OFFSET(ArcFileEntry, zero_444, 444, 452);
UUARC_CHECK_SIZE(ArcExtraInfo, 384, 384);
UUARC_CHECK_OFFSET(ArcExtraInfo, fixed_2, 8, 8);
UUARC_CHECK_OFFSET(ArcExtraInfo, zero_28, 28, 28);
UUARC_CHECK_OFFSET(ArcExtraInfo, fixed_1b, 36, 36);
UUARC_CHECK_OFFSET(ArcExtraInfo, first_size_total, 40, 40);
UUARC_CHECK_OFFSET(ArcExtraInfo, second_size_total, 48, 48);
UUARC_CHECK_OFFSET(ArcExtraInfo, ratio, 56, 56);
UUARC_CHECK_SIZE(FileMaskList, 8, 16);
UUARC_CHECK_OFFSET(FileMaskList, tail, 4, 8);
UUARC_CHECK_SIZE(FileMask, 520, 528);
UUARC_CHECK_OFFSET(FileMask, name, 4, 8);
UUARC_CHECK_OFFSET(FileMask, extension, 260, 264);
UUARC_CHECK_OFFSET(FileMask, next, 516, 520);
UUARC_CHECK_SIZE(DecompExtraFeatures, 1420, 1420);
UUARC_CHECK_OFFSET(DecompExtraFeatures, keep_paths, 4, 4);
UUARC_CHECK_OFFSET(DecompExtraFeatures, base_path, 832, 832);
UUARC_CHECK_OFFSET(DecompExtraFeatures, output_path, 1104, 1104);
UUARC_CHECK_SIZE(CompExtraFeatures, 1424, 1424);
UUARC_CHECK_OFFSET(CompExtraFeatures, base_path, 896, 896);
UUARC_CHECK_OFFSET(CompExtraFeatures, source_prefix, 1168, 1168);
UUARC_CHECK_SIZE(FindData, 320, 320);
UUARC_CHECK_OFFSET(FindData, creation_time, 4, 4);
UUARC_CHECK_OFFSET(FindData, last_access_time, 12, 12);
UUARC_CHECK_OFFSET(FindData, last_write_time, 20, 20);
UUARC_CHECK_OFFSET(FindData, size_high, 28, 28);
UUARC_CHECK_OFFSET(FindData, size_low, 32, 32);
UUARC_CHECK_OFFSET(FindData, file_name, 44, 44);
UUARC_CHECK_OFFSET(FindData, alternate_name, 304, 304);

#endif /* UUARC_H */
