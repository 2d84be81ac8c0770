// create_test.cpp - CompressFileMaskListArc: the exact bytes of a new file, the line layout,
// progress, the source prefix, the requests that are refused and what they leave on disk, and a
// round trip through extraction.
#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <random>

#include "harness.h"

namespace uuarc::test {
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
    // Names a new target again, for one more creation in the same test.
    void Restart() const {
        RemoveFile(target_);
        api_.CreateArcFile(target_.c_str());
        RegisterRecorders();
        ClearCalls();
    }
    std::string target_;
};

// The source named relative to the current directory and by its full path: the header holds
// the file name alone, the entry name reported is the mask as given.
TEST_F(Creation, WorkedExampleWrittenByteForByte) {
    ASSERT_TRUE(WriteBytes(Path("abc.txt"), "abc"));
    for (const std::string& mask : {std::string("abc.txt"), Path("abc.txt")}) {
        Restart();
        EXPECT_EQ(Compress({mask.c_str()}), 0) << mask;
        ASSERT_EQ(std::strlen(kWorkedExample), 293u);
        EXPECT_EQ(ReadBytes(target_), kWorkedExample) << mask;
        ASSERT_EQ(g_calls.size(), 3u) << mask;
        const std::vector<HostCall> names = CallsOf(CallKind::kFileName);
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[0].source, mask);
        EXPECT_EQ(names[0].target, "\\" + mask);
        EXPECT_EQ(names[1].source, mask);
        EXPECT_EQ(names[1].target, target_);
        EXPECT_EQ(ProgressCalls(), (std::vector<std::pair<int64_t, int64_t>>{{100, 3}}));
    }
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
        Restart();
        WriteBytes(Path("s.bin"), c.source);
        EXPECT_EQ(Compress({"s.bin"}), 0);
        const std::string ending = std::string("\r\n") + c.last_line + "\r\n`\r\nend\r\n";
        EXPECT_NE(ReadBytes(target_).find(ending), std::string::npos) << c.source.size() << " bytes";
    }
}

// An empty source has only the zero-length line; 45 bytes make one full line of 61 characters;
// 46 a full line and a line of one. The header tells both sizes.
TEST_F(Creation, LineLayoutForBoundarySizes) {
    for (size_t size : {size_t{0}, size_t{45}, size_t{46}}) {
        Restart();
        WriteBytes(Path("src.bin"), RandomBytes(size, 9));
        ASSERT_EQ(Compress({"src.bin"}), 0) << size;
        const std::string text = ReadBytes(target_);
        const size_t begin = text.find("begin 644 src.bin\r\n");
        ASSERT_NE(begin, std::string::npos);
        const std::string body = text.substr(begin + 19, text.find("END---") - begin - 19);
        const std::string ending = "`\r\nend\r\n";
        if (size == 0) {
            EXPECT_EQ(body, ending);
        } else {
            EXPECT_EQ(body[0], 'M') << size;            // 45 bytes
            EXPECT_EQ(body.find("\r\n"), 61u) << size;  // in 60 characters after the length
            const std::string rest = body.substr(63);
            if (size == 45) {
                EXPECT_EQ(rest, ending);
            } else {
                EXPECT_EQ(rest[0], '!') << "one byte on the second line";
                EXPECT_EQ(rest.find("\r\n"), 5u);
                EXPECT_EQ(rest.substr(7), ending);
            }
        }
        EXPECT_NE(text.find("decoded size: " + std::to_string(size) + "\r\n"), std::string::npos);
        EXPECT_NE(text.find("encoded size: " + std::to_string(size * 1424 / 1000) + " (~)"), std::string::npos);
        EXPECT_EQ(ProgressCalls().empty(), size == 0);
    }
}

TEST_F(Creation, HundredBytesReportedPerLine) {
    WriteBytes(Path("s.bin"), PatternBytes(100));
    EXPECT_EQ(Compress({"s.bin"}), 0);
    EXPECT_EQ(ProgressCalls(), (std::vector<std::pair<int64_t, int64_t>>{{45, 45}, {90, 45}, {100, 10}}));
}

