// windows_test.cpp - what only Windows can show: the DLL's export table as GetProcAddress sees
// it, and the record of an existing file as FindFirstFileA gives it to the replace question.
#include "tests/exports/harness.h"

namespace uuarc::test {
namespace {

using ExportTable = HostTest;

TEST_F(ExportTable, OrdinalsOneToFortyOneFollowTheNames) {
    for (int i = 0; i < 41; ++i) {
        const FARPROC by_name = GetProcAddress(static_cast<HMODULE>(module_.handle), kExportNames[i]);
        const FARPROC by_ordinal = GetProcAddress(static_cast<HMODULE>(module_.handle), MAKEINTRESOURCEA(i + 1));
        EXPECT_NE(by_ordinal, nullptr) << "ordinal " << i + 1;
        EXPECT_EQ(by_ordinal, by_name) << kExportNames[i] << " is not at ordinal " << i + 1;
    }
    EXPECT_EQ(GetProcAddress(static_cast<HMODULE>(module_.handle), MAKEINTRESOURCEA(42)), nullptr) << "an export beyond the 41";
}

TEST_F(ExportTable, StdcallNamesAreNotDecorated) {
    EXPECT_EQ(GetProcAddress(static_cast<HMODULE>(module_.handle), "_GetArchiveStatus@0"), nullptr);
    EXPECT_EQ(GetProcAddress(static_cast<HMODULE>(module_.handle), "GetArchiveStatus@0"), nullptr);
    EXPECT_EQ(GetProcAddress(static_cast<HMODULE>(module_.handle), "AppendFileMask@8"), nullptr);
}

using FindRecord = HostTest;

TEST_F(FindRecord, ExistingFileRecordIsFindFirstFile) {
    ASSERT_TRUE(MakeFolder(Path("out")));
    api_.SetOutputPath(Path("out").c_str());
    api_.InitArcFile(WriteArchive("a.uue", "f.bin", PatternBytes(700)).c_str());
    ASSERT_STATUS(0);
    const std::string output = Path("out\\f.bin");
    ASSERT_TRUE(WriteBytes(output, "the old contents"));
    WIN32_FIND_DATAA expected;
    const HANDLE search = FindFirstFileA(output.c_str(), &expected);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    RegisterRecorders();
    g_replace_answer = 1;
    Extract({"*.*"});
    const std::vector<HostCall> asked = CallsOf(CallKind::kReplace);
    ASSERT_EQ(asked.size(), 1u);
    // Field by field: the bytes after each name's terminator are undefined, and so are the
    // reserved words of a file that is no reparse point (Wine leaves them unwritten).
    const FindData& existing = asked[0].existing;
    EXPECT_EQ(existing.attributes, expected.dwFileAttributes);
    EXPECT_EQ(existing.creation_time.low, expected.ftCreationTime.dwLowDateTime);
    EXPECT_EQ(existing.creation_time.high, expected.ftCreationTime.dwHighDateTime);
    EXPECT_EQ(existing.last_access_time.low, expected.ftLastAccessTime.dwLowDateTime);
    EXPECT_EQ(existing.last_access_time.high, expected.ftLastAccessTime.dwHighDateTime);
    EXPECT_EQ(existing.last_write_time.low, expected.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(existing.last_write_time.high, expected.ftLastWriteTime.dwHighDateTime);
    EXPECT_EQ(existing.size_high, expected.nFileSizeHigh);
    EXPECT_EQ(existing.size_low, expected.nFileSizeLow);
    EXPECT_STREQ(existing.file_name, expected.cFileName);
    EXPECT_STREQ(existing.alternate_name, expected.cAlternateFileName);
    EXPECT_STREQ(existing.file_name, "f.bin");
    EXPECT_EQ(existing.size_low, 16u);
}

}  // namespace
}  // namespace uuarc::test
