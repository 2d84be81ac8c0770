// create_test.cpp - CompressFileMaskListArc under Win32: the exact bytes of a new file, progress,
// the requests that are refused and what they leave on disk, and a round trip through extraction.
#include "module_host.h"

namespace uuarc_wine {
namespace {

// Creation of <folder>\t.uue from sources in the test's folder (the current directory).
class Creation : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        target_ = Path("t.uue");
        api_.CreateArcFile(target_.c_str());
        ASSERT_STATUS(0);
        RegisterRecorders();
    }
    std::string target_;
};

TEST_F(Creation, WorkedExampleWrittenByteForByte) {
    ASSERT_TRUE(WriteBytes(Path("abc.txt"), "abc"));
    EXPECT_EQ(Compress({"abc.txt"}), 0);
    const std::string expected =
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
    ASSERT_EQ(expected.size(), 293u);
    EXPECT_EQ(ReadBytes(target_), expected);

    const std::vector<HostCall> names = CallsOf(CallKind::kFileName);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].source, "abc.txt");
    EXPECT_EQ(names[0].target, "\\abc.txt");
    EXPECT_EQ(names[1].source, "abc.txt");
    EXPECT_EQ(names[1].target, target_);
    EXPECT_EQ(ProgressCalls(), (std::vector<std::pair<int64_t, int64_t>>{{100, 3}}));
    EXPECT_TRUE(CallsOf(CallKind::kReplace).empty());
    EXPECT_TRUE(CallsOf(CallKind::kSignal).empty());
}

// The bytes that fill a short last group are zero, whatever an earlier line left in the block.
TEST_F(Creation, ShortLastGroupFilledWithZeroBytes) {
    const struct {
        std::string source;
        const char* last_line;
    } cases[] = {
        {"a", "!80``"},
        {"ab", "\"86(`"},
        {PatternBytes(46), "!+0``"},  // byte 45 is 0x2D; bytes 0 and 1 of the block held 0x00 0x01
    };
    for (const auto& c : cases) {
        DeleteFileA(target_.c_str());
        api_.CreateArcFile(target_.c_str());
        WriteBytes(Path("s.bin"), c.source);
        EXPECT_EQ(Compress({"s.bin"}), 0);
        const std::string ending = std::string("\r\n") + c.last_line + "\r\n`\r\nend\r\n";
        EXPECT_NE(ReadBytes(target_).find(ending), std::string::npos) << c.source.size() << " bytes";
    }
}

TEST_F(Creation, HundredBytesReportedPerLine) {
    WriteBytes(Path("s.bin"), PatternBytes(100));
    EXPECT_EQ(Compress({"s.bin"}), 0);
    EXPECT_EQ(ProgressCalls(), (std::vector<std::pair<int64_t, int64_t>>{{45, 45}, {90, 45}, {100, 10}}));
}

// Step 90: the threshold grows by one step a report, so reports follow every other line.
TEST_F(Creation, NineThousandBytesReportedByThreshold) {
    WriteBytes(Path("s.bin"), PatternBytes(9000));
    EXPECT_EQ(Compress({"s.bin"}), 0);
    const std::vector<std::pair<int64_t, int64_t>> reports = ProgressCalls();
    ASSERT_EQ(reports.size(), 99u);
    EXPECT_EQ(reports[0], std::make_pair(int64_t{1}, int64_t{135}));
    for (size_t i = 1; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i], std::make_pair(static_cast<int64_t>(i + 1), int64_t{90})) << "report " << i;
    }
}

TEST_F(Creation, RoundTripThroughExtraction) {
    for (size_t size : {0, 1, 45, 46, 100, 1000, 9000}) {
        const std::string data = PatternBytes(size, static_cast<uint32_t>(size) + 7);
        DeleteFileA(target_.c_str());
        api_.CreateArcFile(target_.c_str());
        WriteBytes(Path("s.bin"), data);
        EXPECT_EQ(Compress({"s.bin"}), 0) << size;
        DeleteFileA(Path("s.bin").c_str());
        api_.InitArcFile(target_.c_str());
        EXPECT_EQ(Status(), 0) << size;
        EXPECT_EQ(Extract({"*.*"}), 0) << size;
        EXPECT_EQ(ReadBytes(Path("s.bin")), data) << size << " bytes";
    }
}

