// module_host.h - what the Wine suites share: uuarc.dll loaded afresh for every test and its 41
// exports resolved as a host resolves them, a temporary folder, file helpers and callback recorders.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "module/uuarc.h"

namespace uuarc_wine {

// The exports in ordinal order: the first is ordinal 1.
#define UUARC_EXPORT_LIST(X)                                                                             \
    X(AddDamageProtXionArc) X(AppendFileMask) X(BuildArcFileList) X(BuildUnDamagedArc)                   \
    X(CompressFileMaskListArc) X(CreateArcFile) X(CreateArcSfx2) X(CreateDirectoryArc) X(CreateExeArc)   \
    X(DeleteFileMaskListArc) X(DoneArcFile) X(DoneArcFileList) X(DoneFileMaskList)                       \
    X(ExtractFileMaskListArc) X(GetArchiveStatus) X(GetExtraInfoArc) X(GetMainCommentArc)                \
    X(InitArcFile) X(InitArcFileList) X(InitFileMaskList) X(SetArchiveStatus) X(SetCompExtraFeatures)    \
    X(SetCryptKey) X(SetDecompExtraFeatures) X(SetFileCommentsArc) X(SetGetNextDiskProc)                 \
    X(SetMainCommentArc) X(SetOkToReplaceProc) X(SetOutputPath) X(SetSetCryptKeyProc)                    \
    X(SetSetFileNameProc) X(SetSetProgressProc) X(SetSetSfxProgressProc) X(SetSetSignalProc)             \
    X(SetSetWarningProc) X(SetSkipFileProc) X(StripDamageProtXionArc) X(TestArc) X(arOptionsAreOn)       \
    X(arOptionsOff) X(arOptionsOn)

// One pointer per export, typed from uuarc.h (decltype only: the suite never links the module).
struct Exports {
#define UUARC_EXPORT_POINTER(name) decltype(&::name) name;
    UUARC_EXPORT_LIST(UUARC_EXPORT_POINTER)
#undef UUARC_EXPORT_POINTER
};

// The names in ordinal order, for the checks of the export table.
extern const char* const kExportNames[41];

// ---- Callback recorders ---------------------------------------------------------------------

enum class CallKind { kFileName, kProgress, kReplace, kSignal };

// One call of a host callback, as the recorder saw it.
struct HostCall {
    CallKind kind = CallKind::kFileName;
    uint32_t user = 0;
    std::string source;          // kFileName
    std::string target;          // kFileName
    int64_t first = 0;           // kProgress: percent; kSignal: length
    int64_t second = 0;          // kProgress: bytes since the last report; kSignal: code
    FindData existing{};         // kReplace
    FindData incoming{};         // kReplace
};

extern std::vector<HostCall> g_calls;
extern int32_t g_replace_answer;  // what the OkToReplaceProc recorder answers

int32_t UUARC_CALL RecordFileName(uint32_t user, const char* source, const char* target);
int32_t UUARC_CALL RecordProgress(uint32_t user, int32_t percent, int32_t bytes);
int32_t UUARC_CALL RecordReplace(uint32_t user, FindData* existing, FindData* incoming);
int32_t UUARC_CALL RecordSignal(uint32_t user, int64_t length, int32_t code);

std::vector<HostCall> CallsOf(CallKind kind);
// (percent, bytes) of every progress call, in order.
std::vector<std::pair<int64_t, int64_t>> ProgressCalls();

// ---- Files ----------------------------------------------------------------------------------

bool WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool PathExists(const std::string& path);
uint32_t Attributes(const std::string& path);
// The names in a folder, "." and ".." left out.
std::vector<std::string> FolderNames(const std::string& folder);

// `data` uuencoded as the classic tools write it: "begin <mode> <name>", 45-byte lines, a
// zero-length line and "end". `zero` is the character for the value 0 ("`", or " " as the oldest
// encoders wrote it); `eol` ends every line.
std::string ClassicUuencode(const std::string& name, const std::string& data, char zero = '`',
                            const char* eol = "\r\n");

// `length` bytes of free text in lines of at most 100 bytes, each ending in CR LF (length != 1).
std::string FreeText(size_t length);

// Bytes 0..255 over and over, then a stretch that is not, `size` bytes in all.
std::string PatternBytes(size_t size, uint32_t seed = 1);

// ---- The fixture ----------------------------------------------------------------------------

// Each test gets the module as right after load (LoadLibraryA afresh), an empty temporary folder
// that is also the current directory, and a clean recorder. A failed test prints the archive status.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // `relative` inside the test's folder, with backslashes.
    std::string Path(const std::string& relative) const { return folder_ + relative; }

    uint16_t Status() const { return api_.GetArchiveStatus(); }

    // Registers the four recorders with one user-data word.
    void RegisterRecorders(uint32_t user = 0) const;

    // Writes ClassicUuencode(stored_name, data) to `relative` and returns its full path.
    std::string WriteArchive(const std::string& relative, const std::string& stored_name, const std::string& data) const;

    // The whole mask-list round: InitFileMaskList, AppendFileMask each, the operation,
    // DoneFileMaskList. They return the archive status.
    uint16_t Extract(std::initializer_list<const char*> masks) const;
    uint16_t Compress(std::initializer_list<const char*> masks) const;

    Exports api_{};
    HMODULE module_ = nullptr;
    std::string folder_;  // ends in a backslash

private:
    uint16_t RunWithMasks(void(UUARC_CALL* operation)(FileMaskList*), std::initializer_list<const char*> masks) const;
    std::string saved_directory_;
};

#define EXPECT_STATUS(expected) EXPECT_EQ(Status(), (expected)) << "archive status"
#define ASSERT_STATUS(expected) ASSERT_EQ(Status(), (expected)) << "archive status"

}  // namespace uuarc_wine
