// platform_win32.cpp - the Win32 back end of platform.h: the *A file APIs behind g_system, and
// the file services and code-page calls passed straight to Windows. Paths are used as given.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// winuser.h spells these as macros for OemToCharA / CharToOemA; ours are functions of that name.
#undef OemToAnsi
#undef AnsiToOem

#include <cstring>

#include "module/uuarc.h"
#include "platform/platform.h"

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

FileHandle SysOpen(const char* native_path, OpenHow how) {
    if (how == OpenHow::Read) {
        const HANDLE handle = CreateFileA(native_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle == INVALID_HANDLE_VALUE ? kNoHandle : FromHandle(handle);
    }
    // CREATE_ALWAYS would truncate whatever a link points to, so a reparse point already there
    // is refused before the open. FILE_FLAG_OPEN_REPARSE_POINT makes one that appears in between
    // be opened itself, never its target; should it still be a reparse point, it is refused.
    const DWORD existing = GetFileAttributesA(native_path);
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_REPARSE_POINT)) return kNoHandle;
    const HANDLE handle = CreateFileA(native_path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return kNoHandle;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(handle);
        return kNoHandle;
    }
    return FromHandle(handle);
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

bool SysSetAttributes(const char* native_path, uint32_t attributes) {
    return SetFileAttributesA(native_path, attributes) != 0;
}

bool SysMakeDirectory(const char* native_path) { return CreateDirectoryA(native_path, nullptr) != 0; }

int64_t SysLength(FileHandle handle) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(ToHandle(handle), &size)) return -1;
    return size.QuadPart;
}

}  // namespace

SystemCalls g_system = {
    SysOpen, SysRead, SysWrite, SysClose, SysSetAttributes, SysMakeDirectory, SysLength,
};

bool NativePath(const char* path, char* native, size_t size) {
    if (path == nullptr || size == 0) return false;
    const size_t length = std::strlen(path);
    if (length >= size) return false;
    std::memcpy(native, path, length + 1);
    return true;
}

// ---- File services --------------------------------------------------------------------------

bool PathExists(const char* path) {
    return path != nullptr && path[0] != '\0' && GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool PathAttributes(const char* path, uint32_t* attributes) {
    if (path == nullptr || attributes == nullptr) return false;
    const DWORD found = GetFileAttributesA(path);
    if (found == INVALID_FILE_ATTRIBUTES) return false;
    *attributes = found;
    return true;
}

bool SetPathAttributes(const char* path, uint32_t attributes) {
    return path != nullptr && g_system.set_attributes(path, attributes);
}

bool MakeDirectory(const char* path) { return path != nullptr && g_system.make_directory(path); }

bool FindFile(const char* path, FindData* record) {
    if (path == nullptr || record == nullptr) return false;
    WIN32_FIND_DATAA found = {};  // Wine leaves the reserved words unwritten
    const HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    std::memcpy(record, &found, sizeof *record);
    return true;
}

void SystemTimeAsFileTime(FileTime* time) {
    if (time == nullptr) return;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    time->low = now.dwLowDateTime;
    time->high = now.dwHighDateTime;
}

FileHandle OpenFileForInfo(const char* path) {
    if (path == nullptr) return kNoHandle;
    const HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_ARCHIVE, nullptr);
    return handle == INVALID_HANDLE_VALUE ? kNoHandle : FromHandle(handle);
}

bool HandleDosDateTime(FileHandle handle, uint32_t* date_time) {
    if (handle == kNoHandle || date_time == nullptr) return false;
    FILETIME written;
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    if (!GetFileTime(ToHandle(handle), nullptr, nullptr, &written) ||
        !FileTimeToLocalFileTime(&written, &local) || !FileTimeToDosDateTime(&local, &date, &time))
        return false;
    *date_time = static_cast<uint32_t>(date) << 16 | time;
    return true;
}

void CloseFileHandle(FileHandle handle) {
    if (handle != kNoHandle) CloseHandle(ToHandle(handle));
}

namespace {

// Volume serial and file index of an existing file or directory; no access to its data needed.
bool FileIdentity(const char* path, BY_HANDLE_FILE_INFORMATION* info) {
    const HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(handle, info) != 0;
    CloseHandle(handle);
    return ok;
}

}  // namespace

bool SameFile(const char* path_a, const char* path_b) {
    BY_HANDLE_FILE_INFORMATION a;
    BY_HANDLE_FILE_INFORMATION b;
    if (path_a == nullptr || path_b == nullptr || !FileIdentity(path_a, &a) || !FileIdentity(path_b, &b))
        return false;
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// ---- Code pages -----------------------------------------------------------------------------

void OemToAnsi(char* text) {
    if (text != nullptr) OemToCharA(text, text);
}

void AnsiToOem(char* text) {
    if (text != nullptr) CharToOemA(text, text);
}

bool IsLeadByte(uint8_t byte) { return IsDBCSLeadByte(byte) != 0; }

}  // namespace uuarc
