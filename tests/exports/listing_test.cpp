// listing_test.cpp - opening archives and the listing records: the entry and summary bytes at
// their offsets, the date, time and attribute words of the encoded file, and huge archives.
#include <cstring>
#include <string>
#include <vector>

#include "harness.h"

namespace uuarc::test {
namespace {

// Writes a begin line and extends the file to `length` bytes without writing them (a sparse file).
bool WriteHugeArchive(const std::string& path, int64_t length) {
    return WriteBytes(path, "begin 644 big.bin\r\n") && ExtendTo(path, length);
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

// The fields at their offsets, for the layout of this build (32-bit or 64-bit, include/uuarc.h),
// and nothing written outside them.
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
    const size_t sizes = UUARC_BY_WIDTH(280, 288);
    const size_t fixed_12 = UUARC_BY_WIDTH(304, 312);
    const size_t fixed_1 = UUARC_BY_WIDTH(332, 340);
    EXPECT_EQ(Quad(&entry, sizes), 1017);
    EXPECT_EQ(Quad(&entry, sizes + 8), 1017);
    EXPECT_EQ(Word(&entry, fixed_12), 12u);
    EXPECT_EQ(Word(&entry, fixed_1), 1u);
    ExpectZeroOutside(&entry, sizeof entry, {{0, sizes}, {sizes, sizes + 16}, {sizes + 16, fixed_12},
                                             {fixed_12, fixed_12 + 4}, {fixed_1, fixed_1 + 4}});
}

TEST_F(Listing, DosDateTimeIsTheFilesLastWriteInLocalTime) {
    // 15 June 2021, 13:45:30 local time, set as the file's last write.
    ASSERT_TRUE(SetLocalWriteTime(archive_, 2021, 6, 15, 13, 45, 30));
    api_.BuildArcFileList(&list_);
    ASSERT_STATUS(0);
    ASSERT_NE(list_.first, nullptr);
    const uint32_t date = (2021 - 1980) << 9 | 6 << 5 | 15;
    const uint32_t time = 13 << 11 | 45 << 5 | 30 / 2;
    EXPECT_EQ(list_.first->dos_date_time, date << 16 | time);
#if defined(_WIN32)
    // What a host computes for the file itself: last write, local time, DOS form.
    const HANDLE file = CreateFileA(archive_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME written, local;
    WORD dos_date = 0, dos_time = 0;
    GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    FileTimeToLocalFileTime(&written, &local);
    FileTimeToDosDateTime(&local, &dos_date, &dos_time);
    EXPECT_EQ(list_.first->dos_date_time, static_cast<uint32_t>(dos_date) << 16 | dos_time);
#endif
}

// Windows reports the attribute word as GetFileAttributesA gives it; the native build makes it
// from the mode: archive, and read-only without the owner's write bit.
TEST_F(Listing, AttributeWordIsGetFileAttributes) {
    ASSERT_TRUE(MakeReadOnly(archive_));
#if defined(_WIN32)
    const uint32_t expected = GetFileAttributesA(archive_.c_str());
    ASSERT_TRUE(expected & FILE_ATTRIBUTE_READONLY);
#else
    const uint32_t expected = UUARC_ATTR_ARCHIVE | UUARC_ATTR_READ_ONLY;
#endif
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
    api_.DoneArcFileList(&list_);  // an empty list only gets its fields zeroed
    EXPECT_EQ(list_.count, 0u);
    ArcFileList empty = {5, nullptr, reinterpret_cast<ArcFileEntry*>(0x1234)};
    api_.DoneArcFileList(&empty);
    EXPECT_EQ(empty.count, 0u);
    EXPECT_EQ(empty.last, nullptr);
}

// A listing that fails (the file lost its begin line after the open) appends nothing and leaves
// the summary of the last listing as it was; the status says damaged, not "not encoded".
TEST_F(Listing, ListingFailuresLeaveListAlone) {
    api_.BuildArcFileList(&list_);
    ASSERT_STATUS(0);
    ArcExtraInfo before;
    api_.GetExtraInfoArc(&before);
    ASSERT_TRUE(WriteBytes(archive_, "damaged: no begin line any more\r\n"));
    api_.BuildArcFileList(&list_);
    EXPECT_STATUS(9964);
    EXPECT_EQ(list_.count, 1u);
    EXPECT_EQ(list_.first, list_.last);
    ArcExtraInfo after;
    api_.GetExtraInfoArc(&after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}

TEST_F(Listing, InitArcFileClearsSummary) {
    api_.BuildArcFileList(&list_);
    api_.InitArcFile(archive_.c_str());
    ArcExtraInfo info;
    std::memset(&info, 0xA5, sizeof info);
    api_.GetExtraInfoArc(&info);
    ExpectZeroOutside(&info, sizeof info, {});
}

// Step one comes before any refusal: a path that is refused (over 255 bytes, or null) still
// clears the summary of the last listing and the user words; the archive listed before stays open.
TEST_F(Listing, RefusedOpenOrCreateStillClearsSummaryAndUserWords) {
    const std::string overlong(300, 'a');
    for (const auto operation : {api_.InitArcFile, api_.CreateArcFile}) {
        for (const char* path : {overlong.c_str(), static_cast<const char*>(nullptr)}) {
            SCOPED_TRACE(operation == api_.InitArcFile ? "InitArcFile" : "CreateArcFile");
            SCOPED_TRACE(path != nullptr ? "overlong" : "null");
            api_.BuildArcFileList(&list_);
            ArcExtraInfo info;
            api_.GetExtraInfoArc(&info);
            ASSERT_EQ(info.fixed_11, 11u);
            RegisterRecorders(7);
            operation(path);
            EXPECT_STATUS(5);
            api_.GetExtraInfoArc(&info);
            ExpectZeroOutside(&info, sizeof info, {});
            ClearCalls();
            EXPECT_EQ(Extract({"*.*"}), 0);
            ASSERT_FALSE(g_calls.empty());
            for (const HostCall& call : g_calls) EXPECT_EQ(call.user, 0u);
        }
    }
}

// The name as the listing shows it, in the ANSI code page: an OEM name converted, a UTF-8 name as
// it is where the code page has every character (natively: always), white space inside kept.
// Under Windows a UTF-8 name without an ANSI form goes the OemToCharA way, as every OEM byte does.
TEST_F(Listing, StoredNameFromOemOrUtf8ToAnsi) {
    if (!HaveWesternCodePages()) GTEST_SKIP() << "needs OEM code page 437 and ANSI code page 1252";
    struct Case {
        std::string stored;
        std::string listed;  // UTF-8; "" for the OemToCharA way
    };
    std::vector<Case> cases = {
#if defined(_WIN32)
        {"M\x81ller.bin", "M\xC3\xBCller.bin"},
#else
        {"M\x81ller.bin", "M\x81ller.bin"},  // a Linux name is its bytes, UTF-8 or not
        {"caf\xE9.bin", "caf\xE9.bin"},
#endif
        {"na\xC3\xAFve file.txt", "na\xC3\xAFve file.txt"},
        {"\xC5\x93uvre \xE2\x82\xAC\xC3\x98.txt", "\xC5\x93uvre \xE2\x82\xAC\xC3\x98.txt"},  // o-e ligature, euro, O stroke
        {"tab\tinside \t ", "tab\tinside"},
#if defined(_WIN32)
        {"\xE4\xB8\xAD.txt", ""},  // Chinese in UTF-8: no 1252 form
#else
        {"\xE4\xB8\xAD.txt", "\xE4\xB8\xAD.txt"},
#endif
    };
#if defined(_WIN32)
    // The letter after each OEM byte keeps it from reading as UTF-8.
    for (int byte = 0x80; byte < 0x100; ++byte) cases.push_back({std::string("x") + static_cast<char>(byte) + ".bin", ""});
#endif
    for (Case& c : cases) {
        std::string listed = Ansi(c.listed);
#if defined(_WIN32)
        if (c.listed.empty()) {
            char ansi[64] = {};
            OemToCharA(c.stored.c_str(), ansi);
            listed = ansi;
        }
#endif
        ASSERT_TRUE(WriteBytes(archive_, ClassicUuencode(c.stored, "abc")));
        api_.InitArcFileList(&list_);
        api_.BuildArcFileList(&list_);
        ASSERT_STATUS(0);
        ASSERT_NE(list_.first, nullptr);
        EXPECT_EQ(std::string(list_.first->name), listed) << c.stored;
        api_.DoneArcFileList(&list_);
    }
}

// The entry and the totals keep the true estimate; the ratio is taken from halved totals and
// stays 100.
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
    EXPECT_EQ(info.first_size_total, length * 10 / 14);
    EXPECT_EQ(info.ratio, 100);
}

// ---- Opening --------------------------------------------------------------------------------

// Lists the open archive; the stored name, or "" when the listing fails.
class Opening : public HostTest {
protected:
    std::string ListedName() const {
        ArcFileList list;
        api_.InitArcFileList(&list);
        api_.BuildArcFileList(&list);
        const std::string name = list.count == 1 && list.first != nullptr ? list.first->name : "";
        api_.DoneArcFileList(&list);
        return name;
    }
};

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
    EXPECT_EQ(ListedName(), "good.bin");
    EXPECT_STATUS(0);
}

TEST_F(Opening, DirectoryOrOverlongPathCannotBeOpened) {
    ASSERT_TRUE(MakeFolder(Path("dir")));
    api_.InitArcFile(WriteArchive("good.uue", "good.bin", "abc").c_str());
    for (const std::string& path : {Path("dir"), std::string(300, 'a')}) {
        api_.InitArcFile(path.c_str());
        EXPECT_STATUS(5) << path;
        EXPECT_EQ(ListedName(), "good.bin") << "the earlier archive stays open after " << path;
    }
}

TEST_F(Opening, CreateArcFileOnEncodedFileLeavesItOpen) {
    const std::string good = WriteArchive("good.uue", "good.bin", "abc");
    api_.CreateArcFile(good.c_str());
    EXPECT_STATUS(5);
    EXPECT_EQ(ListedName(), "good.bin");
    EXPECT_STATUS(0);
    WriteBytes(Path("src.bin"), "x");
    EXPECT_EQ(Compress({"src.bin"}), 9901) << "the open archive is no new one";
}

TEST_F(Opening, CreateArcFileOnPlainFileLeavesArchiveAsItWas) {
    const std::string good = WriteArchive("good.uue", "good.bin", "abc");
    WriteBytes(Path("plain.txt"), "plain");
    api_.InitArcFile(good.c_str());
    api_.CreateArcFile(Path("plain.txt").c_str());
    EXPECT_STATUS(5);
    EXPECT_EQ(ListedName(), "good.bin");
    // A new archive stays the new one to create.
    api_.CreateArcFile(Path("new.uue").c_str());
    EXPECT_STATUS(0);
    api_.CreateArcFile(Path("plain.txt").c_str());
    EXPECT_STATUS(5);
    WriteBytes(Path("src.bin"), "abc");
    EXPECT_EQ(Compress({"src.bin"}), 0);
    EXPECT_NE(ReadBytes(Path("new.uue")).find("\r\nbegin 644 src.bin\r\n#86)C\r\n"), std::string::npos);
    EXPECT_EQ(ReadBytes(Path("plain.txt")), "plain");
}

TEST_F(Opening, DoneArcFileForgetsArchive) {
    api_.InitArcFile(WriteArchive("good.uue", "good.bin", "abc").c_str());
    api_.DoneArcFile();
    ArcFileList list;
    api_.InitArcFileList(&list);
    api_.BuildArcFileList(&list);
    EXPECT_STATUS(5);
    EXPECT_EQ(list.count, 0u);
    WriteBytes(Path("src.bin"), "x");
    EXPECT_EQ(Compress({"src.bin"}), 9901) << "no archive, so no new one";
}

}  // namespace
}  // namespace uuarc::test
