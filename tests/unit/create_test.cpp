// create_test.cpp - creation where the exports alone cannot reach: the writer's alphabet after a
// scan, planted links and overlong source paths, and writes that fail through the failure hook.
// The export-level cases are in tests/exports.
#include <unistd.h>

#include <cstring>

#include "../fail_hook.h"
#include "format/line_codec.h"
#include "test_support.h"
#include "uuarc_status.h"

namespace uuarc::test {
namespace {

class Create : public ModuleTest {
protected:
    // Names the target, then encodes the source named by one mask (or none, or several).
    void Run(const std::string& target, std::initializer_list<std::string> masks) {
        CreateArcFile(Win(target).c_str());
        RegisterAll();
        Compress(masks);
    }
    static void Compress(std::initializer_list<std::string> masks) { WithMasks(CompressFileMaskListArc, masks); }
};

// ---- The bytes written ------------------------------------------------------------------------

// Linux tools read a name as its bytes: a name is stored as it is, UTF-8 or not, ':' and all, and
// extraction on the same build gives it back.
TEST_F(Create, StoredNameIsItsBytesAndComesBack) {
    const char* const sources[] = {
        "a very long name ü.data",  // OEM 0x81 elsewhere
        "my file.txt",
        "Ωmega.txt",
        "café.txt",
        "ßüé.txt",
        "中文 😀.txt",
        "\xe9t\xe9.txt",     // code page 1252 bytes
        "caf\xc3.txt",        // a lead byte alone
        "\xed\xa0\x80.txt",  // a surrogate
        "report 14:31.log",
        "a:b",
        "C:x.txt",
    };
    for (const char* source : sources) {
        Write(source, "x");
        std::filesystem::remove(Native("t.uue"));
        Run("t.uue", {Win(source)});
        ASSERT_STATUS(0) << source;
        const std::string text = Read("t.uue");
        EXPECT_NE(text.find(std::string(source) + ":  decoded size: 1\r\n"), std::string::npos) << text;
        EXPECT_NE(text.find(std::string("\r\nbegin 644 ") + source + "\r\n"), std::string::npos) << text;

        std::filesystem::remove_all(Native("out"));
        InitArcFile(Win("t.uue").c_str());
        SetOutputPath(Win("out").c_str());
        WithMasks(ExtractFileMaskListArc, {"*.*"});
        EXPECT_STATUS(0) << source;
        EXPECT_EQ(Read(std::string("out/") + source), "x") << source;
        std::filesystem::remove(Native(source));
    }
}

TEST_F(Create, DefaultAlphabetAfterXxOrTableArchive) {
    Write("xx.uue", "begin 644 x\nh" + std::string(60, '+') + "\nend\n");
    InitArcFile(Win("xx.uue").c_str());
    SetOutputPath(Win("").c_str());
    WithMasks(ExtractFileMaskListArc, {"*.*"});
    ASSERT_STATUS(0);  // read as XX: the XX alphabet is active now
    // A target with a table block but no begin line: the probe reads the table, the writer not.
    std::string table;
    for (int c = 0x7E; table.size() < 64; --c) table += static_cast<char>(c);
    Write("abc.uue", "table\n" + table + "\n");
    Write("abc.txt", "abc");
    CreateOnto(Win("abc.uue"), {Win("abc.txt")});
    ASSERT_STATUS(0);
    EXPECT_EQ(Read("abc.uue"), kWorkedExample);
}

// Each fact once: the source is asked whether it is a directory and opened; the target, probed by
// an open that finds nothing and found not to be the source, is made at once, with nothing asked
// about it.
TEST_F(Create, NewTargetMadeAtOnceWithNothingAskedTwice) {
    Write("s.bin", "abc");
    FailHook<&SystemCalls::open> opens(1 << 30);
    FailHook<&SystemCalls::query> queries(1 << 30);
    FailHook<&SystemCalls::length> lengths(1 << 30);
    CreateOnto(Win("s.uue"), {Win("s.bin")});
    EXPECT_STATUS(0);
    EXPECT_NE(Read("s.uue").find("begin 644 s.bin"), std::string::npos);
    EXPECT_EQ(opens.Calls(), 3);    // the probe, the source, the new target
    EXPECT_EQ(queries.Calls(), 2);  // whether the source is a directory, the target the source
    EXPECT_EQ(lengths.Calls(), 1);
}

// ---- Sources that do not hold the size the system reports -------------------------------------

// What the system shows of the source: a length other than the bytes it holds (-1: the truth),
// and a size it is given after the first read of it (-1: none), as a log that grows or is cut.
int64_t g_reported = -1;
int64_t g_resized = -1;
std::string g_source;
SystemCalls g_real_calls;

int64_t ReportedLength(FileHandle handle) { return g_reported >= 0 ? g_reported : g_real_calls.length(handle); }

int64_t ReadThenResize(FileHandle handle, void* data, size_t count) {
    const int64_t got = g_real_calls.read(handle, data, count);
    if (g_resized >= 0) std::filesystem::resize_file(g_source, static_cast<uintmax_t>(std::exchange(g_resized, -1)));
    return got;
}

// The header states the bytes encoded: a source that fits the stream's buffer is counted as read
// (a /proc or sysfs file), a longer one must hold the size reported to its end. One that does not
// ends with 5, the host told how many bytes were read, and no target is left.
TEST_F(Create, SourceThatDoesNotHoldItsSizeMakesNoFile) {
    constexpr int64_t kLong = kStreamBufferSize + 40000;
    const struct {
        const char* label;
        int64_t size;
        int64_t reported;
        int64_t resized;
        int64_t header;  // -1: status 5, nothing made
    } cases[] = {
        {"a /proc file (size 0)", 1411, 0, -1, 1411},
        {"a sysfs file (4096 for 18 bytes)", 18, 4096, -1, 18},
        {"a short file that grows before its end is read", 1000, -1, 3000, 3000},
        {"size 0 and more than the buffer holds", kLong, 0, -1, -1},
        {"a long file that grows while it is read", kLong, -1, kLong + 5000, -1},
        {"a long file cut while it is read", kLong, -1, kLong - 5000, -1},
    };
    g_real_calls = g_system;
    g_source = Native("src.bin");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Write("src.bin", RandomBytes(static_cast<size_t>(c.size), 5));
        std::filesystem::remove(Native("t.uue"));
        g_reported = c.reported;
        g_resized = c.resized;
        g_system.length = ReportedLength;
        g_system.read = ReadThenResize;
        ClearCalls();
        Run("t.uue", {Win("src.bin")});
        g_system = g_real_calls;
        if (c.header < 0) {
            EXPECT_STATUS(kStatusCannotOpen);
            EXPECT_FALSE(Exists("t.uue"));
            const std::vector<HostCall> signals = CallsOf(CallKind::kSignal);
            EXPECT_TRUE(signals.size() == 1 && signals[0].second == UUARC_SIGNAL_SOURCE_CHANGED &&
                        signals[0].first >= int64_t{kStreamBufferSize});
            continue;
        }
        ASSERT_STATUS(0);
        EXPECT_NE(Read("t.uue").find("src.bin:  decoded size: " + std::to_string(c.header) + "\r\n"), std::string::npos);
        std::filesystem::remove_all(Native("out"));
        InitArcFile(Win("t.uue").c_str());
        SetOutputPath(Win("out").c_str());
        WithMasks(ExtractFileMaskListArc, {"*.*"});
        EXPECT_STATUS(0);
        EXPECT_EQ(Read("out/src.bin"), Read("src.bin"));
    }
}

// ---- Targets ----------------------------------------------------------------------------------

TEST_F(Create, PlantedLinkAndLongPathsAreRefused) {
    Write("src.txt", "abc");
    Write("victim.txt", "precious");
    ASSERT_EQ(symlink(Native("victim.txt").c_str(), Native("link.uue").c_str()), 0);
    CreateOnto(Win("link.uue"), {Win("src.txt")});
    EXPECT_STATUS(5);
    EXPECT_EQ(Read("victim.txt"), "precious");

    // A source prefix of 250 bytes and a mask: the source path would not fit a platform path.
    CompExtraFeatures record = {};
    std::memset(record.source_prefix, 'p', 250);
    SetCompExtraFeatures(&record);
    ClearCalls();
    Run("t.uue", {"a-name-of-ten.txt"});
    EXPECT_STATUS(5);
    EXPECT_TRUE(g_calls.empty());
    EXPECT_FALSE(Exists("t.uue"));
}

// ---- Failed writes ----------------------------------------------------------------------------

TEST_F(Create, FailedLineWriteStopsBeforeTheEnd) {
    Write("big.bin", RandomBytes(3 * kStreamBufferSize, 9));
    CreateArcFile(Win("t.uue").c_str());
    {
        FailHook<&SystemCalls::write> hook(2, FailMode::Once);
        Compress({Win("big.bin")});
    }
    EXPECT_STATUS(101);
    const std::string text = Read("t.uue");
    EXPECT_EQ(text.find("\r\n`\r\nend\r\n"), std::string::npos);
    // The first buffer went out, cut after its last whole line; nothing after the failure.
    EXPECT_GT(text.size(), kStreamBufferSize - kMaxEncodedLine - 2);
    EXPECT_LE(text.size(), kStreamBufferSize);
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