// Step 90: the threshold grows by one step a report, so reports follow every other line
// (after lines 3, 5, 7, ... 199).
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
        Restart();
        WriteBytes(Path("s.bin"), data);
        EXPECT_EQ(Compress({"s.bin"}), 0) << size;
        RemoveFile(Path("s.bin"));
        api_.InitArcFile(target_.c_str());
        EXPECT_EQ(Status(), 0) << size;
        EXPECT_EQ(Extract({"*.*"}), 0) << size;
        EXPECT_EQ(ReadBytes(Path("s.bin")), data) << size << " bytes";
    }
}

// Any name that creation takes comes back from extraction as it went in, with the bytes: names of
// every length up to the longest a begin line gives back whole, of any character that a file
// name may hold here, blanks inside; contents of any size and byte. Paths stay relative (the
// test's folder is the current one), so that the longest name fits an output path; under Windows
// the full path must fit too.
TEST_F(Creation, RandomNamesAndContentsComeBack) {
    if (!HaveWesternCodePages()) GTEST_SKIP() << "needs OEM code page 437 and ANSI code page 1252";
    std::vector<std::string> characters;  // each as the ANSI code page spells it
    for (const char c : std::string("abcXYZ0189 !#$%&'()+,-.;=@[]^_`{}~")) characters.emplace_back(1, c);
    for (const char* accented : {"\xC3\xA9", "\xC3\xBC", "\xC3\x9F"}) characters.push_back(Ansi(accented));
#if !defined(_WIN32)
    for (const char* other : {"*", "?", "\"", "<", ">", "|", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80", "\xE2\x82\xAC"}) {
        characters.emplace_back(other);
    }
#endif
    // Windows resolves a relative path to a full one, which must fit 259 bytes as "o\NAME" here.
    size_t longest = UUARC_MAX_STORED_NAME;
#if defined(_WIN32)
    longest = std::min(longest, UUARC_MAX_OUTPUT_PATH - Folder().size() - 3);
#endif
    std::mt19937 generator(243);
    ASSERT_TRUE(MakeFolder("o"));
    api_.SetOutputPath("o");
    for (int round = 0; round < 120; ++round) {
        const size_t length = round == 0 ? longest : round == 1 ? 1 : 1 + generator() % longest;
        std::string name;
        for (;;) {
            const std::string& next = characters[generator() % characters.size()];
            if (name.size() + next.size() > length) break;
            name += next;
        }
        // A blank at either end or a dot at the end does not come back, nor a name of dots.
        while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.pop_back();
        while (!name.empty() && name.front() == ' ') name.erase(0, 1);
        if (name.find_first_not_of('.') == std::string::npos) name = "n" + name;
        const std::string data = RandomBytes(generator() % 3000, static_cast<unsigned>(round));
        Restart();
        ASSERT_TRUE(WriteBytes(name, data)) << name;
        ASSERT_EQ(Compress({name.c_str()}), 0) << name;
        RemoveFile(name);
        api_.InitArcFile(target_.c_str());
        ASSERT_EQ(Extract({"*.*"}), 0) << name;
        EXPECT_EQ(FolderNames("o"), std::vector<std::string>{name});
        EXPECT_EQ(ReadBytes("o\\" + name), data) << name;
        RemoveFile("o\\" + name);
    }
}

#if defined(_WIN32)
// OEM where every character has an exact form there, UTF-8 where the OEM code page would only
// hold a look-alike or "?"; either way extraction gives the source's own name back. The name goes
// into the header whole, also when it is longer than the column it is padded to.
TEST_F(Creation, HeaderNameInOemOrUtf8AndBackExactly) {
    if (!HaveWesternCodePages()) GTEST_SKIP() << "needs OEM code page 437 and ANSI code page 1252";
    struct Case {
        const char* source;  // UTF-8; handed over in the ANSI code page
        const char* stored;
    } cases[] = {
        {"\xC3\xBC" "ber.txt", "\x81" "ber.txt"},
        {"a very long name \xC3\xBC.data", "a very long name \x81.data"},
        {"my file.txt", "my file.txt"},
        {"\xC5\x93" "uvre.txt", "\xC5\x93" "uvre.txt"},     // o-e ligature
        {"\xC3\x98" "re.txt", "\xC3\x98" "re.txt"},         // O stroke
        {"\xE2\x82\xAC" "uro.txt", "\xE2\x82\xAC" "uro.txt"},  // euro sign
        {"\xC3\x9F\xC3\xBC\xC3\xA9.txt", "\xC3\x9F\xC3\xBC\xC3\xA9.txt"},  // in OEM E1 81 82: UTF-8 on the way back
    };
    for (const Case& c : cases) {
        Restart();
        const std::string source = Ansi(c.source);
        ASSERT_TRUE(WriteBytes(Path(source), "abc"));
        EXPECT_EQ(Compress({source.c_str()}), 0) << c.source;
        const std::string text = ReadBytes(target_);
        EXPECT_NE(text.find(std::string(c.stored) + ":  decoded size: 3\r\n"), std::string::npos) << text;
        const size_t section = text.find(std::string("\r\n") + c.stored + " ");  // padded to 12 bytes
        ASSERT_NE(section, std::string::npos) << text;
        EXPECT_EQ(text.find_first_not_of(' ', section + 2 + std::strlen(c.stored)), text.find("section  1/1")) << text;
        EXPECT_NE(text.find(std::string("\r\nbegin 644 ") + c.stored + "\r\n"), std::string::npos) << text;

        RemoveFile(Path(source));
        api_.InitArcFile(target_.c_str());
        EXPECT_EQ(Extract({"*.*"}), 0) << c.source;
        EXPECT_EQ(ReadBytes(Path(source)), "abc") << c.source;
    }
}

#endif

TEST_F(Creation, MissingTargetDirectoriesCreated) {
    const std::string target = Path("new\\deeper\\t.uue");
    api_.CreateArcFile(target.c_str());
    ASSERT_STATUS(0);
    WriteBytes(Path("s.bin"), "abc");
    EXPECT_EQ(Compress({"s.bin"}), 0);
    EXPECT_NE(ReadBytes(target).find("\r\nbegin 644 s.bin\r\n#86)C\r\n`\r\nend\r\n"), std::string::npos);
}

// The prefix goes in front of the mask; with the option bit it is left out, so the mask must
// name the file itself.
TEST_F(Creation, SourcePathFromPrefixAndOption) {
    ASSERT_TRUE(MakeFolder(Path("SRC")));
    WriteBytes(Path("SRC\\REPORT.TXT"), "report");
    CompExtraFeatures record{};
    std::strcpy(record.source_prefix, Path("SRC").c_str());
    api_.SetCompExtraFeatures(&record);
    ASSERT_EQ(Compress({"REPORT.TXT"}), 0);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0].source, Path("SRC\\REPORT.TXT"));
    EXPECT_EQ(g_calls[0].target, "\\REPORT.TXT");
    EXPECT_NE(ReadBytes(target_).find("\r\nbegin 644 REPORT.TXT\r\n"), std::string::npos);
    api_.arOptionsOn(UUARC_OPTION_NO_SOURCE_PREFIX);
    api_.CreateArcFile(Path("t2.uue").c_str());
    RegisterRecorders();
    ClearCalls();
    EXPECT_EQ(Compress({"REPORT.TXT"}), 5);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls[0].source, "REPORT.TXT");
    EXPECT_FALSE(PathExists(Path("t2.uue")));
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
        ClearCalls();
        EXPECT_EQ(Compress({"s.bin"}), 9901) << (open_encoded ? "encoded file open" : "closed");
        EXPECT_TRUE(g_calls.empty());
    }
    EXPECT_FALSE(PathExists(target_));
    EXPECT_EQ(ReadBytes(encoded), ClassicUuencode("e.bin", "abc"));
}