// OEM where every character has an exact form there, UTF-8 where CharToOemA would put a
// look-alike or "?"; either way extraction gives the source's own name back.
TEST_F(Creation, HeaderNameInOemOrUtf8AndBackExactly) {
    if (GetOEMCP() != 437 || GetACP() != 1252) {
        GTEST_SKIP() << "needs OEM code page 437 and ANSI code page 1252, have " << GetOEMCP() << " / " << GetACP();
    }
    struct Case {
        const char* source;  // code page 1252
        const char* stored;
    } cases[] = {
        {"\xFC" "ber.txt", "\x81" "ber.txt"},
        {"my file.txt", "my file.txt"},
        {"\x9C" "uvre.txt", "\xC5\x93" "uvre.txt"},     // o-e ligature
        {"\xD8" "re.txt", "\xC3\x98" "re.txt"},         // O stroke
        {"\x80" "uro.txt", "\xE2\x82\xAC" "uro.txt"},  // euro sign
        {"\xDF\xFC\xE9.txt", "\xC3\x9F\xC3\xBC\xC3\xA9.txt"},  // in OEM E1 81 82: UTF-8 on the way back
    };
    for (const Case& c : cases) {
        DeleteFileA(target_.c_str());
        api_.CreateArcFile(target_.c_str());
        ASSERT_TRUE(WriteBytes(Path(c.source), "abc"));
        EXPECT_EQ(Compress({c.source}), 0) << c.source;
        const std::string text = ReadBytes(target_);
        EXPECT_NE(text.find(std::string(c.stored) + ":  decoded size: 3\r\n"), std::string::npos) << text;
        EXPECT_NE(text.find(std::string("\r\nbegin 644 ") + c.stored + "\r\n"), std::string::npos) << text;

        ASSERT_TRUE(DeleteFileA(Path(c.source).c_str()));
        api_.InitArcFile(target_.c_str());
        EXPECT_EQ(Extract({"*.*"}), 0) << c.source;
        EXPECT_EQ(ReadBytes(Path(c.source)), "abc") << c.source;
    }
}

TEST_F(Creation, MissingTargetDirectoriesCreated) {
    const std::string target = Path("new\\deeper\\t.uue");
    api_.CreateArcFile(target.c_str());
    ASSERT_STATUS(0);
    WriteBytes(Path("s.bin"), "abc");
    EXPECT_EQ(Compress({"s.bin"}), 0);
    EXPECT_NE(ReadBytes(target).find("\r\nbegin 644 s.bin\r\n#86)C\r\n`\r\nend\r\n"), std::string::npos);
}

// ---- Requests refused, and what they leave ---------------------------------------------------

TEST_F(Creation, RefusedWithoutNewArchive) {
    WriteBytes(Path("s.bin"), "abc");
    const std::string encoded = WriteArchive("e.uue", "e.bin", "abc");
    for (bool open_encoded : {false, true}) {
        if (open_encoded) {
            api_.InitArcFile(encoded.c_str());
        } else {
            api_.DoneArcFile();
        }
        g_calls.clear();
        EXPECT_EQ(Compress({"s.bin"}), 9901) << (open_encoded ? "encoded file open" : "closed");
        EXPECT_TRUE(g_calls.empty());
    }
    EXPECT_FALSE(PathExists(target_));
    EXPECT_EQ(ReadBytes(encoded), ClassicUuencode("e.bin", "abc"));
}

TEST_F(Creation, TargetHoldingBeginLineRefusedUnchanged) {
    WriteBytes(Path("s.bin"), "abc");
    const std::string encoded = "a note\r\nbegin 644 other\r\n#86)C\r\n`\r\nend\r\n";
    WriteBytes(target_, encoded);
    EXPECT_EQ(Compress({"s.bin"}), 9901);
    EXPECT_EQ(CallsOf(CallKind::kFileName).size(), 1u);
    EXPECT_EQ(ReadBytes(target_), encoded);
}

