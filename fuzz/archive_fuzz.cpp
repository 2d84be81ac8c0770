// archive_fuzz.cpp - fuzz target: an arbitrary file opened, listed and extracted (paths dropped,
// then kept) through the exports, in a fresh folder; nothing may be created outside its "out".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "module/module_state.h"
#include "module/uuarc.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

// base/case is made afresh for every input: case/archive.uue is the input, case/out the only
// place where the module may create or change anything.
std::string g_base;
std::string g_case;
std::string g_out;
uuarc::SystemCalls g_real;

void Fail(const char* what, const std::string& path) {
    std::fprintf(stderr, "archive_fuzz: %s: %s\n", what, path.c_str());
    std::abort();
}

bool InsideOut(const char* native_path) {
    const std::string normal = fs::path(native_path).lexically_normal().string();
    return normal.size() > g_out.size() && normal.compare(0, g_out.size(), g_out) == 0;
}

// Every call that creates or changes something on disk is checked before it reaches the system.
uuarc::FileHandle GuardedOpen(const char* native_path, uuarc::OpenHow how, const uuarc::FileInfo* like) {
    if (how != uuarc::OpenHow::Read && !InsideOut(native_path)) Fail("write outside out", native_path);
    return g_real.open(native_path, how, like);
}
bool GuardedRename(const char* native_from, const char* native_to) {
    if (!InsideOut(native_from) || !InsideOut(native_to)) Fail("rename outside out", native_to);
    return g_real.rename(native_from, native_to);
}
bool GuardedRemove(const char* native_path) {
    if (!InsideOut(native_path)) Fail("remove outside out", native_path);
    return g_real.remove(native_path);
}
bool GuardedMakeDirectory(const char* native_path) {
    if (!InsideOut(native_path)) Fail("directory outside out", native_path);
    return g_real.make_directory(native_path);
}
bool GuardedSetAttributes(const char* native_path, uint32_t attributes) {
    if (!InsideOut(native_path)) Fail("attributes changed outside out", native_path);
    return g_real.set_attributes(native_path, attributes);
}

// The names must be terminated strings; reading them through is the check.
volatile size_t g_name_lengths = 0;
int32_t UUARC_CALL CheckFileName(uint32_t, const char* source, const char* target) {
    g_name_lengths = g_name_lengths + std::strlen(source) + std::strlen(target);
    return 0;
}
int32_t UUARC_CALL CheckProgress(uint32_t, int32_t percent, int32_t bytes) {
    if (percent < 0 || percent > 100 || bytes < 0) Fail("progress out of range", std::to_string(percent));
    return 0;
}

void SetUpOnce() {
    if (!g_base.empty()) return;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/uuarc-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make a temporary folder", pattern);
    g_base = pattern;
    g_case = g_base + "/case";
    g_out = g_case + "/out/";
    g_real = uuarc::g_system;
    uuarc::g_system.open = GuardedOpen;
    uuarc::g_system.make_directory = GuardedMakeDirectory;
    uuarc::g_system.set_attributes = GuardedSetAttributes;
    uuarc::g_system.rename = GuardedRename;
    uuarc::g_system.remove = GuardedRemove;
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(g_base, ignored);
    });
}

std::string Windows(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// Anything in base but the case folder, its archive and what lies under out is an escape.
void CheckNothingOutside() {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(g_base)) {
        const std::string path = entry.path().string();
        if (path == g_case || path == g_case + "/archive.uue" || path + "/" == g_out) continue;
        if (path.compare(0, g_out.size(), g_out) != 0) Fail("file outside out", path);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetUpOnce();
    std::error_code ignored;
    fs::remove_all(g_case, ignored);
    fs::create_directories(g_out);
    {
        std::ofstream file(g_case + "/archive.uue", std::ios::binary);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    uuarc::g_state.~ModuleState();
    new (&uuarc::g_state) uuarc::ModuleState();
    SetSetFileNameProc(0, CheckFileName);
    SetSetProgressProc(0, CheckProgress);

    const std::string archive = Windows(g_case + "/archive.uue");
    InitArcFile(archive.c_str());
    if (GetArchiveStatus() == 0) {
        ArcFileList list;
        InitArcFileList(&list);
        BuildArcFileList(&list);
        if (list.count > 1) Fail("more than one entry", archive);
        for (ArcFileEntry* entry = list.first; entry != nullptr; entry = entry->next) {
            if (memchr(entry->name, '\0', sizeof entry->name) == nullptr) Fail("unterminated name", archive);
        }
        DoneArcFileList(&list);
        ArcExtraInfo info;
        GetExtraInfoArc(&info);

        FileMaskList masks;
        InitFileMaskList(&masks);
        AppendFileMask("*.*", &masks);
        for (int32_t keep_paths : {0, 1}) {
            DecompExtraFeatures features = {};
            features.keep_paths = keep_paths;
            std::snprintf(features.output_path, sizeof features.output_path, "%s", Windows(g_out).c_str());
            SetDecompExtraFeatures(&features);
            ExtractFileMaskListArc(&masks);
        }
        DoneFileMaskList(&masks);
    }
    DoneArcFile();
    CheckNothingOutside();
    return 0;
}
