// platform_posix.cpp - the POSIX back end of platform.h: descriptors behind g_system, host paths
// (Windows syntax, UTF-8 as the ANSI code page) with "/" for "\", Win32-shaped answers and times
// synthesized from stat and the C library, and OEM code page 437 to and from UTF-8.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/backend.h"
#include "platform/codepage_tables.h"
#include "platform/platform.h"
#include "shared/file_time.h"
#include "shared/utf8.h"
#include "uuarc.h"

namespace uuarc {
namespace {

// ---- The system calls behind the failure hook -----------------------------------------------

// The directory a call works in and the name it takes there: with a folder, the path's last
// component inside it; without, the whole path from the current directory.
int AtFolder(FileHandle folder) { return folder == kNoHandle ? AT_FDCWD : static_cast<int>(folder); }
const char* AtName(FileHandle folder, const char* native_path) {
    if (folder == kNoHandle) return native_path;
    const char* slash = std::strrchr(native_path, '/');
    return slash != nullptr ? slash + 1 : native_path;
}

int OpenRetrying(FileHandle folder, const char* name, int flags, mode_t mode = 0) {
    int fd;
    do fd = ::openat(AtFolder(folder), name, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Keeps the descriptor only when it is of a regular file.
FileHandle RegularOnly(int fd) {
    if (fd < 0) return kNoHandle;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return kNoHandle;
    }
    return fd;
}

// A new file takes the owner and group of `like` (only root may give a file away; anyone else
// keeps it as made), then its exact permission bits, whatever the umask took off at creation.
// chown clears setuid and setgid, which never come along anyway.
bool TakeOwnerAndMode(int fd, const FileInfo& like) {
    struct stat info;
    if (::fstat(fd, &info) != 0) return false;
    if (::geteuid() == 0 && (info.st_uid != like.owner || info.st_gid != like.group) &&
        ::fchown(fd, static_cast<uid_t>(like.owner), static_cast<gid_t>(like.group)) != 0)
        return false;
    return ::fchmod(fd, static_cast<mode_t>(like.permissions & 0777)) == 0;
}

// The existing file that `like` describes, opened for writing as itself and cut to nothing. It is
// looked at before it is opened (nothing else is ever opened) and checked again on the
// descriptor. A file that is read-only as it is gets the bits of `like` (after a yes, the owner's
// write bit) through a read-only descriptor first, then is opened for writing.
FileHandle Overwrite(FileHandle folder, const char* name, const FileInfo& like) {
    const auto same = [&like](const struct stat& info) {
        return S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_dev) == like.volume &&
               static_cast<uint64_t>(info.st_ino) == like.index;
    };
    const mode_t mode = static_cast<mode_t>(like.permissions & 0777);
    struct stat info;
    if (::fstatat(AtFolder(folder), name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !same(info)) return kNoHandle;
    int fd = OpenRetrying(folder, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 && errno == EACCES && (mode & S_IWUSR)) {
        const int probe = OpenRetrying(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        if (probe < 0) return kNoHandle;
        const bool ready = ::fstat(probe, &info) == 0 && same(info) && ::fchmod(probe, mode) == 0;
        ::close(probe);
        if (ready) fd = OpenRetrying(folder, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK);
    }
    if (fd < 0) return kNoHandle;
    if (::fstat(fd, &info) != 0 || !same(info) || ((info.st_mode & 07777) != mode && ::fchmod(fd, mode) != 0) ||
        ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return kNoHandle;
    }
    return fd;
}

FileHandle SysOpen(FileHandle folder, const char* native_path, OpenHow how, const FileInfo* like) {
    const int at = AtFolder(folder);
    const char* name = AtName(folder, native_path);
    struct stat info;
    switch (how) {
        case OpenHow::Read: {
            // A FIFO or a device is refused before it is opened: opening a FIFO waits for a writer,
            // and a device may never end. O_NONBLOCK covers one swapped in after the stat; the
            // descriptor is checked again, and regular files ignore the flag.
            if (::fstatat(at, name, &info, 0) != 0 || !S_ISREG(info.st_mode)) return kNoHandle;
            const int fd = OpenRetrying(folder, name, O_RDONLY | O_NONBLOCK);
            if (fd < 0) return kNoHandle;
            if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
                ::close(fd);
                return kNoHandle;
            }
            // The module reads every file from its start to its end: the system may read further
            // ahead than for a file read here and there. Only a hint, and none for a file that one
            // read of a stream's buffer takes whole.
            if (info.st_size > static_cast<off_t>(kStreamBufferSize)) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
            return fd;
        }
        case OpenHow::WriteProbe:
            if (::fstatat(at, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode)) return kNoHandle;
            return RegularOnly(OpenRetrying(folder, name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK));
        case OpenHow::WriteTruncate:
            // O_NOFOLLOW refuses a symbolic link at the last component before O_TRUNC can touch
            // what it points to; a dangling link fails the same way instead of creating its target.
            if (::fstatat(at, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(info.st_mode)) return kNoHandle;
            return RegularOnly(OpenRetrying(folder, name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK, 0666));
        case OpenHow::CreateNew: {
            // O_EXCL fails on anything already there, a link included, so nothing is followed and
            // what it opens is the regular file it has just made: there is nothing to check. The
            // umask applies to the bits asked for, as for any new file.
            const int fd = OpenRetrying(folder, name, O_WRONLY | O_CREAT | O_EXCL,
                                        like != nullptr ? static_cast<mode_t>(like->permissions & 0777) : 0666);
            return fd < 0 ? kNoHandle : fd;
        }
        case OpenHow::CreateLike:
        case OpenHow::CreateUnnamed: {
            // Made with no more than the bits it ends with (the umask may take some off, which
            // TakeOwnerAndMode gives back); setuid, setgid and sticky never come along.
            const mode_t mode = like != nullptr ? static_cast<mode_t>(like->permissions & 0777) : 0666;
            int fd = -1;
            if (how == OpenHow::CreateLike) {
                fd = OpenRetrying(folder, name, O_WRONLY | O_CREAT | O_EXCL, mode);
            } else if (folder != kNoHandle) {
#if defined(O_TMPFILE)
                fd = OpenRetrying(folder, ".", O_WRONLY | O_TMPFILE, mode);
#endif
            }
            if (fd < 0) return kNoHandle;
            if (like != nullptr && !TakeOwnerAndMode(fd, *like)) {
                ::close(fd);
                if (how == OpenHow::CreateLike) ::unlinkat(at, name, 0);
                return kNoHandle;
            }
            return RegularOnly(fd);
        }
        case OpenHow::CreatePrivate: {
            int fd = -1;
#if defined(O_TMPFILE)
            // The directory that the name is in: the folder, or the path up to its last "/".
            char directory[kNativePathSize] = ".";
            const char* slash = folder == kNoHandle ? std::strrchr(native_path, '/') : nullptr;
            if (slash != nullptr) {
                std::snprintf(directory, sizeof directory, "%.*s", static_cast<int>(slash - native_path + 1), native_path);
            }
            fd = OpenRetrying(folder, directory, O_RDWR | O_TMPFILE, 0600);
#endif
            if (fd < 0) {
                fd = OpenRetrying(folder, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
                // A name that cannot be taken off again would stay behind: such a file is not used.
                if (fd >= 0 && ::unlinkat(at, name, 0) != 0) {
                    ::close(fd);
                    return kNoHandle;
                }
            }
            return RegularOnly(fd);
        }
        case OpenHow::Overwrite:
            return like != nullptr ? Overwrite(folder, name, *like) : kNoHandle;
        case OpenHow::StandardOutput:
            return ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        case OpenHow::NullDevice:
            return OpenRetrying(kNoHandle, "/dev/null", O_WRONLY);
    }
    return kNoHandle;
}

int64_t SysRead(FileHandle handle, void* data, size_t count) {
    ssize_t got;
    do got = ::read(static_cast<int>(handle), data, count);
    while (got < 0 && errno == EINTR);
    return got;
}

int64_t SysWrite(FileHandle handle, const void* data, size_t count) {
    ssize_t wrote;
    do wrote = ::write(static_cast<int>(handle), data, count);
    while (wrote < 0 && errno == EINTR);
    return wrote;
}

// Not retried on EINTR: Linux has released the descriptor by then.
bool SysClose(FileHandle handle) { return ::close(static_cast<int>(handle)) == 0; }

int64_t SysLength(FileHandle handle) {
    struct stat info;
    if (::fstat(static_cast<int>(handle), &info) != 0) return -1;
    return info.st_size;
}

void FillInfo(const struct stat& info, FileInfo* out);

bool SysQuery(FileHandle folder, const char* native_path, bool follow, FileInfo* out) {
    struct stat info;
    if (::fstatat(AtFolder(folder), AtName(folder, native_path), &info, follow ? 0 : AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    FillInfo(info, out);
    return true;
}

bool SysQueryHandle(FileHandle handle, FileInfo* out) {
    struct stat info;
    if (::fstat(static_cast<int>(handle), &info) != 0) return false;
    FillInfo(info, out);
    return true;
}

bool SysFind(FileHandle folder, const char* native_path, FindData* record);

// AT_SYMLINK_NOFOLLOW: a link at the last component is refused, never its target changed, also
// when one is swapped in after the lstat.
bool SysSetAttributes(const char* native_path, uint32_t attributes) {
    struct stat info;
    if (::lstat(native_path, &info) != 0 || S_ISLNK(info.st_mode)) return false;
    const mode_t mode = (attributes & kAttrReadOnly) ? (info.st_mode & ~S_IWUSR) : (info.st_mode | S_IWUSR);
    if ((mode & 07777) == (info.st_mode & 07777)) return true;
    return ::fchmodat(AT_FDCWD, native_path, mode & 07777, AT_SYMLINK_NOFOLLOW) == 0;
}

bool SysMakeDirectory(FileHandle folder, const char* native_path) {
    return ::mkdirat(AtFolder(folder), AtName(folder, native_path), 0777) == 0;
}

bool SysRename(FileHandle folder, const char* native_from, const char* native_to) {
    return ::renameat(AtFolder(folder), AtName(folder, native_from), AtFolder(folder), AtName(folder, native_to)) == 0;
}

bool SysRemove(FileHandle folder, const char* native_path) {
    return ::unlinkat(AtFolder(folder), AtName(folder, native_path), 0) == 0;
}

// O_DIRECTORY refuses anything but a directory; O_NOFOLLOW a link at the last component, which
// then fails with ELOOP (or ENOTDIR) instead of being entered.
FileHandle SysOpenFolder(FileHandle folder, const char* native_path, bool follow) {
    const int fd = OpenRetrying(folder, AtName(folder, native_path),
                                O_RDONLY | O_DIRECTORY | (follow ? 0 : O_NOFOLLOW));
    return fd < 0 ? kNoHandle : fd;
}

// Search and write permission as the effective user has them, as a rename in the folder needs.
bool SysFolderWritable(FileHandle folder) {
    return ::faccessat(AtFolder(folder), ".", W_OK | X_OK, AT_EACCESS) == 0;
}

// linkat through /proc names an O_TMPFILE file for any user; AT_EMPTY_PATH does it without
// /proc, where the system lets the caller.
bool SysLink(FileHandle handle, FileHandle folder, const char* native_path) {
    const int at = AtFolder(folder);
    const char* name = AtName(folder, native_path);
    char proc_path[40];
    std::snprintf(proc_path, sizeof proc_path, "/proc/self/fd/%d", static_cast<int>(handle));
    if (::linkat(AT_FDCWD, proc_path, at, name, AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == EEXIST) return false;
    return ::linkat(static_cast<int>(handle), "", at, name, AT_EMPTY_PATH) == 0;
}

// A description of its own, through the name that /proc gives the descriptor, checked to be that
// very file.
FileHandle SysReopen(FileHandle handle) {
    char name[40];
    std::snprintf(name, sizeof name, "/proc/self/fd/%d", static_cast<int>(handle));
    struct stat was, is;
    if (::fstat(static_cast<int>(handle), &was) != 0 || !S_ISREG(was.st_mode)) return kNoHandle;
    const int fd = OpenRetrying(kNoHandle, name, O_RDONLY | O_NONBLOCK);
    if (fd < 0) return kNoHandle;
    if (::fstat(fd, &is) != 0 || is.st_dev != was.st_dev || is.st_ino != was.st_ino) {
        ::close(fd);
        return kNoHandle;
    }
    return fd;
}

bool SysSeekStart(FileHandle handle) { return ::lseek(static_cast<int>(handle), 0, SEEK_SET) == 0; }

bool SysSetPermissions(FileHandle handle, uint32_t permissions) {
    return ::fchmod(static_cast<int>(handle), static_cast<mode_t>(permissions & 07777)) == 0;
}

// ---- Host paths -----------------------------------------------------------------------------

// The find-data time of a stat time: 100 ns ticks since 1601, UTC.
FileTime ToFileTime(const struct timespec& when) {
    int64_t ticks = static_cast<int64_t>(when.tv_sec) * kFileTimeTicksPerSecond + when.tv_nsec / 100 +
                    kUnixEpochAsFileTime;
    if (ticks < 0) ticks = 0;
    FileTime time;
    time.low = static_cast<uint32_t>(static_cast<uint64_t>(ticks));
    time.high = static_cast<uint32_t>(static_cast<uint64_t>(ticks) >> 32);
    return time;
}

uint32_t AttributesOf(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return kAttrDirectory;
    return kAttrArchive | ((info.st_mode & S_IWUSR) ? 0 : kAttrReadOnly);
}

uint64_t Ticks(const FileTime& time) { return static_cast<uint64_t>(time.high) << 32 | time.low; }

void FillInfo(const struct stat& info, FileInfo* out) {
    out->kind = S_ISREG(info.st_mode)   ? FileKind::Regular
                : S_ISDIR(info.st_mode) ? FileKind::Directory
                : S_ISLNK(info.st_mode) ? FileKind::Link
                                        : FileKind::Other;
    out->attributes = AttributesOf(info);
    out->permissions = static_cast<uint32_t>(info.st_mode & 07777);
    out->size = info.st_size;
    out->last_write = Ticks(ToFileTime(info.st_mtim));
    out->volume = static_cast<uint64_t>(info.st_dev);
    out->index = static_cast<uint64_t>(info.st_ino);
    out->links = static_cast<uint32_t>(info.st_nlink);
    out->owner = static_cast<uint32_t>(info.st_uid);
    out->group = static_cast<uint32_t>(info.st_gid);
}

// Synthesized from lstat. The name is the path's last component as it was handed in (only "\"
// became "/"), so it stays in the host's code page; the short name stays empty.
bool SysFind(FileHandle folder, const char* native_path, FindData* record) {
    const char* slash = std::strrchr(native_path, '/');
    const char* name = slash != nullptr ? slash + 1 : native_path;
    const size_t name_length = std::strlen(name);
    if (name_length == 0 || name_length >= sizeof record->file_name) return false;
    struct stat info;
    if (::fstatat(AtFolder(folder), AtName(folder, native_path), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
    std::memset(record, 0, sizeof *record);
    std::memcpy(record->file_name, name, name_length + 1);
    record->attributes = AttributesOf(info);
    // POSIX keeps no creation time; the status-change time is the nearest it has.
    record->creation_time = ToFileTime(info.st_ctim);
    record->last_access_time = ToFileTime(info.st_atim);
    record->last_write_time = ToFileTime(info.st_mtim);
    if (!S_ISDIR(info.st_mode)) {
        const uint64_t size = static_cast<uint64_t>(info.st_size);
        record->size_high = static_cast<uint32_t>(size >> 32);
        record->size_low = static_cast<uint32_t>(size);
    }
    return true;
}

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
    for (size_t i = 0; i <= length; ++i) native[i] = path[i] == '\\' ? '/' : path[i];
    return true;
}

bool SystemTemporaryFolder(char* path, size_t size) {
    return std::snprintf(path, size, "%s", "\\var\\tmp\\") < static_cast<int>(size);
}

// ---- Signals --------------------------------------------------------------------------------

namespace {

sigset_t g_mask_before;

}  // namespace

void HoldTerminatingSignals() {
    sigset_t held;
    sigfillset(&held);
    for (int fault : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS}) sigdelset(&held, fault);
    ::pthread_sigmask(SIG_BLOCK, &held, &g_mask_before);
}

void ReleaseTerminatingSignals() { ::pthread_sigmask(SIG_SETMASK, &g_mask_before, nullptr); }

// ---- Times ----------------------------------------------------------------------------------

void SystemTimeAsFileTime(FileTime* time) {
    if (time == nullptr) return;
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    *time = ToFileTime(now);
}

bool LocalDosDateTime(uint64_t file_time, uint32_t* date_time) {
    const uint64_t epoch = static_cast<uint64_t>(kUnixEpochAsFileTime);
    if (file_time < epoch) return false;
    const time_t when = static_cast<time_t>((file_time - epoch) / kFileTimeTicksPerSecond);
    struct tm local;
    if (::localtime_r(&when, &local) == nullptr) return false;
    // The DOS date keeps the year in seven bits from 1980, as FileTimeToDosDateTime does.
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2107) return false;
    const uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    const uint32_t time = static_cast<uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    *date_time = date << 16 | time;
    return true;
}

// ---- Code pages -----------------------------------------------------------------------------
// The ANSI code page is UTF-8 here: OEM names go through the 437 table, UTF-8 ones as they are.

namespace {

// Appends one character's `count` bytes when they fit before the NUL; false, leaving
// `destination` as it was, when they do not.
bool Put(char* destination, size_t size, size_t* used, const uint8_t* bytes, size_t count) {
    if (*used + count >= size) return false;
    std::memcpy(destination + *used, bytes, count);
    *used += count;
    return true;
}

Conversion Finish(char* destination, size_t used, Conversion result) {
    destination[result == Conversion::NoForm ? 0 : used] = '\0';
    return result;
}

// The OEM byte whose code point is `code_point`; -1 when code page 437 has none.
int OemByteOf(char32_t code_point) {
    if (code_point < 0x80) return static_cast<int>(code_point);
    for (int byte = 0x80; byte < 0x100; ++byte) {
        if (kOemToUnicode[byte] == code_point) return byte;
    }
    return -1;
}

// Walks the UTF-8 `source` character by character, handing each to `take` (which returns the
// bytes to write and their count, 0 for a character without a form). The whole source is
// looked at even after a cut, so that a character without a form further on still counts.
template <typename Take>
Conversion FromUtf8(const char* source, char* destination, size_t size, Take take) {
    const uint8_t* text = reinterpret_cast<const uint8_t*>(source);
    size_t left = std::strlen(source);
    size_t used = 0;
    bool cut = false;
    while (left > 0) {
        char32_t code_point = 0;
        const size_t length = DecodeUtf8(text, left, &code_point);
        uint8_t bytes[kMaxUtf8Length];
        const size_t count = length == 0 ? 0 : take(code_point, text, length, bytes);
        if (count == 0) return Finish(destination, used, Conversion::NoForm);
        if (!cut) cut = !Put(destination, size, &used, bytes, count);
        text += length;
        left -= length;
    }
    return Finish(destination, used, cut ? Conversion::Cut : Conversion::Whole);
}

}  // namespace

Conversion OemToAnsi(const char* source, char* destination, size_t size) {
    size_t used = 0;
    for (const uint8_t* p = reinterpret_cast<const uint8_t*>(source); *p != 0; ++p) {
        uint8_t bytes[kMaxUtf8Length];
        const size_t count = EncodeUtf8(kOemToUnicode[*p], bytes);
        if (!Put(destination, size, &used, bytes, count)) return Finish(destination, used, Conversion::Cut);
    }
    return Finish(destination, used, Conversion::Whole);
}

Conversion AnsiToOem(const char* source, char* destination, size_t size) {
    return FromUtf8(source, destination, size, [](char32_t code_point, const uint8_t*, size_t, uint8_t* bytes) -> size_t {
        const int byte = OemByteOf(code_point);
        if (byte < 0) return 0;
        bytes[0] = static_cast<uint8_t>(byte);
        return 1;
    });
}

Conversion Utf8ToAnsi(const char* source, char* destination, size_t size) {
    return FromUtf8(source, destination, size, [](char32_t, const uint8_t* text, size_t length, uint8_t* bytes) {
        std::memcpy(bytes, text, length);
        return length;
    });
}

// Names on a POSIX file system are bytes, UTF-8 or not: they are taken as they are, and a cut
// backs off over at most the three bytes that may continue a character.
Conversion AnsiToUtf8(const char* source, char* destination, size_t size) {
    const size_t length = std::strlen(source);
    if (length < size) {
        std::memcpy(destination, source, length + 1);
        return Conversion::Whole;
    }
    size_t kept = size - 1;
    for (int step = 0; step < 3 && kept > 0 && IsUtf8Continuation(static_cast<uint8_t>(source[kept])); ++step) --kept;
    std::memcpy(destination, source, kept);
    return Finish(destination, kept, Conversion::Cut);
}

bool IsLeadByte(uint8_t) { return false; }

}  // namespace uuarc
