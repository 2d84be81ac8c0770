// roundtrip_fuzz.cpp - fuzz target: a file of any contents under any name is created and extracted
// again through the exports, in memory (tests/memory_files.h). Creation takes the name or refuses
// it (status 5; 9908 where the mask names a folder) before anything is made; what it makes
// extracts, whole, to the same name and bytes.
//
// Input: byte 0 is the length of the name in bytes, 1 to the longest that creation stores and one
// more; each of the next bytes picks the name's next character from those a file name may hold
// here (every printable ASCII byte but the separators, and three characters of UTF-8); the rest
// of the input is the contents.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "module/module_state.h"
#include "uuarc.h"
#include "tests/memory_files.h"

namespace {

// Short folders, so that the longest name fits a mask and an output path with them.
constexpr char kFolder[] = "/m";
constexpr char kArchive[] = "\\m\\a.uue";
constexpr char kOut[] = "\\m\\x\\";

void Fail(const char* what, const std::string& name) {
    std::fprintf(stderr, "roundtrip_fuzz: %s: %s\n", what, name.c_str());
    std::abort();
}

// The name's characters: the printable ASCII bytes but "/" and "\", then three of UTF-8.
std::string_view Character(uint8_t pick) {
    static const std::string kCharacters = [] {
        std::string all;
        for (char c = ' '; c <= '~'; ++c) {
            if (c != '/' && c != '\\') all += c;
        }
        return all;
    }();
    static constexpr std::string_view kWide[] = {"\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80"};
    const size_t at = pick % (kCharacters.size() + 3);
    return at < kCharacters.size() ? std::string_view(kCharacters).substr(at, 1) : kWide[at - kCharacters.size()];
}

uint16_t WithMask(void(UUARC_CALL* operation)(FileMaskList*), const std::string& mask) {
    FileMaskList masks;
    InitFileMaskList(&masks);
    if (AppendFileMask(mask.c_str(), &masks) == 0) Fail("mask refused", mask);
    operation(&masks);
    DoneFileMaskList(&masks);
    return GetArchiveStatus();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static uuarc::test::MemoryFiles* const files = new uuarc::test::MemoryFiles(kFolder);
    if (size == 0) return 0;
    const size_t length = 1 + data[0] % (UUARC_MAX_STORED_NAME + 1);
    std::string name;
    size_t used = 1;
    while (used < size && name.size() < length) {
        const std::string_view next = Character(data[used++]);
        if (name.size() + next.size() > length) break;
        name += next;
    }
    if (name == "." || name == "..") return 0;  // no file's name
    const std::string_view contents(reinterpret_cast<const char*>(data + used), size - used);
    files->AddFile("/s/" + name, contents);
    uuarc::ResetModuleState();

    CreateArcFile(kArchive);
    const uint16_t created = WithMask(CompressFileMaskListArc, "\\s\\" + name);
    const std::string* archive = uuarc::test::MemoryFiles::Contents("/m/a.uue");
    // A name ending in a dot loses it to the mask's split, and "..." names a folder then (9908).
    if (created != UUARC_STATUS_OK && archive != nullptr) Fail("a refused creation made a file", name);
    if (created == UUARC_STATUS_OK) {
        InitArcFile(kArchive);
        if (GetArchiveStatus() != UUARC_STATUS_OK) Fail("the new file does not open", name);
        SetOutputPath(kOut);
        if (WithMask(ExtractFileMaskListArc, "*.*") != UUARC_STATUS_OK) Fail("the new file does not extract", name);
        const std::string* back = uuarc::test::MemoryFiles::Contents("/m/x/" + name);
        if (back == nullptr) Fail("extracted under another name", name);
        if (*back != contents) Fail("other bytes back", name);
    }
    DoneArcFile();
    if (!uuarc::test::MemoryFiles::TakeOutside().empty()) Fail("changed outside the folder", name);
    files->Reset();
    return 0;
}