// Refused unchanged, but where the host sets the module's own bit for a user who asked for it:
// then it is asked about and replaced as any file.
TEST_F(Creation, TargetHoldingBeginLineRefusedUnchanged) {
    WriteBytes(Path("s.bin"), "abc");
    for (const std::string encoded : {"a note\r\nbegin 644 other\r\n#86)C\r\n`\r\nend\r\n",
                                      "a note\r\nbegin-base64 644 other\r\nYWJj\r\n====\r\n"}) {
        Restart();
        WriteBytes(target_, encoded);
        EXPECT_EQ(Compress({"s.bin"}), 9901) << encoded;
        EXPECT_EQ(CallsOf(CallKind::kFileName).size(), 1u) << encoded;
        EXPECT_TRUE(CallsOf(CallKind::kReplace).empty()) << encoded;
        EXPECT_EQ(ReadBytes(target_), encoded);
#if defined(UUARC_OPTION_REPLACE_ENCODED)
        // CreateArcFile takes no existing path: the output file names this one.
        api_.CreateArcFile("");
        api_.SetOutputPath((UUARC_OUTPUT_FILE + target_).c_str());
        RegisterRecorders();
        api_.arOptionsOn(UUARC_OPTION_REPLACE_ENCODED);
        EXPECT_EQ(Compress({"s.bin"}), 0) << encoded;
        api_.arOptionsOff(UUARC_OPTION_REPLACE_ENCODED);
        EXPECT_EQ(CallsOf(CallKind::kReplace).size(), 1u) << encoded;
        EXPECT_NE(ReadBytes(target_).find("begin 644 s.bin"), std::string::npos) << encoded;
#endif
    }
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
    const std::string too_long = std::string(UUARC_MAX_STORED_NAME - 3, 'n') + ".bin";
    ASSERT_TRUE(MakeFolder(Path("srcdir")));
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
        // Names that a begin line would not give back are refused before anything is made.
        {"a line end in the name", {"report\nbegin 644 evil.sh"}, 5, 0},
        {"a carriage return", {"a\rb.bin"}, 5, 0},
        {"end of file byte", {"a\x1a.bin"}, 5, 0},
        {"escape", {"\x1b[31mred.bin"}, 5, 0},
        {"delete", {"a\x7f.bin"}, 5, 0},
        {"a leading blank", {" s.bin"}, 5, 0},
        {"a trailing blank", {"s.bin "}, 5, 0},
        {"a name longer than a begin line gives back whole", {too_long.c_str()}, 5, 0},
    };
    for (const auto& c : cases) {
        ClearCalls();
        EXPECT_EQ(Compress(c.masks), c.status) << c.label;
        EXPECT_EQ(g_calls.size(), c.name_calls) << c.label;
        EXPECT_FALSE(PathExists(target_)) << c.label;
    }
    ASSERT_EQ(Compress({"srcdir"}), 9908);
    EXPECT_EQ(g_calls.back().source, "srcdir");
    EXPECT_EQ(g_calls.back().target, "\\srcdir");
}

