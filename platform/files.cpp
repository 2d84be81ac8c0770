// files.cpp - the file services of platform.h, shared by both back ends: each checks what it is
// handed, takes the host's path to the native form and asks g_system, so that the failure hook
// sees every call. What differs by system lies behind the table (and backend.h), not here.
#include <cstring>

#include "platform/backend.h"
#include "platform/platform.h"
#include "uuarc.h"

namespace uuarc {
namespace {

using NativeBuffer = char[kNativePathSize];

// The host's path in the form g_system takes. A null or empty path names no file and is refused
// here, whatever the system would make of it; so is one too long for the buffer.
bool ToNative(const char* path, NativeBuffer& native) {
    return path != nullptr && path[0] != '\0' && NativePath(path, native, sizeof native);
}

bool Query(const char* path, bool follow, FileInfo* info, FileHandle folder = kNoHandle) {
    NativeBuffer native;
    return ToNative(path, native) && g_system.query(folder, native, follow, info);
}

// The last component of a host path ("\" and "/" both separate); empty when it ends in one.
const char* LastComponent(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') name = p + 1;
    }
    return name;
}

}  // namespace

bool PathExists(const char* path) {
    FileInfo info;
    return Query(path, true, &info);
}

bool PathAttributes(const char* path, uint32_t* attributes) {
    FileInfo info;
    if (attributes == nullptr || !Query(path, true, &info)) return false;
    *attributes = info.attributes;
    return true;
}

bool PathInfo(const char* path, FileInfo* info, FileHandle folder) {
    return info != nullptr && Query(path, false, info, folder);
}

bool SetPathAttributes(const char* path, uint32_t attributes) {
    NativeBuffer native;
    return ToNative(path, native) && g_system.set_attributes(native, attributes);
}

bool MakeDirectory(const char* path, FileHandle folder) {
    NativeBuffer native;
    return ToNative(path, native) && g_system.make_directory(folder, native);
}

bool RenameReplacing(const char* from, const char* to, FileHandle folder) {
    NativeBuffer native_from;
    NativeBuffer native_to;
    return ToNative(from, native_from) && ToNative(to, native_to) && g_system.rename(folder, native_from, native_to);
}

bool FileWritable(const char* path, FileHandle folder) {
    NativeBuffer native;
    if (!ToNative(path, native)) return false;
    const FileHandle handle = g_system.open(folder, native, OpenHow::WriteProbe, nullptr);
    if (handle == kNoHandle) return false;
    g_system.close(handle);
    return true;
}

bool RemoveFile(const char* path, FileHandle folder) {
    NativeBuffer native;
    return ToNative(path, native) && g_system.remove(folder, native);
}

// A path that ends in a separator names what is inside a folder, no file of its own.
bool FindFile(const char* path, FindData* record, FileHandle folder) {
    NativeBuffer native;
    return record != nullptr && ToNative(path, native) && LastComponent(path)[0] != '\0' &&
           g_system.find(folder, native, record);
}

// The one path that may be empty: a folder named by nothing is the current one.
FileHandle OpenFolder(const char* path, bool follow, FileHandle folder) {
    if (path == nullptr) return kNoHandle;
    if (path[0] == '\0') return g_system.open_folder(folder, ".", follow);
    NativeBuffer native;
    return ToNative(path, native) ? g_system.open_folder(folder, native, follow) : kNoHandle;
}

bool FolderWritable(FileHandle folder) { return folder != kNoHandle && g_system.folder_writable(folder); }

bool LinkFile(FileHandle handle, const char* path, FileHandle folder) {
    NativeBuffer native;
    return handle != kNoHandle && ToNative(path, native) && g_system.link(handle, folder, native);
}

bool KeepPermissions(FileHandle handle, uint32_t kept) {
    FileInfo info;
    if (handle == kNoHandle || !g_system.query_handle(handle, &info)) return false;
    return (info.permissions & ~kept) == 0 || g_system.set_permissions(handle, info.permissions & kept);
}

FileHandle OpenFileForInfo(const char* path) {
    NativeBuffer native;
    return ToNative(path, native) ? g_system.open(kNoHandle, native, OpenHow::Read, nullptr) : kNoHandle;
}

bool HandleDosDateTime(FileHandle handle, uint32_t* date_time) {
    FileInfo info;
    return handle != kNoHandle && date_time != nullptr && g_system.query_handle(handle, &info) &&
           LocalDosDateTime(info.last_write, date_time);
}

uint32_t InfoDosDateTime(const FileInfo& info) {
    uint32_t date_time = 0;
    return LocalDosDateTime(info.last_write, &date_time) ? date_time : 0;
}

bool HandleIdentity(FileHandle handle, uint64_t* volume, uint64_t* index) {
    FileInfo info;
    if (handle == kNoHandle || !g_system.query_handle(handle, &info)) return false;
    *volume = info.volume;
    *index = info.index;
    return true;
}

void CloseFileHandle(FileHandle handle) {
    if (handle != kNoHandle) g_system.close(handle);
}

// Volume 0 and index 0 is the identity of a file the system would not describe (Win32 answers a
// query without them when no handle can be had; no POSIX file has inode 0): two such files are
// not known to be one, so they never count as the same.
bool SameFile(const char* path_a, const char* path_b) {
    FileInfo a;
    FileInfo b;
    if (!Query(path_a, true, &a) || !Query(path_b, true, &b)) return false;
    return (a.volume != 0 || a.index != 0) && a.volume == b.volume && a.index == b.index;
}

}  // namespace uuarc
