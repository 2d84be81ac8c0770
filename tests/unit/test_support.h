// test_support.h - what the native unit suites share: a fresh module state and temporary folder
// per test, Windows-syntax paths into that folder and file helpers. The recorder of host
// callbacks and the reference encoder are the ones every suite uses (tests/support.h).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <cstdio>
#include <string>
#include <vector>

#include "module/module_state.h"
#include "operations/create.h"
#include "tests/support.h"
#include "uuarc.h"

namespace uuarc::test {

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
        ResetModuleState();
        ClearCalls();
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

    // Creation onto `target`, which CreateArcFile would refuse since it exists: the job record of
    // the module's state with the target as the archive to create.
    static void CreateOnto(const std::string& target, std::initializer_list<std::string> masks) {
        Job job = MakeJob();
        HostSettings settings = *job.settings;
        std::snprintf(settings.archive_path, sizeof settings.archive_path, "%s", target.c_str());
        settings.new_archive = 1;
        job.settings = &settings;
        FileMaskList list;
        InitFileMaskList(&list);
        for (const std::string& mask : masks) AppendFileMask(mask.c_str(), &list);
        RunCreation(job, &list);
        DoneFileMaskList(&list);
    }

    // The keep-paths flag, as the host sets it (nothing else of the record is taken when empty).
    static void KeepPaths(bool keep) {
        DecompExtraFeatures features = {};
        features.keep_paths = keep ? 1 : 0;
        SetDecompExtraFeatures(&features);
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

}  // namespace uuarc::test
