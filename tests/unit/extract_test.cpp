// extract_test.cpp - extraction through ExtractFileMaskListArc: output names, callbacks and their
// order, the replace question and its records, directories, progress, failures and the files
// they leave, and the names that an archive must not be allowed to write.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "../fail_hook.h"
#include "module/status.h"
#include "operations/extract.h"
#include "test_support.h"

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
    void Run(const std::string& archive, std::initializer_list<const char*> masks = {"*.*"}) {
        InitArcFile(Win(archive).c_str());
        RegisterAll();
        FileMaskList list;
        InitFileMaskList(&list);
        for (const char* mask : masks) AppendFileMask(mask, &list);
        ExtractFileMaskListArc(&list);
        DoneFileMaskList(&list);
    }
    void KeepPaths(int32_t keep, const char* base = "") {
        DecompExtraFeatures record = {};
        record.keep_paths = keep;
        std::strcpy(record.base_path, base);
        SetDecompExtraFeatures(&record);
        if (base[0] == '\0') g_state.base_path[0] = '\0';
    }
};

// ---- Output names -----------------------------------------------------------------------------

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
        {0, "", "C:x", "x"},                  // the drive goes with the directories
        {1, "", "C:x", nullptr},
        {1, "", "..\\..\\x", nullptr},
        {0, "", "..\\..\\x", "x"},
        {1, "", "/etc/x", "etc\\x"},        // the one leading separator goes
        {1, "", "//etc/x", nullptr},
        {1, "", "a.txt:s", nullptr},
        {0, "", "a.txt:s", nullptr},
        {0, "", "nul.txt", nullptr},
        {1, "", "dir/CON", nullptr},
        {1, "", "com1.tar.gz", nullptr},
        {1, "", "console.txt", "console.txt"},
        {1, "", "dir/../../x", nullptr},
        {1, "", "a/./b", nullptr},
        {1, "", "a/... /b", nullptr},
        {0, "", "dir/", nullptr},             // nothing left after the directories
        {1, "", "a/b/", nullptr},             // a directory, not a file
        {1, "", "COM0", nullptr},
        {1, "", "lpt0.txt", nullptr},
        {1, "", "COM\xB9", nullptr},          // superscript one, two, three in code page 1252
        {1, "", "com\xB2 .txt", nullptr},
        {1, "", "d/LPT\xB3.log", nullptr},
        {1, "", "COM\xC2\xB2", nullptr},      // the same in UTF-8
        {1, "", "CONIN$", nullptr},
        {1, "", "conout$.txt", nullptr},
        {1, "", "COM10", "COM10"},
        {1, "", "COM\xB4", "COM\xB4"},         // an acute accent is no digit
        {1, "", "CONIN", "CONIN"},
    };
    SetOutputPath("C:\\out");
    for (const Case& c : cases) {
        g_state.keep_paths = c.keep;
        std::strcpy(g_state.base_path, c.base);
        char output[kOutputNameSize];
        const bool made = MakeOutputName(c.stored, output);
        if (c.output == nullptr) {
            EXPECT_FALSE(made) << c.stored << " gave " << output;
        } else {
            EXPECT_TRUE(made) << c.stored;
            EXPECT_EQ(std::string(output), std::string("C:\\out\\") + c.output) << c.stored;
        }
    }
}

TEST_F(Extract, OutputNameThatWouldNotFitIsRefused) {
    SetOutputPath(std::string(250, 'o').c_str());
    char output[kOutputNameSize];
    EXPECT_TRUE(MakeOutputName("12345678", output));  // 251 + 8 = 259 bytes
    EXPECT_FALSE(MakeOutputName("123456789", output));
    EXPECT_STREQ(output, "");
}

TEST_F(Extract, UnsafeStoredNameWritesNothingAndCallsNobody) {
    for (const char* stored : {"..\\escape.txt", "../escape.txt", "nul.txt", "a.txt:stream"}) {
        for (int32_t keep : {0, 1}) {
            Write("evil.uue", EncodeClassic("evil", stored));
            KeepPaths(keep);
            g_events.clear();
            Run("evil.uue");
            const bool refused = GetArchiveStatus() == kStatusCannotOpen;
            // "..\escape.txt" without kept paths is just "escape.txt" in the output folder.
            if (keep == 0 && std::strncmp(stored, "..", 2) == 0) {
                EXPECT_STATUS(0) << stored;
                EXPECT_EQ(Read("out/escape.txt"), "evil");
                std::remove(Native("out/escape.txt").c_str());
                continue;
            }
            EXPECT_TRUE(refused) << stored << " keep " << keep << " status " << GetArchiveStatus();
            EXPECT_TRUE(g_events.empty()) << stored;
        }
    }
    EXPECT_FALSE(Exists("escape.txt"));
    EXPECT_TRUE(std::filesystem::is_empty(Native("out")));
}

