// test_support.h - what the module suites share: a fresh module state and temporary folder per
// test, Windows-syntax paths into that folder, file helpers and a recorder of host callbacks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "module/module_state.h"
#include "module/uuarc.h"

namespace uuarc::test {

// What the callbacks saw, one line a call: "name <source>|<target>", "progress <pct> <bytes>",
// "signal <length> <code>", "replace <existing name>|<new name>|<size>".
inline std::vector<std::string> g_events;
inline int32_t g_replace_answer = 0;
inline FindData g_existing_record;
inline FindData g_incoming_record;
inline uint32_t g_last_user = 0;

inline int32_t UUARC_CALL RecordFileName(uint32_t user, const char* source, const char* target) {
    g_last_user = user;
    g_events.push_back(std::string("name ") + source + "|" + target);
    return 0;
}
inline int32_t UUARC_CALL RecordProgress(uint32_t user, int32_t percent, int32_t bytes) {
    g_last_user = user;
    g_events.push_back("progress " + std::to_string(percent) + " " + std::to_string(bytes));
    return 0;
}
inline int32_t UUARC_CALL RecordSignal(uint32_t user, int64_t length, int32_t code) {
    g_last_user = user;
    g_events.push_back("signal " + std::to_string(length) + " " + std::to_string(code));
    return 0;
}
inline int32_t UUARC_CALL RecordReplace(uint32_t user, FindData* existing, FindData* incoming) {
    g_last_user = user;
    g_existing_record = *existing;
    g_incoming_record = *incoming;
    g_events.push_back(std::string("replace ") + existing->file_name + "|" + incoming->file_name + "|" +
                       std::to_string(incoming->size_low));
    return g_replace_answer;
}

inline std::vector<std::string> EventsStartingWith(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& event : g_events) {
        if (event.rfind(prefix, 0) == 0) found.push_back(event);
    }
    return found;
}

inline std::string ToWindows(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The module's state as right after load.
        g_state.~ModuleState();
        new (&g_state) ModuleState();
        g_events.clear();
        g_replace_answer = 0;
        char pattern[] = "/tmp/uuarc-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ignored);
        std::filesystem::remove_all(dir_, ignored);
    }

    // Unix and Windows spellings of a path in the test's folder.
    std::string Native(const std::string& name) const { return dir_ + "/" + name; }
    std::string Win(const std::string& name) const { return ToWindows(Native(name)); }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(Native(name), std::ios::binary);
        out << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Native(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(Native(name)); }

    // Runs ExtractFileMaskListArc or CompressFileMaskListArc on a fresh list of `masks`.
    static void WithMasks(void(UUARC_CALL* operation)(FileMaskList*), std::initializer_list<std::string> masks) {
        FileMaskList list;
        InitFileMaskList(&list);
        for (const std::string& mask : masks) AppendFileMask(mask.c_str(), &list);
        operation(&list);
        DoneFileMaskList(&list);
    }

    static void RegisterAll() {
        SetSetFileNameProc(0, RecordFileName);
        SetSetProgressProc(0, RecordProgress);
        SetSetSignalProc(0, RecordSignal);
        SetOkToReplaceProc(0, RecordReplace);
    }

    std::string dir_;
};

// Prints the archive status with a failed expectation.
#define EXPECT_STATUS(expected) EXPECT_EQ(GetArchiveStatus(), (expected)) << "archive status"
#define ASSERT_STATUS(expected) ASSERT_EQ(GetArchiveStatus(), (expected)) << "archive status"

// `size` bytes from a generator with a fixed seed.
std::string RandomBytes(size_t size, unsigned seed);

// The classic encoding of `bytes`, with CR LF line ends and the given name.
std::string EncodeClassic(const std::string& bytes, const std::string& name = "file.bin", bool crlf = true);

}  // namespace uuarc::test
