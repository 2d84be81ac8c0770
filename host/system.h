// system.h - what the host needs of the operating system. One back end per platform:
// system_posix.cpp or system_win32.cpp. Paths here are native: UTF-8 with "/" on Linux, the
// ANSI code page on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace uuarc_host {

constexpr char kPathSeparator =
#if defined(_WIN32)
    '\\';
#else
    '/';
#endif

// ---- Paths --------------------------------------------------------------------------------------
struct PathInfo {
    bool exists = false;         // something is there, a dangling symbolic link too
    bool is_link = false;        // the last component is a symbolic link (or reparse point)
    bool is_directory = false;   // what it leads to is a directory
    bool is_regular = false;     // what it leads to is a plain file
    bool is_device = false;      // what it leads to is a character or block device
    int64_t size = 0;
    int64_t modified = 0;        // last write, in the system's own ticks
};

// Asks about `path` without opening it.
PathInfo QueryPath(const std::string& path);

// True when `path` leads to the file that this run has as its standard input (/dev/stdin, say).
bool IsStandardInput(const std::string& path);

// True when both paths lead to one file; false when they do not or either cannot be examined.
bool SameFile(const std::string& a, const std::string& b);

// `path` made absolute against the current directory; unchanged when it already is.
std::string AbsolutePath(const std::string& path);

// ---- Files this run made -------------------------------------------------------------------------
// What tells one file from another: device and inode (volume and file index on Windows). A run
// removes only a file whose identity it took while it knew the file to be its own.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t file = 0;
};

// The identity of the regular file at `path`, looked at without following a link, that this user
// owns and that has no other name (POSIX). False for anything else. With `must_be_empty`, only
// an empty file passes: one that was made a moment ago.
bool IdentifyOwnFile(const std::string& path, bool must_be_empty, FileIdentity& identity);

// The system's words for the error of the last failed call.
std::string SystemErrorText();

// Why `path` cannot be read as a file, in the system's words, or because it is a directory, a
// FIFO, a device or a socket; empty when it can. It is never opened: a message must not wait for
// a FIFO's writer or a device.
std::string WhyUnreadable(const std::string& path);

// Why a new file cannot be made at `path` (missing folders would be made on the way); empty
// when no reason shows. Nothing is opened.
std::string WhyUncreatable(const std::string& path);

// ---- Folders held for short paths ---------------------------------------------------------------
// A folder held open, and a short name by which any path reaches it however long its own path is:
// "/proc/self/fd/N" on Linux.
struct HeldFolder {
    intptr_t handle = -1;
    std::string name;
};

// The longest name that HoldFolder gives.
constexpr size_t kMaxHeldFolderName = 24;

// Opens the existing folder `folder` (as its path resolves, links and all) and names it. False
// where it cannot be opened, or the system has no such names (Windows, a Linux without /proc).
bool HoldFolder(const std::string& folder, HeldFolder& held);

// Lets the folder go: its name reaches nothing any more.
void ReleaseFolder(const HeldFolder& held);

// ---- Private scratch space ----------------------------------------------------------------------
// A new folder that only this user can enter (0700 on POSIX), in $TMPDIR (or /tmp) or the
// Windows temporary folder. False, with the reason in `error`.
bool MakePrivateFolder(std::string& path, std::string& error);

// Creates `path`, which must not exist, readable by this user only (0600), open for binary
// writing; null with errno or the last error set.
std::FILE* CreatePrivateFile(const std::string& path);

// Makes `alias` a second name of the existing file `target` (absolute): a symbolic link on POSIX,
// a hard link or else a copy on Windows.
bool MakeAlias(const std::string& target, const std::string& alias);

// ---- Loading the module -------------------------------------------------------------------------
// The system's loader (dlopen or LoadLibraryA), for module_loader.cpp. A library handle is null
// when nothing is loaded.
void* OpenLibrary(const std::string& path, std::string& error);
void* FindSymbol(void* library, const char* name);
void CloseLibrary(void* library);

// The file of the running executable itself (a symbolic link to it followed); empty when unknown.
std::string ExecutablePath();

// ---- Standard streams ---------------------------------------------------------------------------
// Opens the null device on each of descriptors 0, 1 and 2 that is closed (POSIX): write-only on 0
// and read-only on 1 and 2, so that every use of one fails and is reported, and no file opened
// later takes its number. Nothing on Windows.
void OpenClosedStandardStreams();
bool IsTerminal(std::FILE* stream);
// True when both streams are terminals and the same one: what is written to either shows in one
// place (on Windows, the process's one console).
bool SameTerminal(std::FILE* a, std::FILE* b);
// The terminal's width in columns; 0 when it is not a terminal or does not say.
int TerminalColumns(std::FILE* stream);
// Binary mode for a standard stream that carries file data (a no-op on POSIX).
void SetBinaryMode(std::FILE* stream);

// ---- Interrupts ---------------------------------------------------------------------------------
// The calls below are safe in the interrupt handler: no allocation, no locks, no stdio.
void RemoveFileNow(const char* path);
// Removes `path` only while it is the file `identity` names (looked at without following a link).
void RemoveOwnFileNow(const char* path, const FileIdentity& identity);
void RemoveFolderNow(const char* path);
void WriteErrorNow(const char* text, size_t length);
[[noreturn]] void ExitNow(int code);

// Calls `handler` with the signal number on every signal that ends the process by default but
// for the program's own faults: SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXCPU, SIGPIPE, SIGUSR1,
// SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGSTKFLT and the real-time signals (on
// Windows: Ctrl-C, Ctrl-Break and closing the console). The handler ends the process. SIGXFSZ is
// ignored: a write over the file-size limit then fails as a write. SIGSEGV, SIGBUS, SIGILL,
// SIGFPE, SIGABRT, SIGTRAP and SIGSYS keep their default action.
void InstallInterruptHandler(void (*handler)(int signal));

// Between these two an interrupt waits: the handler never sees a half-made change.
void HoldInterrupts();
void ReleaseInterrupts();

}  // namespace uuarc_host