// An unnamed new archive has no target, but for the output file where the module has one.
TEST_F(Creation, UnnamedNewArchiveCannotBeWritten) {
    WriteBytes(Path("s.bin"), "abc");
    api_.InitArcFile(Path("none.uue").c_str());
    RegisterRecorders();
    EXPECT_EQ(Compress({"s.bin"}), 5);
    const std::vector<HostCall> names = CallsOf(CallKind::kFileName);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[1].target, "");
    EXPECT_FALSE(PathExists(Path("none.uue")));
#if defined(UUARC_OUTPUT_FILE)
    api_.SetOutputPath((UUARC_OUTPUT_FILE + Path("sub\\named.uue")).c_str());
    ClearCalls();
    EXPECT_EQ(Compress({"s.bin"}), 0);
    EXPECT_EQ(CallsOf(CallKind::kFileName).back().target, Path("sub\\named.uue"));
    EXPECT_NE(ReadBytes(Path("sub\\named.uue")).find("begin 644 s.bin"), std::string::npos);
    // A named archive still goes where CreateArcFile named it.
    api_.CreateArcFile(Path("t2.uue").c_str());
    EXPECT_EQ(Compress({"s.bin"}), 0);
    EXPECT_TRUE(PathExists(Path("t2.uue")));
#endif
}