// ---- Selection and callbacks --------------------------------------------------------------------

TEST_F(Extract, EmptyOrNonMatchingMaskListDoesNothing) {
    Write("a.uue", EncodeClassic("data", "file.txt"));
    Run("a.uue", {});
    EXPECT_STATUS(0);
    Run("a.uue", {"*.doc", "other.txt"});
    EXPECT_STATUS(0);
    EXPECT_TRUE(g_events.empty());
    EXPECT_TRUE(std::filesystem::is_empty(Native("out")));
    Run("a.uue", {"*.doc", "FILE.TXT"});
    EXPECT_STATUS(0);
    EXPECT_EQ(Read("out/file.txt"), "data");
}

TEST_F(Extract, NoBeginLineIsNotEncoded) {
    Write("a.uue", EncodeClassic("data"));
    InitArcFile(Win("a.uue").c_str());
    Write("a.uue", "the begin line is gone\n");
    FileMaskList list;
    InitFileMaskList(&list);
    AppendFileMask("*.*", &list);
    ExtractFileMaskListArc(&list);
    EXPECT_STATUS(9974);
    DoneFileMaskList(&list);
}

TEST_F(Extract, CallbacksInOrderWithTheirValues) {
    const std::string payload = RandomBytes(1000, 7);
    const std::string text = "header\r\n" + EncodeClassic(payload, "f.bin");
    Write("a.uue", text);
    InitArcFile(Win("a.uue").c_str());
    SetSetFileNameProc(11, RecordFileName);
    SetSetSignalProc(12, RecordSignal);
    SetSetProgressProc(13, RecordProgress);
    WithMasks(ExtractFileMaskListArc, {"*.*"});
    ASSERT_STATUS(0);
    EXPECT_EQ(Read("out/f.bin"), payload);
    const std::string name = "name \\f.bin|" + Win("out") + "\\f.bin";
    ASSERT_GE(g_events.size(), 4u);
    EXPECT_EQ(g_events[0], name);
    EXPECT_EQ(g_events[1], name);
    EXPECT_EQ(g_events[2], "signal " + std::to_string(text.size()) + " 2");
    EXPECT_EQ(g_last_user, 13u);
    // One report per data line at most; percentages of the archive's bytes, rising, below 100.
    const auto progress = EventsStartingWith("progress");
    EXPECT_EQ(progress.size(), g_events.size() - 3);
    EXPECT_LE(progress.size(), 24u);  // 23 data lines and the zero-length line
    int previous = -1, total = 0;
    for (const std::string& event : progress) {
        int percent = 0, bytes = 0;
        std::sscanf(event.c_str(), "progress %d %d", &percent, &bytes);
        EXPECT_GE(percent, previous);
        EXPECT_LT(percent, 100);
        previous = percent;
        total += bytes;
    }
    // Everything up to the end of the last data line counts, the "end" line and after it not.
    EXPECT_EQ(total, static_cast<int>(text.size() - std::strlen("end\r\n")));
}

TEST_F(Extract, SmallArchiveReportsEveryLine) {
    Write("s.uue", "begin 644 s\n#86)C\n#86)C\n`\nend\n");
    Run("s.uue");
    const auto progress = EventsStartingWith("progress");
    ASSERT_EQ(progress.size(), 3u);  // the zero-length line is a data line too
    EXPECT_EQ(progress[0], "progress 60 18");  // 18 of the archive's 30 bytes
    EXPECT_EQ(progress[1], "progress 80 6");
    EXPECT_EQ(progress[2], "progress 86 2");
}

TEST_F(Extract, NoProgressProcedureStillExtracts) {
    Write("a.uue", EncodeClassic(RandomBytes(500, 7)));
    InitArcFile(Win("a.uue").c_str());
    SetSetProgressProc(0, nullptr);
    WithMasks(ExtractFileMaskListArc, {"*.*"});
    EXPECT_STATUS(0);
    EXPECT_EQ(Read("out/file.bin"), RandomBytes(500, 7));
}

