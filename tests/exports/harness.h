// harness.h - the export-level suite's harness: the module loaded afresh for every test and its 41
// exports resolved as the command-line host resolves them (host/module_loader: uuarc.dll through
// LoadLibraryA and GetProcAddress under Windows, libuuarc.so through dlopen and dlsym natively),
// a temporary folder and file helpers.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "host/module_loader.h"
#include "tests/support.h"
#include "uuarc.h"

namespace uuarc::test {

// The exports, typed and resolved by the module loader that the command-line host uses too.
using Exports = uuarc_loader::ModuleExports;

// The names in ordinal order, for the checks of the export table.
extern const char* const kExportNames[41];

// ---- Files, named as the module names them --------------------------------------------------
// Every path is in Windows syntax, as the test hands it to the module. Natively the helpers map
// it as the module's back end does: "\" to "/"; every other byte passes unchanged.

std::string NativePath(const std::string& path);

// A name written in UTF-8 as the build's ANSI code page spells it: code page 1252 under Windows
// (where the cases need it), UTF-8 itself natively.
std::string Ansi(const std::string& utf8);
bool WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);  // "<cannot open ...>" when it cannot
bool PathExists(const std::string& path);
bool MakeFolder(const std::string& path);
bool RemoveFile(const std::string& path);
// The names in a folder, "." and ".." left out, sorted.
std::vector<std::string> FolderNames(const std::string& folder);
// Read-only as the platform knows it: the attribute bit, or no write bit in the mode.
bool MakeReadOnly(const std::string& path);
bool IsReadOnly(const std::string& path);
// Whether the file can be opened for writing by this process (root may write a read-only file).
bool OpensForWriting(const std::string& path);
// Makes the file `length` bytes long without writing the bytes past its end (a sparse file).
bool ExtendTo(const std::string& path, int64_t length);
// Sets the file's last write to a local date and time.
bool SetLocalWriteTime(const std::string& path, int year, int month, int day, int hour, int minute, int second);
// The system time now, in 100 ns since 1601 (UTC), as FileTime counts it.
uint64_t NowFileTime();

// Whether names with accents convert as the cases expect: under Windows only with OEM code page
// 437 and ANSI code page 1252; natively these are the module's own.
bool HaveWesternCodePages();

// ---- The fixture ----------------------------------------------------------------------------

// Each test gets the module as right after load (loaded afresh, and unloaded for good at the end),
// an empty temporary folder that is also the current directory, and a clean recorder. A failed
// test prints the archive status.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // `relative` inside the test's folder, with backslashes.
    std::string Path(const std::string& relative) const { return folder_ + relative; }
    // The test's folder without its trailing backslash.
    std::string Folder() const { return folder_.substr(0, folder_.size() - 1); }

    uint16_t Status() const { return api_.GetArchiveStatus(); }

    // The options word, read back bit by bit through arOptionsAreOn.
    uint16_t OptionsWord() const;

    // Registers the four recorders with one user-data word.
    void RegisterRecorders(UserData user = 0) const;

    // Writes ClassicUuencode(stored_name, data) to `relative` and returns its full path.
    std::string WriteArchive(const std::string& relative, const std::string& stored_name, const std::string& data) const;

    // The whole mask-list round: InitFileMaskList, AppendFileMask each, the operation,
    // DoneFileMaskList. They return the archive status.
    uint16_t Extract(std::initializer_list<const char*> masks) const;
    uint16_t Compress(std::initializer_list<const char*> masks) const;

    Exports api_{};
    uuarc_loader::LoadedModule module_;
    std::string folder_;  // ends in a backslash

private:
    uint16_t RunWithMasks(void(UUARC_CALL* operation)(FileMaskList*), std::initializer_list<const char*> masks) const;
    std::string saved_directory_;
};

#define EXPECT_STATUS(expected) EXPECT_EQ(Status(), (expected)) << "archive status"
#define ASSERT_STATUS(expected) ASSERT_EQ(Status(), (expected)) << "archive status"

}  // namespace uuarc::test
