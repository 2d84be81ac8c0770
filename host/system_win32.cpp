// system_win32.cpp - the Windows back end of system.h. The console's Ctrl-C arrives on a thread
// of its own; the handler cleans up from there and ends the process.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "host/system.h"

namespace uuarc_host {

namespace {

std::string ErrorText(DWORD code) {
    char buffer[256] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                  code, 0, buffer, sizeof buffer, nullptr);
    while (length > 0 && (buffer[length - 1] == '\n' || buffer[length - 1] == '\r' ||
                          buffer[length - 1] == '.' || buffer[length - 1] == ' ')) {
        --length;
    }
    return length == 0 ? "error " + std::to_string(code) : std::string(buffer, length);
}

std::string ParentFolder(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

}  // namespace

PathInfo QueryPath(const std::string& path) {
    PathInfo info;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return info;
    info.exists = true;
    info.is_link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    info.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.is_device = (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0;
    info.is_regular = !info.is_directory && !info.is_device;
    info.size = static_cast<int64_t>((uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
    info.modified = static_cast<int64_t>((uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                         data.ftLastWriteTime.dwLowDateTime);
    return info;
}

// Only "-" names standard input here: Windows has no path for it.
bool IsStandardInput(const std::string&) { return false; }

// Windows has no name that reaches an open folder: its paths keep their limits.
bool HoldFolder(const std::string&, HeldFolder&) { return false; }

void ReleaseFolder(const HeldFolder&) {}

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::string* paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        HANDLE handle = CreateFileA(paths[i]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        BOOL ok = GetFileInformationByHandle(handle, &info[i]);
        CloseHandle(handle);
        if (!ok) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

std::string AbsolutePath(const std::string& path) {
    char buffer[MAX_PATH + 1];
    DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    return length == 0 || length > MAX_PATH ? path : std::string(buffer, length);
}

namespace {

// Opens `path` itself, a link or junction included, with `access`; the handle's file must be a
// plain file with `identity` (or, with `identity` null, its identity is returned in `found`).
HANDLE OpenOwnFile(const char* path, DWORD access, const FileIdentity* identity, FileIdentity* found) {
    HANDLE handle = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return handle;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain = GetFileInformationByHandle(handle, &info) &&
                       (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
                       info.nNumberOfLinks == 1;
    FileIdentity seen;
    seen.device = info.dwVolumeSerialNumber;
    seen.file = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    if (!plain || (identity != nullptr && (seen.device != identity->device || seen.file != identity->file))) {
        CloseHandle(handle);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (found != nullptr) *found = seen;
    return handle;
}

}  // namespace

bool IdentifyOwnFile(const std::string& path, bool must_be_empty, FileIdentity& identity) {
    HANDLE handle = OpenOwnFile(path.c_str(), FILE_READ_ATTRIBUTES, nullptr, &identity);
    if (handle == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    const bool empty = GetFileSizeEx(handle, &size) && size.QuadPart == 0;
    CloseHandle(handle);
    return !must_be_empty || empty;
}

std::string SystemErrorText() { return ErrorText(GetLastError()); }

std::string WhyUnreadable(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return SystemErrorText();
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "it is a directory";
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) return "it is a device, not a regular file";
    // A plain file: opening it for reading waits for nothing.
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return SystemErrorText();
    CloseHandle(handle);
    return "";
}

std::string WhyUncreatable(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return "it is a link, which is never written through";
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "it is a directory";
        if (attributes & FILE_ATTRIBUTE_READONLY) return "it is read-only";
        return "";
    }
    std::string folder = path;
    for (;;) {
        std::string parent = ParentFolder(folder);
        if (parent == folder) return SystemErrorText();
        folder = parent;
        attributes = GetFileAttributesA(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) break;
        if (folder == ".") return SystemErrorText();
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? "" : ErrorText(ERROR_DIRECTORY);
}

bool MakePrivateFolder(std::string& path, std::string& error) {
    char root[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof root, root);
    if (length == 0 || length > MAX_PATH) {
        error = "the temporary folder: " + SystemErrorText();
        return false;
    }
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        std::string candidate = std::string(root, length) + "uuarc." + std::to_string(GetCurrentProcessId()) +
                                "." + std::to_string(attempt);
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            path = candidate;
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            error = candidate + ": " + SystemErrorText();
            return false;
        }
    }
    error = std::string(root, length) + ": no free name for a temporary folder";
    return false;
}

std::FILE* CreatePrivateFile(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) _close(fd);
    return file;
}

bool MakeAlias(const std::string& target, const std::string& alias) {
    return CreateHardLinkA(alias.c_str(), target.c_str(), nullptr) ||
           CopyFileA(target.c_str(), alias.c_str(), TRUE);
}

void* OpenLibrary(const std::string& path, std::string& error) {
    HMODULE handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) error = "error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(handle);
}

void* FindSymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

std::string ExecutablePath() {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(buffer, length);
}

void OpenClosedStandardStreams() {}

// A console, not merely a character device: _isatty also answers yes for NUL.
bool IsTerminal(std::FILE* stream) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool SameTerminal(std::FILE* a, std::FILE* b) { return IsTerminal(a) && IsTerminal(b); }

int TerminalColumns(std::FILE* stream) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(handle, &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

void SetBinaryMode(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

void RemoveFileNow(const char* path) { DeleteFileA(path); }

// Deleted through the handle whose identity was checked: no other file can take its place.
void RemoveOwnFileNow(const char* path, const FileIdentity& identity) {
    HANDLE handle = OpenOwnFile(path, DELETE | FILE_READ_ATTRIBUTES, &identity, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return;
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
    CloseHandle(handle);
}

void RemoveFolderNow(const char* path) { RemoveDirectoryA(path); }

void WriteErrorNow(const char* text, size_t length) {
    DWORD wrote = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(length), &wrote, nullptr);
}

void ExitNow(int code) { ExitProcess(static_cast<UINT>(code)); }

namespace {

SRWLOCK g_interrupt_lock = SRWLOCK_INIT;
void (*g_interrupt_handler)(int) = nullptr;
int g_hold_depth = 0;

// The console's events as the POSIX signal numbers that the exit code is made of.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    int signal_number = 0;
    switch (event) {
        case CTRL_C_EVENT: signal_number = 2; break;        // SIGINT
        case CTRL_BREAK_EVENT: signal_number = 15; break;   // as SIGTERM
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: signal_number = 1; break; // as SIGHUP
        default: return FALSE;
    }
    AcquireSRWLockExclusive(&g_interrupt_lock);
    g_interrupt_handler(signal_number);
    return TRUE;
}

}  // namespace

void InstallInterruptHandler(void (*handler)(int signal)) {
    g_interrupt_handler = handler;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// Holds nest (on the main thread, the only one that holds): the outermost pair takes the lock.
void HoldInterrupts() {
    if (g_hold_depth++ == 0) AcquireSRWLockExclusive(&g_interrupt_lock);
}

void ReleaseInterrupts() {
    if (g_hold_depth > 0 && --g_hold_depth == 0) ReleaseSRWLockExclusive(&g_interrupt_lock);
}

}  // namespace uuarc_host
