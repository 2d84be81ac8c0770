// archive.cpp - opening, creating and closing the archive, and the listing records.
//
// The archive is closed (empty path, flag 0), open (an encoded file, flag 0), new and named (the
// file to be created, flag 1) or new and unnamed (empty path, flag 1).
#include <cstring>

#include "format/entries.h"
#include "format/header.h"
#include "module/module_state.h"
#include "names/strings.h"
#include "operations/facts.h"
#include "uuarc_status.h"

namespace uuarc {

// The last write of the open file as DOS date << 16 | time, local time; false when unknown.
bool FileDosDateTime(FileHandle file, uint32_t* date_time) { return HandleDosDateTime(file, date_time); }

// The attribute word of the file; false when the platform cannot tell.
bool FileAttributes(const char* path, uint32_t* attributes) { return PathAttributes(path, attributes); }

namespace {

// Totals that large are halved together until the product with 100 is safe; the ratio stays.
constexpr int64_t kRatioHalvingLimit = 0x1400000;

int32_t CompressionRatio(int64_t first_total, int64_t second_total) {
    while (first_total >= kRatioHalvingLimit) {
        first_total >>= 1;
        second_total >>= 1;
    }
    if (second_total == 0) return 0;
    return static_cast<int32_t>(first_total * 100 / second_total);
}

void ForgetArchive(uint32_t new_archive) {
    std::memset(g_state.settings.archive_path, 0, sizeof g_state.settings.archive_path);
    g_state.settings.new_archive = new_archive;
}

void RememberArchive(const char* path, uint32_t new_archive) {
    ForgetArchive(new_archive);
    std::memcpy(g_state.settings.archive_path, path, std::strlen(path));
}

// The header scan of the archive at `path`, as ScanArchiveHeader; when it finds no begin line and
// `tell` is set, a host that asked for facts hears why. With `hold`, an archive with a begin line
// stays open (see ReleaseHeldArchive).
uint16_t ScanAndTell(const char* path, char* name, int64_t* size, bool tell, uint32_t* mode = nullptr,
                     bool hold = false) {
    BeginLine begin;
    const auto scan = hold ? OpenAndScanArchive : ScanArchiveHeader;
    const uint16_t scanned = scan(g_state.alphabet, g_state.input, path, name, size, nullptr, &begin);
    if (scanned == kStatusOk && mode != nullptr) *mode = begin.mode;
    if (scanned == kStatusBadFormat && tell) {
        Job job = MakeJob();
        TellFact(job, path, NoBeginLineFact(begin));
    }
    return scanned;
}

// The date, time and attributes of the archive that every entry shows. False when it cannot be
// opened (status 5 for the caller).
bool ArchiveFileInfo(uint32_t* date_time, uint32_t* attributes) {
    const FileHandle file = OpenFileForInfo(g_state.settings.archive_path);
    if (file == kNoHandle) return false;
    if (!FileDosDateTime(file, date_time)) *date_time = 0;
    CloseFileHandle(file);
    if (!FileAttributes(g_state.settings.archive_path, attributes)) *attributes = 0;
    return true;
}

// A new entry from the module's heap, zeroed and filled in; null when memory runs out.
ArcFileEntry* NewEntry(const char* name, int64_t size, uint32_t date_time, uint32_t attributes) {
    void* block = nullptr;
    if (!AllocBlock(&block, sizeof(ArcFileEntry))) return nullptr;
    ArcFileEntry* entry = static_cast<ArcFileEntry*>(block);
    std::memset(entry, 0, sizeof *entry);
    std::memcpy(entry->name, name, strnlen(name, sizeof entry->name - 1));
    entry->first_size = size;
    entry->second_size = size;
    entry->dos_date_time = date_time;
    entry->attributes = attributes;
    entry->fixed_12 = 12;
    entry->fixed_1 = 1;
    return entry;
}

// Links the chain `first` .. `last` of `count` entries to the end of the list.
void AppendEntries(ArcFileList* list, ArcFileEntry* first, ArcFileEntry* last, uint32_t count) {
    if (list->first == nullptr) {
        list->first = first;
    } else {
        list->last->next = first;
    }
    list->count += count;
    list->last = last;
}

// The summary of a listing whose entries' estimates total `total`.
void RebuildExtraInfo(int64_t total) {
    ArcExtraInfo& info = g_state.extra_info;
    std::memset(&info, 0, sizeof info);
    info.fixed_11 = 11;
    info.fixed_1a = 1;
    info.fixed_2 = 2;
    info.fixed_1b = 1;
    info.first_size_total = total;
    info.second_size_total = total;
    info.ratio = CompressionRatio(info.first_size_total, info.second_size_total);
}

#if defined(UUARC_OPTION_EVERY_FILE)
// BuildArcFileList under UUARC_OPTION_EVERY_FILE: one entry per file of the text, each estimated
// from its own data lines, all with the text's date, time and attributes, linked to the list only
// once all are made; the summary sums them.
void BuildEveryEntry(ArcFileList* list) {
    Stream& input = g_state.input;
    // The date and attributes every entry shows come from the archive that is open: a held one as
    // TakeHeldArchive found it a moment ago, else as the system says once it is opened.
    const bool held = StreamIsOpen(input);
    FileInfo info = g_state.held;
    if (!StreamOpenOrRewind(input, g_state.settings.archive_path, "rt") || (!held && !StreamFileInfo(input, &info))) {
        StreamClose(input);
        SetStatus(kStatusCannotOpen);
        return;
    }
    const uint32_t date_time = InfoDosDateTime(info);
    const uint32_t attributes = info.attributes;
    ArcFileEntry* first = nullptr;
    ArcFileEntry* last = nullptr;
    uint32_t count = 0;
    int64_t total = 0;
    uint16_t status = kStatusOk;
    Job job = MakeJob();
    EntryCursor cursor;
    BeginLine begin;
    while (FindNextEntry(g_state.alphabet, input, cursor, begin) == 0) {
        int64_t data_end = cursor.data_at;
        SkipEntryData(input, begin.form, cursor, &data_end);
        const int64_t size = EstimateDecodedSize(begin.form, data_end - cursor.data_at);
        ArcFileEntry* entry = NewEntry(begin.name, size, date_time, attributes);
        if (entry == nullptr) {
            status = kStatusNoMemory;
            break;
        }
        TellFact(job, g_state.settings.archive_path, EntryModeFact(begin.mode));
        if (first == nullptr) {
            first = entry;
        } else {
            last->next = entry;
        }
        last = entry;
        ++count;
        total += size;
    }
    StreamClose(input);
    if (status == kStatusOk && count == 0) {
        status = kStatusBadFormat;
        TellFact(job, g_state.settings.archive_path, NoBeginLineFact(begin));
    }
    if (status != kStatusOk) {
        ArcFileList made{count, first, last};
        DoneArcFileList(&made);
        SetStatus(status);
        return;
    }
    AppendEntries(list, first, last, count);
    RebuildExtraInfo(total);
}
#endif

}  // namespace

}  // namespace uuarc