// ---- Replace question ---------------------------------------------------------------------------

TEST_F(Extract, RefusedReplaceKeepsOldFile) {
    Write("a.uue", EncodeClassic("new contents", "f.txt"));
    Write("out/f.txt", "old contents");
    g_replace_answer = 1;
    Run("a.uue");
    EXPECT_STATUS(2926);
    EXPECT_EQ(Read("out/f.txt"), "old contents");
    ASSERT_EQ(EventsStartingWith("replace").size(), 1u);
    EXPECT_TRUE(EventsStartingWith("signal").empty());
    // The records: the old file as found, the new one with the estimate and the whole path.
    EXPECT_STREQ(g_existing_record.file_name, "f.txt");
    EXPECT_EQ(g_existing_record.size_low, 12u);
    EXPECT_EQ(g_incoming_record.attributes, 128u);
    EXPECT_EQ(g_incoming_record.size_low, static_cast<uint32_t>(EncodeClassic("new contents", "f.txt").size() * 10 / 14));
    EXPECT_EQ(g_incoming_record.size_high, 0u);
    EXPECT_EQ(std::string(g_incoming_record.file_name), Win("out") + "\\f.txt");
    EXPECT_EQ(g_incoming_record.creation_time.low, g_incoming_record.last_write_time.low);
    const char zeros[14] = {};
    EXPECT_EQ(std::memcmp(g_incoming_record.alternate_name, zeros, sizeof zeros), 0);
}

TEST_F(Extract, AgreedReplaceResetsReadOnlyAndOverwrites) {
    Write("a.uue", EncodeClassic("new", "f.txt"));
    Write("out/f.txt", "old");
    chmod(Native("out/f.txt").c_str(), 0444);
    Run("a.uue");
    EXPECT_STATUS(0);
    EXPECT_EQ(Read("out/f.txt"), "new");
}

// Root writes to read-only files: the gate runs this suite as an unprivileged user.
class UnprivilegedExtract : public Extract {};

TEST_F(UnprivilegedExtract, ReadOnlyFileWithoutQuestionCannotBeOpened) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes to read-only files (scripts/as-user.sh runs this as a user)";
    Write("a.uue", EncodeClassic("new", "f.txt"));
    Write("out/f.txt", "old");
    chmod(Native("out/f.txt").c_str(), 0444);
    InitArcFile(Win("a.uue").c_str());
    WithMasks(ExtractFileMaskListArc, {"*.*"});
    EXPECT_STATUS(5);
    EXPECT_EQ(Read("out/f.txt"), "old");
}

// ---- Files on disk ------------------------------------------------------------------------------

TEST_F(Extract, MissingDirectoriesAreCreated) {
    Write("a.uue", EncodeClassic("deep", "a/b/c/f.txt"));
    KeepPaths(1);
    SetOutputPath(Win("out/new/er").c_str());
    Run("a.uue");
    EXPECT_STATUS(0);
    EXPECT_EQ(Read("out/new/er/a/b/c/f.txt"), "deep");
}

TEST_F(Extract, CyrillicFoldersAndUtf8NamesPassUnchanged) {
    std::filesystem::create_directory(Native("Документы"));
    Write("Документы/mail.uu", EncodeClassic("письмо", "Папка/отчёт за май.txt"));
    KeepPaths(1);
    SetOutputPath(Win("Загрузки").c_str());
    Run("Документы/mail.uu");
    EXPECT_STATUS(0);
    EXPECT_EQ(Read("Загрузки/Папка/отчёт за май.txt"), "письмо");
}

TEST_F(Extract, NameCutInTheAnsiCodePageIsListedButNeverExtracted) {
    // 84 OEM box-drawing characters take 252 bytes in UTF-8, so only "/a." of "/a.txt" fits the
    // name buffer after them: extracted, that would be a file "a." that the archive never named.
    Write("a.uue", EncodeClassic("data", std::string(84, '\xc4') + "/a.txt"));
    InitArcFile(Win("a.uue").c_str());
    ArcFileList list;
    InitArcFileList(&list);
    BuildArcFileList(&list);
    ASSERT_EQ(list.count, 1u);
    std::string shown;
    for (int i = 0; i < 84; ++i) shown += "─";
    EXPECT_EQ(std::string(list.first->name), shown + "/a.");
    DoneArcFileList(&list);
    Run("a.uue");
    EXPECT_STATUS(kStatusCannotOpen);
    EXPECT_TRUE(g_events.empty());
    EXPECT_TRUE(std::filesystem::is_empty(Native("out")));
}

