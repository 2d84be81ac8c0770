// extract_test.cpp - ExtractFileMaskListArc: decoding, the callbacks and their order, progress, the
// replace question and its records, read-only files, missing directories, keep-paths, hostile
// stored names, and the files that damaged archives leave behind.
#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "harness.h"

namespace uuarc::test {
namespace {

uint64_t Ticks(const FileTime& time) { return static_cast<uint64_t>(time.high) << 32 | time.low; }

// Extraction into <folder>\out\ (which exists) of an archive in the test's folder.
class Extraction : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_TRUE(MakeFolder(Path("out")));
        api_.SetOutputPath(Path("out").c_str());
    }
    // Writes the archive text, opens it and registers the recorders.
    std::string Open(const std::string& text, const std::string& relative = "a.uue") {
        const std::string path = Path(relative);
        EXPECT_TRUE(WriteBytes(path, text));
        api_.InitArcFile(path.c_str());
        EXPECT_EQ(Status(), 0) << "InitArcFile " << path;
        RegisterRecorders();
        return path;
    }
    void KeepPaths(int32_t keep) const {
        DecompExtraFeatures record{};
        record.keep_paths = keep;
        api_.SetDecompExtraFeatures(&record);
    }
};

// ---- Decoding -------------------------------------------------------------------------------

TEST_F(Extraction, ClassicEncodingsDecodeByteIdentical) {
    const struct {
        const char* label;
        char zero;
        const char* eol;
        const char* before;
        const char* after;
    } variants[] = {
        {"backquote, LF", '`', "\n", "", ""},
        {"space for zero, LF", ' ', "\n", "", ""},
        {"backquote, CR LF", '`', "\r\n", "", ""},
        {"space for zero, CR alone (old Mac files)", ' ', "\r", "Subject: x\r\r", "bye\r"},
        {"mail around it", '`', "\r\n", "From: someone\r\nSubject: x\r\n\r\n", "-- \r\nbye\r\n"},
    };
    for (const auto& v : variants) {
        for (size_t size : {0, 1, 2, 3, 44, 45, 46, 1000}) {
            const std::string data = PatternBytes(size, static_cast<uint32_t>(size));
            Open(v.before + ClassicUuencode("x", data, v.zero, v.eol) + v.after);
            EXPECT_EQ(Extract({"*.*"}), 0) << v.label << ", " << size << " bytes";
            EXPECT_EQ(ReadBytes(Path("out\\x")), data) << v.label << ", " << size << " bytes";
            RemoveFile(Path("out\\x"));
        }
    }
}

// Mail as it arrives: blanks for zero stripped, a last group cut short, empty lines put in, prose
// that starts with "table", a one-byte xx file, CR alone; and damage that mail does: a character
// outside the alphabet, a line cut short where the file shows that nothing strips its blanks, a
// table block that lost a line, an end line read as data.
TEST_F(Extraction, MailAsItArrives) {
    std::string table;
    for (int c = 0x7E; table.size() < 64; --c) table += static_cast<char>(c);
    const std::string long_line = "begin 644 x\nM" + std::string(300, 'A') + "\n`\nend\n";
    const std::string damaged_table = "table\n" + table.substr(0, 32) + "\nbegin 644 x\n" + table[3] + "\nend\n";
    std::string fifteen_groups;
    for (int i = 0; i < 15; ++i) fifteen_groups += "\x86\x18\x61";
    const struct {
        const char* label;
        const char* text;
        std::string bytes;
        uint16_t status;
    } cases[] = {
        {"blanks for zero stripped", "begin 644 x\n#86(\nend\n", std::string("ab\0", 3), 0},
        {"last group cut short", "begin 644 x\n!80\nend\n", "a", 0},
        {"last group cut short, backquotes for zero", "begin 644 x\n!80\n`\nend\n", "a", 0},
        {"empty lines in the data", "begin 644 x\n#86)C\n\n\n#86)C\nend\n", "abcabc", 0},
        {"prose that starts with table", "tables follow below\nbegin 644 x\n#86)C\nend\n", "abc", 0},
        {"one-byte xx file", "begin 644 x\n-AE++\n+\nend\n", "1", 0},
        {"lines ended by CR alone", "begin 644 x\r#86)C\r#86)C\r`\rend\r", "abcabc", 0},
        {"a character that carries no data", "begin 644 x\n!80~~\n`\nend\n", "a", 0},
        {"a data line longer than a read", long_line.c_str(), fifteen_groups, 0},
        {"a character outside the alphabet", "begin 644 x\n#86~C\nend\n", "", 9964},
        {"cut short, backquotes for zero", "begin 644 x\n#86)C\n#86)\n`\nend\n", "abc", 9964},
        {"cut short, a blank kept", "begin 644 x\nXXX\n \nend\n", "", 9964},
        {"end right after the begin line", "begin 644 x\nend\nend\n", "", 9964},
        {"a table block that lost a line", damaged_table.c_str(), "", 9974},  // no file made
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(Path("a.uue"), c.text));
        api_.InitArcFile(Path("a.uue").c_str());
        RegisterRecorders();
        EXPECT_EQ(Extract({"*.*"}), c.status) << c.label;
        EXPECT_EQ(PathExists(Path("out\\x")) ? ReadBytes(Path("out\\x")) : "", c.bytes) << c.label;
        RemoveFile(Path("out\\x"));
    }
}

// A file that this module made states its decoded size: one that lost a line is damaged.
TEST_F(Extraction, LostLineAgainstTheStatedSizeIsDamage) {
    ASSERT_TRUE(WriteBytes(Path("lost.bin"), PatternBytes(3000)));
    api_.CreateArcFile(Path("lost.uue").c_str());
    ASSERT_EQ(Compress({"lost.bin"}), 0);
    std::string text = ReadBytes(Path("lost.uue"));
    const size_t line = text.find("\r\nM", text.find("begin 644")) + 2;  // the first data line
    text.erase(line, text.find("\r\n", line) + 2 - line);
    Open(text, "cut.uue");
    EXPECT_EQ(Extract({"*.*"}), 9964);
    EXPECT_EQ(ReadBytes(Path("out\\lost.bin")).size(), 2955u);
}

// A table block's alphabet decodes the data; an archive of classic lines that fit the xx alphabet
// too stays classic, and a first line that only xx can read switches to it.
TEST_F(Extraction, DecodesWithAlphabetOfTheScan) {
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
    Open(text, "t.uue");
    EXPECT_EQ(Extract({"*.*"}), 0);
    EXPECT_EQ(ReadBytes(Path("out\\t.bin")), "abc");
    Open("begin 644 h.bin\nh" + std::string(60, '+') + "\nend\n", "h.uue");
    EXPECT_EQ(Extract({"*.*"}), 0);
    EXPECT_EQ(ReadBytes(Path("out\\h.bin")), std::string(45, '\0'));
}

// ---- Base64 ---------------------------------------------------------------------------------

TEST_F(Extraction, Base64FilesDecodeByteIdentical) {
    for (const char* eol : {"\n", "\r\n"}) {
        for (size_t size : {0, 1, 2, 3, 57, 58, 1000}) {
            const std::string data = PatternBytes(size, static_cast<uint32_t>(size));
            Open(std::string("From: someone") + eol + eol + Base64Uuencode("x", data, eol) + "bye" + eol);
            EXPECT_EQ(Extract({"*.*"}), 0) << size << " bytes";
            EXPECT_EQ(ReadBytes(Path("out\\x")), data) << size << " bytes";
            RemoveFile(Path("out\\x"));
        }
    }
}

// A line longer than the line buffer is read in pieces that end inside a group.
TEST_F(Extraction, Base64LineLongerThanLineBufferDecodes) {
    const std::string data = PatternBytes(750);
    const std::string text = Base64Uuencode("x", data);
    const size_t first = text.find('\n') + 1;
    std::string body = text.substr(first, text.rfind("====") - first);
    std::erase(body, '\n');
    Open(text.substr(0, first) + body + "\n====\n");
    EXPECT_EQ(Extract({"*.*"}), 0);
    EXPECT_EQ(ReadBytes(Path("out\\x")), data);
}

// Listing and the replace question estimate 57 bytes for every 77 of a base64 file.
TEST_F(Extraction, Base64EstimateIsFiftySevenSeventySevenths) {
    const std::string text = Base64Uuencode("x", PatternBytes(5000));
    Open(text);
    ArcFileList list{};
    api_.InitArcFileList(&list);
    api_.BuildArcFileList(&list);
    ASSERT_NE(list.first, nullptr);
    EXPECT_EQ(list.first->first_size, static_cast<int64_t>(text.size() * 57 / 77));
    api_.DoneArcFileList(&list);
    ASSERT_TRUE(WriteBytes(Path("out\\x"), "old"));
    EXPECT_EQ(Extract({"*.*"}), 0);
    const std::vector<HostCall> asked = CallsOf(CallKind::kReplace);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].incoming.size_low, text.size() * 57 / 77);
}

// Damage keeps the bytes decoded before it and ends with 9964.
TEST_F(Extraction, DamagedBase64Fails) {
    const struct {
        const char* label;
        const char* text;
        const char* kept;
    } cases[] = {
        {"no ==== line", "begin-base64 644 d\nYWJj\n", "abc"},
        {"character outside the alphabet", "begin-base64 644 d\nYWJj\nYW*j\n====\n", "abc"},
        {"a blank in the data", "begin-base64 644 d\nYW Jj\n====\n", ""},
        {"group left unfinished", "begin-base64 644 d\nYWJjZA\n====\n", "abc"},
        {"data after the padding", "begin-base64 644 d\nYQ==YWJj\n====\n", ""},
    };
    for (const auto& c : cases) {
        Open(c.text);
        EXPECT_EQ(Extract({"*.*"}), 9964) << c.label;
        EXPECT_EQ(ReadBytes(Path("out\\d")), c.kept) << c.label;
        RemoveFile(Path("out\\d"));
    }
}

// ---- Callbacks ------------------------------------------------------------------------------

