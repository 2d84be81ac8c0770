// create_test.cpp - archive creation through CompressFileMaskListArc: the request checks, the
// source path, target states and the replace question, the exact bytes, progress and failures.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "../fail_hook.h"
#include "format/line_codec.h"
#include "module/status.h"
#include "test_support.h"

namespace uuarc::test {
namespace {

const char kWorkedExample[] =
    "\r\n"
    "     abc.txt:  decoded size: 3\r\n"
    "               encoded size: 4 (~)\r\n"
    "\r\n"
    "abc.txt        section  1/1   Tarvel 4 UU Encoder/Decoder\r\n"
    "\r\n"
    "BEGIN----------------------CUT HERE--------------------------\r\n"
    "begin 644 abc.txt\r\n"
    "#86)C\r\n"
    "`\r\n"
    "end\r\n"
    "END------------------------CUT HERE--------------------------\r\n";

class Create : public ModuleTest {
protected:
    // Names the target, then encodes the source named by one mask (or none, or several).
    void Run(const std::string& target, std::initializer_list<std::string> masks) {
        CreateArcFile(Win(target).c_str());
        RegisterAll();
        Compress(masks);
    }
    void Compress(std::initializer_list<std::string> masks) {
        FileMaskList list;
        InitFileMaskList(&list);
        for (const std::string& mask : masks) AppendFileMask(mask.c_str(), &list);
        CompressFileMaskListArc(&list);
        DoneFileMaskList(&list);
    }
    std::vector<std::pair<int, int>> Progress() const {
        std::vector<std::pair<int, int>> reports;
        for (const std::string& event : EventsStartingWith("progress")) {
            int percent = 0, bytes = 0;
            std::sscanf(event.c_str(), "progress %d %d", &percent, &bytes);
            reports.emplace_back(percent, bytes);
        }
        return reports;
    }
};

// ---- The bytes written ------------------------------------------------------------------------

TEST_F(Create, WorkedExampleByteForByte) {
    Write("abc.txt", "abc");
    Run("abc.uue", {Win("abc.txt")});
    ASSERT_STATUS(0);
    EXPECT_EQ(Read("abc.uue"), kWorkedExample);
    EXPECT_EQ(Read("abc.uue").size(), 293u);
    ASSERT_EQ(g_events.size(), 3u);
    EXPECT_EQ(g_events[0], "name " + Win("abc.txt") + "|\\" + Win("abc.txt"));
    EXPECT_EQ(g_events[1], "name " + Win("abc.txt") + "|" + Win("abc.uue"));
    EXPECT_EQ(g_events[2], "progress 100 3");
}

TEST_F(Create, LineLayoutForBoundarySizes) {
    for (size_t size : {size_t{0}, size_t{45}, size_t{46}}) {
        Write("src.bin", RandomBytes(size, 9));
        std::remove(Native("t.uue").c_str());
        Run("t.uue", {Win("src.bin")});
        ASSERT_STATUS(0);
        const std::string text = Read("t.uue");
        const size_t begin = text.find("begin 644 src.bin\r\n");
        ASSERT_NE(begin, std::string::npos);
        const std::string body = text.substr(begin + 19, text.find("END---") - begin - 19);
        const std::string expected = size == 0    ? "`\r\nend\r\n"
                                     : size == 45 ? "M61"
                                                  : "!" + body.substr(64, 4) + "\r\n`";
        const std::string got = size == 0    ? body
                                : size == 45 ? body.substr(0, 1) + std::to_string(body.find('\r'))
                                             : body.substr(63, 8);
        EXPECT_EQ(got, expected) << size;
        EXPECT_NE(text.find("decoded size: " + std::to_string(size) + "\r\n"), std::string::npos);
        EXPECT_NE(text.find("encoded size: " + std::to_string(size * 1424 / 1000) + " (~)"), std::string::npos);
        EXPECT_EQ(EventsStartingWith("progress").empty(), size == 0);
    }
}

TEST_F(Create, StoredNameIsOemWhereExactAndUtf8Otherwise) {
    struct Case {
        const char* source;     // UTF-8, the ANSI code page here
        const char* stored;     // in the header lines and the begin line
        const char* read_back;  // the name that extraction then writes
    } cases[] = {
        {"a very long name ü.data", "a very long name \x81.data", "a very long name ü.data"},
        {"my file.txt", "my file.txt", "my file.txt"},
        {"Ωmega.txt", "\xea" "mega.txt", "Ωmega.txt"},  // capital omega is OEM 0xEA
        // No exact OEM form: UTF-8, where the old way wrote ouvre, Ore, ?uro and another omega.
        {"œuvre.txt", "œuvre.txt", "œuvre.txt"},
        {"Øre.txt", "Øre.txt", "Øre.txt"},
        {"€uro.txt", "€uro.txt", "€uro.txt"},
        {"\u2126 ohm sign", "\u2126 ohm sign", "\u2126 ohm sign"},
        {"中文 😀.txt", "中文 😀.txt", "中文 😀.txt"},
        {"ßüé.txt", "ßüé.txt", "ßüé.txt"},  // OEM E1 81 82 would read back as UTF-8
        // No UTF-8: the bytes as the file system has them, which then read as OEM.
        {"\xe9t\xe9.txt", "\xe9t\xe9.txt", "ΘtΘ.txt"},
    };
    for (const Case& c : cases) {
        Write(c.source, "x");
        std::filesystem::remove(Native("t.uue"));
        Run("t.uue", {Win(c.source)});
        ASSERT_STATUS(0) << c.source;
        const std::string text = Read("t.uue");
        EXPECT_NE(text.find(std::string(c.stored) + ":  decoded size: 1\r\n"), std::string::npos) << text;
        EXPECT_NE(text.find(std::string("\r\n") + c.stored + "   "), std::string::npos) << text;  // the section line
        EXPECT_NE(text.find(std::string("\r\nbegin 644 ") + c.stored + "\r\n"), std::string::npos) << text;

        std::filesystem::remove_all(Native("out"));
        InitArcFile(Win("t.uue").c_str());
        SetOutputPath(Win("out").c_str());
        WithMasks(ExtractFileMaskListArc, {"*.*"});
        EXPECT_STATUS(0) << c.source;
        EXPECT_EQ(Read(std::string("out/") + c.read_back), "x") << c.source;
        std::filesystem::remove(Native(c.source));
    }
}

TEST_F(Create, DefaultAlphabetAfterXxOrTableArchive) {
    Write("xx.uue", "begin 644 x\nh" + std::string(60, '+') + "\nend\n");
    InitArcFile(Win("xx.uue").c_str());
    SetOutputPath(Win("").c_str());
    WithMasks(ExtractFileMaskListArc, {"*.*"});
    ASSERT_TRUE(g_state.alphabet.xx_mode);
    // A target with a table block but no begin line: the probe reads the table, the writer not.
    std::string table;
    for (int c = 0x7E; table.size() < 64; --c) table += static_cast<char>(c);
    Write("abc.uue", "table\n" + table + "\n");
    Write("abc.txt", "abc");
    InitArcFile(Win("new.uue").c_str());
    std::strcpy(g_state.archive_path, Win("abc.uue").c_str());
    Compress({Win("abc.txt")});
    ASSERT_STATUS(0);
    EXPECT_EQ(Read("abc.uue"), kWorkedExample);
}

// ---- Progress ---------------------------------------------------------------------------------

TEST_F(Create, ProgressByThresholdRule) {
    Write("100.bin", RandomBytes(100, 9));
    Run("100.uue", {Win("100.bin")});
    EXPECT_EQ(Progress(), (std::vector<std::pair<int, int>>{{45, 45}, {90, 45}, {100, 10}}));

    g_events.clear();
    Write("9000.bin", RandomBytes(9000, 9));
    Run("9000.uue", {Win("9000.bin")});
    const auto reports = Progress();
    ASSERT_EQ(reports.size(), 99u);  // after lines 3, 5, 7, ... 199
    EXPECT_EQ(reports[0], std::make_pair(1, 135));
    EXPECT_EQ(reports[1], std::make_pair(2, 90));
    EXPECT_EQ(reports[2], std::make_pair(3, 90));
    EXPECT_EQ(reports.back().first, 99);
}

// ---- Request checks and targets ---------------------------------------------------------------

TEST_F(Create, RefusedRequestsWriteNothing) {
    Write("src.txt", "source");
    // No new archive: nothing named, or an existing encoded file opened.
    Compress({Win("src.txt")});
    EXPECT_STATUS(9901);
    Write("old.uue", EncodeClassic("x"));
    InitArcFile(Win("old.uue").c_str());
    Compress({Win("src.txt")});
    EXPECT_STATUS(9901);
    // Two masks; an empty list.
    Run("t.uue", {Win("src.txt"), Win("src.txt")});
    EXPECT_STATUS(9907);
    Run("t.uue", {});
    EXPECT_STATUS(0);
    EXPECT_TRUE(g_events.empty());
    EXPECT_FALSE(Exists("t.uue"));
    // A directory: the host has been told the names once.
    mkdir(Native("dir").c_str(), 0755);
    Run("t.uue", {Win("dir")});
    EXPECT_STATUS(9908);
    EXPECT_EQ(g_events.size(), 1u);
    // A missing source: told once, never asked.
    g_events.clear();
    Run("t.uue", {Win("missing.txt")});
    EXPECT_STATUS(5);
    EXPECT_EQ(g_events.size(), 1u);
    EXPECT_FALSE(Exists("t.uue"));
}

TEST_F(Create, UnnamedNewArchiveCannotBeWritten) {
    Write("src.txt", "source");
    InitArcFile(Win("missing.uue").c_str());
    RegisterAll();
    Compress({Win("src.txt")});
    EXPECT_STATUS(5);
    ASSERT_EQ(g_events.size(), 2u);
    EXPECT_EQ(g_events[1], "name " + Win("src.txt") + "|");
}

TEST_F(Create, TargetStatesAndReplaceQuestion) {
    Write("src.txt", "abc");
    // Holding a begin line: refused after the first name call, unchanged.
    const std::string encoded = EncodeClassic("x");
    Write("enc.uue", encoded);
    InitArcFile(Win("none").c_str());
    std::strcpy(g_state.archive_path, Win("enc.uue").c_str());
    RegisterAll();
    Compress({Win("src.txt")});
    EXPECT_STATUS(9901);
    EXPECT_EQ(g_events.size(), 1u);
    EXPECT_EQ(Read("enc.uue"), encoded);
    // Any other file: the host is asked; a refusal keeps it.
    Write("plain.txt", "plain");
    std::strcpy(g_state.archive_path, Win("plain.txt").c_str());
    g_replace_answer = 5;
    Compress({Win("src.txt")});
    EXPECT_STATUS(2926);
    EXPECT_EQ(Read("plain.txt"), "plain");
    EXPECT_EQ(g_incoming_record.size_low, 4u);
    g_replace_answer = 0;
    Compress({Win("src.txt")});
    EXPECT_STATUS(0);
    EXPECT_NE(Read("plain.txt").find("begin 644 src.txt"), std::string::npos);
    // Without a question the file is replaced.
    Write("plain2.txt", "plain");
    std::strcpy(g_state.archive_path, Win("plain2.txt").c_str());
    SetOkToReplaceProc(0, nullptr);
    Compress({Win("src.txt")});
    EXPECT_STATUS(0);
    EXPECT_NE(Read("plain2.txt").find("begin 644 src.txt"), std::string::npos);
    // A second creation finds the new file's begin line.
    Compress({Win("src.txt")});
    EXPECT_STATUS(9901);
}

TEST_F(Create, SourcePathFromPrefixAndOption) {
    mkdir(Native("SRC").c_str(), 0755);
    Write("SRC/REPORT.TXT", "report");
    CompExtraFeatures record = {};
    std::strcpy(record.source_prefix, Win("SRC").c_str());
    SetCompExtraFeatures(&record);
    Run("t.uue", {"REPORT.TXT"});
    ASSERT_STATUS(0);
    EXPECT_EQ(g_events[0], "name " + Win("SRC/REPORT.TXT") + "|\\REPORT.TXT");
    // With the option bit the prefix is left out, so the mask must name the file itself.
    arOptionsOn(0x0010);
    g_events.clear();
    Run("t2.uue", {"REPORT.TXT"});
    EXPECT_STATUS(5);
    EXPECT_EQ(g_events[0], "name REPORT.TXT|\\REPORT.TXT");
}

TEST_F(Create, SourceIsNeverItsOwnTarget) {
    Write("self.txt", "keep me");
    InitArcFile(Win("x").c_str());
    std::strcpy(g_state.archive_path, Win("self.txt").c_str());
    RegisterAll();
    Compress({Win("./self.txt")});
    EXPECT_STATUS(9901);
    EXPECT_EQ(Read("self.txt"), "keep me");
    EXPECT_TRUE(EventsStartingWith("replace").empty());
}

TEST_F(Create, PlantedLinkAndLongPathsAreRefused) {
    Write("src.txt", "abc");
    Write("victim.txt", "precious");
    ASSERT_EQ(symlink(Native("victim.txt").c_str(), Native("link.uue").c_str()), 0);
    InitArcFile(Win("x").c_str());
    std::strcpy(g_state.archive_path, Win("link.uue").c_str());
    Compress({Win("src.txt")});
    EXPECT_STATUS(5);
    EXPECT_EQ(Read("victim.txt"), "precious");

    // A source prefix of 250 bytes and a mask: the source path would not fit a platform path.
    CompExtraFeatures record = {};
    std::memset(record.source_prefix, 'p', 250);
    SetCompExtraFeatures(&record);
    g_events.clear();
    Run("t.uue", {"a-name-of-ten.txt"});
    EXPECT_STATUS(5);
    EXPECT_TRUE(g_events.empty());
    EXPECT_FALSE(Exists("t.uue"));
}

// ---- Failed writes ----------------------------------------------------------------------------

TEST_F(Create, FailedLineWriteStopsBeforeTheEnd) {
    Write("big.bin", RandomBytes(200000, 9));
    CreateArcFile(Win("t.uue").c_str());
    {
        FailHook<&SystemCalls::write> hook(2, FailMode::Once);
        Compress({Win("big.bin")});
    }
    EXPECT_STATUS(101);
    const std::string text = Read("t.uue");
    EXPECT_EQ(text.find("\r\n`\r\nend\r\n"), std::string::npos);
    // The first buffer went out, cut after its last whole line; nothing after the failure.
    EXPECT_GT(text.size(), 65536u - kMaxEncodedLine - 2);
    EXPECT_LE(text.size(), 65536u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(Create, LostTrailerIsReported) {
    Write("abc.txt", "abc");
    CreateArcFile(Win("t.uue").c_str());
    FailHook<&SystemCalls::write> hook(1, FailMode::FromThenOn);
    Compress({Win("abc.txt")});
    EXPECT_STATUS(101);
}

}  // namespace
}  // namespace uuarc::test
