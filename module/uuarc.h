// uuarc.h - the module's boundary: the records that the host reads by offset, the host callback
// types and the 41 exports. This is the only header a host (ours in host/, the Wine test suite)
// needs; it pulls in nothing of the module's internals.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define UUARC_CALL __stdcall
#if defined(UUARC_BUILDING)
#define UUARC_API extern "C"
#else
#define UUARC_API extern "C" __declspec(dllimport)
#endif
#else
#define UUARC_CALL
#define UUARC_API extern "C" __attribute__((visibility("default")))
#endif

// ---- Records at the boundary ----------------------------------------------------------------
// Little-endian, laid out for 32-bit x86. On a 64-bit build the pointers widen and the field
// order stays; the offsets are checked for the 32-bit build at the end of this header.

struct ArcFileEntry {
    ArcFileEntry* next;          // null in the last entry
    char name[276];              // stored name, ANSI code page, zero-padded
    int64_t first_size;          // estimated decoded size
    int64_t second_size;         // the same estimate
    uint32_t dos_date_time;      // last write of the encoded file: date << 16 | time, local time
    uint32_t attributes;         // attribute word of the encoded file
    uint32_t fixed_12;           // always 12
    uint8_t reserved1[12];
    uint32_t zero_320;
    uint32_t zero_324;
    uint32_t zero_328;
    uint32_t fixed_1;            // always 1
    uint8_t reserved2[108];
    uint32_t zero_444;
    uint8_t reserved3[48];
};

struct ArcFileList {
    uint32_t count;
    ArcFileEntry* first;
    ArcFileEntry* last;
};

struct ArcExtraInfo {
    uint32_t fixed_11;           // always 11
    uint32_t fixed_1a;           // always 1
    uint32_t fixed_2;            // always 2
    uint32_t zero_12;
    uint8_t reserved1[12];
    uint32_t zero_28;
    uint32_t zero_32;
    uint32_t fixed_1b;           // always 1
    int64_t first_size_total;
    int64_t second_size_total;
    int32_t ratio;               // 100 * first total / second total
    uint8_t reserved2[324];
};

struct FileMask {
    char* directory;             // drive and directory, a separately allocated string
    char name[256];
    char extension[256];         // without its dot
    FileMask* next;
};

struct FileMaskList {
    FileMask* head;
    FileMask* tail;
};

// The host's feature records; the module reads only the named fields.
struct DecompExtraFeatures {
    uint32_t reserved0;
    int32_t keep_paths;          // 0 drops the stored directories
    uint8_t reserved1[824];
    char base_path[272];
    char output_path[316];
};

struct CompExtraFeatures {
    uint8_t reserved0[896];
    char base_path[272];
    char source_prefix[256];
};

// A 64-bit FILETIME (100 ns since 1601, UTC) as two 32-bit halves, low half first.
struct FileTime {
    uint32_t low;
    uint32_t high;
};

// The layout of WIN32_FIND_DATAA: what OkToReplaceProc receives for both files.
struct FindData {
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
};

// ---- Host callbacks -------------------------------------------------------------------------
// Every callback gets the user-data word registered with it as its first argument. Only the
// result of OkToReplaceProc is used: 0 means replace the existing file.
typedef int32_t(UUARC_CALL* SetFileNameProc)(uint32_t user, const char* source, const char* target);
typedef int32_t(UUARC_CALL* SetProgressProc)(uint32_t user, int32_t percent, int32_t bytes);
typedef int32_t(UUARC_CALL* OkToReplaceProc)(uint32_t user, FindData* existing, FindData* incoming);
typedef int32_t(UUARC_CALL* SetSignalProc)(uint32_t user, int64_t length, int32_t code);
// The four callbacks that the module accepts and never calls; their types are the host's.
typedef void* OtherProc;