TEST_F(Extraction, FileNameProcToldTwiceWithSameNames) {
    Open(ClassicUuencode("f.bin", "hello"));
    EXPECT_EQ(Extract({"*.*"}), 0);
    const std::vector<HostCall> names = CallsOf(CallKind::kFileName);
    ASSERT_EQ(names.size(), 2u);
    for (const HostCall& call : names) {
        EXPECT_EQ(call.source, "\\f.bin");
        EXPECT_EQ(call.target, Path("out\\f.bin"));
    }
}

TEST_F(Extraction, CallbackOrderWithExistingOutput) {
    Open(ClassicUuencode("f.bin", PatternBytes(200)));
    WriteBytes(Path("out\\f.bin"), "old");
    EXPECT_EQ(Extract({"*.*"}), 0);
    const std::vector<CallKind> kinds = CallKinds();
    ASSERT_GE(kinds.size(), 5u);
    EXPECT_EQ(kinds[0], CallKind::kFileName);
    EXPECT_EQ(kinds[1], CallKind::kFileName);
    EXPECT_EQ(kinds[2], CallKind::kReplace);
    EXPECT_EQ(kinds[3], CallKind::kSignal);
    for (size_t i = 4; i < kinds.size(); ++i) EXPECT_EQ(kinds[i], CallKind::kProgress) << "call " << i;
}

// Each callback gets its own user word; the progress reports rise, stay below 100 and add up to
// every byte of the archive up to its last data line.
TEST_F(Extraction, CallbacksInOrderWithTheirValues) {
    const std::string payload = RandomBytes(1000, 7);
    const std::string text = "header\r\n" + ClassicUuencode("f.bin", payload);
    WriteBytes(Path("a.uue"), text);
    api_.InitArcFile(Path("a.uue").c_str());
    api_.SetSetFileNameProc(11, RecordFileName);
    api_.SetSetSignalProc(12, RecordSignal);
    api_.SetSetProgressProc(13, RecordProgress);
    ASSERT_EQ(Extract({"*.*"}), 0);
    EXPECT_EQ(ReadBytes(Path("out\\f.bin")), payload);
    ASSERT_GE(g_calls.size(), 4u);
    const std::vector<CallKind> kinds = CallKinds();
    EXPECT_EQ(kinds[0], CallKind::kFileName);
    EXPECT_EQ(kinds[1], CallKind::kFileName);
    EXPECT_EQ(kinds[2], CallKind::kSignal);
    EXPECT_EQ(g_calls[0].user, 11u);
    EXPECT_EQ(g_calls[2].user, 12u);
    const std::vector<std::pair<int64_t, int64_t>> progress = ProgressCalls();
    EXPECT_EQ(progress.size(), g_calls.size() - 3);
    EXPECT_LE(progress.size(), 24u);  // 23 data lines and the zero-length line
    int64_t previous = -1, total = 0;
    for (const auto& [percent, bytes] : progress) {
        EXPECT_GE(percent, previous);
        EXPECT_LT(percent, 100);
        previous = percent;
        total += bytes;
    }
    for (const HostCall& call : CallsOf(CallKind::kProgress)) EXPECT_EQ(call.user, 13u);
    EXPECT_EQ(total, static_cast<int64_t>(text.size() - std::strlen("end\r\n")));
}

TEST_F(Extraction, SignalGetsArchiveLengthAndTwo) {
    const std::string text = ClassicUuencode("f.bin", PatternBytes(500));
    Open(text);
    EXPECT_EQ(Extract({"*.*"}), 0);
    const std::vector<HostCall> signals = CallsOf(CallKind::kSignal);
    ASSERT_EQ(signals.size(), 1u);
    EXPECT_EQ(signals[0].first, static_cast<int64_t>(text.size()));
    EXPECT_EQ(signals[0].second, 2);
}

// Below 100 bytes the step is 0: a report after every data line, the zero-length one included.
// Percent = bytes of the archive read so far * 100 / its length.
TEST_F(Extraction, SmallArchiveReportsAfterEveryDataLine) {
    const struct {
        const char* eol;
        std::vector<const char*> lines;
        size_t length;
        std::vector<std::pair<int64_t, int64_t>> reports;
        const char* decoded;
    } cases[] = {
        // "begin 644 p" 12, four one-byte lines of 6, "`" 2, "end" 4: lines end at 18 24 30 36 38.
        {"\n", {"!80``", "!80``", "!80``", "!80``"}, 42, {{42, 18}, {57, 6}, {71, 6}, {85, 6}, {90, 2}}, "aaaa"},
        // The same with CR LF: 13, 7 each, 3, 5; lines end at 20 27 34 41 44.
        {"\r\n", {"!80``", "!80``", "!80``", "!80``"}, 49, {{40, 20}, {55, 7}, {69, 7}, {83, 7}, {89, 3}}, "aaaa"},
        // Two three-byte lines in 30 bytes: 18 of them read after the first.
        {"\n", {"#86)C", "#86)C"}, 30, {{60, 18}, {80, 6}, {86, 2}}, "abcabc"},
    };
    for (const auto& c : cases) {
        std::string text = std::string("begin 644 p") + c.eol;
        for (const char* line : c.lines) text += std::string(line) + c.eol;
        text += std::string("`") + c.eol + "end" + c.eol;
        ASSERT_EQ(text.size(), c.length);
        Open(text);
        ClearCalls();
        EXPECT_EQ(Extract({"*.*"}), 0);
        EXPECT_EQ(ProgressCalls(), c.reports) << c.length << " bytes, line ends " << (c.eol[0] == '\r' ? "CR LF" : "LF");
        EXPECT_EQ(ReadBytes(Path("out\\p")), c.decoded);
        RemoveFile(Path("out\\p"));
    }
}

// A 10,000-byte archive, step 100, whose first data line ends at byte 1000: the threshold grows
// by one step a report, so reports follow on consecutive 63-byte lines until it has caught up
// (28 of them), and then on every other line.
TEST_F(Extraction, ThresholdGrowsOneStepPerReport) {
    const std::string body = ClassicUuencode("f.bin", PatternBytes(100 * 45));
    const std::string head = FreeText(1000 - 17 - 63);
    const std::string text = head + body + FreeText(10000 - head.size() - body.size());
    ASSERT_EQ(text.size(), 10000u);
    ASSERT_EQ(text.compare(1000 - 63 - 17, 17, "begin 644 f.bin\r\n"), 0);
    Open(text);
    EXPECT_EQ(Extract({"*.*"}), 0);
    const std::vector<std::pair<int64_t, int64_t>> reports = ProgressCalls();
    ASSERT_GE(reports.size(), 29u);
    EXPECT_EQ(reports[0], std::make_pair(int64_t{10}, int64_t{1000}));
    for (int64_t k = 1; k < 28; ++k) {
        const int64_t position = 1000 + 63 * k;
        EXPECT_EQ(reports[k], std::make_pair(position * 100 / 10000, int64_t{63})) << "report " << k;
    }
    EXPECT_EQ(reports[28], std::make_pair(int64_t{28}, int64_t{126}));
    EXPECT_LT(reports.back().first, 100);
}

// ---- The replace question -------------------------------------------------------------------

class Replacing : public Extraction {
protected:
    void SetUp() override {
        Extraction::SetUp();
        text_ = ClassicUuencode("f.bin", PatternBytes(700));
        Open(text_);
        output_ = Path("out\\f.bin");
        ASSERT_TRUE(WriteBytes(output_, "the old contents"));
    }
    std::string text_;
    std::string output_;
};

TEST_F(Replacing, NewFileRecordDescribesOutput) {
    const uint64_t before = NowFileTime();
    Extract({"*.*"});
    const uint64_t after = NowFileTime();
    const std::vector<HostCall> asked = CallsOf(CallKind::kReplace);
    ASSERT_EQ(asked.size(), 1u);
    const FindData& incoming = asked[0].incoming;
    EXPECT_EQ(incoming.attributes, 128u);
    EXPECT_EQ(incoming.size_high, 0u);
    EXPECT_EQ(incoming.size_low, text_.size() * 10 / 14);
    EXPECT_EQ(incoming.reserved0, 0u);
    EXPECT_EQ(incoming.reserved1, 0u);
    EXPECT_EQ(std::string(incoming.file_name), output_);
    for (size_t i = 0; i < sizeof incoming.alternate_name; ++i) EXPECT_EQ(incoming.alternate_name[i], 0) << i;
    EXPECT_EQ(Ticks(incoming.creation_time), Ticks(incoming.last_write_time));
    EXPECT_EQ(Ticks(incoming.last_access_time), Ticks(incoming.last_write_time));
    const uint64_t second = 10000000;
    EXPECT_GE(Ticks(incoming.last_write_time) + second, before);
    EXPECT_LE(Ticks(incoming.last_write_time), after + second);
}

TEST_F(Replacing, RefusalKeepsExistingFileByteForByte) {
    g_replace_answer = 3;
    EXPECT_EQ(Extract({"*.*"}), 2926);
    EXPECT_EQ(ReadBytes(output_), "the old contents");
    EXPECT_TRUE(CallsOf(CallKind::kSignal).empty());
    EXPECT_TRUE(ProgressCalls().empty());
    const std::vector<HostCall> asked = CallsOf(CallKind::kReplace);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_STREQ(asked[0].existing.file_name, "f.bin");  // the name alone, as a find record holds it
    EXPECT_EQ(asked[0].existing.size_low, 16u);
    EXPECT_EQ(asked[0].existing.size_high, 0u);
    EXPECT_EQ(FolderNames(Path("out")), std::vector<std::string>{"f.bin"});
}

