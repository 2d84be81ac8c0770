// uuarc_host.cpp - the command-line host: lists, extracts and creates uuencoded files by loading
// the module beside the executable (libuuarc.so or uuarc.dll) and driving its exports by name.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "module/status.h"
#include "module/uuarc.h"
#include "module/version.h"

namespace {

// ---- Exit codes ---------------------------------------------------------------------------------
// One code per kind of outcome; --help and host/README-usage.md list the same table.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,           // bad command line
    kExitNotEncoded = 2,      // 9974, 9964: no begin line, or damaged data
    kExitCannotOpen = 3,      // 5: a file cannot be opened or created, or its name not passed on
    kExitKept = 4,            // 2926: an existing file was kept because nobody agreed to replace it
    kExitWriteFailed = 5,     // 101: the output could not be written in full
    kExitCreateRefused = 6,   // 9901, 9907, 9908: creation refused
    kExitOther = 7,           // out of memory, the module cannot be loaded, any other status
};

int ExitCodeForStatus(uint16_t status) {
    switch (status) {
        case uuarc::kStatusOk: return kExitOk;
        case uuarc::kStatusBadFormat:
        case uuarc::kStatusNotEncoded: return kExitNotEncoded;
        case uuarc::kStatusCannotOpen: return kExitCannotOpen;
        case uuarc::kStatusReplaceRefused: return kExitKept;
        case uuarc::kStatusWriteFailed: return kExitWriteFailed;
        case uuarc::kStatusCreateRefused:
        case uuarc::kStatusTooManyMasks:
        case uuarc::kStatusSourceIsDirectory: return kExitCreateRefused;
        default: return kExitOther;
    }
}

constexpr uint32_t kOptionNoSourcePrefix = 0x0010;  // creation takes the mask as the whole path
constexpr size_t kMaxModulePath = 255;               // longest path the module accepts
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;

// ---- The module's exports -----------------------------------------------------------------------
// Resolved by name at load; the types come from the declarations in module/uuarc.h, so the calling
// convention (UUARC_CALL) travels with them.
#define UUARC_HOST_EXPORTS(X)                                                                  \
    X(AppendFileMask) X(BuildArcFileList) X(CompressFileMaskListArc) X(CreateArcFile)         \
    X(DoneArcFile) X(DoneArcFileList) X(DoneFileMaskList) X(ExtractFileMaskListArc)           \
    X(GetArchiveStatus) X(GetExtraInfoArc) X(InitArcFile) X(InitArcFileList)                  \
    X(InitFileMaskList) X(SetDecompExtraFeatures) X(SetOkToReplaceProc) X(SetOutputPath)      \
    X(SetSetFileNameProc) X(SetSetProgressProc) X(SetSetSignalProc) X(arOptionsOn)

struct ModuleApi {
#define UUARC_HOST_DECLARE(name) decltype(&::name) name = nullptr;
    UUARC_HOST_EXPORTS(UUARC_HOST_DECLARE)
#undef UUARC_HOST_DECLARE
};

ModuleApi g_api;

// ---- Operating system --------------------------------------------------------------------------
struct PathInfo {
    bool exists = false;
    bool is_directory = false;
    bool is_regular = false;     // a regular file itself, no link, device or FIFO
    uint32_t permissions = 0;    // POSIX permission bits; 0 on Windows
    int64_t size = 0;
};

#if defined(_WIN32)
constexpr const char* kModuleFileName = "uuarc.dll";

std::string OwnDirectory() {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    std::string path(buffer, length);
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void* OpenModule(const std::string& path, std::string& error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) error = "error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(module);
}

