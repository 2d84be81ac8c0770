// platform_test.cpp - the POSIX back end and the shared streams: text mode at buffer and line
// limits, positions, failures through the hook, path mapping, the Win32-shaped file services and
// the code pages.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <tuple>
#include <vector>

#include "platform/platform.h"
#include "tests/fail_hook.h"
#include "uuarc.h"

namespace uuarc {
namespace {

constexpr size_t kLongLine = 2 * kStreamBufferSize;  // room for any line these tests write
Stream g_stream;                        // a mebibyte: kept off the test's stack

// Each test runs in a fresh directory of its own, so relative host paths land there.
class Platform : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
        const char* tmp = std::getenv("TMPDIR");
        const std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/uuarc-platform-XXXXXX";
        std::strncpy(test_dir, pattern.c_str(), sizeof test_dir - 1);
        ASSERT_NE(mkdtemp(test_dir), nullptr);
        ASSERT_EQ(chdir(test_dir), 0);
    }
    void TearDown() override {
        ASSERT_EQ(chdir(old_cwd), 0);
        std::string command = std::string("chmod -R u+w '") + test_dir + "' && rm -rf '" + test_dir + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    static void WriteRaw(const char* name, const std::string& bytes) {
        const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        close(fd);
    }
    static std::string ReadRaw(const char* name) {
        std::string bytes;
        const int fd = open(name, O_RDONLY);
        if (fd < 0) return "<missing>";
        char chunk[4096];
        ssize_t got;
        while ((got = read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<size_t>(got));
        close(fd);
        return bytes;
    }
    // All of a stream's lines, read with the given fgets size, each followed by "|".
    static std::string Lines(const char* name, const char* mode, size_t size) {
        static Stream stream;
        static char line[kLongLine];
        std::string out;
        EXPECT_TRUE(StreamOpen(stream, name, mode));
        size_t got;
        while ((got = StreamReadLine(stream, line, size)) > 0) {
            EXPECT_EQ(line[got], '\0');
            out.append(line, got).append("|");
        }
        EXPECT_FALSE(StreamFailed(stream));
        EXPECT_TRUE(StreamClose(stream));
        return out;
    }

    char old_cwd[4096];
    char test_dir[4096];
};

// ---- Text reads ---------------------------------------------------------------------------

TEST_F(Platform, TextReadTurnsCrLfAndLoneCrIntoLf) {
    struct Case { std::string disk, lines; } cases[] = {
        {"ab\r\ncd\r\n", "ab\n|cd\n|"},
        {"ab\rcd\n", "ab\n|cd\n|"},
        {"ab\r\r\n", "ab\n|\n|"},
        {"ab\r", "ab\n|"},           // a CR at the end of the file ends the line too
        {"old\rmac\rfile\r", "old\n|mac\n|file\n|"},
        {"\r\n\r\n", "\n|\n|"},
        {"no newline", "no newline|"},
    };
    for (const Case& c : cases) {
        WriteRaw("f", c.disk);
        EXPECT_EQ(Lines("f", "rt", 100), c.lines) << c.disk;
    }
    WriteRaw("f", "ab\r\ncd\r\n");
    EXPECT_EQ(Lines("f", "rb", 100), "ab\r\n|cd\r\n|");
}

TEST_F(Platform, TextReadJoinsCrLfAcrossBufferRefill) {
    // The CR is the last byte of the first buffer, its LF the first of the second.
    std::string disk(kStreamBufferSize - 1, 'x');
    disk += "\r\nyz\r\n";
    WriteRaw("f", disk);
    EXPECT_EQ(Lines("f", "rt", kLongLine), std::string(kStreamBufferSize - 1, 'x') + "\n|yz\n|");

    // Same, but in one StreamRead call, and a lone CR at the boundary.
    disk[kStreamBufferSize - 1] = '\r';
    disk[kStreamBufferSize] = 'q';
    WriteRaw("f", disk);
    static char data[2 * kStreamBufferSize];
    ASSERT_TRUE(StreamOpen(g_stream, "f", "rt"));
    const size_t got = StreamRead(g_stream, data, sizeof data);
    EXPECT_EQ(std::string(data, got), std::string(kStreamBufferSize - 1, 'x') + "\nqyz\n");
    EXPECT_TRUE(StreamClose(g_stream));
}

TEST_F(Platform, CrLfAtTheLineLimitCountsAsOneCharacter) {
    WriteRaw("f", "abc\r\nd\r\n");
    EXPECT_EQ(Lines("f", "rt", 5), "abc\n|d\n|");    // the LF is the (size-1)th character
    EXPECT_EQ(Lines("f", "rt", 4), "abc|\n|d\n|");   // no room for it: it starts the next piece
    WriteRaw("f", "abcd\rx\n");
    EXPECT_EQ(Lines("f", "rt", 5), "abcd|\n|x\n|");
}

TEST_F(Platform, LongLineComesInPiecesOfSizeMinusOne) {
    WriteRaw("f", std::string(100, 'a') + "\n");
    const std::string piece = std::string(39, 'a') + "|";
    EXPECT_EQ(Lines("f", "rt", 40), piece + piece + std::string(22, 'a') + "\n|");
    std::string singles;
    for (int i = 0; i < 100; ++i) singles += "a|";
    EXPECT_EQ(Lines("f", "rb", 2), singles + "\n|");   // size 2: one character a call
}

TEST_F(Platform, ByteSubEndsTextButNotBinary) {
    WriteRaw("f", "ab\ncd\x1a" "ef\n");
    EXPECT_EQ(Lines("f", "rt", 100), "ab\n|cd|");
    EXPECT_EQ(Lines("f", "rb", 100), "ab\n|cd\x1a" "ef\n|");
    char data[16];
    ASSERT_TRUE(StreamOpen(g_stream, "f", "rt"));
    EXPECT_EQ(StreamRead(g_stream, data, sizeof data), 5u);
    EXPECT_EQ(StreamRead(g_stream, data, sizeof data), 0u);   // and stays ended
    EXPECT_EQ(StreamReadLine(g_stream, data, sizeof data), 0u);
    EXPECT_FALSE(StreamFailed(g_stream));
    StreamClose(g_stream);
}

TEST_F(Platform, NulBytesAreCountedLineCharacters) {
    WriteRaw("f", std::string("a\0b\r\n", 5));
    char line[16];
    ASSERT_TRUE(StreamOpen(g_stream, "f", "rt"));
    ASSERT_EQ(StreamReadLine(g_stream, line, sizeof line), 4u);
    EXPECT_EQ(std::string(line, 5), std::string("a\0b\n\0", 5));
    StreamClose(g_stream);
}

TEST_F(Platform, ControlByteIsFoundAtEveryOffsetOfTheLineScan) {
    // The line scan looks at 64 bytes a step, then 16, then 8, then one: a control byte at every
    // offset of those steps, in a line that goes on after it, ends the line there or stays in it
    // as a plain character. One file a byte, a line for each offset.
    for (const char control : {'\0', '\t', '\n', '\r'}) {
        const bool ends_text = control == '\n' || control == '\r';
        std::string disk, text, binary;
        for (size_t offset = 0; offset < 150; ++offset) {
            const std::string run(offset, 'x');
            const std::string line = run + control + "yz\n";
            const std::string split = run + "\n|yz\n|";
            disk += line;
            text += ends_text ? split : line + "|";
            binary += control == '\n' ? split : line + "|";
        }
        WriteRaw("f", disk);
        EXPECT_EQ(Lines("f", "rt", 1000), text) << int{control};
        EXPECT_EQ(Lines("f", "rb", 1000), binary) << int{control};
    }
    // 0x1A ends the text where it is found, the line before it cut there.
    for (size_t offset = 0; offset < 150; ++offset) {
        const std::string run(offset, 'x');
        WriteRaw("f", "ab\n" + run + "\x1A" + "yz\n");
        EXPECT_EQ(Lines("f", "rt", 1000), offset > 0 ? "ab\n|" + run + "|" : "ab\n|") << offset;
    }
}

TEST_F(Platform, LineViewsGiveWhatFgetsWouldAcrossRefills) {
    // Lines of every kind, over several buffers: plain ones, CR LF, lone CRs, NULs, tabs, long
    // runs, and a 0x1A near the end. The lines handed out without a copy and those copied must
    // together be exactly what fgets semantics give, for every size and both modes.
    std::string disk;
    unsigned seed = 7;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
    const std::string pieces[] = {"M", "abc", "\n", "\r\n", "\r", std::string(1, '\0'), "\t", "`"};
    while (disk.size() < 3 * kStreamBufferSize) {
        const unsigned pick = next() % 10;
        if (pick < 8) {
            disk += pieces[pick];
        } else {
            disk += std::string(next() % 300, static_cast<char>('!' + next() % 60));
        }
    }
    disk += "tail\x1A after the end\n";
    WriteRaw("f", disk);

    for (const char* mode : {"rt", "rb"}) {
        // The model: text mode applied, each character with the file offset after it, then the
        // lines cut as fgets cuts them; each line followed by "|" and where the next one starts.
        const bool text = mode[1] == 't';
        std::string expected;
        std::vector<size_t> after;
        for (size_t i = 0; i < disk.size(); ++i) {
            if (text && disk[i] == '\x1A') break;
            if (text && disk[i] == '\r' && i + 1 < disk.size() && disk[i + 1] == '\n') ++i;
            expected += text && disk[i] == '\r' ? '\n' : disk[i];  // a lone CR ends a line too
            after.push_back(i + 1);
        }
        for (size_t size : {size_t{2}, size_t{3}, size_t{9}, size_t{62}, size_t{255}, kLongLine}) {
            std::string want;
            for (size_t at = 0; at < expected.size();) {
                const size_t lf = expected.find('\n', at);
                size_t take = (lf == std::string::npos ? expected.size() : lf + 1) - at;
                if (take > size - 1) take = size - 1;
                want.append(expected, at, take).append("|" + std::to_string(after[at + take - 1]) + "|");
                at += take;
            }
            static char buffer[kLongLine];
            std::string got;
            size_t viewed = 0;
            ASSERT_TRUE(StreamOpen(g_stream, "f", mode));
            for (std::string_view line; !(line = StreamNextLine(g_stream, buffer, size)).empty();) {
                if (line.data() != buffer) ++viewed;
                got.append(line).append("|" + std::to_string(StreamPosition(g_stream)) + "|");
            }
            StreamClose(g_stream);
            EXPECT_EQ(got, want) << mode << " size " << size;
            EXPECT_GT(viewed, 0u) << mode << " size " << size;
        }
    }
}

TEST_F(Platform, PositionIsTheOnDiskOffsetOfTheNextByte) {
    std::string disk = "ab\r\ncd\r\n";
    disk += std::string(kStreamBufferSize - disk.size() - 1, 'x') + "\r\nend";
    WriteRaw("f", disk);
    static char line[kLongLine];
    ASSERT_TRUE(StreamOpen(g_stream, "f", "rt"));
    EXPECT_EQ(StreamPosition(g_stream), 0);
    StreamReadLine(g_stream, line, sizeof line);
    EXPECT_EQ(StreamPosition(g_stream), 4);
    StreamReadLine(g_stream, line, sizeof line);
    EXPECT_EQ(StreamPosition(g_stream), 8);
    StreamReadLine(g_stream, line, sizeof line);   // ends with the CR LF across the refill
    EXPECT_EQ(StreamPosition(g_stream), static_cast<int64_t>(kStreamBufferSize + 1));
    EXPECT_EQ(StreamReadLine(g_stream, line, sizeof line), 3u);
    EXPECT_EQ(StreamPosition(g_stream), static_cast<int64_t>(disk.size()));
    EXPECT_EQ(StreamLength(g_stream), static_cast<int64_t>(disk.size()));
    StreamClose(g_stream);
}

TEST_F(Platform, BinaryReadOfManyBuffersIsExact) {
    std::string disk;
    for (int i = 0; i < 300000; ++i) disk += static_cast<char>(i * 7 + i / 256);
    WriteRaw("f", disk);
    static char data[300001];
    ASSERT_TRUE(StreamOpen(g_stream, "f", "rb"));
    size_t got = StreamRead(g_stream, data, 10);                    // from the buffer
    got += StreamRead(g_stream, data + got, 200000);                // past it, straight in
    EXPECT_EQ(StreamPosition(g_stream), static_cast<int64_t>(got));
    got += StreamRead(g_stream, data + got, sizeof data - got);     // the rest, then the end
    EXPECT_EQ(got, disk.size());
    EXPECT_EQ(std::string(data, got), disk);
    EXPECT_EQ(StreamRead(g_stream, data, 1), 0u);
    StreamClose(g_stream);
}

TEST_F(Platform, LengthIsSixtyFourBit) {
    const int fd = open("sparse", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const off_t size = (off_t{1} << 32) + 3;   // high word 1, low word 3
    const bool sized = ftruncate(fd, size) == 0;
    close(fd);
    if (!sized) GTEST_SKIP() << "no sparse files here";
    ASSERT_TRUE(StreamOpen(g_stream, "sparse", "rb"));
    EXPECT_EQ(StreamLength(g_stream), static_cast<int64_t>(size));
    StreamClose(g_stream);
    FindData record;
    ASSERT_TRUE(FindFile("sparse", &record));
    EXPECT_EQ(record.size_high, 1u);
    EXPECT_EQ(record.size_low, 3u);
}

// ---- Writes and failures ------------------------------------------------------------------

TEST_F(Platform, TextWriteStoresCrLfAndRoundTrips) {
    ASSERT_TRUE(StreamOpen(g_stream, "t", "wt"));
    EXPECT_EQ(StreamWrite(g_stream, "a\nb\n\n", 5), 5u);
    EXPECT_EQ(StreamLength(g_stream), 8);   // pending bytes count
    EXPECT_TRUE(StreamClose(g_stream));
    EXPECT_EQ(ReadRaw("t"), "a\r\nb\r\n\r\n");

    // Many buffers' worth, with LFs at every offset relative to the buffer end.
    std::string text;
    for (int i = 0; text.size() < 3 * kStreamBufferSize; ++i) text += std::string(i % 97, 'z') + "\n";
    ASSERT_TRUE(StreamOpen(g_stream, "t", "wt"));
    EXPECT_EQ(StreamWrite(g_stream, text.data(), text.size()), text.size());
    EXPECT_TRUE(StreamClose(g_stream));
    static char back[4 * kStreamBufferSize];
    ASSERT_TRUE(StreamOpen(g_stream, "t", "rt"));
    EXPECT_EQ(std::string(back, StreamRead(g_stream, back, sizeof back)), text);
    StreamClose(g_stream);

    ASSERT_TRUE(StreamOpen(g_stream, "b", "wb"));
    EXPECT_EQ(StreamWrite(g_stream, "a\nb", 3), 3u);
    EXPECT_TRUE(StreamClose(g_stream));
    EXPECT_EQ(ReadRaw("b"), "a\nb");
}

TEST_F(Platform, WriteRoomFlushesOnlyWhenTheLineWouldNotFit) {
    // StreamSpace gives room in place while the buffer has it (in text mode a byte more, for the
    // CR before a LF) and flushes what is pending first when it has not. Pending bytes fill the
    // buffer to `left` places short of its end; then a line of nine characters goes in.
    const struct {
        const char* mode;
        size_t left;
        bool flushed;
    } cases[] = {{"wb", 8, true}, {"wb", 9, false}, {"wt", 9, true}, {"wt", 10, false}, {"wt", 11, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + ", " + std::to_string(c.left) + " left");
        const std::string filler(kStreamBufferSize - c.left, 'f');
        ASSERT_TRUE(StreamOpen(g_stream, "w", c.mode));
        ASSERT_EQ(StreamWrite(g_stream, filler.data(), filler.size()), filler.size());
        uint8_t* room = StreamSpace(g_stream, 9);
        ASSERT_NE(room, nullptr);
        EXPECT_EQ(ReadRaw("w").size(), c.flushed ? filler.size() : 0u);
        std::memcpy(room, "abcdefgh\n", 9);
        EXPECT_TRUE(StreamCommit(g_stream, 9));
        EXPECT_TRUE(StreamClose(g_stream));
        EXPECT_EQ(ReadRaw("w"), filler + (c.mode[1] == 't' ? "abcdefgh\r\n" : "abcdefgh\n"));
    }
    // A whole buffer is room in a binary stream, never in a text one (no place for the CR).
    ASSERT_TRUE(StreamOpen(g_stream, "w", "wb"));
    EXPECT_NE(StreamSpace(g_stream, kStreamBufferSize), nullptr);
    StreamClose(g_stream);
    ASSERT_TRUE(StreamOpen(g_stream, "w", "wt"));
    EXPECT_EQ(StreamSpace(g_stream, kStreamBufferSize), nullptr);
    StreamClose(g_stream);
}

TEST_F(Platform, FailedWriteIsShortAndSticky) {
    static char data[3 * kStreamBufferSize];
    std::memset(data, 'd', sizeof data);
    ASSERT_TRUE(StreamOpen(g_stream, "w", "wb"));
    {
        FailHook<&SystemCalls::write> hook(2, FailMode::Once);
        // The first buffer reaches the file, the second flush fails: only the first counts.
        EXPECT_EQ(StreamWrite(g_stream, data, sizeof data), kStreamBufferSize);
        EXPECT_TRUE(StreamFailed(g_stream));
        EXPECT_EQ(StreamWrite(g_stream, data, 1), 0u);   // writes would work again; the stream stays failed
        EXPECT_FALSE(StreamClose(g_stream));
    }
    EXPECT_FALSE(StreamFailed(g_stream));
    EXPECT_EQ(ReadRaw("w").size(), kStreamBufferSize);
}

TEST_F(Platform, CloseReportsAFailedFlushOrClose) {
    ASSERT_TRUE(StreamOpen(g_stream, "w", "wt"));
    EXPECT_EQ(StreamWrite(g_stream, "x\n", 2), 2u);
    {
        FailHook<&SystemCalls::write> hook(1, FailMode::FromThenOn);
        EXPECT_FALSE(StreamClose(g_stream));
    }
    EXPECT_FALSE(StreamIsOpen(g_stream));
    ASSERT_TRUE(StreamOpen(g_stream, "w", "wt"));
    {
        FailHook<&SystemCalls::close> hook(1);
        EXPECT_FALSE(StreamClose(g_stream));
    }
    EXPECT_TRUE(StreamClose(g_stream));   // closed already: nothing to do
}

// A rewind reads the file again from its start: from the buffer where it holds the start as the
// file has it, and from the file after a line read in place put a LF over a CR there.
TEST_F(Platform, RewindReadsTheStartAgain) {
    WriteRaw("f", "x\none\r\ntwo\n");
    static char line[kLongLine];
    for (const bool in_place : {false, true}) {
        ASSERT_TRUE(StreamOpen(g_stream, "f", "rt"));
        StreamReadLine(g_stream, line, sizeof line);  // fills the buffer
        if (in_place) {
            EXPECT_EQ(StreamNextLine(g_stream, line, sizeof line), "one\n");
        } else {
            StreamReadLine(g_stream, line, sizeof line);
        }
        FailHook<&SystemCalls::seek_start> seeks(1 << 30);
        ASSERT_TRUE(StreamRewind(g_stream));
        for (const char* expected : {"x\n", "one\n", "two\n"}) {
            StreamReadLine(g_stream, line, sizeof line);
            EXPECT_STREQ(line, expected) << in_place;
        }
        EXPECT_EQ(seeks.Calls(), in_place ? 1 : 0) << in_place;
        StreamClose(g_stream);
    }
}

// A second reader of an open file reads that file, whatever its path names by now: opened again
// through the system where it can, else through the path, and only while the path names it.
TEST_F(Platform, SecondReaderReadsTheFileThatIsOpen) {
    static Stream again;
    static char line[kLongLine];
    const struct {
        const char* what;
        bool replaced;     // another file takes the path while the first is open
        bool reopen;       // the system opens the open file again
        const char* read;  // what the second reader reads first; null: it does not open
    } cases[] = {
        {"opened again", true, true, "first\n"},
        {"the path, still that file", false, false, "first\n"},
        {"the path, another file", true, false, nullptr},
    };
    for (const auto& c : cases) {
        WriteRaw("f", "first\n");
        ASSERT_TRUE(StreamOpen(g_stream, "f", "rt")) << c.what;
        if (c.replaced) {
            ASSERT_EQ(std::rename("f", "gone"), 0);
            WriteRaw("f", "second\n");
        }
        FailHook<&SystemCalls::reopen> reopens(c.reopen ? 1 << 30 : 1, FailMode::FromThenOn);
        const bool opened = StreamOpenAgain(again, &g_stream, "f", "rt");
        EXPECT_EQ(opened, c.read != nullptr) << c.what;
        if (opened) {
            StreamReadLine(again, line, sizeof line);
            EXPECT_STREQ(line, c.read) << c.what;
        }
        StreamReadLine(g_stream, line, sizeof line);  // the first reader stays where it was
        EXPECT_STREQ(line, "first\n") << c.what;
        StreamClose(again);
        StreamClose(g_stream);
    }
}

TEST_F(Platform, FailedReadIsSticky) {
    WriteRaw("f", std::string(3 * kStreamBufferSize, 'r'));
    static char data[kStreamBufferSize];
    ASSERT_TRUE(StreamOpen(g_stream, "f", "rt"));
    FailHook<&SystemCalls::read> hook(2, FailMode::Once);
    EXPECT_EQ(StreamRead(g_stream, data, sizeof data), kStreamBufferSize);
    EXPECT_EQ(StreamReadLine(g_stream, data, sizeof data), 0u);
    EXPECT_TRUE(StreamFailed(g_stream));
    EXPECT_EQ(StreamRead(g_stream, data, sizeof data), 0u);
    EXPECT_EQ(hook.Calls(), 2);   // no further read once failed
    StreamClose(g_stream);
}

TEST_F(Platform, FailedOpenLeavesTheStreamClosed) {
    WriteRaw("f", "x");
    FailHook<&SystemCalls::open> hook(1);
    EXPECT_FALSE(StreamOpen(g_stream, "f", "rb"));
    EXPECT_FALSE(StreamIsOpen(g_stream));
    EXPECT_FALSE(StreamOpen(g_stream, "f", "r+"));   // and a mode we do not know
    EXPECT_FALSE(StreamOpen(g_stream, "missing", "rt"));
}

TEST_F(Platform, WriteOpenRefusesASymbolicLink) {
    WriteRaw("target", "keep me");
    ASSERT_EQ(symlink("target", "link"), 0);
    ASSERT_EQ(symlink("nowhere", "dangling"), 0);
    EXPECT_FALSE(StreamOpen(g_stream, "link", "wb"));
    EXPECT_FALSE(StreamOpen(g_stream, "dangling", "wt"));
    EXPECT_EQ(ReadRaw("target"), "keep me");
    EXPECT_EQ(ReadRaw("nowhere"), "<missing>");
    EXPECT_TRUE(StreamOpen(g_stream, "link", "rb"));   // reading through a link is fine
    StreamClose(g_stream);
}

// ---- Folders --------------------------------------------------------------------------------

// Another file under the name, or a link to the very file: only the file described is cut.
TEST_F(Platform, OverwriteOpensOnlyTheFileItWasToldOf) {
    WriteRaw("f", "old");
    WriteRaw("other", "other");
    ASSERT_EQ(symlink("f", "link"), 0);
    FileInfo f;
    FileInfo other;
    ASSERT_TRUE(PathInfo("f", &f) && PathInfo("other", &other));
    for (const auto& [path, like, opens] : {std::tuple{"f", other, false}, {"link", f, false}, {"f", f, true}}) {
        EXPECT_EQ(StreamCreate(g_stream, path, "wb", OpenHow::Overwrite, &like), opens) << path;
        StreamClose(g_stream);
        EXPECT_EQ(ReadRaw("f"), opens ? "" : "old") << path;
    }
    ASSERT_EQ(symlink(".", "here"), 0);
    EXPECT_EQ(OpenFolder("here", false), kNoHandle);
}

// ---- Paths --------------------------------------------------------------------------------

TEST_F(Platform, HostPathsPassAsTheyAreButForSlashes) {
    // The ANSI code page is UTF-8 here: Cyrillic, an emoji, and bytes that are no UTF-8 at all.
    ASSERT_TRUE(MakeDirectory("Документы"));
    EXPECT_FALSE(MakeDirectory("Документы"));
    for (const char* host : {"Документы\\plain.txt", "Документы\\Загрузки 😀.txt", "Документы\\\xe9t\xe9"}) {
        std::string disk = host;
        disk.replace(disk.find('\\'), 1, "/");
        ASSERT_TRUE(StreamOpen(g_stream, host, "wb")) << disk;
        EXPECT_TRUE(StreamClose(g_stream));
        struct stat info;
        EXPECT_EQ(stat(disk.c_str(), &info), 0) << disk;
        EXPECT_TRUE(PathExists(host)) << disk;
    }
}

TEST_F(Platform, OverlongPathFailsLikeAFailedOpen) {
    const std::string long_path(kNativePathSize, 'a');
    EXPECT_FALSE(StreamOpen(g_stream, long_path.c_str(), "wb"));
    EXPECT_FALSE(MakeDirectory(long_path.c_str()));
    EXPECT_EQ(OpenFileForInfo(long_path.c_str()), kNoHandle);
    EXPECT_FALSE(PathExists(""));
}

// ---- File services ------------------------------------------------------------------------

TEST_F(Platform, AttributesAndTheReadOnlyBit) {
    WriteRaw("f", "x");
    ASSERT_EQ(chmod("f", 0644), 0);
    ASSERT_EQ(mkdir("d", 0755), 0);
    uint32_t attributes = 0;
    ASSERT_TRUE(PathAttributes("f", &attributes));
    EXPECT_EQ(attributes, kAttrArchive);
    ASSERT_TRUE(PathAttributes("d", &attributes));
    EXPECT_EQ(attributes, kAttrDirectory);
    EXPECT_FALSE(PathAttributes("missing", &attributes));

    ASSERT_TRUE(SetPathAttributes("f", kAttrReadOnly | kAttrHidden));
    ASSERT_TRUE(PathAttributes("f", &attributes));
    EXPECT_EQ(attributes, kAttrArchive | kAttrReadOnly);
    struct stat info;
    stat("f", &info);
    EXPECT_EQ(info.st_mode & 0777, 0444u);   // only the owner's write bit went
    ASSERT_TRUE(SetPathAttributes("f", kAttrArchive));
    stat("f", &info);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_FALSE(SetPathAttributes("missing", kAttrArchive));

    FailHook<&SystemCalls::set_attributes> hook(1);
    EXPECT_FALSE(SetPathAttributes("f", kAttrReadOnly));
}

TEST_F(Platform, FindFileSynthesizesTheFindRecord) {
    ASSERT_EQ(mkdir("d", 0755), 0);
    WriteRaw("d/Müller.txt", "12345");
    const struct timespec times[2] = {{1600000000, 0}, {1700000000, 123456789}};
    ASSERT_EQ(utimensat(AT_FDCWD, "d/Müller.txt", times, 0), 0);

    FindData record;
    std::memset(&record, 0xEE, sizeof record);
    ASSERT_TRUE(FindFile("d\\Müller.txt", &record));
    EXPECT_EQ(record.attributes, kAttrArchive);
    const uint64_t written = 1700000000ull * 10000000 + 1234567 + 116444736000000000ull;
    EXPECT_EQ(record.last_write_time.low, static_cast<uint32_t>(written));
    EXPECT_EQ(record.last_write_time.high, static_cast<uint32_t>(written >> 32));
    const uint64_t accessed = 1600000000ull * 10000000 + 116444736000000000ull;
    EXPECT_EQ(record.last_access_time.low, static_cast<uint32_t>(accessed));
    EXPECT_EQ(record.last_access_time.high, static_cast<uint32_t>(accessed >> 32));
    EXPECT_EQ(record.size_high, 0u);
    EXPECT_EQ(record.size_low, 5u);
    EXPECT_EQ(record.reserved0, 0u);
    EXPECT_EQ(record.reserved1, 0u);
    EXPECT_STREQ(record.file_name, "Müller.txt");
    for (char c : record.alternate_name) EXPECT_EQ(c, 0);
    for (size_t i = std::strlen(record.file_name); i < sizeof record.file_name; ++i)
        EXPECT_EQ(record.file_name[i], 0);

    ASSERT_TRUE(FindFile("d", &record));
    EXPECT_EQ(record.attributes, kAttrDirectory);
    EXPECT_EQ(record.size_low, 0u);
    EXPECT_FALSE(FindFile("d\\missing", &record));
    EXPECT_FALSE(FindFile("d\\", &record));
}

TEST_F(Platform, SystemTimeIsNowAsFileTime) {
    FileTime now;
    SystemTimeAsFileTime(&now);
    const uint64_t ticks = (static_cast<uint64_t>(now.high) << 32) | now.low;
    const uint64_t expected = static_cast<uint64_t>(time(nullptr)) * 10000000 + 116444736000000000ull;
    EXPECT_LT(ticks > expected ? ticks - expected : expected - ticks, 50000000u);   // within 5 s
}

TEST_F(Platform, DosDateTimeIsPackedLocalTime) {
    WriteRaw("f", "x");
    struct tm local = {};
    local.tm_year = 2021 - 1900;
    local.tm_mon = 2;   // March
    local.tm_mday = 4;
    local.tm_hour = 5;
    local.tm_min = 6;
    local.tm_sec = 9;   // DOS keeps two-second steps: 9 becomes 4 * 2
    local.tm_isdst = -1;
    struct timespec times[2] = {{mktime(&local), 0}, {mktime(&local), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, "f", times, 0), 0);

    const FileHandle handle = OpenFileForInfo("f");
    ASSERT_NE(handle, kNoHandle);
    uint32_t date_time = 0;
    ASSERT_TRUE(HandleDosDateTime(handle, &date_time));
    EXPECT_EQ(date_time >> 16, (41u << 9) | (3u << 5) | 4u);
    EXPECT_EQ(date_time & 0xFFFF, (5u << 11) | (6u << 5) | 4u);
    CloseFileHandle(handle);

    local.tm_year = 1979 - 1900;
    times[1].tv_sec = mktime(&local);
    ASSERT_EQ(utimensat(AT_FDCWD, "f", times, 0), 0);
    const FileHandle old = OpenFileForInfo("f");
    ASSERT_NE(old, kNoHandle);
    EXPECT_FALSE(HandleDosDateTime(old, &date_time));
    CloseFileHandle(old);
    EXPECT_EQ(OpenFileForInfo("missing"), kNoHandle);
}

TEST_F(Platform, SameFileSeesThroughSpellingsAndHardLinks) {
    ASSERT_EQ(mkdir("dir", 0755), 0);
    WriteRaw("f", "x");
    WriteRaw("g", "x");
    ASSERT_EQ(link("f", "dir/hard"), 0);
    EXPECT_TRUE(SameFile("dir\\..\\f", "f"));
    EXPECT_TRUE(SameFile("dir\\hard", ".\\f"));
    EXPECT_FALSE(SameFile("f", "g"));
    EXPECT_FALSE(SameFile("f", "missing"));
    EXPECT_FALSE(SameFile("missing", "missing"));
}

// Two files the system gives no identity for (volume and index 0) are not known to be one.
TEST_F(Platform, SameFileNeverMatchesTwoFilesWithoutIdentity) {
    WriteRaw("f", "x");
    WriteRaw("g", "x");
    bool (*real)(FileHandle, const char*, bool, FileInfo*) = g_system.query;
    g_system.query = [](FileHandle, const char*, bool, FileInfo* info) {
        *info = FileInfo{};
        info->kind = FileKind::Regular;
        return true;
    };
    const bool unknown_same = SameFile("f", "g");
    const bool unknown_self = SameFile("f", "f");
    g_system.query = real;
    EXPECT_FALSE(unknown_same);
    EXPECT_FALSE(unknown_self);
    EXPECT_TRUE(SameFile("f", "f"));
}

// A null or empty path names no file: every service refuses it without asking the system, but
// OpenFolder, which takes "" for the current folder.
TEST_F(Platform, FileServicesRefuseAnEmptyPathBeforeTheSystem) {
    WriteRaw("f", "x");
    const FileHandle file = OpenFileForInfo("f");
    ASSERT_NE(file, kNoHandle);
    SystemCalls real = g_system;
    static int calls;
    calls = 0;
    g_system.open = [](FileHandle, const char*, OpenHow, const FileInfo*) -> FileHandle { ++calls; return kNoHandle; };
    g_system.query = [](FileHandle, const char*, bool, FileInfo*) { ++calls; return false; };
    g_system.find = [](FileHandle, const char*, FindData*) { ++calls; return false; };
    g_system.set_attributes = [](const char*, uint32_t) { ++calls; return false; };
    g_system.make_directory = [](FileHandle, const char*) { ++calls; return false; };
    g_system.rename = [](FileHandle, const char*, const char*) { ++calls; return false; };
    g_system.remove = [](FileHandle, const char*) { ++calls; return false; };
    g_system.link = [](FileHandle, FileHandle, const char*) { ++calls; return false; };
    uint32_t attributes = 0;
    FileInfo info;
    FindData record;
    for (const char* path : {static_cast<const char*>(nullptr), ""}) {
        const std::string label = path == nullptr ? "null" : "empty";
        EXPECT_FALSE(PathExists(path)) << label;
        EXPECT_FALSE(PathAttributes(path, &attributes)) << label;
        EXPECT_FALSE(PathInfo(path, &info)) << label;
        EXPECT_FALSE(SetPathAttributes(path, kAttrArchive)) << label;
        EXPECT_FALSE(MakeDirectory(path)) << label;
        EXPECT_FALSE(RenameReplacing(path, "f")) << label;
        EXPECT_FALSE(RenameReplacing("f", path)) << label;
        EXPECT_FALSE(FileWritable(path)) << label;
        EXPECT_FALSE(RemoveFile(path)) << label;
        EXPECT_FALSE(FindFile(path, &record)) << label;
        EXPECT_FALSE(LinkFile(file, path, kNoHandle)) << label;
        EXPECT_EQ(OpenFileForInfo(path), kNoHandle) << label;
        EXPECT_FALSE(SameFile(path, "f")) << label;
        EXPECT_FALSE(SameFile("f", path)) << label;
    }
    EXPECT_EQ(OpenFolder(nullptr, true), kNoHandle);
    const int asked = calls;
    g_system = real;
    EXPECT_EQ(asked, 2);   // SameFile("f", ...) asks about "f" before it looks at the other path
    CloseFileHandle(file);

    const FileHandle here = OpenFolder("", false);
    ASSERT_NE(here, kNoHandle);
    EXPECT_TRUE(FolderWritable(here));
    CloseFileHandle(here);
}

// ---- Code pages ---------------------------------------------------------------------------
// The ANSI code page is UTF-8 here: OEM code page 437 goes through its table, UTF-8 as it is.

TEST_F(Platform, CodePagesConvertExactlyAndCutOnlyBetweenCharacters) {
    constexpr Conversion kWhole = Conversion::Whole, kCut = Conversion::Cut, kNoForm = Conversion::NoForm;
    struct Case {
        Conversion (*convert)(const char*, char*, size_t);
        const char* source;
        size_t size;
        Conversion result;
        const char* expected;
    } cases[] = {
        // OEM 0x81 u diaeresis, 0xE1 sharp s, 0xC4 a box-drawing line (3 bytes), 0xEA capital omega.
        {OemToAnsi, "M\x81ller \xe1\xc4\xea", 64, kWhole, "Müller ß─Ω"},
        {OemToAnsi, "\t\x7f\xc4\xc4", 9, kWhole, "\t\x7f──"},
        {OemToAnsi, "\xc4\xc4", 6, kCut, "─"},
        {AnsiToOem, "Müller ß─Ω\t", 64, kWhole, "M\x81ller \xe1\xc4\xea\t"},
        {AnsiToOem, "Müller", 3, kCut, "M\x81"},
        // No exact OEM form (where CharToOemA puts o, O, ? or a look-alike), also after a cut.
        {AnsiToOem, "œuvre €uro", 64, kNoForm, ""},
        {AnsiToOem, "\u2126 ohm sign", 64, kNoForm, ""},
        {AnsiToOem, "中文", 64, kNoForm, ""},
        {AnsiToOem, "ab 😀", 2, kNoForm, ""},
        // Not UTF-8: Latin-1 bytes, an overlong slash, a surrogate.
        {AnsiToOem, "\xe9t\xe9", 64, kNoForm, ""},
        {AnsiToOem, "a\xc0\xaf", 64, kNoForm, ""},
        {Utf8ToAnsi, "\xed\xa0\x80", 64, kNoForm, ""},
        {Utf8ToAnsi, "naïve 中文 😀", 64, kWhole, "naïve 中文 😀"},
        {Utf8ToAnsi, "中文", 6, kCut, "中"},
        {Utf8ToAnsi, "😀", 4, kCut, ""},
        {AnsiToUtf8, "\xe9t\xe9.txt", 64, kWhole, "\xe9t\xe9.txt"},
        {AnsiToUtf8, "ab中", 5, kCut, "ab"},
    };
    for (const Case& c : cases) {
        char out[64];
        std::memset(out, '#', sizeof out);
        EXPECT_EQ(c.convert(c.source, out, c.size), c.result) << c.source << " in " << c.size;
        EXPECT_STREQ(out, c.expected) << c.source << " in " << c.size;
        for (size_t i = c.size; i < sizeof out; ++i) ASSERT_EQ(out[i], '#') << c.source << ": written past the size";
    }
    EXPECT_FALSE(IsLeadByte(0x81));
}

TEST_F(Platform, EveryOemByteComesBackFromUtf8) {
    for (int byte = 1; byte < 256; ++byte) {
        const char oem[2] = {static_cast<char>(byte), 0};
        char utf8[8];
        char back[4];
        ASSERT_EQ(OemToAnsi(oem, utf8, sizeof utf8), Conversion::Whole);
        if (byte < 0x80) {
            EXPECT_STREQ(utf8, oem) << "ASCII, controls included, stays itself";
        }
        ASSERT_EQ(AnsiToOem(utf8, back, sizeof back), Conversion::Whole) << byte;
        EXPECT_EQ(static_cast<uint8_t>(back[0]), byte);
    }
}

}  // namespace
}  // namespace uuarc