// The new file is written beside the read-only one and renamed over it: no temporary file stays.
TEST_F(Replacing, ReadOnlyFileResetToArchiveAndOverwrittenAfterConsent) {
    ASSERT_TRUE(MakeReadOnly(output_));
#if defined(_WIN32)
    ASSERT_TRUE(SetFileAttributesA(output_.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
#endif
    g_replace_answer = 0;
    EXPECT_EQ(Extract({"*.*"}), 0);
    EXPECT_EQ(CallsOf(CallKind::kReplace).size(), 1u);
    EXPECT_FALSE(IsReadOnly(output_));
#if defined(_WIN32)
    EXPECT_EQ(GetFileAttributesA(output_.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
#endif
    EXPECT_EQ(ReadBytes(output_), PatternBytes(700));
    EXPECT_EQ(FolderNames(Path("out")), std::vector<std::string>{"f.bin"});
}

// Nobody agreed, so the read-only bit stays and the open fails. Root writes to read-only files
// all the same (and so does a Wine running as root); then only the kept bit can be checked, so the
// gate runs this suite as an unprivileged user.
class UnprivilegedReplacing : public Replacing {};

TEST_F(UnprivilegedReplacing, ReadOnlyFileWithoutQuestionKeepsAttributesAndFails) {
    ASSERT_TRUE(MakeReadOnly(output_));
    const bool read_only_enforced = !OpensForWriting(output_);
    api_.SetOkToReplaceProc(0, nullptr);
    const uint16_t status = Extract({"*.*"});
    EXPECT_TRUE(IsReadOnly(output_));
    if (!read_only_enforced) GTEST_SKIP() << "this process may write a read-only file (running as root?)";
    EXPECT_EQ(status, 5);
    EXPECT_EQ(ReadBytes(output_), "the old contents");
}

#if !defined(_WIN32)
// Where a rename would make another file of it, the file itself is written again after the yes:
// a writable file in a folder where the user may make no name, and a read-only file with a second
// hard link, which the yes makes writable. (Windows folders have no write bit to take away.)
TEST_F(UnprivilegedReplacing, FileThatARenameWouldSplitIsOverwrittenInPlace) {
    const std::string folder = NativePath(Path("out"));
    const std::string file = NativePath(output_);
    for (const bool read_only_folder : {true, false}) {
        ASSERT_TRUE(WriteBytes(output_, "the old contents"));
        if (!read_only_folder) {
            ASSERT_EQ(link(file.c_str(), (folder + "/other").c_str()), 0);
            ASSERT_TRUE(MakeReadOnly(output_));
        }
        ASSERT_EQ(chmod(folder.c_str(), read_only_folder ? 0555 : 0755), 0);
        const bool enforced = read_only_folder ? !MakeFolder(Path("out\\probe")) : !OpensForWriting(output_);
        g_replace_answer = 0;
        const uint16_t status = Extract({"*.*"});
        chmod(folder.c_str(), 0755);
        if (!enforced) GTEST_SKIP() << "this process may write where the modes say no (running as root?)";
        EXPECT_EQ(status, 0) << read_only_folder;
        EXPECT_EQ(ReadBytes(output_), PatternBytes(700));
        EXPECT_FALSE(IsReadOnly(output_));
        EXPECT_EQ(FolderNames(Path("out")).size(), read_only_folder ? 1u : 2u);
    }
}
#endif

// Nothing is reset without a question: under Windows the new file keeps the old one's hidden bit.
TEST_F(Replacing, ExistingFileReplacedWithoutQuestionWhenNoProcedure) {
#if defined(_WIN32)
    ASSERT_TRUE(SetFileAttributesA(output_.c_str(), FILE_ATTRIBUTE_HIDDEN));
#endif
    api_.SetOkToReplaceProc(0, nullptr);
    EXPECT_EQ(Extract({"*.*"}), 0);
    EXPECT_TRUE(CallsOf(CallKind::kReplace).empty());
    EXPECT_EQ(ReadBytes(output_), PatternBytes(700));
#if defined(_WIN32)
    EXPECT_TRUE(GetFileAttributesA(output_.c_str()) & FILE_ATTRIBUTE_HIDDEN);
#endif
    EXPECT_EQ(FolderNames(Path("out")), std::vector<std::string>{"f.bin"});
}

// A damaged archive still takes the old file's place, with the lines decoded before the damage.
TEST_F(Replacing, DamagedArchiveStillReplacesWithWhatDecoded) {
    std::string text = ClassicUuencode("f.bin", RandomBytes(45 * 3, 5));
    text.resize(text.find("`\r\nend"));
    Open(text);
    EXPECT_EQ(Extract({"*.*"}), 9964);
    EXPECT_EQ(ReadBytes(output_), RandomBytes(45 * 3, 5));
    EXPECT_EQ(FolderNames(Path("out")), std::vector<std::string>{"f.bin"});
}

// ---- Output names and directories -----------------------------------------------------------

TEST_F(Extraction, MissingDirectoriesCreatedOnTheWay) {
    KeepPaths(1);
    api_.SetOutputPath(Path("new\\deeper").c_str());
    Open(ClassicUuencode("a/b/c/f.bin", "walked"));
    EXPECT_EQ(Extract({"*.*"}), 0);
    EXPECT_EQ(ReadBytes(Path("new\\deeper\\a\\b\\c\\f.bin")), "walked");
}

TEST_F(Extraction, KeepPathsOnAndOff) {
    const struct {
        const char* stored;
        int32_t keep;
        const char* relative;
    } cases[] = {
        {"dir/sub/file.txt", 0, "file.txt"},
        {"dir/sub/file.txt", 1, "dir\\sub\\file.txt"},
        {"\\dir\\file", 1, "dir\\file"},
        {"\\abs", 1, "abs"},
        {"C:\\dir\\f.txt", 0, "f.txt"},
        {"..\\escape.txt", 0, "escape.txt"},  // without the directories nothing is left to climb
        {"../escape.txt", 0, "escape.txt"},
    };
    for (const auto& c : cases) {
        KeepPaths(c.keep);
        Open(ClassicUuencode(c.stored, "kept"));
        ClearCalls();
        EXPECT_EQ(Extract({"*.*"}), 0) << c.stored;
        const std::vector<HostCall> names = CallsOf(CallKind::kFileName);
        ASSERT_FALSE(names.empty()) << c.stored;
        EXPECT_EQ(names[0].target, Path("out\\") + c.relative) << c.stored << ", keep-paths " << c.keep;
        EXPECT_EQ(ReadBytes(Path("out\\") + c.relative), "kept") << c.stored;
    }
    EXPECT_FALSE(PathExists(Path("escape.txt")));
}

// A hostile name must not reach outside the output directory, a drive, a stream or a device.
TEST_F(Extraction, UnsafeStoredNamesRefusedBeforeAnything) {
    ASSERT_TRUE(MakeFolder(Path("o1")));
    ASSERT_TRUE(MakeFolder(Path("o1\\o2")));
    api_.SetOutputPath(Path("o1\\o2").c_str());
    struct Case {
        const char* stored;
        int32_t keep;
    };
    std::vector<Case> cases = {
        {"..\\..\\x", 1}, {"../../x", 1}, {"dir/../../x", 1}, {"\\\\abs", 1},
        {"./x", 1},       {"..\\escape.txt", 1}, {"a/b/", 1},
    };
#if defined(_WIN32)
    // Windows opens a device under these names, and a ':' names a drive or a stream there, so
    // only its builds refuse them.
    cases.insert(cases.end(), {
        {"C:x", 1}, {"C:\\x", 1}, {"a.txt:s", 0}, {"a.txt:s", 1},
        {"nul.txt", 0}, {"NUL", 1}, {"com1.log", 0}, {"sub/aux.c", 1}, {"nul.txt", 1},
        {"COM\xFD", 0}, {"lpt0.txt", 0}, {"CONIN$", 0}, {"conout$.log", 1},  // \xFD: OEM superscript two
    });
#endif
    for (const Case& c : cases) {
        KeepPaths(c.keep);
        Open(ClassicUuencode(c.stored, "hostile"), "h.uue");
        ClearCalls();
        EXPECT_EQ(Extract({"*.*"}), 5) << c.stored << ", keep-paths " << c.keep;
        EXPECT_TRUE(g_calls.empty()) << c.stored << ": a callback before the refusal";
        EXPECT_EQ(FolderNames(Path("o1\\o2")), std::vector<std::string>{}) << c.stored;
        EXPECT_EQ(FolderNames(Path("o1")), std::vector<std::string>{"o2"}) << c.stored;
        EXPECT_EQ(FolderNames(Folder()), (std::vector<std::string>{"h.uue", "o1", "out"})) << c.stored;
        EXPECT_FALSE(PathExists("C:\\x") || PathExists("C:\\abs")) << c.stored;
    }
}

#if !defined(_WIN32)
// Only Windows reserves device names and a ':': elsewhere they are names like any other.
TEST_F(Extraction, DeviceNamesAndColonsExtractWhereNotReserved) {
    const struct {
        const char* stored;
        int32_t keep;
        const char* relative;
    } cases[] = {
        {"aux.c", 0, "aux.c"},         {"con.txt", 0, "con.txt"},   {"nul", 0, "nul"},
        {"sub/NUL", 1, "sub\\NUL"},    {"COM1.log", 0, "COM1.log"}, {"lpt0.txt", 0, "lpt0.txt"},
        {"CONIN$", 0, "CONIN$"},       {"d/conout$.log", 1, "d\\conout$.log"},
        {"C:x", 1, "C:x"},             {"C:\\x", 1, "C:\\x"},       {"a.txt:s", 0, "a.txt:s"},
        {"a:b", 0, "a:b"},             {"10:30 notes.txt", 0, "10:30 notes.txt"},
    };
    for (const auto& c : cases) {
        KeepPaths(c.keep);
        Open(ClassicUuencode(c.stored, "device?"));
        ClearCalls();
        EXPECT_EQ(Extract({"*.*"}), 0) << c.stored;
        EXPECT_EQ(ReadBytes(Path("out\\") + c.relative), "device?") << c.stored;
    }
}
#endif

#if !defined(_WIN32)
// A new file gets the begin line's mode without setuid, setgid and sticky, less the umask; with
// the module's own no-mode bit 0666 less the umask. A file replaced keeps the bits it had.
TEST_F(Extraction, NewFileTakesTheBeginLineMode) {
    const mode_t umask_before = umask(022);
    const struct {
        const char* mode;
        bool no_mode;
        mode_t existing;  // 0: no file there
        mode_t expected;
    } cases[] = {
        {"600", false, 0, 0600},  {"755", false, 0, 0755},   {"0640", false, 0, 0640},
        {"4755", false, 0, 0755}, {"7777", false, 0, 0755},  {"777", false, 0, 0755},
        {"000", false, 0, 0},     {"1000444", false, 0, 0444},  // only the low twelve bits count
        {"600", true, 0, 0644},   {"755", true, 0, 0644},
        {"755", false, 0640, 0640}, {"600", false, 0604, 0604},
    };
    const std::string output = NativePath(Path("out\\m.bin"));
    for (const auto& c : cases) {
        std::string text = ClassicUuencode("m.bin", "abc");
        text.replace(text.find("begin 644 "), 10, std::string("begin ") + c.mode + " ");
        if (c.no_mode) api_.arOptionsOn(UUARC_OPTION_NO_MODE);
        else api_.arOptionsOff(UUARC_OPTION_NO_MODE);
        std::remove(output.c_str());
        if (c.existing != 0) {
            ASSERT_TRUE(WriteBytes(Path("out\\m.bin"), "old"));
            ASSERT_EQ(chmod(output.c_str(), c.existing), 0);
        }
        Open(text);
        EXPECT_EQ(Extract({"*.*"}), 0) << c.mode;
        struct stat info {};
        ASSERT_EQ(stat(output.c_str(), &info), 0) << c.mode;
        EXPECT_EQ(info.st_mode & 07777, c.expected) << "begin " << c.mode << (c.no_mode ? ", no-mode" : "");
    }
    api_.arOptionsOff(UUARC_OPTION_NO_MODE);
    umask(umask_before);
}
#endif

#if defined(UUARC_OUTPUT_STDOUT)
// The reserved output paths: the decoded bytes go into descriptor 1 (here a file or /dev/full put
// in its place; on Windows only the null device is tried) or nowhere, nothing is made or asked
// about, and the bytes taken come last.
TEST_F(Extraction, SinksTakeTheBytesAndSayHowMany) {
    const std::string payload = RandomBytes(1000, 3);
    const std::string intact = ClassicUuencode("f.bin", payload);
    std::string damaged = intact, cut = intact;
    const size_t third = damaged.find('\n', damaged.find('\n', damaged.find('\n') + 1) + 1) + 1;  // its data line
    damaged[third + 4] = '~';
    // The third line cut short: its blanks may not have been stripped, since "`" writes 0 below it.
    cut.erase(cut.find('\r', third) - 1, 1);
    const struct {
        const char* label;
        const char* sink;
        const char* stored;
        const std::string* text;
        const char* descriptor_one;  // what fd 1 is during the run ("": a file in the folder)
        uint16_t status;
        int64_t delivered;  // -1: no signal 3
    } cases[] = {
        {"standard output", UUARC_OUTPUT_STDOUT, "f.bin", &intact, "", 0, 1000},
        {"damage on the third data line", UUARC_OUTPUT_STDOUT, "f.bin", &damaged, "", 9964, 90},
        {"the third data line cut short", UUARC_OUTPUT_STDOUT, "f.bin", &cut, "", 9964, 90},
        {"nothing", UUARC_OUTPUT_NULL, "f.bin", &intact, "", 0, 1000},
        {"nothing, the third data line cut short", UUARC_OUTPUT_NULL, "f.bin", &cut, "", 9964, 90},
        {"a full disk", UUARC_OUTPUT_STDOUT, "f.bin", &intact, "/dev/full", 101, 0},
        {"an unsafe stored name", UUARC_OUTPUT_STDOUT, "..", &intact, "", 5, -1},
    };
    ASSERT_TRUE(WriteBytes(Path("out\\f.bin"), "existing"));
    for (const auto& c : cases) {
        const bool to_stdout = std::strcmp(c.sink, UUARC_OUTPUT_STDOUT) == 0;
        std::string text = *c.text;
        if (std::strcmp(c.stored, "f.bin") != 0) text.replace(text.find("f.bin"), 5, c.stored);
        Open(text);
        api_.SetOutputPath(c.sink);
        ClearCalls();
#if defined(_WIN32)
        if (to_stdout) continue;
        const uint16_t status = Extract({"*.*"});
#else
        const std::string taken = NativePath(Path("fd1.bin"));
        std::fflush(stdout);
        const int saved = dup(1);
        const int into = open(*c.descriptor_one != '\0' ? c.descriptor_one : taken.c_str(),
                              O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(into, 0) << c.label;
        dup2(into, 1);
        close(into);
        const uint16_t status = Extract({"*.*"});
        dup2(saved, 1);
        close(saved);
#endif
        EXPECT_EQ(status, c.status) << c.label;
        const std::vector<HostCall> signals = CallsOf(CallKind::kSignal);
        if (c.delivered < 0) {
            EXPECT_TRUE(signals.empty()) << c.label;
        } else {
            ASSERT_EQ(signals.size(), 2u) << c.label;
            EXPECT_EQ(signals[0].second, UUARC_SIGNAL_OUTPUT_OPEN) << c.label;
            EXPECT_EQ(signals[1].first, c.delivered) << c.label;
            EXPECT_EQ(signals[1].second, UUARC_SIGNAL_BYTES_DELIVERED) << c.label;
        }
#if !defined(_WIN32)
        const bool into_file = *c.descriptor_one == '\0' && to_stdout;
        const size_t expected = into_file && c.delivered > 0 ? static_cast<size_t>(c.delivered) : 0;
        EXPECT_EQ(ReadBytes(Path("fd1.bin")), payload.substr(0, expected)) << c.label;
#endif
        EXPECT_TRUE(CallsOf(CallKind::kReplace).empty()) << c.label;
        const std::vector<HostCall> names = CallsOf(CallKind::kFileName);
        if (!names.empty()) {
            EXPECT_EQ(names.back().target, c.sink) << c.label;
        }
        EXPECT_EQ(ReadBytes(Path("out\\f.bin")), "existing") << c.label;
        EXPECT_EQ(FolderNames(Path("out")).size(), 1u) << c.label;
    }
    // Any other output path ends the sink.
    Open(intact);
    api_.SetOutputPath(Path("out").c_str());
    EXPECT_EQ(Extract({"*.*"}), 0);
    EXPECT_EQ(ReadBytes(Path("out\\f.bin")), payload);
}
#endif

// 259 bytes is the longest path Windows takes; one more is refused before anything is made.
TEST_F(Extraction, OutputNameOf260BytesRefused) {
    const std::string stored(60, 'n');
    for (size_t length : {259, 260}) {
        const std::string directory = Path("long\\") + std::string(length - Path("long\\").size() - 1 - stored.size(), 'd');
        ASSERT_EQ(directory.size() + 1 + stored.size(), length);
        api_.SetOutputPath(directory.c_str());
        Open(ClassicUuencode(stored, "long"));
        ClearCalls();
        const uint16_t status = Extract({"*.*"});
        if (length == 259) {
            EXPECT_EQ(status, 0) << length;
            EXPECT_EQ(ReadBytes(directory + "\\" + stored), "long");
        } else {
            EXPECT_EQ(status, 5) << length;
            EXPECT_TRUE(g_calls.empty());
            EXPECT_FALSE(PathExists(directory));
        }
    }
}

// The output path is the archive's own folder, spelt several ways, and so is the archive's path.
TEST_F(Extraction, OntoTheArchiveItselfRefused) {
    struct Case {
        const char* stored;
        const char* output_path;  // under the test's folder
        const char* opened_as;    // the archive's path, under the test's folder
    };
    std::vector<Case> cases = {
        {"self.uue", "", "self.uue"},
        {"self.uue", "out\\..", "self.uue"},
        {"self.uue", "", "out\\..\\self.uue"},
    };
#if defined(_WIN32)
    cases.push_back({"SELF.UUE", "", "self.uue"});  // one file to Windows
#endif
    for (const Case& c : cases) {
        api_.SetOutputPath((folder_ + c.output_path).c_str());
        const std::string archive = Path("self.uue");
        WriteBytes(archive, ClassicUuencode(c.stored, PatternBytes(100)));
        const std::string before = ReadBytes(archive);
        api_.InitArcFile(Path(c.opened_as).c_str());
        ASSERT_STATUS(0);
        RegisterRecorders();
        EXPECT_EQ(Extract({"*.*"}), 5) << c.stored << " into '" << c.output_path << "' from " << c.opened_as;
        EXPECT_EQ(ReadBytes(archive), before) << c.stored;
        EXPECT_TRUE(CallsOf(CallKind::kReplace).empty());
    }
}

TEST_F(Extraction, OemStoredNameUsedForCallbacksAndOutput) {
    if (!HaveWesternCodePages()) GTEST_SKIP() << "needs OEM code page 437 and ANSI code page 1252";
    Open(ClassicUuencode("\x81" "ber.bin", "umlaut"));
    EXPECT_EQ(Extract({"*.*"}), 0);
#if defined(_WIN32)
    const std::string ansi = Ansi("\xC3\xBC" "ber.bin");
#else
    const std::string ansi = "\x81" "ber.bin";  // a Linux name is its bytes: no OEM conversion
#endif
    for (const HostCall& call : CallsOf(CallKind::kFileName)) {
        EXPECT_EQ(call.source, "\\" + ansi);
        EXPECT_EQ(call.target, Path("out\\") + ansi);
    }
    EXPECT_EQ(ReadBytes(Path("out\\") + ansi), "umlaut");
}

// ---- Requests that write nothing, and damaged archives --------------------------------------

TEST_F(Extraction, EmptyOrUnselectingMaskListDoesNothing) {
    Open(ClassicUuencode("file.txt", "abc"));
    EXPECT_EQ(Extract({}), 0);
    EXPECT_EQ(Extract({"*.doc"}), 0);
    EXPECT_EQ(Extract({"*.doc", "other.txt"}), 0);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(FolderNames(Path("out")).empty());
    EXPECT_EQ(Extract({"*.doc", "FILE.TXT"}), 0);  // any mask of the list selects
    EXPECT_EQ(ReadBytes(Path("out\\file.txt")), "abc");
}

TEST_F(Extraction, ArchiveWithoutBeginLineIs9974) {
    const std::string archive = Open(ClassicUuencode("f.bin", "abc"));
    WriteBytes(archive, "the begin line is gone\r\n");
    EXPECT_EQ(Extract({"*.*"}), 9974);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(FolderNames(Path("out")).empty());
}

#if defined(UUARC_OPTION_HOLD_ARCHIVE)
// Held, the archive that InitArcFile read is the one extracted, opened no second time (its name
// may be gone by then, or name another file: a line cut short is judged by the file held), unless
// it has changed since; a listing takes it as well, and the module lets it go when done.
TEST_F(Extraction, HeldArchiveIsOpenedOnce) {
    enum class Between { Nothing, Remove, Replace, List, Reopen, Rewrite };
    const struct {
        const char* what;
        uint16_t options;
        Between between;
        uint16_t status;
    } cases[] = {
        {"held", UUARC_OPTION_HOLD_ARCHIVE, Between::Nothing, 0},
#if !defined(_WIN32)  // Windows removes or replaces no file that is open
        {"held, its name removed", UUARC_OPTION_HOLD_ARCHIVE, Between::Remove, 0},
        {"every file held, its name removed", UUARC_OPTION_HOLD_ARCHIVE | UUARC_OPTION_EVERY_FILE, Between::Remove, 0},
        {"held, written again in place", UUARC_OPTION_HOLD_ARCHIVE, Between::Rewrite, 0},
        {"held, its name another file's", UUARC_OPTION_HOLD_ARCHIVE, Between::Replace, 0},
#endif
        {"not held, its name removed", 0, Between::Remove, 5},
        {"held, listed first", UUARC_OPTION_HOLD_ARCHIVE, Between::List, 0},
        {"held, opened again", UUARC_OPTION_HOLD_ARCHIVE, Between::Reopen, 0},
    };
#if !defined(_WIN32)
    const size_t descriptors = FolderNames("/proc/self/fd").size();
#endif
    for (const auto& c : cases) {
        api_.arOptionsOn(c.options);
        // Blanks for zeros, those at the end of the data line stripped: it reads padded.
        std::string text = ClassicUuencode("f.bin", std::string("abc\0\0\0", 6), ' ');
        text.erase(text.find("    \r\n"), 4);
        text.erase(text.find("\r\n \r\n") + 2, 1);
        const std::string archive = Open(text);
        if (c.between == Between::Remove) RemoveFile(archive);
        if (c.between == Between::Replace) {
            ASSERT_EQ(std::rename(NativePath(archive).c_str(), NativePath(archive + ".old").c_str()), 0);
            ASSERT_TRUE(WriteBytes(archive, "no begin line here\r\n"));
        }
        if (c.between == Between::Rewrite) {
            ASSERT_TRUE(WriteBytes(archive, ClassicUuencode("f.bin", "wxyz")));  // a size of its own
        }
        if (c.between == Between::Reopen) {
            api_.DoneArcFile();
            api_.InitArcFile(archive.c_str());
        }
        if (c.between == Between::List) {
            ArcFileList list{};
            api_.BuildArcFileList(&list);
            EXPECT_EQ(list.count, 1u) << c.what;
            api_.DoneArcFileList(&list);
        }
        RemoveFile(Path("out\\f.bin"));
        EXPECT_EQ(Extract({"*.*"}), c.status) << c.what;
        if (c.status == 0) {
            EXPECT_EQ(ReadBytes(Path("out\\f.bin")),
                      c.between == Between::Rewrite ? "wxyz" : std::string("abc\0\0\0", 6)) << c.what;
        }
        api_.DoneArcFile();
        api_.arOptionsOff(c.options);
    }
    api_.arOptionsOn(UUARC_OPTION_HOLD_ARCHIVE);
    Open(ClassicUuencode("f.bin", "abc"));
    api_.DoneArcFile();  // nothing took it
    api_.arOptionsOff(UUARC_OPTION_HOLD_ARCHIVE);
#if !defined(_WIN32)
    EXPECT_EQ(FolderNames("/proc/self/fd").size(), descriptors);
#endif
}
#endif

TEST_F(Extraction, BadCharacterInTenthLineKeepsNineLines) {
    const std::string data = PatternBytes(20 * 45);
    std::string text = ClassicUuencode("f.bin", data);
    size_t line_start = text.find("\r\n") + 2;  // the first data line
    for (int line = 1; line < 10; ++line) line_start = text.find("\r\n", line_start) + 2;
    text[line_start + 5] = 'a';  // lower case is outside the default alphabet
    Open(text);
    EXPECT_EQ(Extract({"*.*"}), 9964);
    EXPECT_EQ(ReadBytes(Path("out\\f.bin")), data.substr(0, 9 * 45));
}

TEST_F(Extraction, MissingEndLineKeepsEveryDecodedLine) {
    const std::string data = PatternBytes(300);
    std::string text = ClassicUuencode("f.bin", data);
    text.erase(text.rfind("`\r\nend\r\n"));
    Open(text);
    EXPECT_EQ(Extract({"*.*"}), 9964);
    EXPECT_EQ(ReadBytes(Path("out\\f.bin")), data);
}

TEST_F(Extraction, BadFirstLineLeavesEmptyOutput) {
    Open("begin 644 f\n~bad\nend\n");
    EXPECT_EQ(Extract({"*.*"}), 9964);
    EXPECT_TRUE(PathExists(Path("out\\f")));
    EXPECT_EQ(ReadBytes(Path("out\\f")), "");
}

// ---- Facts ----------------------------------------------------------------------------------

// Without the module's own bit, and in the 32-bit DLL whatever the options word holds, the host
// hears no fact: no signal code past the four of the format's hosts, no name without an output.
TEST_F(Extraction, FactsOnlyWhenAskedFor) {
#if !defined(UUARC_OPTION_FACTS)
    api_.arOptionsOn(0x0200);  // the bit that the other builds read
#endif
    for (const std::string& text : {std::string("no begin line\n"), std::string("begin 644 x\n#8~)C\nend\n"),
                                    ClassicUuencode("dir/", "abc"), std::string("Part 2 of 3 of file y\n")}) {
        ASSERT_TRUE(WriteBytes(Path("a.uue"), text));
        ClearCalls();
        RegisterRecorders();
        api_.InitArcFile(Path("a.uue").c_str());
        if (Status() == 0) Extract({"*.*"});
        EXPECT_NE(Status(), 0) << text;
        for (const HostCall& call : g_calls) {
            EXPECT_FALSE(call.kind == CallKind::kSignal && call.second > UUARC_SIGNAL_SOURCE_CHANGED) << text;
            EXPECT_FALSE(call.kind == CallKind::kFileName && call.target.empty()) << text;
        }
    }
}

#if defined(UUARC_OPTION_FACTS)
// The facts the module passed, gathered as a host gathers them: the fields, then the kind.
struct Fact {
    int64_t kind = 0, line = -1, character = -1, count = -1, expected = -1, rule = -1, span = -1, mode = -1,
            part = -1, parts = -1, volume = -1, index = -1;
};

// A new output is told as it is made, explaining nothing: passed over unless `made` asks for it.
std::vector<Fact> FactsOf(const std::vector<HostCall>& signals, bool made = false) {
    std::vector<Fact> facts;
    Fact fields;
    int64_t previous = 0;  // the fields come in the order of their codes, each once
    for (const HostCall& call : signals) {
        if (call.second < UUARC_SIGNAL_FACT) continue;
        if (call.second == UUARC_SIGNAL_FACT) {
            fields.kind = call.first;
            if (made || fields.kind != UUARC_FACT_NEW_OUTPUT) facts.push_back(fields);
            fields = Fact{};
            previous = 0;
            continue;
        }
        EXPECT_GT(call.second, previous) << "fields out of order";
        previous = call.second;
        int64_t* const slots[] = {&fields.line, &fields.character, &fields.count, &fields.expected, &fields.rule,
                                  &fields.span,  &fields.mode,      &fields.part,  &fields.parts,    &fields.volume,
                                  &fields.index};
        const size_t slot = static_cast<size_t>(call.second - UUARC_SIGNAL_FACT_LINE);
        if (slot >= std::size(slots)) {
            ADD_FAILURE() << "unknown field " << call.second;
            continue;
        }
        *slots[slot] = call.first;
    }
    EXPECT_EQ(previous, 0) << "fields that no kind closed";
    return facts;
}

Fact LastFactOf(const std::vector<HostCall>& signals) {
    const std::vector<Fact> facts = FactsOf(signals);
    return facts.empty() ? Fact{} : facts.back();
}

Fact LastFact() { return LastFactOf(CallsOf(CallKind::kSignal)); }

// Opens `text` with facts asked for and extracts it when it opens; the status.
class Facts : public Extraction {
protected:
    uint16_t Run(const std::string& text) {
        EXPECT_TRUE(WriteBytes(Path("a.uue"), text));
        RemoveFile(Path("out\\x"));
        ClearCalls();
        RegisterRecorders();
        api_.arOptionsOn(UUARC_OPTION_FACTS);
        api_.InitArcFile(Path("a.uue").c_str());
        return Status() == 0 ? Extract({"*.*"}) : Status();
    }
};

// Where and why the reading stopped, as the code that read says it, for each alphabet and form.
TEST_F(Facts, SayWhereAndWhyTheReadingStopped) {
    ASSERT_TRUE(WriteBytes(Path("x"), "abc"));
    api_.CreateArcFile(Path("made.uue").c_str());
    ASSERT_EQ(Compress({"x"}), 0);
    const std::string made = ReadBytes(Path("made.uue"));
    const std::string header = made.substr(0, made.find("begin "));  // "x:  decoded size: 3" and the rest
    const std::string long_line = "#86)C" + std::string(300, 'x') + "\n";
    const std::string long_base64 = std::string(400, 'Q') + "\n";
    std::string table_end;  // a table in which "e" has a value, and an end line that is data too
    for (int c = 0x7E; table_end.size() < 64; --c) table_end += static_cast<char>(c == 'e' ? 'Q' : c == 'Q' ? 'e' : c);
    const std::string end_data = table_end.substr(3, 60);
    const struct {
        std::string text;
        uint16_t status;
        int64_t kind, line, character, count, expected;
    } cases[] = {
        {"no archive here\n", 9974, UUARC_FACT_NO_BEGIN_LINE, -1, -1, -1, -1},
        {"a\nb\ntext\ntable \n!\"#$\nbegin 644 x\n`\nend\n", 9974, UUARC_FACT_TABLE_WITHOUT_BLOCK, 4, -1, -1, -1},
        {"table\n!\ntext\ntable \n!\"#$\nbegin-base64 644 x\n====\n", 9974, UUARC_FACT_TABLE_WITHOUT_BLOCK, 1, -1, -1,
         -1},
        {"text\ntable\n!\"#$\n", 9974, UUARC_FACT_TABLE_WITHOUT_BLOCK, 2, -1, -1, -1},
        {"begin 644 x\n#86)C\n#8~)C\nend\n", 9964, UUARC_FACT_BAD_CHARACTER, 3, '~', -1, -1},
        {"begin 644 x\r#86)C\r\r#86)C\r#86)~\rend\r", 9964, UUARC_FACT_BAD_CHARACTER, 5, '~', -1, -1},
        {"begin 644 x\n" + long_line + "#8~)C\nend\n", 9964, UUARC_FACT_BAD_CHARACTER, 3, '~', -1, -1},
        {"begin 644 x\n~bad\nend\n", 9964, UUARC_FACT_BAD_CHARACTER, 2, '~', -1, -1},
        // xx: a first line whole in it, then one that only its length character puts there
        {"begin 644 x\nh" + std::string(60, '+') + "\nh~\nend\n", 9964, UUARC_FACT_BAD_CHARACTER, 3, '~', -1, -1},
        {"begin 644 x\nhello there\nend\n", 9964, UUARC_FACT_BAD_CHARACTER, 2, ' ', -1, -1},
        {"begin 644 x\n#86)C\n", 9964, UUARC_FACT_NO_END_LINE, -1, -1, -1, -1},
        {header + "begin 644 x\r\n`\r\nend\r\n", 9964, UUARC_FACT_SIZE_MISMATCH, -1, -1, 0, 3},
        {header + "begin 644 x\r\n#86)C\r\n#86)C\r\nend\r\n", 9964, UUARC_FACT_SIZE_MISMATCH, -1, -1, 6, 3},
        {header + "begin 644 x\r\n#86)C\r\nend\r\n", 0, 0, -1, -1, -1, -1},       // the size it states
        {header + "begin 644 other\r\n`\r\nend\r\n", 0, 0, -1, -1, -1, -1},      // a header of another file
        {"begin 644 x\n#86)C\n#86)\n`\nend\n", 9964, UUARC_FACT_SHORT_LINE, 3, -1, 3, 4},
        {"begin 644 x\n#86)\n#86)C \nend\n", 9964, UUARC_FACT_SHORT_LINE, 2, -1, 3, 4},
        {"begin 644 x\n#86)\n!80\nend\n", 0, 0, -1, -1, -1, -1},  // stripped blanks: read padded
        {"table\n" + table_end + "\nbegin 644 x\ne" + end_data + "\nend" + end_data.substr(2) + "\ne" + end_data +
             "\nend\n",
         9964, UUARC_FACT_AMBIGUOUS_END, 5, -1, -1, -1},
        {"begin-base64 644 x\nYWJj\n", 9964, UUARC_FACT_NO_END_LINE, -1, -1, -1, -1},
        {"begin-base64 644 x\nYWJj\nYWJj\nYWJj\n!WJj\n====\n", 9964, UUARC_FACT_BAD_CHARACTER, 5, '!', -1, -1},
        {"begin-base64 644 x\n" + long_base64 + "YW*j\n====\n", 9964, UUARC_FACT_BAD_CHARACTER, 3, '*', -1, -1},
        {"begin-base64 644 x\nYW Jj\n====\n", 9964, UUARC_FACT_BAD_CHARACTER, 2, ' ', -1, -1},
        {"begin-base64 644 x\nYWJjZA\n====\n", 9964, UUARC_FACT_UNFINISHED_GROUP, 3, -1, -1, -1},
        {"begin-base64 644 x\nYQ==YWJj\n====\n", 9964, UUARC_FACT_AFTER_PADDING, 2, 'Y', -1, -1},
        {"begin-base64 644 x\nY=Jj\n====\n", 9964, UUARC_FACT_MISPLACED_PADDING, 2, -1, -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.text), c.status) << c.text;
        const Fact fact = LastFact();
        EXPECT_EQ(fact.kind, c.kind) << c.text;
        EXPECT_EQ(fact.line, c.line) << c.text;
        EXPECT_EQ(fact.character, c.character) << c.text;
        EXPECT_EQ(fact.count, c.count) << c.text;
        EXPECT_EQ(fact.expected, c.expected) << c.text;
    }
}

// A refused stored name: the module names it with no output, then says the rule and where the
// name breaks it, of the part that it would have put below the output path.
TEST_F(Facts, RefusedStoredNameSaysTheRule) {
#if defined(_WIN32)
    const int64_t device = UUARC_NAME_DEVICE, colon = UUARC_NAME_COLON;
#else
    const int64_t device = 0, colon = 0;  // only Windows reserves device names and a ':'
#endif
    const struct {
        const char* stored;
        int32_t keep;
        int64_t rule;      // 0: extracted
        const char* part;  // where the rule is broken; null: not looked at
    } cases[] = {
        {"report.pdf", 0, 0, nullptr},
        {"sub\\dir\\deep.bin", 1, 0, nullptr},
        {"../../escape.txt", 0, 0, nullptr},  // only the file name is used
        {"../../escape.txt", 1, UUARC_NAME_DOT_COMPONENT, ".."},
        {"a\\...\\b", 1, UUARC_NAME_DOT_COMPONENT, "..."},
        {"\\\\server\\share\\x", 1, UUARC_NAME_ROOTED, nullptr},
        {"c:x.txt", 1, colon, nullptr},
        {"notes.txt:hidden", 0, colon, nullptr},
        {"10:30 notes.txt", 0, colon, nullptr},
        {"dir:\\f", 1, colon, nullptr},
        {"caf\xe9 r\xe9sum\xe9.txt", 0, 0, nullptr},  // Latin-1: bytes, not UTF-8
        {"M\x81ller.txt", 0, 0, nullptr},               // OEM from DOS
        {"NUL", 0, device, "NUL"},
        {"con.txt", 0, device, "con.txt"},
        {"dir\\Com1 .log", 1, device, "Com1 .log"},
        {"com10.txt", 0, 0, nullptr},
        {"dir\\conout$.txt", 1, device, "conout$.txt"},
        {"CONOUT$$", 0, 0, nullptr},
        {"dir\\", 0, UUARC_NAME_EMPTY, nullptr},
        {"dir/", 1, UUARC_NAME_ENDS_IN_SEPARATOR, nullptr},
    };
    for (const auto& c : cases) {
        KeepPaths(c.keep);
        EXPECT_EQ(Run(ClassicUuencode(c.stored, "abc")), c.rule == 0 ? 0 : 5) << c.stored;
        const Fact fact = LastFact();
        if (c.rule == 0) {
            EXPECT_EQ(fact.kind, 0) << c.stored;
            continue;
        }
        EXPECT_EQ(fact.kind, UUARC_FACT_NAME_REFUSED) << c.stored;
        EXPECT_EQ(fact.rule, c.rule) << c.stored;
        const std::vector<HostCall> named = CallsOf(CallKind::kFileName);
        ASSERT_EQ(named.size(), 1u) << c.stored;
        EXPECT_EQ(named[0].target, "") << c.stored;
        const std::string shown = named[0].source.substr(1);
        if (c.part != nullptr) {
            EXPECT_EQ(shown.substr(fact.span >> 16, fact.span & 0xFFFF), c.part) << c.stored;
        }
    }
    // A name that fits but makes the output path too long: the output path and the name are the
    // module's to add up, base path and all.
    api_.SetOutputPath(Path(std::string(70, 'o')).c_str());
    KeepPaths(0);
    EXPECT_EQ(Run(ClassicUuencode(std::string(200, 'n'), "abc")), 5);
    EXPECT_EQ(LastFact().rule, UUARC_NAME_PATH_TOO_LONG);
}
#endif

// ---- Every file of a text -------------------------------------------------------------------
// The module's own option; the 32-bit DLL knows no such bit and stays the one-file module.
#if defined(UUARC_OPTION_EVERY_FILE)
constexpr uint32_t kEveryFile = UUARC_OPTION_EVERY_FILE;
constexpr bool kEveryFileRead = true;
#else
constexpr uint32_t kEveryFile = 0x0100;  // the other builds' bit
constexpr bool kEveryFileRead = false;
#endif

// `classic` (ClassicUuencode with LF ends) with its data lines in `alphabet`: xx, or a table's.
std::string InAlphabet(const std::string& classic, const std::string& alphabet) {
    std::string text = classic;
    for (size_t at = text.find('\n') + 1; at < text.size() - std::strlen("end\n"); ++at) {
        if (text[at] != '\n') text[at] = alphabet[text[at] == '`' ? 0 : text[at] - 0x20];
    }
    return text;
}

// A text of files with free text around them; each file's status and bytes as extraction gives
// them, and its data (the bytes after its begin line up to its end), from which it is estimated.
struct FileInText {
    std::string name, bytes;
    uint16_t status;
    int64_t estimate;
};
struct TextOfFiles {
    const char* label;
    std::string text;
    std::vector<FileInText> files;
    TextOfFiles& Add(const std::string& encoded, const std::string& name, const std::string& bytes,
                     uint16_t status = 0, const std::string& after = "") {
        const int64_t data = static_cast<int64_t>(encoded.size() - encoded.find('\n') - 1);
        files.push_back({name, bytes, status, encoded.starts_with("begin-base64") ? data * 57 / 77 : data * 10 / 14});
        text += encoded + after;
        return *this;
    }
};

std::vector<TextOfFiles> TextsOfFiles() {
    std::string table;
    for (int c = 0x7E; table.size() < 64; --c) table += static_cast<char>(c);
    const std::string hello = "hello world\n", small = PatternBytes(3000), p = PatternBytes(300, 5);
    const auto uu = [](const std::string& name, const std::string& data, char zero = '`') {
        return ClassicUuencode(name, data, zero, "\n");
    };
    std::string damaged = uu("b.bin", p.substr(0, 200));
    damaged[damaged.find("\nM", damaged.find("\nM") + 1) + 5] = '~';  // in the second data line
    std::string unended = uu("a.bin", p.substr(0, 100));
    unended.erase(unended.rfind("`\nend"));
    std::vector<TextOfFiles> texts = {{"one file in a mail", "From: someone\n\n", {}},
                                      {"two files, text around them", "Subject: two\r\n\r\n", {}},
                                      {"classic, then base64", "", {}},
                                      {"xx, a table's, classic with blanks for zero", "", {}},
                                      {"a damaged file between whole ones", "", {}},
                                      {"a begin line where the end line should be", "", {}},
                                      {"a begin line right after a begin line", "", {}},
                                      {"a refused stored name, two files of one name", "", {}},
                                      {"backquotes for zero, then a file stripped of its blanks", "", {}}};
    texts[0].Add(uu("hello.txt", hello), "hello.txt", hello, 0, "-- \nbye\n");
    texts[1].Add(ClassicUuencode("hello.txt", hello), "hello.txt", hello, 0, "\r\nand the next:\r\n\r\n")
        .Add(ClassicUuencode("small.bin", small), "small.bin", small, 0, "\r\n-- \r\n");
    texts[2].Add(uu("hello.txt", hello), "hello.txt", hello, 0, "\n").Add(Base64Uuencode("small.bin", small), "small.bin", small);
    texts[3].Add(InAlphabet(uu("x.bin", p), "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"), "x.bin", p, 0,
                 "table\n" + table.substr(0, 32) + "\n" + table.substr(32) + "\n")
        .Add(InAlphabet(uu("t.bin", p.substr(0, 50)), table), "t.bin", p.substr(0, 50))
        .Add(uu("c.bin", p.substr(0, 90), ' '), "c.bin", p.substr(0, 90));
    texts[4].Add(uu("a.bin", p.substr(0, 100)), "a.bin", p.substr(0, 100)).Add(damaged, "b.bin", p.substr(0, 45), 9964)
        .Add(uu("c.bin", p), "c.bin", p);
    texts[5].Add(unended, "a.bin", p.substr(0, 100), 9964).Add(uu("b.bin", p.substr(0, 10)), "b.bin", p.substr(0, 10));
    texts[6].Add("begin 644 e.bin\n", "e.bin", "", 9964).Add(uu("f.bin", hello), "f.bin", hello);
    texts[7].Add(uu("..", "up"), "..", "", 5).Add(uu("same.txt", "first\n"), "same.txt", "first\n", 0, "\n")
        .Add(uu("same.txt", "second\n"), "same.txt", "second\n");
    // Whether a line cut short reads padded is asked of the file it is in, not of the one before.
    const std::string zeros("abc\0\0\0", 6);
    std::string stripped = uu("s.bin", zeros, ' ');
    for (size_t at; (at = stripped.find(" \n")) != std::string::npos;) stripped.erase(at, 1);
    texts[8].Add(uu("q.bin", zeros), "q.bin", zeros).Add(stripped, "s.bin", zeros);
    return texts;
}

// With the bit, an entry per file with its own name and estimate, the summary their sum, and every
// file made in turn with its own status after it (code 5): a damaged one keeps what it decoded and
// the next is made, a second file of one name is asked about and replaces the first; the call ends
// with the first failure's status. Without the bit (and in the 32-bit DLL), the first file alone,
// estimated from the whole text.
TEST_F(Extraction, EveryFileListedAndExtractedWithTheBitTheFirstWithout) {
    int run = 0;
    for (const TextOfFiles& t : TextsOfFiles()) {
        for (const bool every : {false, true}) {
            const std::string label = std::string(t.label) + (every ? ", every file" : ", the first");
            const std::string out = "out" + std::to_string(++run) + "\\";
            ASSERT_TRUE(MakeFolder(Path(out)));
            api_.SetOutputPath(Path(out).c_str());
            if (every) api_.arOptionsOn(kEveryFile);
            else api_.arOptionsOff(kEveryFile);
            Open(t.text);
            const bool each = every && kEveryFileRead;
            const size_t files = each ? t.files.size() : 1;
            ArcFileList list{};
            api_.InitArcFileList(&list);
            api_.BuildArcFileList(&list);
            EXPECT_STATUS(0) << label;
            ASSERT_EQ(list.count, files) << label;
            int64_t total = 0;
            const ArcFileEntry* entry = list.first;
            for (size_t i = 0; i < files; ++i, entry = entry->next) {
                const int64_t estimate = each ? t.files[i].estimate : static_cast<int64_t>(t.text.size()) * 10 / 14;
                EXPECT_STREQ(entry->name, t.files[i].name.c_str()) << label << ", entry " << i;
                EXPECT_EQ(entry->first_size, estimate) << label << ", entry " << i;
                EXPECT_EQ(entry->second_size, estimate) << label << ", entry " << i;
                total += estimate;
            }
            ArcExtraInfo info{};
            api_.GetExtraInfoArc(&info);
            EXPECT_EQ(info.first_size_total, total) << label;
            api_.DoneArcFileList(&list);

            uint16_t first_failure = 0;
            std::vector<int64_t> statuses;
            std::vector<std::string> names, bytes;  // what the folder holds: each name's last bytes
            size_t repeated = 0;
            for (size_t i = 0; i < files; ++i) {
                const FileInText& file = t.files[i];
                if (first_failure == 0) first_failure = file.status;
                if (each) statuses.push_back(file.status);
                const size_t known = std::find(names.begin(), names.end(), file.name) - names.begin();
                if (known < names.size()) {
                    bytes[known] = file.bytes;
                    ++repeated;
                } else if (file.status != 5) {
                    names.push_back(file.name);
                    bytes.push_back(file.bytes);
                }
            }
            ClearCalls();
            EXPECT_EQ(Extract({"*.*"}), first_failure) << label;
            std::vector<int64_t> done;
            for (const HostCall& call : CallsOf(CallKind::kSignal)) {
                if (call.second == 5) done.push_back(call.first);
            }
            EXPECT_EQ(done, statuses) << label;
            EXPECT_EQ(CallsOf(CallKind::kReplace).size(), repeated) << label;
            std::vector<std::string> sorted = names;
            std::sort(sorted.begin(), sorted.end());
            EXPECT_EQ(FolderNames(Path(out)), sorted) << label;
            for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(ReadBytes(Path(out + names[i])), bytes[i]) << label;
        }
    }
}

#if defined(UUARC_OPTION_EVERY_FILE)
// Each selected file gets the one file's callbacks in their order, its signal the length from the
// end of its begin line on; a file the masks do not select gets none; no begin line is 9974.
TEST_F(Extraction, EveryFileCallbacksPerSelectedFile) {
    const TextOfFiles t = TextsOfFiles()[1];
    api_.arOptionsOn(UUARC_OPTION_EVERY_FILE);
    Open(t.text);
    ClearCalls();
    ASSERT_EQ(Extract({"*.*"}), 0);
    std::vector<CallKind> kinds;
    for (const CallKind kind : CallKinds()) {
        if (kinds.empty() || kind != CallKind::kProgress || kinds.back() != kind) kinds.push_back(kind);
    }
    std::vector<CallKind> two = {CallKind::kFileName, CallKind::kFileName, CallKind::kSignal, CallKind::kProgress,
                                 CallKind::kSignal};
    two.insert(two.end(), two.begin(), two.end());
    EXPECT_EQ(kinds, two);
    const std::vector<HostCall> signals = CallsOf(CallKind::kSignal);
    ASSERT_EQ(signals.size(), 4u);
    for (const size_t i : {0, 1}) {
        const std::string begin = "begin 644 " + t.files[i].name + "\r\n";
        EXPECT_EQ(signals[2 * i].first, static_cast<int64_t>(t.text.size() - t.text.find(begin) - begin.size()));
    }
    ClearCalls();
    ASSERT_TRUE(RemoveFile(Path("out\\small.bin")));
    ASSERT_EQ(Extract({"small.bin"}), 0);
    ASSERT_EQ(CallsOf(CallKind::kFileName).size(), 2u);
    EXPECT_EQ(CallsOf(CallKind::kFileName)[0].source, "\\small.bin");
    EXPECT_EQ(ReadBytes(Path("out\\small.bin")), t.files[1].bytes);
    ASSERT_TRUE(WriteBytes(Path("a.uue"), "no begin line here\n"));  // the open archive, changed
    ClearCalls();
    EXPECT_EQ(Extract({"*.*"}), 9974);
    EXPECT_TRUE(g_calls.empty());
}
#endif

#if defined(UUARC_OPTION_FACTS) && defined(UUARC_OPTION_EVERY_FILE)
// Every file of a text: a file that fails has its own fact, before the signal that it is done,
// and its lines count from the start of the text.
TEST_F(Facts, EachFileOfATextHasItsOwn) {
    ASSERT_TRUE(WriteBytes(Path("x"), "abc"));
    api_.CreateArcFile(Path("made.uue").c_str());
    ASSERT_EQ(Compress({"x"}), 0);
    const std::string made = ReadBytes(Path("made.uue"));
    const std::string header = made.substr(0, made.find("begin "));
    const struct {
        std::string text;
        size_t file;  // the one that fails, counted from 0
        int64_t kind, line, count, expected;
    } cases[] = {
        {"begin 644 a\n#86)C\nend\nbegin 644 b\n#8~)C\nend\n", 1, UUARC_FACT_BAD_CHARACTER, 5, -1, -1},
        {"begin 644 a\n#86)C\nbegin 644 b\n#86)C\nend\n", 0, UUARC_FACT_NO_END_LINE, -1, -1, -1},
        {"begin-base64 644 a\nYWJj\n====\nbegin 644 b\n#8~)C\nend\n", 1, UUARC_FACT_BAD_CHARACTER, 5, -1, -1},
        {"begin 644 a\n#86)C\nend\n" + header + "begin 644 x\r\n`\r\nend\r\n", 1, UUARC_FACT_SIZE_MISMATCH, -1, 0, 3},
    };
    api_.arOptionsOn(UUARC_OPTION_EVERY_FILE);
    for (const auto& c : cases) {
        EXPECT_EQ(Run(c.text), 9964) << c.text;
        std::vector<std::vector<HostCall>> entries(1);  // the signals of each file, split where it is done
        for (const HostCall& call : CallsOf(CallKind::kSignal)) {
            if (call.second == UUARC_SIGNAL_ENTRY_DONE) {
                entries.push_back({});
            } else {
                entries.back().push_back(call);
            }
        }
        ASSERT_EQ(entries.size(), 3u) << c.text;
        for (size_t file = 0; file < entries.size(); ++file) {
            const Fact fact = LastFactOf(entries[file]);
            EXPECT_EQ(fact.kind, file == c.file ? c.kind : 0) << c.text << ", file " << file;
            if (file != c.file) continue;
            EXPECT_EQ(fact.line, c.line) << c.text;
            EXPECT_EQ(fact.count, c.count) << c.text;
            EXPECT_EQ(fact.expected, c.expected) << c.text;
        }
    }
}

// A listing tells each entry's begin line mode as it makes the entry, in the order of the list:
// every file of a text with the module's own bit, the first alone without it.
TEST_F(Facts, ListingTellsTheModeOfEachEntry) {
    ASSERT_TRUE(WriteBytes(Path("a.uue"), "begin 600 a\n#86)C\n`\nend\nbegin 4755 b\n#86)C\n`\nend\n"
                                          "begin-base64 640 c\nYWJj\n====\n"));
    api_.arOptionsOn(UUARC_OPTION_FACTS);
    for (const bool every_file : {true, false}) {
        every_file ? api_.arOptionsOn(UUARC_OPTION_EVERY_FILE) : api_.arOptionsOff(UUARC_OPTION_EVERY_FILE);
        api_.InitArcFile(Path("a.uue").c_str());
        RegisterRecorders();
        ClearCalls();
        ArcFileList list{};
        api_.BuildArcFileList(&list);
        std::vector<int64_t> modes;
        std::vector<HostCall> fact;  // the signals of one fact, up to its kind
        for (const HostCall& call : CallsOf(CallKind::kSignal)) {
            fact.push_back(call);
            if (call.second != UUARC_SIGNAL_FACT) continue;
            EXPECT_EQ(call.first, UUARC_FACT_ENTRY_MODE);
            modes.push_back(LastFactOf(fact).mode);
            fact.clear();
        }
        const std::vector<int64_t> expected = every_file ? std::vector<int64_t>{0600, 04755, 0640} : std::vector<int64_t>{0600};
        EXPECT_EQ(modes, expected);
        EXPECT_EQ(list.count, modes.size());
        api_.DoneArcFileList(&list);
    }
}
#endif

#if defined(UUARC_OPTION_FACTS)
// A file that the module makes where nothing was is named by its identity as soon as it is made,
// before the output is said to be open; a file that replaces another, or a sink, is not.
TEST_F(Facts, NewOutputSaysWhichFileItIs) {
    const struct {
        const char* what;
        bool existing;
        const char* output;  // SetOutputPath's, relative to the test's folder; null for "out"
        size_t told;
    } cases[] = {
        {"new file", false, nullptr, 1},
        {"replaced file", true, nullptr, 0},
#if !defined(_WIN32)
        {"null output", false, ":null:", 0},
#endif
    };
    ASSERT_TRUE(WriteBytes(Path("a.uue"), "begin 644 x\n#86)C\nend\n"));
    api_.arOptionsOn(UUARC_OPTION_FACTS);
    g_replace_answer = 0;
    for (const auto& c : cases) {
        RemoveFile(Path("out\\x"));
        if (c.existing) {
            ASSERT_TRUE(WriteBytes(Path("out\\x"), "old"));
        }
        api_.SetOutputPath(c.output != nullptr ? c.output : Path("out").c_str());
        api_.InitArcFile(Path("a.uue").c_str());
        ClearCalls();
        RegisterRecorders();
        EXPECT_EQ(Extract({"*.*"}), 0) << c.what;
        const std::vector<HostCall> signals = CallsOf(CallKind::kSignal);
        std::vector<Fact> made = FactsOf(signals, true);
        ASSERT_EQ(made.size(), c.told) << c.what;
        if (c.told == 0) continue;
        const auto open = std::find_if(signals.begin(), signals.end(),
                                       [](const HostCall& call) { return call.second == UUARC_SIGNAL_OUTPUT_OPEN; });
        const auto told = std::find_if(signals.begin(), signals.end(), [](const HostCall& call) {
            return call.second == UUARC_SIGNAL_FACT && call.first == UUARC_FACT_NEW_OUTPUT;
        });
        EXPECT_LT(told - signals.begin(), open - signals.begin()) << c.what;
#if !defined(_WIN32)
        struct stat info;
        ASSERT_EQ(::stat(NativePath(Path("out\\x")).c_str(), &info), 0);
        EXPECT_EQ(static_cast<uint64_t>(made[0].volume), static_cast<uint64_t>(info.st_dev)) << c.what;
        EXPECT_EQ(static_cast<uint64_t>(made[0].index), static_cast<uint64_t>(info.st_ino)) << c.what;
#else
        EXPECT_NE(made[0].index, 0) << c.what;
#endif
    }
    api_.SetOutputPath(Path("out").c_str());
}

// A text that marks itself as a part of a split posting says so just before the fact of its
// missing begin or end line: which part of how many, and the file where the marker names it,
// through SetFileNameProc with the entry's output. The same for every file of a text.
TEST_F(Facts, APartOfASplitPostingSaysWhichOne) {
    ASSERT_TRUE(WriteBytes(Path("x"), "abc"));
    api_.CreateArcFile(Path("made.uue").c_str());
    ASSERT_EQ(Compress({"x"}), 0);
    const std::string made = ReadBytes(Path("made.uue"));
    const std::string header = made.substr(0, made.find("begin "));  // with its "section  1/1"
    const struct {
        std::string text;
        uint16_t status;
        int64_t part, parts;  // -1: no part said
        const char* name;     // what the marker names; null: nothing
    } cases[] = {
        {"\n_=_ \n_=_ Part 001 of 003 of file bin.dat\n_=_ \n\nbegin 644 x\n#86)C\n\n", 9964, 1, 3, "bin.dat"},
        {"_=_ Part 002 of 003 of File  two words.bin \n#86)C\n", 9974, 2, 3, "two words.bin"},
        {"Subject: pics part 2/3\n\n#86)C\nend\n", 9974, 2, 3, nullptr},
        {"Subject: [09 / 10] pics\n", 9974, 9, 10, nullptr},
        {"SECTION 1 OF 2\nbegin-base64 644 x\nYWJj\n", 9964, 1, 2, nullptr},
        {"Section 2/2\r\n", 9974, 2, 2, nullptr},
        {"Part 1 of 2\nbegin 644 x\n#86)C\nend\n", 0, -1, -1, nullptr},       // whole
        {"part 1 of 2\nbegin 644 x\n#8~)C\nend\n", 9964, -1, -1, nullptr},    // damage of another kind
        {header + "#86)C\n", 9974, -1, -1, nullptr},                           // "section  1/1"
        {"counterpart 1 of 2, part 3 of 2, [1/1], [1/2 \n", 9974, -1, -1, nullptr},
    };
    for (const uint32_t every : {0u, kEveryFile}) {
        if (every != 0) api_.arOptionsOn(every);
        for (const auto& c : cases) {
            EXPECT_EQ(Run(c.text), c.status) << c.text;
            const std::vector<Fact> facts = FactsOf(CallsOf(CallKind::kSignal));
            const std::vector<HostCall> named = CallsOf(CallKind::kFileName);
            const size_t entry_names = c.status == 9974 ? 0 : 2;
            if (c.part < 0) {
                EXPECT_TRUE(facts.empty() || facts[0].kind != UUARC_FACT_PART) << c.text;
                EXPECT_EQ(named.size(), entry_names) << c.text;
                continue;
            }
            ASSERT_EQ(facts.size(), 2u) << c.text;
            EXPECT_EQ(facts[0].kind, UUARC_FACT_PART) << c.text;
            EXPECT_EQ(facts[0].part, c.part) << c.text;
            EXPECT_EQ(facts[0].parts, c.parts) << c.text;
            EXPECT_EQ(facts[1].kind, c.status == 9974 ? UUARC_FACT_NO_BEGIN_LINE : UUARC_FACT_NO_END_LINE) << c.text;
            ASSERT_EQ(named.size(), entry_names + (c.name != nullptr ? 1 : 0)) << c.text;
            if (c.name == nullptr) continue;
            EXPECT_EQ(named.back().source, std::string("\\") + c.name) << c.text;
            EXPECT_EQ(named.back().target, entry_names > 0 ? named[0].target : "") << c.text;
        }
    }
}
#endif

}  // namespace
}  // namespace uuarc::test
