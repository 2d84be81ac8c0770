// listing_test.cpp - opening archives and the listing records under Win32: the entry and summary
// bytes at their offsets, with the date, time and attribute words that Windows itself reports.
#include <cstring>
#include <string>
#include <vector>

#include "module_host.h"

namespace uuarc_wine {
namespace {

// Writes a begin line and extends the file to `length` bytes without writing them (a sparse file).
bool WriteHugeArchive(const std::string& path, int64_t length) {
    if (!WriteBytes(path, "begin 644 big.bin\r\n")) return false;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER end;
    end.QuadPart = length;
    const bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return ok;
}

// What a host computes for the file itself: last write, local time, DOS form.
uint32_t DosDateTimeOf(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME written, local;
    WORD date = 0, time = 0;
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToDosDateTime(&local, &date, &time);
    return static_cast<uint32_t>(date) << 16 | time;
}

uint32_t Word(const void* record, size_t offset) {
    uint32_t value;
    std::memcpy(&value, static_cast<const uint8_t*>(record) + offset, sizeof value);
    return value;
}

int64_t Quad(const void* record, size_t offset) {
    int64_t value;
    std::memcpy(&value, static_cast<const uint8_t*>(record) + offset, sizeof value);
    return value;
}

// Bytes [begin, end) that a check reads for itself; everything else must be zero.
struct Span {
    size_t begin;
    size_t end;
};

void ExpectZeroOutside(const void* record, size_t size, std::initializer_list<Span> used) {
    const auto* bytes = static_cast<const uint8_t*>(record);
    for (size_t i = 0; i < size; ++i) {
        bool inside = false;
        for (const Span& span : used) inside |= i >= span.begin && i < span.end;
        if (!inside) {
            EXPECT_EQ(bytes[i], 0) << "byte " << i << " of a " << size << "-byte record";
        }
    }
}

// An encoded file of 1424 bytes: its estimate is 1424 * 10 / 14 = 1017.
class Listing : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        archive_ = Path("list.uue");
        const std::string body = ClassicUuencode("list.bin", PatternBytes(300));
        ASSERT_TRUE(WriteBytes(archive_, FreeText(1424 - body.size()) + body));
        api_.InitArcFile(archive_.c_str());
        ASSERT_STATUS(0);
        api_.InitArcFileList(&list_);
    }
    void TearDown() override {
        if (api_.DoneArcFileList != nullptr) api_.DoneArcFileList(&list_);
        HostTest::TearDown();
    }
    std::string archive_;
    ArcFileList list_{};
};

TEST_F(Listing, EntryBytesAtTheirOffsets) {
    api_.BuildArcFileList(&list_);
    ASSERT_STATUS(0);
    ASSERT_EQ(list_.count, 1u);
    ASSERT_NE(list_.first, nullptr);
    EXPECT_EQ(list_.last, list_.first);
    const ArcFileEntry& entry = *list_.first;
    EXPECT_EQ(entry.next, nullptr);
    EXPECT_STREQ(entry.name, "list.bin");
    for (size_t i = std::strlen("list.bin"); i < sizeof entry.name; ++i) EXPECT_EQ(entry.name[i], 0) << "name byte " << i;
    EXPECT_EQ(Quad(&entry, 280), 1017);
    EXPECT_EQ(Quad(&entry, 288), 1017);
    EXPECT_EQ(Word(&entry, 304), 12u);
    EXPECT_EQ(Word(&entry, 332), 1u);
    ExpectZeroOutside(&entry, sizeof entry, {{0, 280}, {280, 296}, {296, 304}, {304, 308}, {332, 336}});
}