TEST_F(Extract, DamagedDataKeepsWhatDecodedBefore) {
    const std::string payload = RandomBytes(45 * 12, 7);
    std::string text = EncodeClassic(payload);
    // The tenth data line gets a character outside the alphabet.
    size_t at = text.find('\n');
    for (int line = 0; line < 9; ++line) at = text.find('\n', at + 1);
    text[at + 5] = 'a';
    Write("a.uue", text);
    Run("a.uue");
    EXPECT_STATUS(9964);
    EXPECT_EQ(Read("out/file.bin"), payload.substr(0, 45 * 9));
}

TEST_F(Extract, MissingEndKeepsCompleteOutput) {
    const std::string payload = RandomBytes(200, 7);
    std::string text = EncodeClassic(payload);
    text.resize(text.find("`\r\nend"));
    Write("a.uue", text);
    Run("a.uue");
    EXPECT_STATUS(9964);
    EXPECT_EQ(Read("out/file.bin"), payload);
}

TEST_F(Extract, BadFirstLineLeavesEmptyOutput) {
    Write("a.uue", "begin 644 f\n~bad\nend\n");
    Run("a.uue");
    EXPECT_STATUS(9964);
    EXPECT_TRUE(Exists("out/f"));
    EXPECT_EQ(Read("out/f"), "");
}

TEST_F(Extract, ShortWriteStopsWithOneHundredOne) {
    const std::string payload = RandomBytes(300000, 7);
    Write("a.uue", EncodeClassic(payload));
    FailHook<&SystemCalls::write> hook(2, FailMode::FromThenOn);
    Run("a.uue");
    EXPECT_STATUS(101);
}

TEST_F(Extract, LastBufferLostAtCloseIsReported) {
    Write("a.uue", EncodeClassic("small"));
    FailHook<&SystemCalls::write> hook(1, FailMode::FromThenOn);
    Run("a.uue");
    EXPECT_STATUS(101);
}

TEST_F(Extract, ArchiveIsNeverItsOwnOutput) {
    const std::string text = EncodeClassic("self", "a.uue");
    Write("out/a.uue", text);
    InitArcFile(Win("out/../out/a.uue").c_str());
    RegisterAll();
    WithMasks(ExtractFileMaskListArc, {"*.*"});
    EXPECT_STATUS(5);
    EXPECT_EQ(Read("out/a.uue"), text);
    EXPECT_TRUE(EventsStartingWith("replace").empty());
}

TEST_F(Extract, PlantedLinkIsNotWrittenThrough) {
    Write("victim.txt", "precious");
    ASSERT_EQ(symlink(Native("victim.txt").c_str(), Native("out/f.txt").c_str()), 0);
    Write("a.uue", EncodeClassic("overwritten", "f.txt"));
    Run("a.uue");
    EXPECT_STATUS(5);
    EXPECT_EQ(Read("victim.txt"), "precious");
}

TEST_F(Extract, DecodesWithAlphabetOfTheScan) {
    std::string alphabet;
    for (int c = 0x7E; alphabet.size() < 64; --c) alphabet += static_cast<char>(c);
    std::string text = "table\n" + alphabet + "\nbegin 644 t.bin\n";
    const uint8_t abc[3] = {'a', 'b', 'c'};
    text += alphabet[3];
    text += alphabet[abc[0] >> 2];
    text += alphabet[((abc[0] & 3) << 4) | (abc[1] >> 4)];
    text += alphabet[((abc[1] & 15) << 2) | (abc[2] >> 6)];
    text += alphabet[abc[2] & 63];
    text += "\nend\n";
    Write("t.uue", text);
    Run("t.uue");
    EXPECT_STATUS(0);
    EXPECT_EQ(Read("out/t.bin"), "abc");
    Write("x.uue", "begin 644 x.bin\n1MK7X\nend\n");  // "1" is classic too: not XX
    Write("h.uue", "begin 644 h.bin\nh" + std::string(60, '+') + "\nend\n");
    Run("h.uue");
    EXPECT_STATUS(0);
    EXPECT_EQ(Read("out/h.bin"), std::string(45, '\0'));
}

}  // namespace
}  // namespace uuarc::test
