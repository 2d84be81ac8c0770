// archive_fuzz.cpp - fuzz target: an arbitrary file opened, listed and extracted (paths dropped,
// then kept) through the exports, as one file and as a text of several. The file is served from memory through g_system and the output
// goes to memory too (tests/memory_files.h); nothing may be created or changed outside "out".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "module/module_state.h"
#include "tests/memory_files.h"
#include "uuarc.h"

namespace {

// Native and host spellings of the one archive and the one folder the module may write in.
constexpr char kArchive[] = "/mem/case/archive.uue";
constexpr char kOut[] = "/mem/case/out";
constexpr char kHostArchive[] = "\\mem\\case\\archive.uue";
constexpr char kHostOut[] = "\\mem\\case\\out\\";

void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "archive_fuzz: %s: %s\n", what, detail.c_str());
    std::abort();
}

// The names must be terminated strings; reading them through is the check.
volatile size_t g_name_lengths = 0;
int32_t UUARC_CALL CheckFileName(UserData, const char* source, const char* target) {
    g_name_lengths = g_name_lengths + std::strlen(source) + std::strlen(target);
    return 0;
}
int32_t UUARC_CALL CheckProgress(UserData, int32_t percent, int32_t bytes) {
    if (percent < 0 || percent > 100 || bytes < 0) Fail("progress out of range", std::to_string(percent));
    return 0;
}

// A fact names a line of the input (each CR or LF ends one at most) and a byte.
int64_t g_most_lines = 0;
int32_t UUARC_CALL CheckSignal(UserData, int64_t value, int32_t code) {
#if defined(UUARC_OPTION_FACTS)
    const bool out_of_range = (code == UUARC_SIGNAL_FACT_LINE && (value < 1 || value > g_most_lines)) ||
                              (code == UUARC_SIGNAL_FACT_CHARACTER && (value < 0 || value > 255));
    if (out_of_range) Fail("a fact's line or byte out of range", std::to_string(value));
#else
    (void)value;
    (void)code;
#endif
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Made once and never taken down: from then on the module sees only memory. Emptied at the end
    // of each input, so that an input frees all it took.
    static uuarc::test::MemoryFiles* const files = new uuarc::test::MemoryFiles(kOut);
    files->AddFile(kArchive, std::string_view(reinterpret_cast<const char*>(data), size));
    // The module as after load for every input; each operation gets a fresh job record from it.
    uuarc::ResetModuleState();
    SetSetFileNameProc(0, CheckFileName);
    SetSetProgressProc(0, CheckProgress);
    SetSetSignalProc(0, CheckSignal);
    g_most_lines = 1;
    for (size_t at = 0; at < size; ++at) g_most_lines += data[at] == '\n' || data[at] == '\r';
#if defined(UUARC_OPTION_FACTS)
    arOptionsOn(UUARC_OPTION_FACTS);
#endif

    InitArcFile(kHostArchive);
    // The one file of the format, then every file of the text (the module's own option).
    for (const bool every : {false, true}) {
        if (GetArchiveStatus() != 0) break;
        if (every) arOptionsOn(UUARC_OPTION_EVERY_FILE);
        ArcFileList list;
        InitArcFileList(&list);
        BuildArcFileList(&list);
        if (!every && list.count > 1) Fail("more than one entry", kArchive);
        for (ArcFileEntry* entry = list.first; entry != nullptr; entry = entry->next) {
            if (memchr(entry->name, '\0', sizeof entry->name) == nullptr) Fail("unterminated name", kArchive);
            if (entry->first_size < 0) Fail("negative estimate", kArchive);
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
            std::snprintf(features.output_path, sizeof features.output_path, "%s", kHostOut);
            SetDecompExtraFeatures(&features);
            ExtractFileMaskListArc(&masks);
        }
        DoneFileMaskList(&masks);
        InitArcFile(kHostArchive);
    }
    DoneArcFile();
    const std::vector<std::string> outside = uuarc::test::MemoryFiles::TakeOutside();
    if (!outside.empty()) Fail("changed outside out", outside.front());
    const std::string* archive = uuarc::test::MemoryFiles::Contents(kArchive);
    if (archive == nullptr || *archive != std::string_view(reinterpret_cast<const char*>(data), size)) {
        Fail("archive changed", kArchive);
    }
    files->Reset();
    return 0;
}
