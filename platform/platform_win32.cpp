// platform_win32.cpp - the Win32 back end of platform.h: the *A file APIs behind g_system, the
// system's times, and the code-page calls passed straight to Windows. Paths are used as given.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // SetFileInformationByHandle
#endif
#include <windows.h>
// winuser.h spells these as macros for OemToCharA / CharToOemA; ours are functions of that name.
#undef OemToAnsi
#undef AnsiToOem

#include <cstring>

#include "platform/backend.h"
#include "platform/platform.h"
#include "uuarc.h"

static_assert(sizeof(WIN32_FIND_DATAA) == sizeof(FindData), "FindData must mirror WIN32_FIND_DATAA");
static_assert(offsetof(WIN32_FIND_DATAA, cFileName) == offsetof(FindData, file_name), "file_name");
static_assert(sizeof(FILETIME) == sizeof(FileTime), "FileTime must mirror FILETIME");

namespace uuarc {
namespace {

HANDLE ToHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }
FileHandle FromHandle(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

// ReadFile and WriteFile take a DWORD count; larger requests are served in pieces by the
// stream, which loops on short counts.
DWORD ClampCount(size_t count) { return count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count); }

// ---- The system calls behind the failure hook -----------------------------------------------

uint64_t Ticks(const FILETIME& time) { return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime; }

// Keeps the handle only when it is of a disk file that is no reparse point: a device (NUL, CON,
// COM1), a pipe or a link opened as itself is closed and refused.
FileHandle DiskFileOnly(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) return kNoHandle;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
        CloseHandle(handle);
        return kNoHandle;
    }
    return FromHandle(handle);
}