using namespace uuarc;

namespace {

// Step one of opening and creating, done before anything is refused: status 0, no summary, every
// user-data word 0 (the procedures stay).
void BeginOpening() {
    ReleaseHeldArchive();
    SetStatus(kStatusOk);
    std::memset(&g_state.extra_info, 0, sizeof g_state.extra_info);
    Callbacks& callbacks = g_state.callbacks;
    callbacks.file_name_user = 0;
    callbacks.progress_user = 0;
    callbacks.ok_to_replace_user = 0;
    callbacks.signal_user = 0;
}

// A path the host may hand over: not null (which is no empty path) and not over 255 bytes.
bool HostPathTaken(const char* path) { return path != nullptr && strnlen(path, kMaxHostPath + 1) <= kMaxHostPath; }

// The work of InitArcFile on a path it takes. The file is read up to its begin line; only where it
// cannot be read is the path looked at again, to tell a new archive (nothing there) from a file
// that is refused. True for the new archive. `tell` and `hold` as for ScanAndTell (CreateArcFile's
// refusal of an existing file explains itself).
bool OpenArchivePath(const char* path, bool tell, bool hold = false) {
    char name[kNameBufferSize];
    const uint16_t scanned =
        path[0] == '\0' ? uint16_t{kStatusCannotOpen} : ScanAndTell(path, name, nullptr, tell, nullptr, hold);
    if (scanned == kStatusCannotOpen && !FileExists(path)) {
        ForgetArchive(1);
        return true;
    }
    if (scanned != kStatusOk) {
        SetStatus(scanned == kStatusBadFormat ? uint16_t{kStatusNotEncoded} : scanned);
        return false;
    }
    RememberArchive(path, 0);
    // What the held file is now, for the export that takes it (TakeHeldArchive).
    if (hold && !StreamFileInfo(g_state.input, &g_state.held)) ReleaseHeldArchive();
    return false;
}

}  // namespace