// ---- Exports, in ordinal order --------------------------------------------------------------
// The not-supported operations take one 32-bit argument and read none; the crypt-key pair takes
// two. Results of void exports carry nothing for the host.
UUARC_API void UUARC_CALL AddDamageProtXionArc(uint32_t ignored);                 //  1
UUARC_API uint8_t UUARC_CALL AppendFileMask(const char* mask, FileMaskList* list);  //  2
UUARC_API void UUARC_CALL BuildArcFileList(ArcFileList* list);                    //  3
UUARC_API void UUARC_CALL BuildUnDamagedArc(uint32_t ignored);                    //  4
UUARC_API void UUARC_CALL CompressFileMaskListArc(FileMaskList* list);            //  5
UUARC_API void UUARC_CALL CreateArcFile(const char* path);                        //  6
UUARC_API void UUARC_CALL CreateArcSfx2(uint32_t ignored);                        //  7
UUARC_API void UUARC_CALL CreateDirectoryArc(uint32_t ignored);                   //  8
UUARC_API void UUARC_CALL CreateExeArc(uint32_t ignored);                         //  9
UUARC_API void UUARC_CALL DeleteFileMaskListArc(uint32_t ignored);                // 10
UUARC_API void UUARC_CALL DoneArcFile();                                          // 11
UUARC_API void UUARC_CALL DoneArcFileList(ArcFileList* list);                     // 12
UUARC_API void UUARC_CALL DoneFileMaskList(FileMaskList* list);                   // 13
UUARC_API void UUARC_CALL ExtractFileMaskListArc(FileMaskList* list);             // 14
UUARC_API uint16_t UUARC_CALL GetArchiveStatus();                                 // 15
UUARC_API void UUARC_CALL GetExtraInfoArc(ArcExtraInfo* buffer);                  // 16
UUARC_API void UUARC_CALL GetMainCommentArc(void* record);                        // 17
UUARC_API void UUARC_CALL InitArcFile(const char* path);                          // 18
UUARC_API void UUARC_CALL InitArcFileList(ArcFileList* list);                     // 19
UUARC_API void UUARC_CALL InitFileMaskList(FileMaskList* list);                   // 20
UUARC_API uint16_t UUARC_CALL SetArchiveStatus(uint32_t value);                   // 21
UUARC_API void UUARC_CALL SetCompExtraFeatures(const CompExtraFeatures* record);  // 22
UUARC_API void UUARC_CALL SetCryptKey(uint32_t ignored1, uint32_t ignored2);      // 23
UUARC_API void UUARC_CALL SetDecompExtraFeatures(const DecompExtraFeatures* record);  // 24
UUARC_API void UUARC_CALL SetFileCommentsArc(uint32_t ignored);                   // 25
UUARC_API void UUARC_CALL SetGetNextDiskProc(uint32_t user, OtherProc proc);      // 26
UUARC_API void UUARC_CALL SetMainCommentArc(uint32_t ignored);                    // 27
UUARC_API void UUARC_CALL SetOkToReplaceProc(uint32_t user, OkToReplaceProc proc);  // 28
UUARC_API void UUARC_CALL SetOutputPath(const char* path);                        // 29
UUARC_API void UUARC_CALL SetSetCryptKeyProc(uint32_t ignored1, uint32_t ignored2);  // 30
UUARC_API void UUARC_CALL SetSetFileNameProc(uint32_t user, SetFileNameProc proc);  // 31
UUARC_API void UUARC_CALL SetSetProgressProc(uint32_t user, SetProgressProc proc);  // 32
UUARC_API void UUARC_CALL SetSetSfxProgressProc(uint32_t user, OtherProc proc);   // 33
UUARC_API void UUARC_CALL SetSetSignalProc(uint32_t user, SetSignalProc proc);    // 34
UUARC_API void UUARC_CALL SetSetWarningProc(uint32_t user, OtherProc proc);       // 35
UUARC_API void UUARC_CALL SetSkipFileProc(uint32_t user, OtherProc proc);         // 36
UUARC_API void UUARC_CALL StripDamageProtXionArc(uint32_t ignored);               // 37
UUARC_API void UUARC_CALL TestArc(uint32_t ignored);                              // 38
UUARC_API int32_t UUARC_CALL arOptionsAreOn(uint32_t mask);                       // 39
UUARC_API uint16_t UUARC_CALL arOptionsOff(uint32_t mask);                        // 40
UUARC_API uint16_t UUARC_CALL arOptionsOn(uint32_t mask);                         // 41