HANDLE CreateForWriting(const char* native_path, DWORD disposition, DWORD attributes) {
    // FILE_FLAG_OPEN_REPARSE_POINT: a link at the last component is opened itself, never its
    // target, and then refused.
    return CreateFileA(native_path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                       attributes | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// The existing file that `like` names by volume and index, opened for writing as itself and cut
// to nothing. A read-only bit that `like` lacks (the host said yes) goes first, through a handle
// on the file itself.
FileHandle Overwrite(const char* native_path, const FileInfo& like) {
    const auto same = [&like](const BY_HANDLE_FILE_INFORMATION& info) {
        return !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
               info.dwVolumeSerialNumber == like.volume &&
               (static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow) == like.index;
    };
    BY_HANDLE_FILE_INFORMATION info;
    const HANDLE probe = CreateFileA(native_path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (probe == INVALID_HANDLE_VALUE) return kNoHandle;
    bool ready = GetFileInformationByHandle(probe, &info) && same(info);
    if (ready && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) && !(like.attributes & FILE_ATTRIBUTE_READONLY)) {
        FILE_BASIC_INFO basic = {};  // zero times: left as they are
        basic.FileAttributes = info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
        if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        ready = SetFileInformationByHandle(probe, FileBasicInfo, &basic, sizeof basic) != 0;
    }
    CloseHandle(probe);
    if (!ready) return kNoHandle;
    const FileHandle handle = DiskFileOnly(CreateForWriting(native_path, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    if (handle == kNoHandle) return kNoHandle;
    if (!GetFileInformationByHandle(ToHandle(handle), &info) || !same(info) || !SetEndOfFile(ToHandle(handle))) {
        CloseHandle(ToHandle(handle));
        return kNoHandle;
    }
    return handle;
}

// The folder is held by the caller; the path names the file (see platform.h, "Folders").
FileHandle SysOpen(FileHandle, const char* native_path, OpenHow how, const FileInfo* like) {
    switch (how) {
        case OpenHow::Read:
            // The module reads every file from its start to its end: the cache manager may read
            // further ahead (FILE_FLAG_SEQUENTIAL_SCAN is only a hint).
            return DiskFileOnly(CreateFileA(native_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        case OpenHow::WriteProbe:
            return DiskFileOnly(CreateForWriting(native_path, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
        case OpenHow::WriteTruncate: {
            // CREATE_ALWAYS would truncate whatever a link points to, so a reparse point already
            // there is refused before the open.
            const DWORD existing = GetFileAttributesA(native_path);
            if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_REPARSE_POINT)) return kNoHandle;
            return DiskFileOnly(CreateForWriting(native_path, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
        }
        case OpenHow::CreateNew:
            return DiskFileOnly(CreateForWriting(native_path, CREATE_NEW, FILE_ATTRIBUTE_NORMAL));
        case OpenHow::CreateLike: {
            // A handle made with the file is writable, also when the file is made read-only.
            constexpr DWORD kKept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
            DWORD attributes = like != nullptr ? like->attributes & kKept : 0;
            if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
            return DiskFileOnly(CreateForWriting(native_path, CREATE_NEW, attributes));
        }
        case OpenHow::CreateUnnamed:
            return kNoHandle;  // Windows has no file without a name
        case OpenHow::CreatePrivate:
            // Shared with nobody, and gone with its last handle.
            return DiskFileOnly(CreateFileA(native_path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY |
                                                FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                                            nullptr));
        case OpenHow::Overwrite:
            return like != nullptr ? Overwrite(native_path, *like) : kNoHandle;
#if defined(_WIN64)
        case OpenHow::StandardOutput: {
            // A handle of its own: closing it leaves the process's standard output open.
            HANDLE own = INVALID_HANDLE_VALUE;
            const HANDLE standard = GetStdHandle(STD_OUTPUT_HANDLE);
            if (standard == nullptr || standard == INVALID_HANDLE_VALUE ||
                !DuplicateHandle(GetCurrentProcess(), standard, GetCurrentProcess(), &own, 0, FALSE,
                                 DUPLICATE_SAME_ACCESS))
                return kNoHandle;
            return FromHandle(own);
        }
        case OpenHow::NullDevice: {
            const HANDLE null = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            return null == INVALID_HANDLE_VALUE ? kNoHandle : FromHandle(null);
        }
#else
        case OpenHow::StandardOutput:
        case OpenHow::NullDevice:
            return kNoHandle;  // the 32-bit module writes files only
#endif
    }
    return kNoHandle;
}

int64_t SysRead(FileHandle handle, void* data, size_t count) {
    DWORD got = 0;
    if (!ReadFile(ToHandle(handle), data, ClampCount(count), &got, nullptr)) return -1;
    return got;
}

int64_t SysWrite(FileHandle handle, const void* data, size_t count) {
    DWORD wrote = 0;
    if (!WriteFile(ToHandle(handle), data, ClampCount(count), &wrote, nullptr)) return -1;
    return wrote;
}

bool SysClose(FileHandle handle) { return CloseHandle(ToHandle(handle)) != 0; }

int64_t SysLength(FileHandle handle) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(ToHandle(handle), &size)) return -1;
    return size.QuadPart;
}

void FillInfo(HANDLE handle, FileInfo* out) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return;
    out->size = static_cast<int64_t>(static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
    out->last_write = Ticks(info.ftLastWriteTime);
    out->volume = info.dwVolumeSerialNumber;
    out->index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    out->links = info.nNumberOfLinks;
}

FileKind KindOf(DWORD attributes, bool follow) {
    if (!follow && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return FileKind::Link;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Directory : FileKind::Regular;
}

// The attribute word as GetFileAttributesA reports it; the rest from a handle opened without any
// access (a directory needs backup semantics). GetFileType is left to the opens, which refuse
// every handle that is no disk file: under Wine it touches the file's access time, and a query
// must leave the record that the replace question shows as it was.
bool SysQuery(FileHandle, const char* native_path, bool follow, FileInfo* out) {
    const DWORD attributes = GetFileAttributesA(native_path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    *out = FileInfo{};
    out->attributes = attributes;
    out->kind = KindOf(attributes, follow);
    // A link not followed needs no handle: what it is, its attribute word says.
    if (out->kind == FileKind::Link) return true;
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
    const HANDLE handle = CreateFileA(native_path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return true;
    FillInfo(handle, out);
    CloseHandle(handle);
    return true;
}

bool SysQueryHandle(FileHandle handle, FileInfo* out) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(ToHandle(handle), &info)) return false;
    *out = FileInfo{};
    out->attributes = info.dwFileAttributes;
    out->kind = KindOf(info.dwFileAttributes, true);
    FillInfo(ToHandle(handle), out);
    return true;
}

bool SysFind(FileHandle, const char* native_path, FindData* record) {
    WIN32_FIND_DATAA found = {};  // Wine leaves the reserved words unwritten
    const HANDLE search = FindFirstFileA(native_path, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    std::memcpy(record, &found, sizeof *record);
    return true;
}

// Through a handle on the file itself (FILE_FLAG_OPEN_REPARSE_POINT), so that a link at the last
// component is refused rather than its target changed.
bool SysSetAttributes(const char* native_path, uint32_t attributes) {
    const HANDLE handle = CreateFileA(native_path, FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    FILE_BASIC_INFO basic = {};  // zero times: left as they are
    basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
    const bool ok = GetFileInformationByHandle(handle, &info) &&
                    !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                    SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
    CloseHandle(handle);
    return ok;
}

bool SysMakeDirectory(FileHandle, const char* native_path) { return CreateDirectoryA(native_path, nullptr) != 0; }

// MoveFileEx will not replace a read-only file: its read-only bit goes first, and comes back
// should the rename still fail. A directory or a reparse point there is left to fail.
bool SysRename(FileHandle, const char* native_from, const char* native_to) {
    if (MoveFileExA(native_from, native_to, MOVEFILE_REPLACE_EXISTING)) return true;
    const DWORD existing = GetFileAttributesA(native_to);
    if (existing == INVALID_FILE_ATTRIBUTES || !(existing & FILE_ATTRIBUTE_READONLY) ||
        (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
        !SysSetAttributes(native_to, existing & ~FILE_ATTRIBUTE_READONLY))
        return false;
    if (MoveFileExA(native_from, native_to, MOVEFILE_REPLACE_EXISTING)) return true;
    SysSetAttributes(native_to, existing);
    return false;
}

bool SysRemove(FileHandle, const char* native_path) { return DeleteFileA(native_path) != 0; }

// Held without FILE_SHARE_DELETE, so that nobody renames or removes the directory while an output
// is made in it. Without `follow`, FILE_FLAG_OPEN_REPARSE_POINT opens a junction or a symbolic
// link as itself, and its attribute word refuses it. The path's attribute word is asked too:
// Wine reports a Unix symbolic link as a reparse point there, but not through the handle.
FileHandle SysOpenFolder(FileHandle, const char* native_path, bool follow) {
    const DWORD attributes = GetFileAttributesA(native_path);
    if (!follow && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return kNoHandle;
    }
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    const HANDLE handle = CreateFileA(native_path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return kNoHandle;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (!follow && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        CloseHandle(handle);
        return kNoHandle;
    }
    return FromHandle(handle);
}

// Access lists would have to be read to know; a folder where no file can be made fails the
// creation beside the target instead.
bool SysFolderWritable(FileHandle) { return true; }

bool SysLink(FileHandle, FileHandle, const char*) { return false; }

bool SysSeekStart(FileHandle handle) {
    LARGE_INTEGER start = {};
    return SetFilePointerEx(ToHandle(handle), start, nullptr, FILE_BEGIN) != 0;
}

bool SysSetPermissions(FileHandle, uint32_t) { return true; }  // Windows has no permission bits

#if defined(_WIN64)
// A handle of its own on the same file, with its own file pointer.
FileHandle SysReopen(FileHandle handle) {
    const HANDLE again =
        ReOpenFile(ToHandle(handle), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    return again == INVALID_HANDLE_VALUE ? kNoHandle : FromHandle(again);
}
#else
FileHandle SysReopen(FileHandle) { return kNoHandle; }  // the 32-bit module opens the path again
#endif

}  // namespace

SystemCalls g_system = {
    SysOpen,   SysRead,          SysWrite,         SysClose,  SysLength,     SysQuery,
    SysQueryHandle, SysFind,     SysSetAttributes, SysMakeDirectory, SysRename, SysRemove,
    SysOpenFolder, SysFolderWritable, SysLink, SysSeekStart, SysSetPermissions, SysReopen,
};

bool NativePath(const char* path, char* native, size_t size) {
    if (path == nullptr || size == 0) return false;
    const size_t length = std::strlen(path);
    if (length >= size) return false;
    std::memcpy(native, path, length + 1);
    return true;
}

bool SystemTemporaryFolder(char* path, size_t size) {
    const DWORD length = GetTempPathA(static_cast<DWORD>(size), path);
    return length > 0 && length < size;
}

// Windows ends no process by a signal the module could hold.
void HoldTerminatingSignals() {}
void ReleaseTerminatingSignals() {}

// ---- Times ----------------------------------------------------------------------------------

void SystemTimeAsFileTime(FileTime* time) {
    if (time == nullptr) return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    time->low = now.dwLowDateTime;
    time->high = now.dwHighDateTime;
}

bool LocalDosDateTime(uint64_t file_time, uint32_t* date_time) {
    FILETIME written;
    written.dwLowDateTime = static_cast<DWORD>(file_time);
    written.dwHighDateTime = static_cast<DWORD>(file_time >> 32);
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    if (!FileTimeToLocalFileTime(&written, &local) || !FileTimeToDosDateTime(&local, &date, &time)) return false;
    *date_time = static_cast<uint32_t>(date) << 16 | time;
    return true;
}

// ---- Code pages -----------------------------------------------------------------------------

namespace {

// Longest source the conversions take; the module hands them names and paths far shorter.
constexpr size_t kMaxConvertedSource = 1024;

bool IsUtf8CodePage(UINT code_page) {
    return code_page == CP_UTF8 || (code_page == CP_ACP && GetACP() == CP_UTF8) ||
           (code_page == CP_OEMCP && GetOEMCP() == CP_UTF8);
}

// `source` from one code page to another through UTF-16, one character at a time, so that a
// character that does not fit is left off whole. With `exact`, a source that is malformed in
// `from` or a character that `to` lacks gives NoForm; without it, Windows' best fit stands in
// for such a character, as OemToCharA and CharToOemA do. UTF-8 as the target takes no flags
// and no used-default flag: WideCharToMultiByte refuses them there, and it has every character.
Conversion Recode(UINT from, UINT to, bool exact, const char* source, char* destination, size_t size) {
    destination[0] = '\0';
    const size_t length = strnlen(source, kMaxConvertedSource);
    if (length == kMaxConvertedSource) return Conversion::Cut;
    if (length == 0) return Conversion::Whole;
    WCHAR wide[kMaxConvertedSource];
    const DWORD strict = exact && IsUtf8CodePage(from) ? MB_ERR_INVALID_CHARS : 0;
    const int units = MultiByteToWideChar(from, strict, source, static_cast<int>(length), wide, kMaxConvertedSource);
    if (units <= 0) return Conversion::NoForm;

    const bool checked = exact && !IsUtf8CodePage(to);
    size_t used = 0;
    bool cut = false;
    for (int i = 0; i < units;) {
        const int width = IS_HIGH_SURROGATE(wide[i]) && i + 1 < units && IS_LOW_SURROGATE(wide[i + 1]) ? 2 : 1;
        char bytes[8];
        BOOL used_default = FALSE;
        const int count = WideCharToMultiByte(to, checked ? WC_NO_BEST_FIT_CHARS : 0, wide + i, width, bytes,
                                              sizeof bytes, nullptr, checked ? &used_default : nullptr);
        if (exact && (count <= 0 || used_default)) {
            destination[0] = '\0';
            return Conversion::NoForm;
        }
        if (count <= 0) {  // best fit has a form for everything; should it fail, nothing more is taken
            cut = true;
            break;
        }
        // The whole source is looked at even after a cut, so that a character without an exact form
        // further on still counts.
        if (!cut && used + static_cast<size_t>(count) < size) {
            std::memcpy(destination + used, bytes, static_cast<size_t>(count));
            used += static_cast<size_t>(count);
        } else {
            cut = true;
        }
        i += width;
    }
    destination[used] = '\0';
    return cut ? Conversion::Cut : Conversion::Whole;
}

}  // namespace

Conversion OemToAnsi(const char* source, char* destination, size_t size) {
    return Recode(CP_OEMCP, CP_ACP, false, source, destination, size);
}

Conversion AnsiToOem(const char* source, char* destination, size_t size) {
    return Recode(CP_ACP, CP_OEMCP, true, source, destination, size);
}

Conversion Utf8ToAnsi(const char* source, char* destination, size_t size) {
    return Recode(CP_UTF8, CP_ACP, true, source, destination, size);
}

Conversion AnsiToUtf8(const char* source, char* destination, size_t size) {
    return Recode(CP_ACP, CP_UTF8, false, source, destination, size);
}

bool IsLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != 0; }

}  // namespace uuarc
