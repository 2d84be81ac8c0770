// module_host.cpp - the loader, the recorders, the file helpers and the fixture of module_host.h.
#include "module_host.h"

#include <cstdio>

namespace uuarc_wine {

const char* const kExportNames[41] = {
#define UUARC_EXPORT_NAME(name) #name,
    UUARC_EXPORT_LIST(UUARC_EXPORT_NAME)
#undef UUARC_EXPORT_NAME
};

// ---- Callback recorders ---------------------------------------------------------------------

std::vector<HostCall> g_calls;
int32_t g_replace_answer = 0;

int32_t UUARC_CALL RecordFileName(uint32_t user, const char* source, const char* target) {
    HostCall call;
    call.kind = CallKind::kFileName;
    call.user = user;
    call.source = source;
    call.target = target;
    g_calls.push_back(call);
    return 0;
}

int32_t UUARC_CALL RecordProgress(uint32_t user, int32_t percent, int32_t bytes) {
    HostCall call;
    call.kind = CallKind::kProgress;
    call.user = user;
    call.first = percent;
    call.second = bytes;
    g_calls.push_back(call);
    return 0;
}

int32_t UUARC_CALL RecordReplace(uint32_t user, FindData* existing, FindData* incoming) {
    HostCall call;
    call.kind = CallKind::kReplace;
    call.user = user;
    call.existing = *existing;
    call.incoming = *incoming;
    g_calls.push_back(call);
    return g_replace_answer;
}

int32_t UUARC_CALL RecordSignal(uint32_t user, int64_t length, int32_t code) {
    HostCall call;
    call.kind = CallKind::kSignal;
    call.user = user;
    call.first = length;
    call.second = code;
    g_calls.push_back(call);
    return 0;
}

std::vector<HostCall> CallsOf(CallKind kind) {
    std::vector<HostCall> found;
    for (const HostCall& call : g_calls) {
        if (call.kind == kind) found.push_back(call);
    }
    return found;
}

std::vector<std::pair<int64_t, int64_t>> ProgressCalls() {
    std::vector<std::pair<int64_t, int64_t>> found;
    for (const HostCall& call : CallsOf(CallKind::kProgress)) found.emplace_back(call.first, call.second);
    return found;
}

// ---- Files ----------------------------------------------------------------------------------

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

uint32_t Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

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
    return names;
}

std::string ClassicUuencode(const std::string& name, const std::string& data, char zero, const char* eol) {
    auto character = [zero](unsigned value) { return value == 0 ? zero : static_cast<char>(0x20 + value); };
    std::string text = "begin 644 " + name + eol;
    for (size_t start = 0; start < data.size(); start += 45) {
        const size_t count = data.size() - start < 45 ? data.size() - start : 45;
        text += character(static_cast<unsigned>(count));
        for (size_t i = 0; i < count; i += 3) {
            uint8_t group[3] = {};
            for (size_t k = 0; k < 3 && i + k < count; ++k) group[k] = static_cast<uint8_t>(data[start + i + k]);
            text += character(group[0] >> 2);
            text += character(((group[0] & 3) << 4) | (group[1] >> 4));
            text += character(((group[1] & 15) << 2) | (group[2] >> 6));
            text += character(group[2] & 63);
        }
        text += eol;
    }
    text += zero;
    text += eol;
    text += "end";
    text += eol;
    return text;
}

std::string FreeText(size_t length) {
    std::string text;
    while (text.size() < length) {
        size_t line = length - text.size();
        if (line > 100) line = line - 100 >= 2 ? 100 : 98;  // never leave a single byte over
        text += std::string(line - 2, 'x') + "\r\n";
    }
    return text;
}

std::string PatternBytes(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    uint32_t state = seed;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(i < 512 ? i : state >> 16);
    }
    return bytes;
}

namespace {

void RemoveTree(const std::string& folder) {
    for (const std::string& name : FolderNames(folder)) {
        const std::string path = folder + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (Attributes(path) & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTree(path);
        } else {
            DeleteFileA(path.c_str());
        }
    }
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

// ---- The fixture ----------------------------------------------------------------------------

void HostTest::SetUp() {
    g_calls.clear();
    g_replace_answer = 0;

    // The test runs in the folder that holds the DLL, so the bare name finds it there.
    module_ = LoadLibraryA("uuarc.dll");
    ASSERT_NE(module_, nullptr) << "LoadLibraryA(uuarc.dll) failed with error " << GetLastError();
#define UUARC_RESOLVE(name)                                                                     \
    api_.name = reinterpret_cast<decltype(api_.name)>(                                          \
        reinterpret_cast<void*>(GetProcAddress(module_, #name)));                               \
    ASSERT_NE(reinterpret_cast<void*>(api_.name), nullptr) << "no export " #name;
    UUARC_EXPORT_LIST(UUARC_RESOLVE)
#undef UUARC_RESOLVE

    static unsigned serial = 0;
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    char unique[64];
    std::snprintf(unique, sizeof unique, "uuarc-%lu-%lu-%u", GetCurrentProcessId(), GetTickCount(), ++serial);
    folder_ = std::string(temp) + unique;
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
    folder_ += "\\";

    char current[MAX_PATH];
    GetCurrentDirectoryA(sizeof current, current);
    saved_directory_ = current;
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
}

void HostTest::TearDown() {
    if (HasFailure() && api_.GetArchiveStatus != nullptr) {
        std::printf("  archive status at the end of the test: %u\n", api_.GetArchiveStatus());
    }
    if (!saved_directory_.empty()) SetCurrentDirectoryA(saved_directory_.c_str());
    if (module_ != nullptr) FreeLibrary(module_);
    if (!folder_.empty()) RemoveTree(folder_.substr(0, folder_.size() - 1));
}

void HostTest::RegisterRecorders(uint32_t user) const {
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

}  // namespace uuarc_wine
