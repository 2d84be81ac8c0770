// platform.h - everything the module needs of the operating system: buffered file streams with
// their own text mode, the file services, code-page conversion and the failure hook for tests.
// One back end implements it per build: platform_win32.cpp or platform_posix.cpp (see
// CMakeLists.txt), each with the system calls behind g_system, path conversion, times and code
// pages. stream.cpp (the streams) and files.cpp (the file services) are written once, over the
// table, for both.
//
// Paths handed in here are in Windows syntax and the ANSI code page, as the host speaks them. The
// POSIX back end, whose ANSI code page is UTF-8, maps "\" to "/" at the file-system boundary and
// passes every other byte as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "uuarc.h"

namespace uuarc {

struct FileInfo;
enum class OpenHow;

// A native file handle or descriptor; kNoHandle when none.
using FileHandle = intptr_t;
constexpr FileHandle kNoHandle = -1;

// A stream's buffer: one system read or write moves up to this much, a system call per 2,000-odd
// data lines. An eighth of a mebibyte measured faster than a quarter or a whole one: the input's
// and the output's buffers then stay in the processor's cache between the system's copy and the
// codec. A sixteenth costs the 64-bit DLL more in calls under Wine than it saves, and the 32-bit
// DLL, whose calls cost more, keeps a quarter.
// A Stream is too large for a stack: it lives in static storage (the module's state, or a test's).
#if defined(_WIN32) && !defined(_WIN64)
constexpr size_t kStreamBufferSize = 256 * 1024;
#else
constexpr size_t kStreamBufferSize = 128 * 1024;
#endif

// ---- Buffered streams ------------------------------------------------------------------------
// Modes: "rt" and "wt" (text), "rb" and "wb" (binary). Text reads turn CR LF into LF (also when
// the pair straddles a buffer refill) and a lone CR (the line end of old Mac files) into LF, and
// stop at the byte 0x1A as at the end of the file. Text writes store each LF as CR LF. Write modes never follow a symbolic link (or other
// reparse point) at the last component of the path: a link there fails the open. Lengths and positions are 64-bit byte offsets of the file on disk.
//
// Errors are sticky: once a read or write has failed, StreamFailed() answers true until the
// stream is closed. At the end of the file a read returns what it got, then 0.
struct Stream {
    FileHandle handle = kNoHandle;
    bool text = false;
    bool writing = false;
    bool at_end = false;         // read side: end of file, or 0x1A in text mode
    bool failed = false;         // sticky error flag
    int64_t buffer_offset = 0;   // file offset of buffer[0]
    size_t start = 0;            // read side: next unread byte in buffer
    size_t end = 0;              // read side: bytes valid in buffer; write side: bytes pending
    int64_t length = -1;         // read side: the file's length once asked (StreamLength), or -1
    bool rewritten = false;      // read side: StreamNextLine put a LF over a CR in the buffer
    uint8_t buffer[kStreamBufferSize];
};

// Opens `path` with `mode` into a closed stream. False (stream stays closed) when it cannot, and
// always for anything but a regular file.
bool StreamOpen(Stream& stream, const char* path, const char* mode);

// StreamOpen for reading, but a stream that is open already (on that very file, which the caller
// kept open) is read again from its start instead, as StreamRewind reads it. False, the stream
// closed, when it can be neither.
bool StreamOpenOrRewind(Stream& stream, const char* path, const char* mode);

// Opens a file for writing with `mode` ("wt" or "wb") the way `how` says (CreateNew, CreateLike,
// CreateUnnamed or Overwrite; see the failure hook below), `like` as that takes it, relative to
// `folder` when one is given (see "Folders"). False, the stream closed, when it cannot.
bool StreamCreate(Stream& stream, const char* path, const char* mode, OpenHow how, const FileInfo* like,
                  FileHandle folder = kNoHandle);

// Opens the process's standard output (OpenHow::StandardOutput) or the null device
// (OpenHow::NullDevice) into a closed stream for writing with `mode` ("wb", or "wt" for an
// encoded text): the sinks that take a file without a file being made. Nothing is known about
// either beyond that it takes bytes (a pipe, a terminal, a file the shell opened), so
// StreamPosition counts the bytes it took. False, the stream closed, for any other `how` and on
// Win32.
bool StreamOpenSink(Stream& stream, OpenHow how, const char* mode);

// Writes what is pending without closing, so that the file can still be linked in by its handle.
// True when everything written so far reached the file; false once the stream has failed.
bool StreamFlush(Stream& stream);

// Copies everything written to `stream`, a file made by OpenHow::CreatePrivate and flushed, over
// the existing file `path` (in `folder`) that `like` names, through the stream's buffer: the file
// is opened as OpenHow::Overwrite opens it (checked to be that file, given the bits of `like`, cut
// to nothing) and written from the start, with the signals that end the process held meanwhile
// (HoldTerminatingSignals). True when every byte went in; false when the file was not opened (it
// is as it was) or a read or write failed after the cut (it is cut short).
bool StreamCopyOver(Stream& stream, const char* path, const FileInfo& like, FileHandle folder);

// Flushes what is pending and closes. True when everything written reached the file; false when
// a write, the flush or the close failed. Closing a closed stream does nothing and answers true.
bool StreamClose(Stream& stream);

bool StreamIsOpen(const Stream& stream);   // inline, below
bool StreamFailed(const Stream& stream);   // inline, below

// Reads one line like fgets: at most size - 1 characters, through the LF, then a NUL. Returns the
// number of characters stored (a NUL byte read from the file counts as one); 0 when nothing was
// left to read (end of file, 0x1A, or an error). size must be at least 2.
size_t StreamReadLine(Stream& stream, char* buffer, size_t size);

// The same line without the copy where it can: the view holds the characters that StreamReadLine
// would store (no NUL after them), either in the stream's own buffer (a CR LF end reads there as
// LF too: the LF is put over the CR) or, when the line holds 0x1A in text mode or runs past what
// is buffered, in `buffer` with a NUL. It stays valid until the next call on the stream. Empty
// when StreamReadLine would return 0. StreamReadLine itself never changes the buffer.
std::string_view StreamNextLine(Stream& stream, char* buffer, size_t size);

// Reads up to `count` bytes; returns how many were read, 0 at the end or after an error.
size_t StreamRead(Stream& stream, void* data, size_t count);

// Read side: fills the buffer from the file, without taking anything, until it is full or the
// file has ended. True when the end of the file (or 0x1A in text mode) was met: StreamBuffered
// then holds all that is left of the file. False when the buffer is full first or a read failed.
bool StreamBufferAll(Stream& stream);

// The same bytes without the copy where it can: when all `count` of them are buffered in a binary
// stream, the view holds them in the stream's own buffer; otherwise they are read into `buffer`.
// It stays valid until the next call on the stream. Inline, below.
std::span<const uint8_t> StreamNextBytes(Stream& stream, uint8_t* buffer, size_t count);

// Writes `count` bytes of the caller's data; returns how many of them were accepted, fewer than
// `count` only when a write to the file failed (the stream is then failed).
size_t StreamWrite(Stream& stream, const void* data, size_t count);

// Writing in place, without a copy: StreamSpace gives room for `count` bytes (at most the
// buffer's size) in the write buffer, flushing what is pending first when there is less.
// StreamCommit then takes the first `count` bytes written there as if they had gone through
// StreamWrite; in text mode they may hold a LF only as their last byte, and StreamSpace keeps a
// byte more for the CR that goes before it. After a failed flush the room is still there but its
// bytes are dropped, and StreamCommit answers false, as it does whenever the stream has failed.
// StreamSpace gives nullptr only for a stream not open for writing. Both inline, below.
uint8_t* StreamSpace(Stream& stream, size_t count);
bool StreamCommit(Stream& stream, size_t count);

// Length of the open file on disk in bytes (pending writes included); -1 when unknown. A file
// open for reading is asked once: later calls give the same answer until it is closed.
int64_t StreamLength(Stream& stream);

// Read side: what the open file is now (its size and times among the rest); its size is what
// StreamLength answers from then on. False when the system cannot say.
bool StreamFileInfo(Stream& stream, FileInfo* info);

// Opens `again` ("rt" or "rb") on the file that the read stream `first` has open, with a position of
// its own: the same file however its path changed meanwhile. Where the system cannot open it so,
// or `first` is null or not open, `path` is opened, and kept only while it names the file that
// `first` reads. False when neither is open: a second reader never reads another file.
bool StreamOpenAgain(Stream& again, const Stream* first, const char* path, const char* mode);

// Read side: back to the start of the file, to read it again from its first byte. Where the
// buffer still holds the start of the file as it lies on disk (a file that fits in it, or one read
// no further, and no CR put over by StreamNextLine), it is read again from there without a system
// call; else the file is sought back to its start and read afresh. False for a stream not open for reading or failed, and when the seek fails (the
// stream has then failed).
bool StreamRewind(Stream& stream);

// Read side: file offset of the next byte that a read would return. Inline, below.
int64_t StreamPosition(const Stream& stream);

// ---- The calls of the per-line loops, inline -------------------------------------------------
// Decoding and encoding call these once a line; defined here, they cost no call while the buffer
// holds the bytes or has the room, in every build (the DLL's too, which is linked without
// whole-program optimisation). What they need beyond that is done in stream.cpp.

// StreamSpace when the room is short or the stream cannot be written: flushes or refuses.
uint8_t* StreamSpaceAfterFlush(Stream& stream, size_t count);

inline bool StreamIsOpen(const Stream& stream) { return stream.handle != kNoHandle; }

inline bool StreamFailed(const Stream& stream) { return stream.failed; }

inline std::span<const uint8_t> StreamNextBytes(Stream& stream, uint8_t* buffer, size_t count) {
    if (stream.handle != kNoHandle && !stream.writing && !stream.failed && !stream.text &&
        count <= stream.end - stream.start) {
        const uint8_t* bytes = stream.buffer + stream.start;
        stream.start += count;
        return {bytes, count};
    }
    return {buffer, StreamRead(stream, buffer, count)};
}

inline uint8_t* StreamSpace(Stream& stream, size_t count) {
    if (stream.handle != kNoHandle && stream.writing && !stream.failed && count < kStreamBufferSize &&
        count + (stream.text ? 1 : 0) <= kStreamBufferSize - stream.end) {
        return stream.buffer + stream.end;
    }
    return StreamSpaceAfterFlush(stream, count);
}

inline bool StreamCommit(Stream& stream, size_t count) {
    if (stream.handle == kNoHandle || !stream.writing || stream.failed) return false;
    uint8_t* at = stream.buffer + stream.end;
    if (stream.text && count > 0 && at[count - 1] == '\n') {  // LF goes out as CR LF
        at[count - 1] = '\r';
        at[count++] = '\n';
    }
    stream.end += count;
    return true;
}

// The unread bytes of a read stream's buffer as they lie in the file, before the text mode: for
// a reader that recognises whole lines there itself and takes them with StreamSkip (at most as
// many bytes as this gives). Empty for a stream that is not open for reading or has failed.
inline std::span<const uint8_t> StreamBuffered(const Stream& stream) {
    if (stream.handle == kNoHandle || stream.writing || stream.failed) return {};
    return {stream.buffer + stream.start, stream.end - stream.start};
}

inline void StreamSkip(Stream& stream, size_t count) { stream.start += count; }

// The room that a write stream's buffer has left before StreamSpace must flush; 0 for a stream
// that cannot be written.
inline size_t StreamRoom(const Stream& stream) {
    if (stream.handle == kNoHandle || !stream.writing || stream.failed) return 0;
    return kStreamBufferSize - stream.end;
}

// StreamCommit without the text mode: the bytes go out exactly as they were written, for a writer
// that puts the line ends of a text file there itself.
inline bool StreamCommitAsIs(Stream& stream, size_t count) {
    if (stream.handle == kNoHandle || !stream.writing || stream.failed) return false;
    stream.end += count;
    return true;
}

inline int64_t StreamPosition(const Stream& stream) {
    if (stream.handle == kNoHandle) return -1;
    if (stream.writing) return stream.buffer_offset + static_cast<int64_t>(stream.end);
    return stream.buffer_offset + static_cast<int64_t>(stream.start);
}

// ---- File services ---------------------------------------------------------------------------
// Each checks what it is handed and reaches the system through g_system alone, alike on both
// systems. A null or empty path names no file: every call below refuses it (false, or kNoHandle),
// but OpenFolder, for which "" is the current folder.
//
// Win32 attribute bits. The POSIX back end reports a directory as kAttrDirectory, a file without
// write permission as kAttrReadOnly, any other file as kAttrArchive (or'ed with read-only).
constexpr uint32_t kAttrReadOnly = UUARC_ATTR_READ_ONLY;
constexpr uint32_t kAttrHidden = UUARC_ATTR_HIDDEN;
constexpr uint32_t kAttrSystem = UUARC_ATTR_SYSTEM;
constexpr uint32_t kAttrDirectory = UUARC_ATTR_DIRECTORY;
constexpr uint32_t kAttrArchive = UUARC_ATTR_ARCHIVE;
constexpr uint32_t kAttrNormal = UUARC_ATTR_NORMAL;

// What lies under a path. Only a regular file (Win32: a disk file) is ever read or written by the
// module; a link is reported as such only where the query does not follow it.
enum class FileKind : uint8_t { Regular, Directory, Link, Other };

struct FileInfo {
    FileKind kind = FileKind::Other;
    uint32_t attributes = 0;   // the Win32 attribute word (POSIX: as the bits above say)
    uint32_t permissions = 0;  // POSIX permission bits (07777); 0 on Win32
    int64_t size = 0;
    uint64_t last_write = 0;   // 100 ns ticks since 1601 (FILETIME), UTC
    uint64_t volume = 0;       // device or volume serial
    uint64_t index = 0;        // inode or file index
    uint32_t links = 1;        // hard links to the file
    uint32_t owner = 0;        // POSIX user and group; 0 on Win32
    uint32_t group = 0;
};

// True when a file or directory exists under the path (a link is followed); no access test.
bool PathExists(const char* path);

// The attribute word (GetFileAttributesA); false when the path cannot be queried.
bool PathAttributes(const char* path, uint32_t* attributes);

// What the path itself is, a link at its last component not followed; false when nothing is there
// (or it cannot be asked).
bool PathInfo(const char* path, FileInfo* info, FileHandle folder = kNoHandle);

// Sets the attribute word (SetFileAttributesA) of the file itself, never of what a link at the
// last component points to: a link is refused. On POSIX only the read-only bit has an effect: it
// clears or restores the owner's write permission.
bool SetPathAttributes(const char* path, uint32_t attributes);

// Creates one directory; false when it cannot (its parent must exist).
bool MakeDirectory(const char* path, FileHandle folder = kNoHandle);

// Gives `from` the name `to`, replacing a regular file there in one step (a read-only one too,
// on Win32). False when it cannot; both names are then as they were. With a folder, both names
// are in it.
bool RenameReplacing(const char* from, const char* to, FileHandle folder = kNoHandle);

// Whether the system would let the caller write the existing regular file as it is (it is opened
// for writing and closed again, unchanged).
bool FileWritable(const char* path, FileHandle folder = kNoHandle);

// Removes a file; false when it cannot.
bool RemoveFile(const char* path, FileHandle folder = kNoHandle);

// The find-data record of an existing file, as FindFirstFileA gives it (then FindClose); false
// when no file is found, and for a path that ends in "\" or "/". On POSIX the record is
// synthesized from lstat: times as FILETIME, the file's own name (its last path component, as
// the host spelt it) and an empty short name.
bool FindFile(const char* path, FindData* record, FileHandle folder = kNoHandle);

// ---- Folders ---------------------------------------------------------------------------------
// A folder handle pins the directory that an output is made in, from the replace question to the
// last rename. Every call above that takes one works on the last component of `path` inside that
// folder: on POSIX through the descriptor alone (openat and its kin), so that what the rest of
// the path names by then does not matter; on Win32 through the path, which the held directory
// keeps in place (it is open without FILE_SHARE_DELETE, so it cannot be renamed or removed).

// Opens the directory `path`. With `follow`, as the path resolves (the host's own folders);
// without, a link or any other reparse point at its last component is refused. Relative to
// `folder` when one is given. kNoHandle when it cannot; CloseFileHandle releases it.
FileHandle OpenFolder(const char* path, bool follow, FileHandle folder = kNoHandle);

// Whether the caller may make and remove names in the open folder (Win32: assumed).
bool FolderWritable(FileHandle folder);

// Gives the file of `handle`, made by OpenHow::CreateUnnamed, the name `path` in `folder`. False
// when it cannot, a name already there included.
bool LinkFile(FileHandle handle, const char* path, FileHandle folder);

// The system's folder for temporary files, with a separator at its end, in host syntax: "\var\tmp\"
// on POSIX (no environment variable is read), GetTempPathA on Win32. False when it does not fit.
bool SystemTemporaryFolder(char* path, size_t size);

// Takes from the open file's permission bits those not in `kept` (POSIX; nothing on Win32). False
// when they cannot be read or set.
bool KeepPermissions(FileHandle handle, uint32_t kept);

// Between these two the signals that end a POSIX process by default (all of them but SIGKILL and
// the program's own faults: SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS) wait for
// this thread; the previous mask comes back after. Nothing on Win32. They do not nest.
void HoldTerminatingSignals();
void ReleaseTerminatingSignals();

// The current system time in UTC (GetSystemTimeAsFileTime).
void SystemTimeAsFileTime(FileTime* time);

// Opens an existing regular file for reading its times. kNoHandle when it cannot.
FileHandle OpenFileForInfo(const char* path);

// The last-write time of the open file, in local time, as DOS date << 16 | DOS time
// (GetFileTime, FileTimeToLocalFileTime, FileTimeToDosDateTime). False when a step fails.
bool HandleDosDateTime(FileHandle handle, uint32_t* date_time);

// The same of the last write in `info` (as StreamFileInfo gives it for an open stream): what a
// listing shows, without opening the file again. 0 where it cannot be packed so.
uint32_t InfoDosDateTime(const FileInfo& info);

void CloseFileHandle(FileHandle handle);

// The identity of the open file: device and inode, or volume serial and file index. False when
// the system does not say.
bool HandleIdentity(FileHandle handle, uint64_t* volume, uint64_t* index);

// True when both paths exist and name the same file (device and inode, or volume serial and
// file index), however they are spelt. An identity of 0 and 0 is one the system did not give:
// two such files are never the same.
bool SameFile(const char* path_a, const char* path_b);

// ---- Code pages ------------------------------------------------------------------------------
// Names inside an encoded file are in OEM code page 437 or in UTF-8; paths and names outside it
// are in the module's ANSI code page: the system's on Win32, UTF-8 on POSIX. Each conversion
// reads the NUL-terminated `source` and writes at most `size` bytes (at least 1), the NUL
// included, into `destination`, which must not overlap it. No character is ever cut in two.
enum class Conversion : uint8_t {
    Whole,   // every character, exactly (or, for OemToAnsi, as OemToCharA gives it)
    Cut,     // exact as far as it goes: the characters that did not fit were left off
    NoForm,  // a character has no exact form in the target, or the source is malformed;
             // `destination` is then the empty string
};

// OEM to ANSI the way OemToCharA goes: a character that the ANSI code page lacks becomes a
// look-alike. Never NoForm. POSIX: the 437 table of codepage_tables.h, into UTF-8.
Conversion OemToAnsi(const char* source, char* destination, size_t size);

// ANSI to OEM, exactly: NoForm where CharToOemA would put a look-alike or "?". POSIX: NoForm
// also for a source that is not UTF-8.
Conversion AnsiToOem(const char* source, char* destination, size_t size);

// UTF-8 to ANSI, exactly: NoForm for a source that is not UTF-8 or a character that the ANSI code
// page lacks (Win32: MultiByteToWideChar, then WideCharToMultiByte with WC_NO_BEST_FIT_CHARS).
// POSIX: the bytes as they are, once they have been found to be UTF-8.
Conversion Utf8ToAnsi(const char* source, char* destination, size_t size);

// ANSI to UTF-8; never NoForm. POSIX: the bytes as they are, whatever they hold.
Conversion AnsiToUtf8(const char* source, char* destination, size_t size);

// Whether the byte begins a double-byte character in the ANSI code page (always false on POSIX:
// no byte of a UTF-8 character ever looks like "\", "/", ":" or ".").
bool IsLeadByte(uint8_t byte);

// ---- Failure hook ----------------------------------------------------------------------------
// The module reaches the system only through this table, so that a test can replace an entry to
// make the Nth call fail (see tests/fail_hook.h) or serve a file from memory. Paths here are
// already native.
//   Read         an existing regular file; anything else (a FIFO, a device, a directory) is
//                refused without being opened for reading, so nothing blocks and nothing is read.
//   WriteTruncate  create or truncate a regular file; a link or anything else there is refused.
//   WriteProbe   an existing regular file opened for writing without changing it: whether the
//                system would let the caller write it as it is.
//   CreateNew    a file that must not exist yet (a link there, even a dangling one, fails it),
//                with the permission bits of `like` less setuid, setgid and sticky, or 0666
//                without it, less the umask either way (Win32: normal attributes, `like` unused).
//   CreateLike   the same, with the permission bits of `like` from the start, never wider (Win32:
//                its read-only, hidden and system bits); the handle writes all the same. Run as
//                root, the file also gets the owner and group of `like` before anyone can name it.
//   CreateUnnamed  a file without a name in `folder` (Linux: O_TMPFILE), which LinkFile names
//                later, so that nothing is left behind when the run dies; with `like`, made as
//                CreateLike makes it, without it as CreateNew. Fails where the file system or
//                the system has no such files (Win32 always): the caller then names the file
//                at once.
//   CreatePrivate  a new file for reading and writing that its owner alone may read (0600; Win32:
//                hidden, temporary, deleted when it is closed) and that has no name once open:
//                made without one in the directory of `path` where the system allows (Linux:
//                O_TMPFILE), else made under `path` and its name removed at once (POSIX).
//   Overwrite    the existing regular file that `like` describes (its volume and index), opened
//                for writing without following a link, checked to be that very file, and cut
//                to length 0. Permission bits of `like` that differ are set on a descriptor,
//                never on the path: through a read-only one first where the file cannot be
//                opened for writing as it is (after a yes). Win32: only the read-only bit.
//   StandardOutput  the process's standard output, through a descriptor (Win32: a handle) of its
//                own, so that closing it leaves the process's open; the path is not read. Not in
//                the 32-bit Windows build.
//   NullDevice   the null device, for writing; the path is not read. Not in the 32-bit Windows
//                build.
// Every other handle that open gives is of a regular file. With a folder, the path's last
// component is opened inside it (see "Folders").
enum class OpenHow {
    Read, WriteTruncate, WriteProbe, CreateNew, CreateLike, CreateUnnamed, CreatePrivate, Overwrite, StandardOutput,
    NullDevice
};

// The entries that take a folder work relative to it as "Folders" says, and on the whole path
// (relative to the current directory) when it is kNoHandle.
struct SystemCalls {
    FileHandle (*open)(FileHandle folder, const char* native_path, OpenHow how, const FileInfo* like);
    int64_t (*read)(FileHandle handle, void* data, size_t count);          // -1 on error
    int64_t (*write)(FileHandle handle, const void* data, size_t count);   // -1 on error
    bool (*close)(FileHandle handle);
    int64_t (*length)(FileHandle handle);                                   // -1 on error
    // What lies under the path, following a link at the last component or not; false when
    // nothing is there.
    bool (*query)(FileHandle folder, const char* native_path, bool follow, FileInfo* info);
    bool (*query_handle)(FileHandle handle, FileInfo* info);
    // The whole record, the name included; POSIX: the path's last component as it was handed in.
    bool (*find)(FileHandle folder, const char* native_path, FindData* record);
    bool (*set_attributes)(const char* native_path, uint32_t attributes);  // never through a link
    bool (*make_directory)(FileHandle folder, const char* native_path);
    // Replaces a regular file at `to`, a read-only one too (Win32: its read-only bit goes first).
    bool (*rename)(FileHandle folder, const char* native_from, const char* native_to);
    bool (*remove)(FileHandle folder, const char* native_path);
    FileHandle (*open_folder)(FileHandle folder, const char* native_path, bool follow);
    bool (*folder_writable)(FileHandle folder);
    bool (*link)(FileHandle handle, FileHandle folder, const char* native_path);
    bool (*seek_start)(FileHandle handle);                                  // to offset 0
    bool (*set_permissions)(FileHandle handle, uint32_t permissions);      // POSIX bits; Win32: true
    // The open regular file once more, for reading from a position of its own, whatever its path
    // names by now (Linux: through /proc; Win32: ReOpenFile). kNoHandle where the system cannot
    // (the 32-bit Windows build).
    FileHandle (*reopen)(FileHandle handle);
};

extern SystemCalls g_system;

// For stream.cpp, files.cpp and the back ends: the host's path in the form that g_system takes
// (POSIX: "\" to "/"; Win32: unchanged). False when it does not fit into `size` bytes with its NUL.
constexpr size_t kNativePathSize = 4096;
bool NativePath(const char* path, char* native, size_t size);

}  // namespace uuarc
