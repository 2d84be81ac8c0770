// harness.cpp - the loader, the file helpers and the fixture of harness.h: Win32 calls under
// Windows, POSIX and std::filesystem natively.
#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#if !defined(_WIN32)
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#endif

namespace uuarc::test {

const char* const kExportNames[41] = {
#define UUARC_EXPORT_NAME(name) #name,
    UUARC_LOADER_EXPORTS(UUARC_EXPORT_NAME)
#undef UUARC_EXPORT_NAME
};

#if defined(_WIN32)

// ---- Win32: files -----------------------------------------------------------------------------

std::string NativePath(const std::string& path) { return path; }

std::string Ansi(const std::string& utf8) {
    wchar_t wide[512];
    char ansi[1024];
    const int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, wide, 512);
    if (count <= 0 || WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr) <= 0) return utf8;
    return ansi;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<cannot open " + path + ">";
    std::string bytes;
    char block[4096];
    DWORD got = 0;
    while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) bytes.append(block, got);
    CloseHandle(file);
    return bytes;
}

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool MakeFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool MakeReadOnly(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
}

bool IsReadOnly(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool OpensForWriting(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool ExtendTo(const std::string& path, int64_t length) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = length;
    const bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

bool SetLocalWriteTime(const std::string& path, int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME when = {};
    when.wYear = static_cast<WORD>(year);
    when.wMonth = static_cast<WORD>(month);
    when.wDay = static_cast<WORD>(day);
    when.wHour = static_cast<WORD>(hour);
    when.wMinute = static_cast<WORD>(minute);
    when.wSecond = static_cast<WORD>(second);
    FILETIME local, utc;
    if (!SystemTimeToFileTime(&when, &local) || !LocalFileTimeToFileTime(&local, &utc)) return false;
    const HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = SetFileTime(file, nullptr, nullptr, &utc) != 0;
    CloseHandle(file);
    return ok;
}

uint64_t NowFileTime() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
}

namespace {

void RemoveTree(const std::string& folder) {
    for (const std::string& name : FolderNames(folder)) {
        const std::string path = folder + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path);
        } else {
            DeleteFileA(path.c_str());
        }
    }
    RemoveDirectoryA(folder.c_str());
}

// ---- Win32: the module ------------------------------------------------------------------------

// The test runs in the folder that holds the DLL, so the bare name finds it there. FreeLibrary of
// the only reference unloads it: nothing else in the process holds it.
std::string ModulePath() { return "uuarc.dll"; }

void CheckUnloaded() {}

std::string MakeTestFolder() {
    static unsigned serial = 0;
    char temp[MAX_PATH];
    if (GetTempPathA(sizeof temp, temp) == 0) return "";
    char unique[64];
    std::snprintf(unique, sizeof unique, "uuarc-%lu-%lu-%u", GetCurrentProcessId(), GetTickCount(), ++serial);
    const std::string folder = std::string(temp) + unique;
    return CreateDirectoryA(folder.c_str(), nullptr) ? folder : "";
}

std::string CurrentDirectory() {
    char current[MAX_PATH];
    return GetCurrentDirectoryA(sizeof current, current) > 0 ? current : "";
}

bool ChangeDirectory(const std::string& folder) { return SetCurrentDirectoryA(folder.c_str()) != 0; }

}  // namespace

#else

// ---- POSIX: files -----------------------------------------------------------------------------

namespace fs = std::filesystem;

std::string NativePath(const std::string& path) {
    std::string native = path;
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
    return native;
}

// The module's ANSI code page here is UTF-8.
std::string Ansi(const std::string& utf8) { return utf8; }

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return !out.fail();
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in) return "<cannot open " + path + ">";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool PathExists(const std::string& path) {
    struct stat info;
    return lstat(NativePath(path).c_str(), &info) == 0;
}

bool MakeFolder(const std::string& path) { return mkdir(NativePath(path).c_str(), 0755) == 0; }