UUARC_API void UUARC_CALL InitArcFile(const char* path) {
    BeginOpening();
    if (!HostPathTaken(path)) {
        SetStatus(kStatusCannotOpen);
        return;
    }
#if defined(UUARC_OPTION_HOLD_ARCHIVE)
    OpenArchivePath(path, true, (g_state.settings.options & UUARC_OPTION_HOLD_ARCHIVE) != 0);
#else
    OpenArchivePath(path, true);
#endif
}

// InitArcFile's answer decides: a new archive only where nothing is.
UUARC_API void UUARC_CALL CreateArcFile(const char* path) {
    BeginOpening();
    if (!HostPathTaken(path)) {
        SetStatus(kStatusCannotOpen);
        return;
    }
    if (!OpenArchivePath(path, false)) {
        SetStatus(kStatusCannotOpen);
        return;
    }
    RememberArchive(path, 1);
}

UUARC_API void UUARC_CALL DoneArcFile() {
    ReleaseHeldArchive();
    ForgetArchive(0);
}

UUARC_API void UUARC_CALL InitArcFileList(ArcFileList* list) {
    if (list == nullptr) return;
    list->count = 0;
    list->first = nullptr;
    list->last = nullptr;
}

UUARC_API void UUARC_CALL BuildArcFileList(ArcFileList* list) {
    SetStatus(kStatusOk);
    TakeHeldArchive();
    if (list == nullptr) {
        SetStatus(kStatusCannotOpen);
        return;
    }
#if defined(UUARC_OPTION_EVERY_FILE)
    if ((g_state.settings.options & UUARC_OPTION_EVERY_FILE) != 0) {
        BuildEveryEntry(list);
        return;
    }
#endif
    char name[kNameBufferSize];
    int64_t size = 0;
    uint32_t mode = 0;
    if (SetStatus(ScanAndTell(g_state.settings.archive_path, name, &size, true, &mode)) != kStatusOk) {
        return;
    }
    uint32_t date_time = 0;
    uint32_t attributes = 0;
    if (!ArchiveFileInfo(&date_time, &attributes)) {
        SetStatus(kStatusCannotOpen);
        return;
    }
    ArcFileEntry* entry = NewEntry(name, size, date_time, attributes);
    if (entry == nullptr) {
        SetStatus(kStatusNoMemory);
        return;
    }
    Job job = MakeJob();
    TellFact(job, g_state.settings.archive_path, EntryModeFact(mode));
    AppendEntries(list, entry, entry, 1);
    RebuildExtraInfo(entry->first_size);
}

UUARC_API void UUARC_CALL DoneArcFileList(ArcFileList* list) {
    if (list == nullptr) return;
    ArcFileEntry* entry = list->first;
    while (entry != nullptr) {
        void* block = entry;
        entry = entry->next;
        FreeBlock(&block);
    }
    InitArcFileList(list);
}

UUARC_API void UUARC_CALL GetExtraInfoArc(ArcExtraInfo* buffer) {
    if (buffer != nullptr) std::memcpy(buffer, &g_state.extra_info, sizeof *buffer);
}