#if defined(UUARC_OUTPUT_STDOUT) && !defined(_WIN32)
// An unnamed new archive into a sink: the text that a file would get goes into descriptor 1 (here
// a file or /dev/full put in its place) or nowhere, nothing is asked about, the bytes taken last.
TEST_F(Creation, UnnamedNewArchiveIntoSinks) {
    ASSERT_TRUE(WriteBytes(Path("abc.txt"), "abc"));
    const size_t whole = std::strlen(kWorkedExample);
    const struct {
        const char* sink;
        const char* descriptor_one;  // "": a file in the folder
        uint16_t status;
        size_t delivered;
    } cases[] = {
        {UUARC_OUTPUT_STDOUT, "", 0, whole},
        {UUARC_OUTPUT_STDOUT, "/dev/full", 101, 0},
        {UUARC_OUTPUT_NULL, "", 0, whole},
    };
    for (const auto& c : cases) {
        api_.InitArcFile("");
        RegisterRecorders();
        ClearCalls();
        api_.SetOutputPath(c.sink);
        const std::string taken = NativePath(Path("fd1.uue"));
        std::fflush(stdout);
        const int saved = dup(1);
        const int into = open(*c.descriptor_one != '\0' ? c.descriptor_one : taken.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(into, 0) << c.sink;
        dup2(into, 1);
        close(into);
        const uint16_t status = Compress({"abc.txt"});
        dup2(saved, 1);
        close(saved);
        EXPECT_EQ(status, c.status) << c.sink << c.descriptor_one;
        EXPECT_EQ(CallsOf(CallKind::kFileName).back().target, c.sink);
        EXPECT_TRUE(CallsOf(CallKind::kReplace).empty());
        const std::vector<HostCall> signals = CallsOf(CallKind::kSignal);
        ASSERT_EQ(signals.size(), 1u) << c.sink;
        EXPECT_EQ(signals[0].first, static_cast<int64_t>(c.delivered)) << c.sink;
        EXPECT_EQ(signals[0].second, UUARC_SIGNAL_BYTES_DELIVERED);
        const bool into_file = *c.descriptor_one == '\0' && std::strcmp(c.sink, UUARC_OUTPUT_STDOUT) == 0;
        if (into_file) {
            EXPECT_EQ(ReadBytes(Path("fd1.uue")), kWorkedExample);
        }
    }
    EXPECT_FALSE(PathExists(Path(UUARC_OUTPUT_STDOUT)));
}
#endif

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
        ClearCalls();
        g_replace_answer = c.answer;
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

// The target is the source, named alike or spelt another way.
TEST_F(Creation, OntoItsOwnSourceRefused) {
    const std::string self = Path("self.txt");
    for (const char* mask : {"self.txt", ".\\self.txt"}) {
        api_.CreateArcFile(self.c_str());
        ASSERT_STATUS(0);
        RegisterRecorders();
        WriteBytes(self, "the source itself");
        ClearCalls();
        EXPECT_EQ(Compress({mask}), 9901) << mask;
        EXPECT_TRUE(CallsOf(CallKind::kReplace).empty());
        EXPECT_EQ(ReadBytes(self), "the source itself");
        RemoveFile(self);
    }
}

}  // namespace
}  // namespace uuarc::test