// ---- Layout checks --------------------------------------------------------------------------
#define UUARC_CHECK_OFFSET(type, field, offset) \
    static_assert(sizeof(void*) != 4 || offsetof(type, field) == (offset), #type "." #field)
#define UUARC_CHECK_SIZE(type, size) \
    static_assert(sizeof(void*) != 4 || sizeof(type) == (size), "size of " #type)

UUARC_CHECK_SIZE(ArcFileList, 12);
UUARC_CHECK_OFFSET(ArcFileList, first, 4);
UUARC_CHECK_OFFSET(ArcFileList, last, 8);
UUARC_CHECK_SIZE(ArcFileEntry, 496);
UUARC_CHECK_OFFSET(ArcFileEntry, name, 4);
UUARC_CHECK_OFFSET(ArcFileEntry, first_size, 280);
UUARC_CHECK_OFFSET(ArcFileEntry, second_size, 288);
UUARC_CHECK_OFFSET(ArcFileEntry, dos_date_time, 296);
UUARC_CHECK_OFFSET(ArcFileEntry, attributes, 300);
UUARC_CHECK_OFFSET(ArcFileEntry, fixed_12, 304);
UUARC_CHECK_OFFSET(ArcFileEntry, zero_320, 320);
UUARC_CHECK_OFFSET(ArcFileEntry, fixed_1, 332);
UUARC_CHECK_OFFSET(ArcFileEntry, zero_444, 444);
UUARC_CHECK_SIZE(ArcExtraInfo, 384);
UUARC_CHECK_OFFSET(ArcExtraInfo, fixed_2, 8);
UUARC_CHECK_OFFSET(ArcExtraInfo, zero_28, 28);
UUARC_CHECK_OFFSET(ArcExtraInfo, fixed_1b, 36);
UUARC_CHECK_OFFSET(ArcExtraInfo, first_size_total, 40);
UUARC_CHECK_OFFSET(ArcExtraInfo, second_size_total, 48);
UUARC_CHECK_OFFSET(ArcExtraInfo, ratio, 56);
UUARC_CHECK_SIZE(FileMaskList, 8);
UUARC_CHECK_SIZE(FileMask, 520);
UUARC_CHECK_OFFSET(FileMask, name, 4);
UUARC_CHECK_OFFSET(FileMask, extension, 260);
UUARC_CHECK_OFFSET(FileMask, next, 516);
UUARC_CHECK_SIZE(DecompExtraFeatures, 1420);
UUARC_CHECK_OFFSET(DecompExtraFeatures, keep_paths, 4);
UUARC_CHECK_OFFSET(DecompExtraFeatures, base_path, 832);
UUARC_CHECK_OFFSET(DecompExtraFeatures, output_path, 1104);
UUARC_CHECK_OFFSET(CompExtraFeatures, base_path, 896);
UUARC_CHECK_OFFSET(CompExtraFeatures, source_prefix, 1168);
UUARC_CHECK_SIZE(FindData, 320);
UUARC_CHECK_OFFSET(FindData, creation_time, 4);
UUARC_CHECK_OFFSET(FindData, last_access_time, 12);
UUARC_CHECK_OFFSET(FindData, last_write_time, 20);
UUARC_CHECK_OFFSET(FindData, size_high, 28);
UUARC_CHECK_OFFSET(FindData, size_low, 32);
UUARC_CHECK_OFFSET(FindData, file_name, 44);
UUARC_CHECK_OFFSET(FindData, alternate_name, 304);