TEST_F(Creation, SecondCreationOfSameArchiveRefused) {
    WriteBytes(Path("s.bin"), "abc");
    EXPECT_EQ(Compress({"s.bin"}), 0);
    const std::string first = ReadBytes(target_);
    WriteBytes(Path("s.bin"), "something else");
    EXPECT_EQ(Compress({"s.bin"}), 9901);
    EXPECT_EQ(ReadBytes(target_), first);
}

TEST_F(Creation, RequestsThatNeverStart) {
    WriteBytes(Path("s.bin"), "abc");
    ASSERT_TRUE(CreateDirectoryA(Path("srcdir").c_str(), nullptr));
    const struct {
        const char* label;
        std::initializer_list<const char*> masks;
        uint16_t status;
        size_t name_calls;
    } cases[] = {
        {"empty list", {}, 0, 0},
        {"two masks", {"s.bin", "s.bin"}, 9907, 0},
        {"source is a directory", {"srcdir"}, 9908, 1},
        {"source missing", {"none.bin"}, 5, 1},
    };
    for (const auto& c : cases) {
        g_calls.clear();
        EXPECT_EQ(Compress(c.masks), c.status) << c.label;
        EXPECT_EQ(g_calls.size(), c.name_calls) << c.label;
        EXPECT_FALSE(PathExists(target_)) << c.label;
    }
    ASSERT_EQ(Compress({"srcdir"}), 9908);
    EXPECT_EQ(g_calls.back().source, "srcdir");
    EXPECT_EQ(g_calls.back().target, "\\srcdir");
}

TEST_F(Creation, UnnamedNewArchiveCannotBeWritten) {
    WriteBytes(Path("s.bin"), "abc");
    api_.InitArcFile(Path("none.uue").c_str());
    RegisterRecorders();
    EXPECT_EQ(Compress({"s.bin"}), 5);
    const std::vector<HostCall> names = CallsOf(CallKind::kFileName);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1].target, "");
    EXPECT_FALSE(PathExists(Path("none.uue")));
}

TEST_F(Creation, PlainTargetReplacedOnlyWithConsent) {
    const std::string source = PatternBytes(1000);
    WriteBytes(Path("s.bin"), source);
    const struct {
        const char* label;
        bool ask;
        int32_t answer;
        uint16_t status;
        bool replaced;
    } cases[] = {
        {"host refuses", true, 1, 2926, false},
        {"host agrees", true, 0, 0, true},
        {"nobody asked", false, 0, 0, true},
    };
    for (const auto& c : cases) {
        WriteBytes(target_, "plain text, no begin line\r\n");
        api_.SetOkToReplaceProc(0, c.ask ? RecordReplace : nullptr);
        g_replace_answer = c.answer;
        g_calls.clear();
        EXPECT_EQ(Compress({"s.bin"}), c.status) << c.label;
        const std::vector<HostCall> asked = CallsOf(CallKind::kReplace);
        EXPECT_EQ(asked.size(), c.ask ? 1u : 0u) << c.label;
        if (!asked.empty()) {
            EXPECT_EQ(asked[0].incoming.size_low, 1000u * 1424 / 1000) << c.label;
            EXPECT_EQ(std::string(asked[0].incoming.file_name), target_) << c.label;
        }
        const std::string now = ReadBytes(target_);
        EXPECT_EQ(now.find("begin 644 s.bin\r\n") != std::string::npos, c.replaced) << c.label;
        if (!c.replaced) {
            EXPECT_EQ(now, "plain text, no begin line\r\n") << c.label;
        }
    }
}

TEST_F(Creation, OntoItsOwnSourceRefused) {
    const std::string self = Path("self.txt");
    api_.CreateArcFile(self.c_str());
    ASSERT_STATUS(0);
    WriteBytes(self, "the source itself");
    EXPECT_EQ(Compress({"self.txt"}), 9901);
    EXPECT_TRUE(CallsOf(CallKind::kReplace).empty());
    EXPECT_EQ(ReadBytes(self), "the source itself");
}

}  // namespace
}  // namespace uuarc_wine
