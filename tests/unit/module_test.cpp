// module_test.cpp - the status, option and registration exports, opening and listing archives,
// and the host's settings, through the exports as a host calls them.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "module/status.h"
#include "test_support.h"

namespace uuarc::test {
namespace {

using Exports = ModuleTest;

// ---- Status, options, registration ----------------------------------------------------------

TEST_F(Exports, StartsAsLoaded) {
    EXPECT_STATUS(0);
    EXPECT_EQ(arOptionsAreOn(0x0800), 1);
    EXPECT_EQ(arOptionsAreOn(0x8000), 0);
    EXPECT_EQ(arOptionsAreOn(0), 1);
}

TEST_F(Exports, OptionArithmeticKeepsLockedBit) {
    EXPECT_EQ(arOptionsOn(0x8000), 0);
    EXPECT_EQ(g_state.options, 0x0800);
    EXPECT_EQ(arOptionsOn(0x8010), 0x0010);
    EXPECT_EQ(g_state.options, 0x0810);
    EXPECT_EQ(arOptionsAreOn(0x0810), 1);
    EXPECT_EQ(arOptionsOff(0x0010), 0xFFEF);
    EXPECT_EQ(arOptionsAreOn(0x0810), 0);
    EXPECT_EQ(arOptionsOff(0xFFFF), 0x8000);
    EXPECT_EQ(g_state.options, 0);
    EXPECT_EQ(arOptionsOn(0x10000 | 0x0001), 0x0001);  // only the low 16 bits count
}

TEST_F(Exports, StatusWordAndNotSupportedOperations) {
    EXPECT_EQ(SetArchiveStatus(0x12345), 0x2345);
    EXPECT_STATUS(0x2345);
    void (*not_supported[])(uint32_t) = {AddDamageProtXionArc, BuildUnDamagedArc, CreateArcSfx2,
                                         CreateDirectoryArc,   CreateExeArc,      SetFileCommentsArc,
                                         SetMainCommentArc,    StripDamageProtXionArc, TestArc};
    for (auto operation : not_supported) {
        SetArchiveStatus(0);
        operation(0);
        EXPECT_STATUS(32770);
    }
    DeleteFileMaskListArc(0);
    EXPECT_STATUS(9902);
    // These leave the status alone.
    SetCryptKey(1, 2);
    SetSetCryptKeyProc(1, 2);
    SetSetFileNameProc(1, nullptr);
    SetSkipFileProc(1, nullptr);
    uint32_t record[6] = {1, 2, 3, 4, 5, 6};
    GetMainCommentArc(record);
    EXPECT_STATUS(9902);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(record[i], i < 2 ? 0u : i + 1) << i;  // two 32-bit words, also in a 64-bit build
}

TEST_F(Exports, UserWordsAreClearedByInitArcFile) {
    SetSetProgressProc(7, RecordProgress);
    EXPECT_EQ(g_state.callbacks.progress_user, 7u);
    InitArcFile(Win("missing").c_str());
    EXPECT_EQ(g_state.callbacks.progress_user, 0u);
    EXPECT_EQ(g_state.callbacks.progress, &RecordProgress);  // the procedure stays
}

// ---- Opening and listing ----------------------------------------------------------------------

using Listing = ModuleTest;

TEST_F(Listing, MissingOrEmptyPathStartsNewUnnamedArchive) {
    for (const std::string& path : {Win("missing.uue"), std::string()}) {
        InitArcFile(path.c_str());
        EXPECT_STATUS(0);
        EXPECT_STREQ(g_state.archive_path, "");
        EXPECT_EQ(g_state.new_archive, 1u);
        ArcFileList list;
        InitArcFileList(&list);
        BuildArcFileList(&list);
        EXPECT_STATUS(5);
        EXPECT_EQ(list.count, 0u);
    }
}

TEST_F(Listing, OpenFailuresKeepEarlierArchive) {
    Write("good.uue", EncodeClassic("x"));
    Write("plain.txt", "no begin line\n");
    mkdir(Native("dir").c_str(), 0755);
    InitArcFile(Win("good.uue").c_str());
    ASSERT_STATUS(0);
    InitArcFile(Win("plain.txt").c_str());
    EXPECT_STATUS(9974);
    EXPECT_EQ(std::string(g_state.archive_path), Win("good.uue"));
    InitArcFile(Win("dir").c_str());
    EXPECT_STATUS(5);
    EXPECT_EQ(std::string(g_state.archive_path), Win("good.uue"));
    InitArcFile(std::string(300, 'a').c_str());  // longer than a host path may be
    EXPECT_STATUS(5);
    EXPECT_EQ(std::string(g_state.archive_path), Win("good.uue"));
    EXPECT_EQ(g_state.new_archive, 0u);
}

TEST_F(Listing, CreateArcFileStates) {
    Write("good.uue", EncodeClassic("x"));
    Write("plain.txt", "text\n");
    CreateArcFile(Win("new.uue").c_str());
    EXPECT_STATUS(0);
    EXPECT_EQ(std::string(g_state.archive_path), Win("new.uue"));
    EXPECT_EQ(g_state.new_archive, 1u);
    CreateArcFile(Win("plain.txt").c_str());  // exists, not encoded: archive as it was
    EXPECT_STATUS(5);
    EXPECT_EQ(std::string(g_state.archive_path), Win("new.uue"));
    EXPECT_EQ(g_state.new_archive, 1u);
    CreateArcFile(Win("good.uue").c_str());  // exists and encoded: left open
    EXPECT_STATUS(5);
    EXPECT_EQ(std::string(g_state.archive_path), Win("good.uue"));
    EXPECT_EQ(g_state.new_archive, 0u);
    DoneArcFile();
    EXPECT_STREQ(g_state.archive_path, "");
    EXPECT_EQ(g_state.new_archive, 0u);
    EXPECT_STATUS(5);
}

TEST_F(Listing, EntryAndSummaryRecordsByteForByte) {
    std::string text = EncodeClassic("payload", "M\x81ller.txt");
    text += std::string(1424 - text.size(), '\n');
    Write("a.uue", text);
    chmod(Native("a.uue").c_str(), 0444);
    InitArcFile(Win("a.uue").c_str());
    ArcExtraInfo info;
    std::memset(&info, 0xAA, sizeof info);
    GetExtraInfoArc(&info);
    for (size_t i = 0; i < sizeof info; ++i) ASSERT_EQ(reinterpret_cast<uint8_t*>(&info)[i], 0) << i;

    ArcFileList list;
    InitArcFileList(&list);
    BuildArcFileList(&list);
    ASSERT_STATUS(0);
    ASSERT_EQ(list.count, 1u);
    ASSERT_EQ(list.first, list.last);
    const ArcFileEntry& entry = *list.first;
    EXPECT_EQ(entry.next, nullptr);
    EXPECT_STREQ(entry.name, "Müller.txt");
    for (size_t i = std::strlen(entry.name); i < sizeof entry.name; ++i) EXPECT_EQ(entry.name[i], 0);
    EXPECT_EQ(entry.first_size, 1017);
    EXPECT_EQ(entry.second_size, 1017);
    EXPECT_EQ(entry.attributes, kAttrArchive | kAttrReadOnly);
    EXPECT_EQ(entry.fixed_12, 12u);
    EXPECT_EQ(entry.fixed_1, 1u);
    // The DOS date and time of the file's last write, in local time.
    struct stat st;
    stat(Native("a.uue").c_str(), &st);
    struct tm local;
    localtime_r(&st.st_mtime, &local);
    const uint32_t dos = static_cast<uint32_t>(((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday) << 16 |
                                               (local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2));
    EXPECT_EQ(entry.dos_date_time, dos);

    GetExtraInfoArc(&info);
    EXPECT_EQ(info.fixed_11, 11u);
    EXPECT_EQ(info.fixed_1a, 1u);
    EXPECT_EQ(info.fixed_2, 2u);
    EXPECT_EQ(info.fixed_1b, 1u);
    EXPECT_EQ(info.first_size_total, 1017);
    EXPECT_EQ(info.second_size_total, 1017);
    EXPECT_EQ(info.ratio, 100);
    EXPECT_EQ(info.zero_12 | info.zero_28 | info.zero_32, 0u);

    BuildArcFileList(&list);  // a second call appends a second, equal entry
    EXPECT_EQ(list.count, 2u);
    ASSERT_EQ(list.first->next, list.last);
    const size_t after_next = offsetof(ArcFileEntry, name);
    EXPECT_EQ(std::memcmp(reinterpret_cast<char*>(list.last) + after_next, reinterpret_cast<char*>(list.first) + after_next,
                          sizeof(ArcFileEntry) - after_next), 0);
    DoneArcFileList(&list);
    EXPECT_EQ(list.count, 0u);
    EXPECT_EQ(list.first, nullptr);
    EXPECT_EQ(list.last, nullptr);
    DoneArcFileList(&list);  // an empty list only gets its fields zeroed
}

TEST_F(Listing, ListingFailuresLeaveListAlone) {
    Write("plain.txt", "text\n");
    Write("good.uue", EncodeClassic("x"));
    InitArcFile(Win("good.uue").c_str());
    ArcFileList list;
    InitArcFileList(&list);
    BuildArcFileList(&list);
    ArcExtraInfo before;
    GetExtraInfoArc(&before);
    Write("good.uue", "damaged: no begin line any more\n");
    BuildArcFileList(&list);
    EXPECT_STATUS(9964);  // not turned into 9974 here
    EXPECT_EQ(list.count, 1u);
    ArcExtraInfo after;
    GetExtraInfoArc(&after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    DoneArcFileList(&list);
}

TEST_F(Listing, LargeArchiveShowsTrueEstimateAndRatio) {
    // A begin line and then a hole: about 3 GiB on disk, nothing of it written.
    const int64_t length = int64_t{3} << 30;
    Write("big.uue", "begin 644 big.bin\n");
    ASSERT_EQ(truncate(Native("big.uue").c_str(), length), 0);
    InitArcFile(Win("big.uue").c_str());
    ArcFileList list;
    InitArcFileList(&list);
    BuildArcFileList(&list);
    ASSERT_STATUS(0);
    EXPECT_EQ(list.first->first_size, length * 10 / 14);
    ArcExtraInfo info;
    GetExtraInfoArc(&info);
    EXPECT_EQ(info.first_size_total, length * 10 / 14);
    EXPECT_EQ(info.ratio, 100);
    DoneArcFileList(&list);
}

// ---- Host settings --------------------------------------------------------------------------

using Settings = ModuleTest;

TEST_F(Settings, OutputPathGetsOneTrailingBackslash) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\out", "C:\\out\\"}, {"C:\\out\\", "C:\\out\\"}, {"C:", "C:"}, {"", ""}};
    for (const auto& [given, stored] : cases) {
        SetOutputPath(given);
        EXPECT_STREQ(g_state.output_path, stored);
    }
    SetOutputPath("D:\\kept");
    SetOutputPath(std::string(256, 'x').c_str());  // too long: ignored
    EXPECT_STREQ(g_state.output_path, "D:\\kept\\");
}

TEST_F(Settings, DecompFeaturesSetButNeverClear) {
    DecompExtraFeatures record = {};
    record.keep_paths = 1;
    std::strcpy(record.output_path, "D:\\x");
    std::strcpy(record.base_path, "dir\\");
    SetDecompExtraFeatures(&record);
    EXPECT_EQ(g_state.keep_paths, 1);
    EXPECT_STREQ(g_state.output_path, "D:\\x\\");
    EXPECT_STREQ(g_state.base_path, "dir\\");
    record = {};
    SetDecompExtraFeatures(&record);
    EXPECT_EQ(g_state.keep_paths, 0);
    EXPECT_STREQ(g_state.output_path, "D:\\x\\");
    EXPECT_STREQ(g_state.base_path, "dir\\");
    std::memset(record.base_path, 'b', sizeof record.base_path);  // not terminated in the field
    SetDecompExtraFeatures(&record);
    EXPECT_STREQ(g_state.base_path, "dir\\");
}

TEST_F(Settings, SourcePrefixGetsBackslashWhenLongerThanThree) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\src", "C:\\src\\"}, {"C:\\src\\", "C:\\src\\\\"}, {"C:\\", "C:\\"}, {"ab", "ab"}};
    for (const auto& [given, stored] : cases) {
        CompExtraFeatures record = {};
        std::strcpy(record.source_prefix, given);
        std::strcpy(record.base_path, "base");
        SetCompExtraFeatures(&record);
        EXPECT_STREQ(g_state.source_prefix, stored);
        EXPECT_STREQ(g_state.base_path, "base");
    }
    CompExtraFeatures empty = {};
    SetCompExtraFeatures(&empty);
    EXPECT_STREQ(g_state.source_prefix, "ab");
}

}  // namespace
}  // namespace uuarc::test