void* FindExport(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

// A console, not merely a character device: _isatty also answers yes for NUL.
bool IsTerminal(FILE* stream) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

PathInfo QueryPath(const std::string& path) {
    PathInfo info;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return info;
    info.exists = true;
    info.is_directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.is_regular = (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    info.size = static_cast<int64_t>((uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow);
    return info;
}

bool SameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION info[2];
    const std::string* paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        HANDLE handle = CreateFileA(paths[i]->c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        BOOL ok = GetFileInformationByHandle(handle, &info[i]);
        CloseHandle(handle);
        if (!ok) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
           info[0].nFileIndexLow == info[1].nFileIndexLow;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

void CopyPermissions(const PathInfo&, const std::string&) {}
#else
constexpr const char* kModuleFileName = "libuuarc.so";

std::string OwnDirectory() {
    std::vector<char> buffer(4096);
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return std::string();
    std::string path(buffer.data(), static_cast<size_t>(length));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void* OpenModule(const std::string& path, std::string& error) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) error = dlerror();
    return module;
}

void* FindExport(void* module, const char* name) { return dlsym(module, name); }

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

// A symbolic link counts as existing even when it dangles: the module refuses to write through
// one, and the host must not take it for a free name.
PathInfo QueryPath(const std::string& path) {
    PathInfo info;
    struct stat link_status;
    if (lstat(path.c_str(), &link_status) != 0) return info;
    info.exists = true;
    info.is_regular = S_ISREG(link_status.st_mode);
    info.permissions = static_cast<uint32_t>(link_status.st_mode & 07777);
    struct stat status;
    if (stat(path.c_str(), &status) == 0) {
        info.is_directory = S_ISDIR(status.st_mode);
        info.size = static_cast<int64_t>(status.st_size);
    }
    return info;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat status_a, status_b;
    if (stat(a.c_str(), &status_a) != 0 || stat(b.c_str(), &status_b) != 0) return false;
    return status_a.st_dev == status_b.st_dev && status_a.st_ino == status_b.st_ino;
}

bool RenameReplacing(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// The replacing file takes the permission bits of the one it replaces, never setuid, setgid or
// sticky.
void CopyPermissions(const PathInfo& replaced, const std::string& path) {
    chmod(path.c_str(), static_cast<mode_t>(replaced.permissions & 0777));
}
#endif

bool LoadModule(std::string& error) {
    std::string path = OwnDirectory() + kModuleFileName;
    std::string why;
    void* module = OpenModule(path, why);
    if (module == nullptr) {
        error = "cannot load the module " + path + ": " + why;
        return false;
    }
#define UUARC_HOST_RESOLVE(name)                                                          \
    g_api.name = reinterpret_cast<decltype(g_api.name)>(FindExport(module, #name));       \
    if (g_api.name == nullptr) {                                                          \
        error = "the module " + path + " has no export " #name;                           \
        return false;                                                                     \
    }
    UUARC_HOST_EXPORTS(UUARC_HOST_RESOLVE)
#undef UUARC_HOST_RESOLVE
    return true;
}

// ---- Names between the shell and the module ----------------------------------------------------
// The module speaks Windows syntax in its ANSI code page: UTF-8 on Linux, where only "/" and "\"
// are swapped on the way in and back on the way out; on Windows the command line is ANSI already
// and only the separators are unified.

// A path from the command line as the module takes it. False, with `error` set, when a name
// cannot be carried over: a backslash inside a Linux name (the module would read it as a
// separator), or more bytes than the module accepts.
bool ToModulePath(const std::string& native, std::string& module, std::string& error) {
    module.clear();
#if defined(_WIN32)
    for (char c : native) module += c == '/' ? '\\' : c;
#else
    for (char c : native) {
        if (c == '\\') {
            error = "a backslash in a name cannot be passed to the module";
            return false;
        }
        module += c == '/' ? '\\' : c;
    }
#endif
    if (module.size() > kMaxModulePath) {
        error = "the path is longer than " + std::to_string(kMaxModulePath) + " bytes";
        return false;
    }
    return true;
}

// A path that the module hands back (Windows syntax, ANSI) as the system here spells it.
std::string ToNativePath(const char* module) {
#if defined(_WIN32)
    return module;
#else
    std::string native(module);
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
    return native;
#endif
}

// A name fit for the terminal: control characters, which a hostile archive may carry in its
// stored name, are shown as "?".
std::string Printable(const std::string& native) {
    std::string shown;
    for (size_t i = 0; i < native.size(); ++i) {
        uint8_t byte = static_cast<uint8_t>(native[i]);
#if !defined(_WIN32)
        // C1 controls arrive as C2 80..C2 9F from the conversion above.
        if (byte == 0xC2 && i + 1 < native.size() &&
            static_cast<uint8_t>(native[i + 1]) < 0xA0) {
            shown += '?';
            ++i;
            continue;
        }
#endif
        shown += byte < 0x20 || byte == 0x7F ? '?' : static_cast<char>(byte);
    }
    return shown;
}

// ---- Messages ---------------------------------------------------------------------------------
void Complain(const std::string& text) {
    std::fprintf(stderr, "uuarc: %s\n", text.c_str());
}

// "FILE: what the status means (status N)", and the exit code that goes with it.
int ReportStatus(const std::string& file, uint16_t status, const std::string& detail = {}) {
    const char* message = uuarc::StatusMessage(status);
    std::string text = Printable(file) + ": " + (*message != '\0' ? message : "unexpected status");
    if (!detail.empty()) text += ": " + detail;
    Complain(text + " (status " + std::to_string(status) + ")");
    return ExitCodeForStatus(status);
}

std::string FormatDosDateTime(uint32_t dos) {
    unsigned date = dos >> 16, time = dos & 0xFFFF;
    unsigned year = 1980 + (date >> 9), month = (date >> 5) & 0x0F, day = date & 0x1F;
    unsigned hour = time >> 11, minute = (time >> 5) & 0x3F;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59) return "---------- -----";
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", year, month, day, hour, minute);
    return text;
}

// A FILETIME (UTC, 100 ns since 1601) as local date and time.
std::string FormatFileTime(const FileTime& file_time) {
    constexpr int64_t kUnixEpochIn100ns = 116444736000000000;
    int64_t ticks = static_cast<int64_t>((uint64_t{file_time.high} << 32) | file_time.low);
    std::time_t seconds = static_cast<std::time_t>((ticks - kUnixEpochIn100ns) / 10000000);
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr) return "unknown time";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

std::string FormatAttributes(uint32_t attributes) {
    std::string text = "-----";
    if (attributes & kAttrReadOnly) text[0] = 'r';
    if (attributes & kAttrHidden) text[1] = 'h';
    if (attributes & kAttrSystem) text[2] = 's';
    if (attributes & kAttrDirectory) text[3] = 'd';
    if (attributes & kAttrArchive) text[4] = 'a';
    return text;
}

std::string FormatBytes(double bytes) {
    const char* units[] = {"B", "KiB", "MiB", "GiB"};
    int unit = 0;
    while (bytes >= 1024 && unit < 3) {
        bytes /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

// ---- Progress bar ------------------------------------------------------------------------------
// Drawn on standard error when it is a terminal: redrawn when the percentage moves and otherwise
// at most every tenth of a second, and cleared before anything else is printed.
struct Progress {
    bool enabled = false;
    bool drawn = false;
    std::string label;
    int64_t total = 0;
    int64_t done = 0;
    int last_percent = -1;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point last_draw;
};

Progress g_progress;
constexpr size_t kProgressWidth = 79;
constexpr size_t kLabelWidth = 18;

void ProgressStart(bool enabled, const std::string& label, int64_t total) {
    g_progress = Progress{};
    g_progress.enabled = enabled;
    g_progress.label = Printable(label);
    if (g_progress.label.size() > kLabelWidth) {
        size_t start = g_progress.label.size() - (kLabelWidth - 3);
#if !defined(_WIN32)
        // Not inside a UTF-8 sequence.
        while (start < g_progress.label.size() && (g_progress.label[start] & 0xC0) == 0x80) ++start;
#endif
        g_progress.label = "..." + g_progress.label.substr(start);
    }
    g_progress.total = total;
    g_progress.start = std::chrono::steady_clock::now();
}

void ProgressClear() {
    if (!g_progress.drawn) return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(kProgressWidth), "");
    std::fflush(stderr);
    g_progress.drawn = false;
}

// Runs an archive operation on a list of one mask, then closes the archive; the archive status.
uint16_t RunOnOneMask(void(UUARC_CALL* operation)(FileMaskList*), const char* mask) {
    FileMaskList masks;
    g_api.InitFileMaskList(&masks);
    if (g_api.AppendFileMask(mask, &masks) != 0) operation(&masks);
    const uint16_t status = g_api.GetArchiveStatus();
    ProgressClear();
    g_api.DoneFileMaskList(&masks);
    g_api.DoneArcFile();
    return status;
}

void ProgressUpdate(int32_t percent, int32_t bytes) {
    if (!g_progress.enabled) return;
    if (bytes > 0) g_progress.done += bytes;
    auto now = std::chrono::steady_clock::now();
    if (percent == g_progress.last_percent &&
        now - g_progress.last_draw < std::chrono::milliseconds(100)) {
        return;
    }
    g_progress.last_percent = percent;
    g_progress.last_draw = now;
    int shown = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    constexpr int kBarWidth = 16;
    std::string bar(kBarWidth, ' ');
    for (int i = 0; i < shown * kBarWidth / 100; ++i) bar[i] = '=';
    double seconds = std::chrono::duration<double>(now - g_progress.start).count();
    std::string amount = FormatBytes(static_cast<double>(g_progress.done));
    if (g_progress.total > 0) amount += " / " + FormatBytes(static_cast<double>(g_progress.total));
    std::string rate = seconds >= 0.05 ? FormatBytes(g_progress.done / seconds) + "/s" : "";
    char line[160];
    std::snprintf(line, sizeof line, "%-*s %3d%% [%s] %s %s", static_cast<int>(kLabelWidth),
                  g_progress.label.c_str(), shown, bar.c_str(), amount.c_str(), rate.c_str());
    std::fprintf(stderr, "\r%-*.*s", static_cast<int>(kProgressWidth),
                 static_cast<int>(kProgressWidth), line);
    std::fflush(stderr);
    g_progress.drawn = true;
}

// ---- Command line ------------------------------------------------------------------------------
enum class ReplacePolicy { kAsk, kOverwrite, kSkip };

struct Options {
    std::string command;
    std::vector<std::string> operands;
    std::string directory;
    bool has_directory = false;
    std::string output;
    bool has_output = false;
    bool keep_paths = false;
    ReplacePolicy replace = ReplacePolicy::kAsk;
    bool overwrite_given = false;
    bool skip_given = false;
    bool quiet = false;
};

void PrintHelp() {
    std::fputs(
        "Usage: uuarc list ARCHIVE...\n"
        "  or:  uuarc extract ARCHIVE... [-d DIR] [--keep-paths] [--overwrite | --skip-existing]\n"
        "  or:  uuarc create SOURCE [-o TARGET] [--overwrite]\n"
        "List, extract or create uuencoded files; each one holds a single file.\n"
        "\n"
        "Commands:\n"
        "  list             show the stored name, estimated size, date, time and attributes\n"
        "  extract          decode each ARCHIVE into DIR\n"
        "  create           encode SOURCE into a new file (default: SOURCE's name + .uue,\n"
        "                   in the current directory)\n"
        "\n"
        "Options:\n"
        "  -d, --directory=DIR  extract into DIR (default: the current directory); missing\n"
        "                       directories are created\n"
        "      --keep-paths     keep the directories of the stored name below DIR\n"
        "  -o, --output=TARGET  name of the file that create writes\n"
        "      --overwrite      replace existing files without asking\n"
        "      --skip-existing  keep existing files and go on (extract)\n"
        "  -q, --quiet          no progress bar and no messages on success\n"
        "  -h, --help           display this help and exit\n"
        "      --version        output version information and exit\n"
        "\n"
        "When a file to be extracted exists, uuarc asks on the terminal; when standard input is\n"
        "not a terminal it keeps the file and fails unless --overwrite or --skip-existing is\n"
        "given.\n"
        "\n"
        "Exit status:\n"
        "  0  success (files skipped on request count as success)\n"
        "  1  usage error\n"
        "  2  not a uuencoded file, or damaged data (status 9974, 9964)\n"
        "  3  a file cannot be opened or created, or its name cannot be passed on (status 5)\n"
        "  4  an existing file was kept: replacing it was refused (status 2926)\n"
        "  5  the output could not be written in full (status 101)\n"
        "  6  creation refused: the target is already encoded or is the source, or the source\n"
        "     is a directory (status 9901, 9907, 9908)\n"
        "  7  any other failure: out of memory, the module cannot be loaded\n"
        "With several archives, uuarc goes on after a failure and exits with the first failure's\n"
        "code.\n",
        stdout);
}

int UsageError(const std::string& text) {
    Complain(text);
    std::fputs("Try 'uuarc --help' for more information.\n", stderr);
    return kExitUsage;
}

// Parses the command line into `options`; returns -1 to go on, otherwise the exit code.
int ParseCommandLine(int argc, char** argv, Options& options) {
    bool only_operands = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (only_operands || arg.empty() || arg[0] != '-' || arg == "-") {
            if (options.command.empty()) {
                options.command = arg;
            } else {
                options.operands.push_back(arg);
            }
            continue;
        }
        if (arg == "--") {
            only_operands = true;
            continue;
        }
        // An option with a value: "-d DIR", "-dDIR", "--directory DIR", "--directory=DIR".
        struct ValueOption {
            const char* short_name;
            const char* long_name;
            std::string* value;
            bool* given;
        };
        const ValueOption value_options[] = {
            {"-d", "--directory", &options.directory, &options.has_directory},
            {"-o", "--output", &options.output, &options.has_output},
        };
        bool taken = false;
        for (const ValueOption& option : value_options) {
            std::string long_prefix = std::string(option.long_name) + "=";
            if (arg == option.short_name || arg == option.long_name) {
                if (i + 1 >= argc) return UsageError("option '" + arg + "' requires an argument");
                *option.value = argv[++i];
            } else if (arg.rfind(long_prefix, 0) == 0) {
                *option.value = arg.substr(long_prefix.size());
            } else if (arg[1] != '-' && arg.rfind(option.short_name, 0) == 0) {
                *option.value = arg.substr(2);
            } else {
                continue;
            }
            *option.given = true;
            taken = true;
            break;
        }
        if (taken) continue;
        if (arg == "-h" || arg == "--help") {
            PrintHelp();
            return kExitOk;
        } else if (arg == "--version") {
            std::printf("uuarc %s\n", UUARC_VERSION_STRING);
            return kExitOk;
        } else if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--keep-paths") {
            options.keep_paths = true;
        } else if (arg == "--overwrite") {
            options.overwrite_given = true;
            options.replace = ReplacePolicy::kOverwrite;
        } else if (arg == "--skip-existing") {
            options.skip_given = true;
            options.replace = ReplacePolicy::kSkip;
        } else {
            return UsageError("unrecognized option '" + arg + "'");
        }
    }
    if (options.command.empty()) return UsageError("missing command: list, extract or create");
    if (options.overwrite_given && options.skip_given) {
        return UsageError("--overwrite and --skip-existing exclude each other");
    }
    const std::string& command = options.command;
    if (command != "list" && command != "extract" && command != "create") {
        return UsageError("unknown command '" + command + "'");
    }
    if (options.operands.empty()) {
        return UsageError(command == "create" ? "missing SOURCE" : "missing ARCHIVE");
    }
    bool extract_only = options.has_directory || options.keep_paths || options.skip_given;
    if (command != "extract" && extract_only) {
        return UsageError("-d, --keep-paths and --skip-existing belong to extract");
    }
    if (command != "create" && options.has_output) {
        return UsageError("-o belongs to create");
    }
    if (command == "list" && options.overwrite_given) {
        return UsageError("--overwrite belongs to extract and create");
    }
    if (command == "create" && options.operands.size() != 1) {
        return UsageError("create takes exactly one SOURCE");
    }
    return -1;
}

// ---- One operation's view of the callbacks -----------------------------------------------------
// The module calls back synchronously inside the export; the host keeps what it learns here. The
// user-data word is not needed, since one operation runs at a time.
enum class ReplaceOutcome { kNotAsked, kReplaced, kSkipped, kRefusedNoTerminal, kRefusedSelf,
                            kRefusedDirectory, kRefusedExisting };

struct Operation {
    const Options* options = nullptr;
    bool extracting = false;
    std::string archive_native;      // the encoded file being read (extraction)
    int file_name_calls = 0;
    std::string target_native;       // the output name the module reported last
    bool output_opened = false;      // SetSignalProc came: the output file exists now
    bool replacing = false;          // the module asked about an existing file
    std::string progress_label;      // empty: the output name
    int64_t progress_total = 0;
    bool progress_started = false;
    ReplaceOutcome replace = ReplaceOutcome::kNotAsked;
};

Operation g_operation;

int32_t UUARC_CALL OnFileName(uint32_t, const char*, const char* target) {
    ++g_operation.file_name_calls;
    g_operation.target_native = ToNativePath(target);
    return 0;
}

int32_t UUARC_CALL OnProgress(uint32_t, int32_t percent, int32_t bytes) {
    if (!g_operation.progress_started) {
        g_operation.progress_started = true;
        bool enabled = !g_operation.options->quiet && IsTerminal(stderr);
        const std::string& label = g_operation.progress_label.empty()
                                       ? g_operation.target_native
                                       : g_operation.progress_label;
        ProgressStart(enabled, label, g_operation.progress_total);
    }
    ProgressUpdate(percent, bytes);
    return 0;
}

int32_t UUARC_CALL OnSignal(uint32_t, int64_t length, int32_t) {
    g_operation.output_opened = true;
    g_operation.progress_total = length;
    return 0;
}

bool AskYesNo(const std::string& question) {
    std::fprintf(stderr, "%s [y/N] ", question.c_str());
    std::fflush(stderr);
    char answer[64];
    if (std::fgets(answer, sizeof answer, stdin) == nullptr) {
        std::fputc('\n', stderr);
        return false;
    }
    return answer[0] == 'y' || answer[0] == 'Y';
}

// The module's question before it replaces a file: 0 lets it go ahead.
int32_t UUARC_CALL OnOkToReplace(uint32_t, FindData* existing, FindData* incoming) {
    ProgressClear();
    std::string target = ToNativePath(incoming->file_name);
    std::string shown = Printable(target);
    Operation& op = g_operation;
    op.replacing = true;
    if (!op.extracting) {
        // Creation writes only to names that were free a moment ago; one that appeared since is
        // kept.
        op.replace = ReplaceOutcome::kRefusedExisting;
        return 1;
    }
    if (existing->attributes & kAttrDirectory) {
        op.replace = ReplaceOutcome::kRefusedDirectory;
        return 1;
    }
    if (SameFile(target, op.archive_native)) {
        op.replace = ReplaceOutcome::kRefusedSelf;
        return 1;
    }
    switch (op.options->replace) {
        case ReplacePolicy::kOverwrite:
            op.replace = ReplaceOutcome::kReplaced;
            return 0;
        case ReplacePolicy::kSkip:
            op.replace = ReplaceOutcome::kSkipped;
            return 1;
        case ReplacePolicy::kAsk:
            break;
    }
    if (!IsTerminal(stdin)) {
        op.replace = ReplaceOutcome::kRefusedNoTerminal;
        return 1;
    }
    int64_t existing_size =
        static_cast<int64_t>((uint64_t{existing->size_high} << 32) | existing->size_low);
    int64_t incoming_size =
        static_cast<int64_t>((uint64_t{incoming->size_high} << 32) | incoming->size_low);
    std::fprintf(stderr, "%s exists\n  existing: %lld bytes, %s\n", shown.c_str(),
                 static_cast<long long>(existing_size),
                 FormatFileTime(existing->last_write_time).c_str());
    std::fprintf(stderr, "  new:      about %lld bytes, %s\n",
                 static_cast<long long>(incoming_size),
                 FormatFileTime(incoming->last_write_time).c_str());
    bool yes = AskYesNo("replace " + shown + "?");
    op.replace = yes ? ReplaceOutcome::kReplaced : ReplaceOutcome::kSkipped;
    return yes ? 0 : 1;
}

void StartOperation(const Options& options, bool extracting) {
    g_operation = Operation{};
    g_operation.options = &options;
    g_operation.extracting = extracting;
    g_progress = Progress{};
    // After InitArcFile or CreateArcFile: those clear the user-data words.
    g_api.SetSetFileNameProc(0, OnFileName);
    g_api.SetSetProgressProc(0, OnProgress);
    g_api.SetSetSignalProc(0, OnSignal);
    g_api.SetOkToReplaceProc(0, OnOkToReplace);
}

void Say(const Options& options, const std::string& text) {
    if (!options.quiet) std::printf("%s\n", text.c_str());
}

// Hands the archive's path to InitArcFile; false, after saying why, when the path cannot be
// put in the module's terms. `status` is the archive status that InitArcFile left.
bool OpenArchive(const std::string& archive, uint16_t& status) {
    std::string module_path, error;
    if (!ToModulePath(archive, module_path, error)) {
        Complain(Printable(archive) + ": " + error);
        return false;
    }
    g_api.InitArcFile(module_path.c_str());
    status = g_api.GetArchiveStatus();
    return true;
}

// The stored name of a listed entry, read no further than its field.
std::string EntryName(const ArcFileEntry& entry) {
    return std::string(entry.name, std::find(entry.name, std::end(entry.name), '\0'));
}

// ---- list --------------------------------------------------------------------------------------
int ListArchive(const std::string& archive, bool first) {
    uint16_t status = 0;
    if (!OpenArchive(archive, status)) return kExitCannotOpen;
    if (status != uuarc::kStatusOk) return ReportStatus(archive, status);
    ArcFileList list;
    g_api.InitArcFileList(&list);
    g_api.BuildArcFileList(&list);
    status = g_api.GetArchiveStatus();
    ArcExtraInfo info;
    g_api.GetExtraInfoArc(&info);
    if (status == uuarc::kStatusOk) {
        if (!first) std::printf("\n");
        std::printf("Archive:  %s\n", Printable(archive).c_str());
        std::printf("  Est. size  Date       Time   Attr   Name\n");
        std::printf("-----------  ---------- -----  -----  ----\n");
        for (const ArcFileEntry* entry = list.first; entry != nullptr; entry = entry->next) {
            const std::string name = EntryName(*entry);
            std::printf("%11lld  %s  %s  %s\n", static_cast<long long>(entry->first_size),
                        FormatDosDateTime(entry->dos_date_time).c_str(),
                        FormatAttributes(entry->attributes).c_str(),
                        Printable(ToNativePath(name.c_str())).c_str());
        }
        std::printf("-----------                            -------\n");
        std::printf("%11lld                            %u file%s\n",
                    static_cast<long long>(info.first_size_total), list.count,
                    list.count == 1 ? "" : "s");
    }
    g_api.DoneArcFileList(&list);
    g_api.DoneArcFile();
    if (status == uuarc::kStatusCannotOpen && !QueryPath(archive).exists) {
        return ReportStatus(archive, status, "no such file");
    }
    return status == uuarc::kStatusOk ? kExitOk : ReportStatus(archive, status);
}

// ---- extract -----------------------------------------------------------------------------------
int ExtractArchive(const Options& options, const std::string& archive,
                   const std::string& module_directory) {
    uint16_t status = 0;
    if (!OpenArchive(archive, status)) return kExitCannotOpen;
    if (status == uuarc::kStatusOk && !QueryPath(archive).exists) {
        // InitArcFile takes a missing path for a new archive; say so before extraction would.
        g_api.DoneArcFile();
        return ReportStatus(archive, uuarc::kStatusCannotOpen, "no such file");
    }
    if (status != uuarc::kStatusOk) return ReportStatus(archive, status);

    // The stored name, for the messages: the module refuses an unsafe one before it says which
    // output name it would make of it.
    ArcFileList list;
    g_api.InitArcFileList(&list);
    g_api.BuildArcFileList(&list);
    status = g_api.GetArchiveStatus();
    std::string stored_name;
    if (list.first != nullptr) {
        stored_name = ToNativePath(EntryName(*list.first).c_str());
    }
    g_api.DoneArcFileList(&list);
    if (status != uuarc::kStatusOk) {
        g_api.DoneArcFile();
        return ReportStatus(archive, status);
    }

    StartOperation(options, true);
    g_operation.archive_native = archive;
    DecompExtraFeatures features{};
    features.keep_paths = options.keep_paths ? 1 : 0;
    g_api.SetDecompExtraFeatures(&features);
    g_api.SetOutputPath(module_directory.c_str());

    // "*.*" with no directory selects every stored name, whatever its directories.
    status = RunOnOneMask(g_api.ExtractFileMaskListArc, "*.*");

    const Operation& op = g_operation;
    std::string target = Printable(op.target_native);
    switch (status) {
        case uuarc::kStatusOk:
            if (op.file_name_calls == 0) {
                Complain(Printable(archive) + ": no entry was selected");
                return kExitOther;
            }
            Say(options, Printable(archive) + " -> " + target);
            return kExitOk;
        case uuarc::kStatusReplaceRefused:
            switch (op.replace) {
                case ReplaceOutcome::kSkipped:
                    Say(options, Printable(archive) + ": " + target + " exists, skipped");
                    return kExitOk;
                case ReplaceOutcome::kRefusedNoTerminal:
                    return ReportStatus(archive, status, target +
                                        " exists; not replaced without --overwrite, since "
                                        "standard input is not a terminal");
                case ReplaceOutcome::kRefusedSelf:
                    return ReportStatus(archive, status, target + " is the archive itself");
                case ReplaceOutcome::kRefusedDirectory:
                    return ReportStatus(archive, status, target + " is a directory");
                default:
                    return ReportStatus(archive, status, target);
            }
        case uuarc::kStatusCannotOpen:
            if (op.file_name_calls == 0) {
                return ReportStatus(archive, status, "the stored name " + Printable(stored_name) +
                                    " is refused: it leaves the target folder or is too long");
            }
            if (SameFile(op.target_native, archive)) {
                return ReportStatus(archive, status, target + " is the archive itself");
            }
            return ReportStatus(archive, status, "cannot create " + target);
        case uuarc::kStatusBadFormat:
        case uuarc::kStatusWriteFailed:
            // A file that was being replaced stays as it was until the new one is whole.
            if (op.output_opened && op.replacing && status == uuarc::kStatusWriteFailed) {
                return ReportStatus(archive, status, target + " was kept as it was");
            }
            if (op.output_opened) return ReportStatus(archive, status, target + " is incomplete");
            return ReportStatus(archive, status);
        default:
            return ReportStatus(archive, status);
    }
}

// ---- create ------------------------------------------------------------------------------------
std::string BaseName(const std::string& path) {
    size_t end = path.find_last_not_of("/\\");
    if (end == std::string::npos) return std::string();
    size_t start = path.find_last_of("/\\", end);
    start = start == std::string::npos ? 0 : start + 1;
    return path.substr(start, end + 1 - start);
}

std::string FreeTemporaryName(const std::string& target) {
    for (int n = 0;; ++n) {
        std::string name = target + ".~" + std::to_string(n);
        if (!QueryPath(name).exists) return name;
    }
}

int CreateArchive(const Options& options) {
    const std::string& source = options.operands[0];
    std::string target = options.output;
    if (!options.has_output) {
        std::string base = BaseName(source);
        if (base.empty() || base == "." || base == "..") {
            return UsageError("cannot derive a target name from '" + source + "'; give -o TARGET");
        }
        target = base + ".uue";
    }
    if (!source.empty() && source.back() == '.' && BaseName(source) != "." &&
        BaseName(source) != "..") {
        // The module splits the name at its last dot and drops an empty extension with it.
        Complain(Printable(source) + ": a source name that ends in a dot cannot be encoded");
        return kExitCannotOpen;
    }
    std::string module_source, module_target, error;
    if (!ToModulePath(source, module_source, error)) {
        Complain(Printable(source) + ": " + error);
        return kExitCannotOpen;
    }
    if (!ToModulePath(target, module_target, error)) {
        Complain(Printable(target) + ": " + error);
        return kExitCannotOpen;
    }

    // An existing target is replaced only on request, and then through a fresh file beside it
    // that takes the target's name once it is complete: a failed creation leaves the old one.
    std::string written = target;
    std::string module_written = module_target;
    PathInfo target_info = QueryPath(target);
    if (target_info.exists) {
        if (!options.overwrite_given) {
            Complain(Printable(target) + ": exists; not replaced without --overwrite");
            return kExitKept;
        }
        if (target_info.is_directory) {
            Complain(Printable(target) + ": is a directory");
            return kExitCannotOpen;
        }
        // A link, a device or a FIFO stays what it is: only a regular file is replaced.
        if (!target_info.is_regular) {
            Complain(Printable(target) + ": is not a regular file; not replaced");
            return kExitCannotOpen;
        }
        if (SameFile(source, target)) {
            Complain(Printable(target) + ": the target is the source itself");
            return kExitCreateRefused;
        }
        written = FreeTemporaryName(target);
        if (!ToModulePath(written, module_written, error)) {
            Complain(Printable(written) + ": " + error);
            return kExitCannotOpen;
        }
    }

    g_api.CreateArcFile(module_written.c_str());
    uint16_t status = g_api.GetArchiveStatus();
    if (status != uuarc::kStatusOk) {
        g_api.DoneArcFile();
        return ReportStatus(written, status);
    }
    StartOperation(options, false);
    g_operation.progress_label = target;
    g_operation.progress_total = QueryPath(source).size;
    g_api.arOptionsOn(kOptionNoSourcePrefix);
    status = RunOnOneMask(g_api.CompressFileMaskListArc, module_source.c_str());

    const Operation& op = g_operation;
    if (status == uuarc::kStatusOk) {
        if (written != target) CopyPermissions(target_info, written);
        if (written != target && !RenameReplacing(written, target)) {
            std::remove(written.c_str());
            Complain(Printable(target) + ": cannot be replaced");
            return kExitCannotOpen;
        }
        Say(options, Printable(source) + " -> " + Printable(target));
        return kExitOk;
    }
    // The module leaves a file that it started; a cut encoded file serves nobody. Only a failed
    // write means that the file on disk is ours: any other failure came before it was opened.
    if (status == uuarc::kStatusWriteFailed) std::remove(written.c_str());
    switch (status) {
        case uuarc::kStatusCannotOpen:
            // The second name call comes once the source is open: without it, the source failed.
            if (op.file_name_calls < 2) return ReportStatus(source, status);
            return ReportStatus(target, status);
        case uuarc::kStatusSourceIsDirectory:
            return ReportStatus(source, status);
        case uuarc::kStatusReplaceRefused:
            return ReportStatus(target, status, "it appeared during the creation");
        default:
            return ReportStatus(target, status);
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    int parsed = ParseCommandLine(argc, argv, options);
    if (parsed >= 0) return parsed;

    std::string error;
    if (!LoadModule(error)) {
        Complain(error);
        return kExitOther;
    }
    if (options.command == "create") return CreateArchive(options);

    std::string module_directory;
    if (options.command == "extract" && options.has_directory) {
        if (options.directory.empty()) return UsageError("empty directory name");
        if (!ToModulePath(options.directory, module_directory, error)) {
            Complain(Printable(options.directory) + ": " + error);
            return kExitCannotOpen;
        }
    }
    int result = kExitOk;
    bool first = true;
    for (const std::string& archive : options.operands) {
        int code = options.command == "list" ? ListArchive(archive, first)
                                             : ExtractArchive(options, archive, module_directory);
        first = false;
        if (result == kExitOk) result = code;
    }
    std::fflush(stdout);
    return result;
}
