// extract_test.cpp - extraction where the exports alone cannot reach: the output names that
// MakeOutputName makes or refuses, writes that fail through the failure hook, and planted links.
// The export-level cases are in tests/exports.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "../fail_hook.h"
#include "format/format.h"
#include "names/strings.h"
#include "operations/extract.h"
#include "shared/stored_names.h"
#include "test_support.h"
#include "uuarc_status.h"

namespace uuarc::test {
namespace {

class Extract : public ModuleTest {
protected:
    void SetUp() override {
        ModuleTest::SetUp();
        mkdir(Native("out").c_str(), 0755);
        SetOutputPath(Win("out").c_str());
    }
    // Opens `archive`, registers the recorders and extracts with the masks given.
    void Run(const std::string& archive, std::initializer_list<std::string> masks = {"*.*"}) {
        InitArcFile(Win(archive).c_str());
        RegisterAll();
        WithMasks(ExtractFileMaskListArc, masks);
    }
};

// ---- Output names -----------------------------------------------------------------------------

// The output a device name gives: refused where the system reserves it, the name itself elsewhere.
const char* Device(const char* output) { return uuarc::kDeviceNamesReserved ? nullptr : output; }
// The same for a ':', which names a drive or a stream on Windows only.
const char* Colon(const char* output) { return uuarc::kDrivesAndStreams ? nullptr : output; }

TEST_F(Extract, OutputNameFromStoredNameAndSettings) {
    struct Case {
        int32_t keep;
        const char* base;
        const char* stored;
        const char* output;  // after C:\out\  (nullptr: refused)
    };
    const Case cases[] = {
        {0, "", "dir/sub/file.txt", "file.txt"},
        {1, "", "dir/sub/file.txt", "dir\\sub\\file.txt"},
        {1, "", "\\dir\\file", "dir\\file"},
        {1, "", "\\\\two", nullptr},          // one backslash stays: rooted, refused
        {1, "dir", "dir\\sub\\f.txt", "sub\\f.txt"},
        {1, "dir", "xyz\\f.txt", "f.txt"},    // only the lengths count
        {1, "dir", "abc", "abc"},             // not longer than the base path
        {0, "dir", "file.txt", ".txt"},
        {0, "", "C:x", kDrivesAndStreams ? "x" : "C:x"},  // a drive goes with the directories
        {1, "", "C:x", Colon("C:x")},
        {0, "", "10:30 notes.txt", Colon("10:30 notes.txt")},
        {1, "", "dir:/f:g", Colon("dir:\\f:g")},
        {1, "", "..\\..\\x", nullptr},
        {0, "", "..\\..\\x", "x"},
        {1, "", "/etc/x", "etc\\x"},        // the one leading separator goes
        {1, "", "//etc/x", nullptr},
        {1, "", "a.txt:s", Colon("a.txt:s")},
        {0, "", "a.txt:s", Colon("a.txt:s")},
        {0, "", "nul.txt", Device("nul.txt")},
        {1, "", "dir/CON", Device("dir\\CON")},
        {1, "", "com1.tar.gz", Device("com1.tar.gz")},
        {1, "", "console.txt", "console.txt"},
        {1, "", "dir/../../x", nullptr},
        {1, "", "a/./b", nullptr},
        {1, "", "a/... /b", nullptr},
        {0, "", "dir/", nullptr},             // nothing left after the directories
        {1, "", "a/b/", nullptr},             // a directory, not a file
        {1, "", "COM0", Device("COM0")},
        {1, "", "lpt0.txt", Device("lpt0.txt")},
        {1, "", "COM\xB9", Device("COM\xB9")},          // superscript one, two, three in code page 1252
        {1, "", "com\xB2 .txt", Device("com\xB2 .txt")},
        {1, "", "d/LPT\xB3.log", Device("d\\LPT\xB3.log")},
        {1, "", "COM\xC2\xB2", Device("COM\xC2\xB2")},      // the same in UTF-8
        {1, "", "CONIN$", Device("CONIN$")},
        {1, "", "conout$.txt", Device("conout$.txt")},
        {1, "", "COM10", "COM10"},
        {1, "", "COM\xB4", "COM\xB4"},         // an acute accent is no digit
        {1, "", "CONIN", "CONIN"},
    };
    HostSettings settings;
    std::strcpy(settings.output_path, "C:\\out\\");
    for (const Case& c : cases) {
        settings.keep_paths = c.keep;
        std::strcpy(settings.base_path, c.base);
        char output[kOutputNameSize];
        const bool made = MakeOutputName(settings, c.stored, output);
        if (c.output == nullptr) {
            EXPECT_FALSE(made) << c.stored << " gave " << output;
        } else {
            EXPECT_TRUE(made) << c.stored;
            EXPECT_EQ(std::string(output), std::string("C:\\out\\") + c.output) << c.stored;
        }
    }
}

TEST_F(Extract, OutputNameThatWouldNotFitIsRefused) {
    HostSettings settings;
    std::strcpy(settings.output_path, (std::string(250, 'o') + "\\").c_str());
    char output[kOutputNameSize];
    EXPECT_TRUE(MakeOutputName(settings, "12345678", output));  // 251 + 8 = 259 bytes
    EXPECT_FALSE(MakeOutputName(settings, "123456789", output));
    EXPECT_STREQ(output, "");
}

// ---- Files on disk ------------------------------------------------------------------------------

TEST_F(Extract, CyrillicFoldersAndUtf8NamesPassUnchanged) {
    std::filesystem::create_directory(Native("Документы"));
    Write("Документы/mail.uu", ClassicUuencode("Папка/отчёт за май.txt", "письмо"));
    KeepPaths(true);
    SetOutputPath(Win("Загрузки").c_str());
    Run("Документы/mail.uu");
    EXPECT_STATUS(0);
    EXPECT_EQ(Read("Загрузки/Папка/отчёт за май.txt"), "письмо");
}

TEST_F(Extract, NameNotUtf8IsListedAndExtractedAsItsBytes) {
    // 84 OEM box-drawing characters from a DOS encoder: converted to UTF-8 they would take 252
    // bytes and cut "/a.txt" short. A Linux name is bytes, so they stay as they are, whole.
    const std::string folder(84, '\xc4');
    Write("a.uue", ClassicUuencode(folder + "/a.txt", "data"));
    InitArcFile(Win("a.uue").c_str());
    ArcFileList list;
    InitArcFileList(&list);
    BuildArcFileList(&list);
    ASSERT_EQ(list.count, 1u);
    EXPECT_EQ(std::string(list.first->name), folder + "/a.txt");
    DoneArcFileList(&list);
    KeepPaths(true);
    Run("a.uue");
    EXPECT_STATUS(0);
    EXPECT_EQ(Read("out/" + folder + "/a.txt"), "data");
}

TEST_F(Extract, ShortWriteStopsWithOneHundredOne) {
    // Two buffers and more: the second write is one of the loop's, not the close's.
    const std::string payload = RandomBytes(2 * kStreamBufferSize, 7);
    Write("a.uue", ClassicUuencode("file.bin", payload));
    FailHook<&SystemCalls::write> hook(2, FailMode::FromThenOn);
    Run("a.uue");
    EXPECT_STATUS(101);
}

// Base64 data stops at a failed write as uuencoded data does, and a missing "====" after what the
// close loses is 101 too.
TEST_F(Extract, FailedBase64WriteStopsWithOneHundredOne) {
    const struct {
        size_t size;
        bool end_line;
        int failing_write;  // from this write on
    } cases[] = {{2 * kStreamBufferSize, true, 2}, {2 * kStreamBufferSize, false, 2}, {1000, false, 1}, {1000, true, 1}};
    for (const auto& c : cases) {
        std::string text = Base64Uuencode("file.bin", RandomBytes(c.size, 7), "\r\n");
        if (!c.end_line) text.erase(text.rfind("===="));
        Write("a.uue", text);
        std::filesystem::remove(Native("out/file.bin"));
        FailHook<&SystemCalls::write> hook(c.failing_write, FailMode::FromThenOn);
        Run("a.uue");
        EXPECT_STATUS(101) << c.size << (c.end_line ? " bytes" : " bytes, no ====");
    }
}

// A failed write is 101 whatever the archive does after it: damage or a missing end line met
// later does not report 9964 in its place, and the bytes written before the failure stay.
TEST_F(Extract, FailedWriteOutranksLaterDamage) {
    // The data line before which the loop flushes a buffer of 45-byte lines: the room for one
    // more decoded line is gone.
    constexpr size_t kFlushLine = (kStreamBufferSize - kDecodeBufferSize) / 45 + 1;
    constexpr size_t kNone = ~size_t{0};
    const struct {
        const char* label;
        size_t lines;
        size_t damaged;       // data line with a bad character, or kNone
        bool end_line;
        int failing_write;    // from this write on
        size_t kept_lines;
    } cases[] = {
        {"the close loses the last buffer", 20, kNone, true, 1, 0},
        {"damage after what the close loses", 20, 15, true, 1, 0},
        {"no end line after what the close loses", 20, kNone, false, 1, 0},
        {"damage in the line that waits for a flush", kFlushLine + 5, kFlushLine, true, 1, 0},
        {"damage in the line that waits for a second flush", 2 * kFlushLine + 5, 2 * kFlushLine, true, 2, kFlushLine},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string payload = RandomBytes(45 * c.lines, 3);
        std::string text = ClassicUuencode("file.bin", payload);
        if (c.damaged != kNone) {
            size_t at = text.find("\r\n") + 2;  // the first data line
            for (size_t line = 0; line < c.damaged; ++line) at = text.find("\r\n", at) + 2;
            text[at + 5] = 'a';  // lower case is outside the default alphabet
        }
        if (!c.end_line) text.erase(text.rfind("`\r\nend\r\n"));
        Write("a.uue", text);
        std::filesystem::remove(Native("out/file.bin"));
        FailHook<&SystemCalls::write> hook(c.failing_write, FailMode::FromThenOn);
        Run("a.uue");
        EXPECT_STATUS(101);
        EXPECT_TRUE(Exists("out/file.bin"));
        EXPECT_EQ(Read("out/file.bin"), payload.substr(0, 45 * c.kept_lines));
    }
}

// A file that this module made states its decoded size in the header before the begin line: a
// line lost or repeated on the way ends with 9964, the bytes decoded staying. The same header
// for another name (a digest quoting one), or not right before the begin line, says nothing.
TEST_F(Extract, FilesThatStateTheirSizeAreChecked) {
    const std::string payload = RandomBytes(3000, 22);
    for (const std::string name : {"src.bin", "a-rather-long-name.bin"}) {  // padded to 12 columns, and not
        Write(name, payload);
        std::filesystem::remove(Native("made.uue"));
        CreateArcFile(Win("made.uue").c_str());
        WithMasks(CompressFileMaskListArc, {Win(name)});
        const std::string made = Read("made.uue");
        const size_t begin = made.find("begin 644 "), first = made.find('\n', begin) + 1, second = made.find('\n', first) + 1;
        const std::string lost = made.substr(0, first) + made.substr(second);
        std::string other_name = lost, resized = made;
        const size_t named = other_name.find(name);
        other_name[named] = other_name[other_name.find(name, named + 1)] = 'x';  // in the header, not the begin line
        resized.replace(resized.find("size: 3000"), 10, "size: 3001");
        const struct {
            std::string text;
            uint16_t status;
            std::string decoded;
        } cases[] = {
            {made, kStatusOk, payload},
            {lost, kStatusBadFormat, payload.substr(45)},
            {made.substr(0, second) + made.substr(first), kStatusBadFormat, payload.substr(0, 45) + payload},
            {resized, kStatusBadFormat, payload},
            {other_name, kStatusOk, payload.substr(45)},
            {lost.substr(0, begin) + "> \r\n" + lost.substr(begin), kStatusOk, payload.substr(45)},  // not right before
        };
        for (const auto& c : cases) {
            Write("a.uue", c.text);
            std::filesystem::remove(Native("out/" + name));
            Run("a.uue");
            EXPECT_STATUS(c.status) << name << ": " << c.text.substr(0, begin);
            EXPECT_EQ(Read("out/" + name), c.decoded) << name;
        }
    }
}

// Each fact once: InitArcFile opens the archive once and the extraction once more, reading it
// again from its buffer (from its start after a seek, where the scan went past the buffer); its
// length is asked once, and a new output is made at once, with nothing asked about it before.
TEST_F(Extract, ArchiveOpenedOncePerExportAndNothingAskedTwice) {
    const std::string payload = RandomBytes(1000, 5);
    const struct {
        const char* what;
        std::string text;
        int seeks;
    } cases[] = {
        {"LF", ClassicUuencode("f.bin", payload, '`', "\n"), 0},
        {"CR LF", ClassicUuencode("f.bin", payload), 0},
        {"begin line past the buffer", FreeText(kStreamBufferSize) + ClassicUuencode("f.bin", payload), 1},
    };
    for (const auto& c : cases) {
        Write("a.uue", c.text);
        std::filesystem::remove(Native("out/f.bin"));
        FailHook<&SystemCalls::open> opens(1 << 30);
        FailHook<&SystemCalls::query> queries(1 << 30);
        FailHook<&SystemCalls::length> lengths(1 << 30);
        FailHook<&SystemCalls::seek_start> seeks(1 << 30);
        Run("a.uue");
        EXPECT_STATUS(0) << c.what;
        EXPECT_EQ(Read("out/f.bin"), payload) << c.what;
        EXPECT_EQ(opens.Calls(), 3) << c.what;  // the scan, the extraction, the new output
        EXPECT_EQ(queries.Calls(), 0) << c.what;
        EXPECT_EQ(lengths.Calls(), 1) << c.what;
        EXPECT_EQ(seeks.Calls(), c.seeks) << c.what;
    }
}

// The same for a listing of every file: the date, time and attributes that each entry shows are
// those of the archive it has open, which is not opened or asked about once more for them.
TEST_F(Extract, ListingTakesTheDateFromTheOpenArchive) {
    Write("a.uue", ClassicUuencode("f.bin", "data") + ClassicUuencode("g.bin", "more"));
    uint32_t date_time = 0, attributes = 0;
    const FileHandle file = OpenFileForInfo(Win("a.uue").c_str());
    ASSERT_TRUE(HandleDosDateTime(file, &date_time));
    CloseFileHandle(file);
    ASSERT_TRUE(PathAttributes(Win("a.uue").c_str(), &attributes));
    arOptionsOn(UUARC_OPTION_EVERY_FILE);
    FailHook<&SystemCalls::open> opens(1 << 30);
    FailHook<&SystemCalls::query> queries(1 << 30);
    InitArcFile(Win("a.uue").c_str());
    ArcFileList list;
    InitArcFileList(&list);
    BuildArcFileList(&list);
    arOptionsOff(UUARC_OPTION_EVERY_FILE);
    EXPECT_STATUS(0);
    ASSERT_EQ(list.count, 2u);
    for (const ArcFileEntry* entry = list.first; entry != nullptr; entry = entry->next) {
        EXPECT_EQ(entry->dos_date_time, date_time);
        EXPECT_EQ(entry->attributes, attributes);
    }
    DoneArcFileList(&list);
    EXPECT_EQ(opens.Calls(), 2);  // the scan, the listing
    EXPECT_EQ(queries.Calls(), 0);
}

TEST_F(Extract, PlantedLinkIsNotWrittenThrough) {
    Write("victim.txt", "precious");
    ASSERT_EQ(symlink(Native("victim.txt").c_str(), Native("out/f.txt").c_str()), 0);
    Write("a.uue", ClassicUuencode("f.txt", "overwritten"));
    Run("a.uue");
    EXPECT_STATUS(5);
    EXPECT_EQ(Read("victim.txt"), "precious");
}

}  // namespace
}  // namespace uuarc::test