bool RemoveFile(const std::string& path) { return unlink(NativePath(path).c_str()) == 0; }

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(NativePath(folder), error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool MakeReadOnly(const std::string& path) {
    struct stat info;
    const std::string native = NativePath(path);
    return stat(native.c_str(), &info) == 0 && chmod(native.c_str(), info.st_mode & 07555) == 0;
}

bool IsReadOnly(const std::string& path) {
    struct stat info;
    return stat(NativePath(path).c_str(), &info) == 0 && (info.st_mode & 0222) == 0;
}

bool OpensForWriting(const std::string& path) {
    const int file = open(NativePath(path).c_str(), O_WRONLY);
    if (file < 0) return false;
    close(file);
    return true;
}

bool ExtendTo(const std::string& path, int64_t length) { return truncate(NativePath(path).c_str(), length) == 0; }

bool SetLocalWriteTime(const std::string& path, int year, int month, int day, int hour, int minute, int second) {
    struct tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const time_t when = mktime(&local);
    if (when == static_cast<time_t>(-1)) return false;
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    return utimensat(AT_FDCWD, NativePath(path).c_str(), times, 0) == 0;
}

uint64_t NowFileTime() {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const uint64_t kSecondsFrom1601To1970 = 11644473600u;
    return (static_cast<uint64_t>(now.tv_sec) + kSecondsFrom1601To1970) * 10000000u +
           static_cast<uint64_t>(now.tv_nsec) / 100u;
}

namespace {

void RemoveTree(const std::string& folder) {
    std::error_code ignored;
    const std::string native = NativePath(folder);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(native, ignored)) {
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) {
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(native, ignored);
}

// ---- POSIX: the module ------------------------------------------------------------------------

// $UUARC_LIBRARY, or libuuarc.so beside the program; taken once, before any test changes the
// current directory.
const std::string& LibraryPath() {
    static const std::string path = [] {
        if (const char* given = std::getenv("UUARC_LIBRARY"); given != nullptr && given[0] != '\0') {
            char absolute[PATH_MAX];
            return std::string(realpath(given, absolute) != nullptr ? absolute : given);
        }
        std::error_code error;
        return (fs::read_symlink("/proc/self/exe", error).parent_path() / "libuuarc.so").string();
    }();
    return path;
}

std::string ModulePath() { return LibraryPath(); }

// The library must really go, or the next test would inherit its state: a symbol bound as
// STB_GNU_UNIQUE, or a NODELETE flag, keeps it loaded through dlclose. RTLD_NOLOAD asks without loading.
void CheckUnloaded() {
    if (void* const still = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_NOLOAD)) {
        dlclose(still);
        ADD_FAILURE() << LibraryPath() << " stayed loaded after dlclose: the next test would see this one's state";
    }
}

std::string MakeTestFolder() {
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp != nullptr && temp[0] != '\0' ? temp : "/tmp") + "/uuarc-exports-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return "";
    std::string folder;
    for (const char c : pattern) folder += c == '/' ? '\\' : c;
    return folder;
}

std::string CurrentDirectory() {
    std::error_code error;
    const std::string current = fs::current_path(error).string();
    std::string folder;
    for (const char c : current) folder += c == '/' ? '\\' : c;
    return folder;
}

bool ChangeDirectory(const std::string& folder) { return chdir(NativePath(folder).c_str()) == 0; }

}  // namespace

#endif

bool HaveWesternCodePages() {
#if defined(_WIN32)
    return GetOEMCP() == 437 && GetACP() == 1252;
#else
    return true;
#endif
}

// ---- The fixture ------------------------------------------------------------------------------

void HostTest::SetUp() {
    ClearCalls();
    std::string error;
    ASSERT_TRUE(uuarc_loader::LoadModuleAt(ModulePath(), module_, error)) << ModulePath() << ": " << error;
    api_ = module_.api;

    const std::string folder = MakeTestFolder();
    ASSERT_FALSE(folder.empty()) << "cannot make a temporary folder";
    folder_ = folder + "\\";
    saved_directory_ = CurrentDirectory();
    ASSERT_TRUE(ChangeDirectory(folder_)) << folder_;
}

void HostTest::TearDown() {
    if (HasFailure() && api_.GetArchiveStatus != nullptr) {
        std::printf("  archive status at the end of the test: %u\n", api_.GetArchiveStatus());
    }
    if (!saved_directory_.empty()) ChangeDirectory(saved_directory_);
    if (module_.handle != nullptr) {
        uuarc_loader::UnloadModule(module_);
        CheckUnloaded();
    }
    api_ = Exports{};
    if (!folder_.empty()) RemoveTree(Folder());
}

uint16_t HostTest::OptionsWord() const {
    uint16_t word = 0;
    for (uint32_t bit = 1; bit <= 0x8000; bit <<= 1) {
        if (api_.arOptionsAreOn(bit) == 1) word = static_cast<uint16_t>(word | bit);
    }
    return word;
}

void HostTest::RegisterRecorders(UserData user) const {
    api_.SetSetFileNameProc(user, RecordFileName);
    api_.SetSetProgressProc(user, RecordProgress);
    api_.SetOkToReplaceProc(user, RecordReplace);
    api_.SetSetSignalProc(user, RecordSignal);
}

std::string HostTest::WriteArchive(const std::string& relative, const std::string& stored_name,
                                   const std::string& data) const {
    const std::string path = Path(relative);
    EXPECT_TRUE(WriteBytes(path, ClassicUuencode(stored_name, data))) << path;
    return path;
}

uint16_t HostTest::RunWithMasks(void(UUARC_CALL* operation)(FileMaskList*), std::initializer_list<const char*> masks) const {
    FileMaskList list;
    api_.InitFileMaskList(&list);
    for (const char* mask : masks) EXPECT_EQ(api_.AppendFileMask(mask, &list), 1) << mask;
    operation(&list);
    const uint16_t status = api_.GetArchiveStatus();
    api_.DoneFileMaskList(&list);
    return status;
}

uint16_t HostTest::Extract(std::initializer_list<const char*> masks) const {
    return RunWithMasks(api_.ExtractFileMaskListArc, masks);
}

uint16_t HostTest::Compress(std::initializer_list<const char*> masks) const {
    return RunWithMasks(api_.CompressFileMaskListArc, masks);
}

}  // namespace uuarc::test