TEST_F(Listing, DosDateTimeIsTheFilesLastWriteInLocalTime) {
    // 15 June 2021, 13:45:30 local time, set as the file's last write.
    const SYSTEMTIME when = {2021, 6, 2, 15, 13, 45, 30, 0};
    FILETIME local, utc;
    ASSERT_TRUE(SystemTimeToFileTime(&when, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    const HANDLE file = CreateFileA(archive_.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &utc));
    CloseHandle(file);

    api_.BuildArcFileList(&list_);
    ASSERT_STATUS(0);
    ASSERT_NE(list_.first, nullptr);
    EXPECT_EQ(list_.first->dos_date_time, DosDateTimeOf(archive_));
    const uint32_t date = (2021 - 1980) << 9 | 6 << 5 | 15;
    const uint32_t time = 13 << 11 | 45 << 5 | 30 / 2;
    EXPECT_EQ(list_.first->dos_date_time, date << 16 | time);
}

TEST_F(Listing, AttributeWordIsGetFileAttributes) {
    ASSERT_TRUE(SetFileAttributesA(archive_.c_str(), FILE_ATTRIBUTE_READONLY));
    const uint32_t expected = Attributes(archive_);
    ASSERT_TRUE(expected & FILE_ATTRIBUTE_READONLY);
    api_.BuildArcFileList(&list_);
    ASSERT_STATUS(0);
    ASSERT_NE(list_.first, nullptr);
    EXPECT_EQ(list_.first->attributes, expected);
}

TEST_F(Listing, SummaryRecordAndRatio) {
    api_.BuildArcFileList(&list_);
    ASSERT_STATUS(0);
    uint8_t buffer[sizeof(ArcExtraInfo) + 16];
    std::memset(buffer, 0xA5, sizeof buffer);
    api_.GetExtraInfoArc(reinterpret_cast<ArcExtraInfo*>(buffer));
    EXPECT_EQ(Word(buffer, 0), 11u);
    EXPECT_EQ(Word(buffer, 4), 1u);
    EXPECT_EQ(Word(buffer, 8), 2u);
    EXPECT_EQ(Word(buffer, 36), 1u);
    EXPECT_EQ(Quad(buffer, 40), 1017);
    EXPECT_EQ(Quad(buffer, 48), 1017);
    EXPECT_EQ(Word(buffer, 56), 100u);
    ExpectZeroOutside(buffer, sizeof(ArcExtraInfo), {{0, 12}, {36, 60}});
    for (size_t i = sizeof(ArcExtraInfo); i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 0xA5) << "past the record: " << i;
}

TEST_F(Listing, EachBuildAppendsEqualEntry) {
    api_.BuildArcFileList(&list_);
    api_.BuildArcFileList(&list_);
    ASSERT_STATUS(0);
    ASSERT_EQ(list_.count, 2u);
    ASSERT_NE(list_.first, list_.last);
    EXPECT_EQ(list_.first->next, list_.last);
    EXPECT_EQ(list_.last->next, nullptr);
    EXPECT_EQ(std::memcmp(list_.first->name, list_.last->name, sizeof(ArcFileEntry) - offsetof(ArcFileEntry, name)), 0);
    ArcExtraInfo info;
    api_.GetExtraInfoArc(&info);
    EXPECT_EQ(info.first_size_total, 1017) << "the summary describes the second entry alone";
    ArcFileEntry* const second = list_.last;
    api_.BuildArcFileList(&list_);
    EXPECT_EQ(list_.count, 3u);
    EXPECT_EQ(list_.first->next, second);
    EXPECT_EQ(second->next, list_.last);
    EXPECT_EQ(list_.last->next, nullptr);
}

TEST_F(Listing, DoneArcFileListZeroesTheHead) {
    api_.BuildArcFileList(&list_);
    api_.DoneArcFileList(&list_);
    EXPECT_EQ(list_.count, 0u);
    EXPECT_EQ(list_.first, nullptr);
    EXPECT_EQ(list_.last, nullptr);
    ArcFileList empty = {5, nullptr, reinterpret_cast<ArcFileEntry*>(0x1234)};
    api_.DoneArcFileList(&empty);
    EXPECT_EQ(empty.count, 0u);
    EXPECT_EQ(empty.last, nullptr);
}

TEST_F(Listing, InitArcFileClearsSummary) {
    api_.BuildArcFileList(&list_);
    api_.InitArcFile(archive_.c_str());
    ArcExtraInfo info;
    std::memset(&info, 0xA5, sizeof info);
    api_.GetExtraInfoArc(&info);
    ExpectZeroOutside(&info, sizeof info, {});
}

// The name as the listing shows it: UTF-8 in ANSI where code page 1252 has every character, any
// other stored name the way OemToCharA converts it (every OEM byte is checked so), white space
// inside kept.
TEST_F(Listing, StoredNameFromOemOrUtf8ToAnsi) {
    if (GetOEMCP() != 437 || GetACP() != 1252) {
        GTEST_SKIP() << "needs OEM code page 437 and ANSI code page 1252, have " << GetOEMCP() << " / " << GetACP();
    }
    struct Case {
        std::string stored;
        std::string listed;
    };
    std::vector<Case> cases = {
        {"\x81" "ber.bin", "\xFC" "ber.bin"},
        {"na\xC3\xAFve file.txt", "na\xEFve file.txt"},
        {"\xC5\x93uvre \xE2\x82\xAC\xC3\x98.txt", "\x9Cuvre \x80\xD8.txt"},  // o-e ligature, euro, O stroke
        {"tab\tinside \t ", "tab\tinside"},
        {"\xE4\xB8\xAD.txt", ""},  // Chinese in UTF-8: no 1252 form, so the OEM way ("" below)
    };
    // The letter after each OEM byte keeps it from reading as UTF-8.
    for (int byte = 0x80; byte < 0x100; ++byte) cases.push_back({std::string("x") + static_cast<char>(byte) + ".bin", ""});
    for (Case& c : cases) {
        if (c.listed.empty()) {
            char ansi[64] = {};
            OemToCharA(c.stored.c_str(), ansi);
            c.listed = ansi;
        }
        ASSERT_TRUE(WriteBytes(archive_, ClassicUuencode(c.stored, "abc")));
        api_.InitArcFileList(&list_);
        api_.BuildArcFileList(&list_);
        ASSERT_STATUS(0);
        ASSERT_NE(list_.first, nullptr);
        EXPECT_EQ(std::string(list_.first->name), c.listed) << c.stored;
        api_.DoneArcFileList(&list_);
    }
}

// Offsets 40 and 48 keep the totals; the ratio is taken from halved ones and stays 100.
TEST_F(Listing, ThirtyMillionBytesHalvedForRatio) {
    ASSERT_TRUE(WriteHugeArchive(archive_, 30000000));
    api_.BuildArcFileList(&list_);
    ASSERT_STATUS(0);
    ASSERT_NE(list_.first, nullptr);
    EXPECT_EQ(list_.first->first_size, 21428571);
    ArcExtraInfo info;
    api_.GetExtraInfoArc(&info);
    EXPECT_EQ(info.first_size_total, 21428571);
    EXPECT_EQ(info.second_size_total, 21428571);
    EXPECT_EQ(info.ratio, 100);
}

TEST_F(Listing, ThreeGigabytesListedWithTrueEstimate) {
    const int64_t length = int64_t{3} << 30;
    ASSERT_TRUE(WriteHugeArchive(archive_, length));
    api_.BuildArcFileList(&list_);
    ASSERT_STATUS(0);
    ASSERT_NE(list_.first, nullptr);
    EXPECT_EQ(list_.first->first_size, length * 10 / 14);
    EXPECT_EQ(list_.first->second_size, length * 10 / 14);
    ArcExtraInfo info;
    api_.GetExtraInfoArc(&info);
    EXPECT_EQ(info.ratio, 100);
}

// ---- Opening --------------------------------------------------------------------------------

using Opening = HostTest;

TEST_F(Opening, MissingOrEmptyPathStartsUnnamedArchive) {
    for (const std::string& path : {Path("none.uue"), std::string()}) {
        api_.InitArcFile(path.c_str());
        EXPECT_EQ(Status(), 0) << "'" << path << "'";
        ArcFileList list;
        api_.InitArcFileList(&list);
        api_.BuildArcFileList(&list);
        EXPECT_EQ(Status(), 5) << "'" << path << "'";
        EXPECT_EQ(list.count, 0u);
        EXPECT_EQ(list.first, nullptr);
    }
}

TEST_F(Opening, TextWithoutBeginLineKeepsEarlierArchive) {
    const std::string good = WriteArchive("good.uue", "good.bin", "abc");
    const std::string text = Path("text.txt");
    WriteBytes(text, "no begin line here\r\nbegin\tx\r\n");
    api_.InitArcFile(good.c_str());
    api_.InitArcFile(text.c_str());
    EXPECT_STATUS(9974);
    ArcFileList list;
    api_.InitArcFileList(&list);
    api_.BuildArcFileList(&list);
    EXPECT_STATUS(0);
    ASSERT_EQ(list.count, 1u);
    EXPECT_STREQ(list.first->name, "good.bin");
    api_.DoneArcFileList(&list);
}

TEST_F(Opening, DirectoryCannotBeOpened) {
    ASSERT_TRUE(CreateDirectoryA(Path("dir").c_str(), nullptr));
    api_.InitArcFile(Path("dir").c_str());
    EXPECT_STATUS(5);
}

TEST_F(Opening, CreateArcFileOnEncodedFileLeavesItOpen) {
    const std::string good = WriteArchive("good.uue", "good.bin", "abc");
    api_.CreateArcFile(good.c_str());
    EXPECT_STATUS(5);
    ArcFileList list;
    api_.InitArcFileList(&list);
    api_.BuildArcFileList(&list);
    EXPECT_STATUS(0);
    EXPECT_EQ(list.count, 1u);
    api_.DoneArcFileList(&list);
    WriteBytes(Path("src.bin"), "x");
    EXPECT_EQ(Compress({"src.bin"}), 9901) << "the open archive is no new one";
}

TEST_F(Opening, CreateArcFileOnPlainFileLeavesArchiveAsItWas) {
    const std::string good = WriteArchive("good.uue", "good.bin", "abc");
    WriteBytes(Path("plain.txt"), "plain");
    api_.InitArcFile(good.c_str());
    api_.CreateArcFile(Path("plain.txt").c_str());
    EXPECT_STATUS(5);
    ArcFileList list;
    api_.InitArcFileList(&list);
    api_.BuildArcFileList(&list);
    EXPECT_STATUS(0);
    ASSERT_EQ(list.count, 1u);
    EXPECT_STREQ(list.first->name, "good.bin");
    api_.DoneArcFileList(&list);
}

TEST_F(Opening, DoneArcFileForgetsArchive) {
    api_.InitArcFile(WriteArchive("good.uue", "good.bin", "abc").c_str());
    api_.DoneArcFile();
    ArcFileList list;
    api_.InitArcFileList(&list);
    api_.BuildArcFileList(&list);
    EXPECT_STATUS(5);
    EXPECT_EQ(list.count, 0u);
}

}  // namespace
}  // namespace uuarc_wine
