// codec_test.cpp - the line codec on every path it has (format/codec_path.h), each held against
// the plain reference coder of tests/codec_reference.h, base64 lines on every path against the
// careful one, and the choice of path at load. Needs no files, so the Win32 build runs it under
// Wine too, against the objects that make the DLL.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>
#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "format/alphabet.h"
#include "format/base64.h"
#include "format/codec_path.h"
#include "format/line_codec.h"
#include "tests/codec_paths.h"
#include "tests/codec_reference.h"

namespace uuarc::test {
namespace {

enum class Alphabet { Default, Xx, Table };

// The codec's alphabet state, as its callers own one.
AlphabetState g_alphabet;
constexpr Alphabet kAlphabets[] = {Alphabet::Default, Alphabet::Xx, Alphabet::Table};

// Makes `which` active with its decode table. The table alphabet runs down from '~', so that it
// shares characters with both others at other values, and has "e" for 45, so that a full line may
// begin with "end".
void UseAlphabet(Alphabet which) {
    ResetDefaultAlphabet(g_alphabet);
    if (which == Alphabet::Xx) SwitchToXxAlphabet(g_alphabet, 'h');
    if (which == Alphabet::Table) {
        for (int value = 0; value < 64; ++value) g_alphabet.table_alphabet[value] = static_cast<char>(0x7E - value);
        std::swap(g_alphabet.table_alphabet[25], g_alphabet.table_alphabet[45]);  // "e" is the length of a full line
        g_alphabet.active = AlphabetKind::Table;
        ASSERT_EQ(BuildDecodeTable(g_alphabet), 0);
    }
}

ReferenceAlphabet Reference() { return {ActiveAlphabet(g_alphabet), !g_alphabet.xx_mode}; }

// Decodes `line` from a block of exactly its size, so that a sanitizer build sees any read past
// it, and checks count, bytes and status against the reference, padded and not.
void ExpectDecodesAsReference(std::string_view line, const std::string& label) {
    const std::vector<char> exact(line.begin(), line.end());
    for (const Padding padding : {Padding::Refused, Padding::Allowed}) {
        uint8_t out[kDecodeBufferSize];
        const int count = DecodeLine(g_alphabet, std::string_view(exact.data(), exact.size()), out, padding);
        const ReferenceDecoded expected = ReferenceDecodeLine(Reference(), line, padding == Padding::Allowed);
        ASSERT_EQ(count, expected.count) << label;
        if (count > 0) {
            EXPECT_TRUE(std::equal(expected.bytes.begin(), expected.bytes.end(), out)) << label;
        }
    }
}

// Every test of the suite runs once per path, with a fresh alphabet state.
class Codec : public OnEveryCodecPath {
protected:
    void SetUp() override {
        g_alphabet = AlphabetState{};
        OnEveryCodecPath::SetUp();
    }
};

TEST_P(Codec, EncodesAndDecodesTheWorkedExample) {
    UseAlphabet(Alphabet::Default);
    char line[kMaxEncodedLine];
    const uint8_t abc[3] = {'a', 'b', 'c'};
    ASSERT_EQ(EncodeLine(g_alphabet, abc, line, 3), 6);
    EXPECT_EQ(std::string(line, 6), "#86)C\n");
    uint8_t out[kDecodeBufferSize];
    EXPECT_EQ(DecodeLine(g_alphabet, "#86)C\n", out, Padding::Refused), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "abc");
    EXPECT_EQ(DecodeLine(g_alphabet, "#86)C plus a check character\n", out, Padding::Refused), 3);
    EXPECT_EQ(EncodeLine(g_alphabet, abc, line, 0), 2);
    EXPECT_EQ(std::string(line, 2), "`\n");
    SwitchToXxAlphabet(g_alphabet, '1');
    EXPECT_EQ(DecodeLine(g_alphabet, "1MK7X\n", out, Padding::Refused), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "abc");
}

// Every length in every alphabet, bytes from exactly sized blocks so that a sanitizer build sees
// a read or write past the groups: the reference's line, and back to the bytes.
TEST_P(Codec, EveryLineLengthEncodesAsReferenceAndBack) {
    std::mt19937 generator(45);
    for (const Alphabet alphabet : kAlphabets) {
        UseAlphabet(alphabet);
        for (int count = 0; count <= kBytesPerLine; ++count) {
            for (int round = 0; round < 8; ++round) {
                std::vector<uint8_t> bytes(static_cast<size_t>(3 * ((count + 2) / 3)));
                for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(generator());
                std::vector<char> line(kMaxEncodedLine);
                const int length = EncodeLine(g_alphabet, bytes.data(), line.data(), count);
                const std::string expected = ReferenceEncodeLine(Reference(), bytes.data(), count);
                ASSERT_EQ(std::string(line.data(), static_cast<size_t>(length)), expected) << count;
                const std::vector<char> exact(line.begin(), line.begin() + length);
                uint8_t out[kDecodeBufferSize];
                ASSERT_EQ(DecodeLine(g_alphabet, std::string_view(exact.data(), exact.size()), out, Padding::Refused), count);
                EXPECT_TRUE(std::equal(bytes.begin(), bytes.begin() + count, out)) << count;
            }
        }
    }
}

// Each byte value at the first, a middle and the last place of a full line: good characters
// give the reference's bytes, any other fails the line with 9964.
TEST_P(Codec, EveryByteAtEveryPlaceDecodesAsReference) {
    for (const Alphabet alphabet : kAlphabets) {
        UseAlphabet(alphabet);
        const char* characters = ActiveAlphabet(g_alphabet);
        for (int byte = 1; byte < 256; ++byte) {
            for (size_t at : {size_t{1}, size_t{7}, size_t{30}, size_t{60}}) {
                std::string line = characters[45] + std::string(60, characters[1]) + "\n";
                line[at] = static_cast<char>(byte);
                ExpectDecodesAsReference(line, std::to_string(byte) + " at " + std::to_string(at));
            }
        }
    }
}

// Lines of every length cut short at every place, with and without their LF, and with a length
// character that promises more or fewer groups than follow: the whole-line paths must take
// only lines that hold all their groups and leave the others to be read padded as the reference.
TEST_P(Codec, LinesCutAnywhereDecodeAsReference) {
    std::mt19937 generator(7);
    for (const Alphabet alphabet : kAlphabets) {
        UseAlphabet(alphabet);
        const char* characters = ActiveAlphabet(g_alphabet);
        for (int count = 1; count <= kBytesPerLine; ++count) {
            std::string line(1, characters[count]);
            for (int i = 0; i < 4 * ((count + 2) / 3); ++i) line += characters[generator() % 64];
            for (size_t cut = 1; cut <= line.size(); ++cut) {
                ExpectDecodesAsReference(line.substr(0, cut), "cut " + std::to_string(cut));
                ExpectDecodesAsReference(line.substr(0, cut) + "\n", "cut with LF " + std::to_string(cut));
            }
            line[0] = characters[std::min(count + 6, 63)];
            ExpectDecodesAsReference(line + "\n", "longer length " + std::to_string(count));
        }
    }
}

// A character without a value fails its line, the length character too and a short line too;
// what is missing reads as 0 where padding is allowed and makes a short line where it is not;
// the characters of a short last group that carry no data read as 0 whatever they are.
TEST_P(Codec, LinesFailOnlyOnACharacterWithoutValue) {
    using namespace std::string_literals;
    UseAlphabet(Alphabet::Default);
    constexpr int kShort = kShortLine;
    const struct {
        std::string line;
        int count;  // -1: the line fails; with padding refused
        int padded_count;
        std::string bytes;
    } cases[] = {
        {"#8a)C\n", -1, -1, ""}, {"#86)\xC3\n", -1, -1, ""}, {"#8a\n", -1, -1, ""}, {"#8\0\n"s, -1, -1, ""},
        {"\n", -1, -1, ""}, {"~abc\n", -1, -1, ""}, {"~"s.append(172, '!') + "\n", -1, -1, ""},
        {"`\n", 0, 0, ""}, {" \n", 0, 0, ""}, {"#86)C\n", 3, 3, "abc"},
        {"#86)\n", kShort, 3, "ab@"}, {"#86\n", kShort, 3, "a`\0"s}, {"&86)C\n", kShort, 6, "abc\0\0\0"s},
        {"!80\n", 1, 1, "a"}, {"!8\n", kShort, 1, "`"}, {"!80~\x80\n", 1, 1, "a"}, {"\"86(\xFF\n", 2, 2, "ab"},
        {"!8~\n", -1, -1, ""}, {"\"86~C\n", -1, -1, ""},
    };
    for (const auto& c : cases) {
        for (const Padding padding : {Padding::Refused, Padding::Allowed}) {
            uint8_t out[kDecodeBufferSize];
            const std::vector<char> exact(c.line.begin(), c.line.end());
            const int expected = padding == Padding::Allowed ? c.padded_count : c.count;
            ASSERT_EQ(DecodeLine(g_alphabet, std::string_view(exact.data(), exact.size()), out, padding), expected)
                << c.line;
            if (expected > 0) {
                EXPECT_EQ(std::string(reinterpret_cast<char*>(out), static_cast<size_t>(expected)), c.bytes);
            }
        }
    }
}

// Every length the length character can give, up to 21 groups, with a character that may lack a
// value at each place in turn, the length character's too: the wide paths' steps, their overlap
// at the end and the narrower paths that take shorter lines must find it wherever it lies.
TEST_P(Codec, EveryLengthWithAnOddCharacterAnywhereDecodesAsReference) {
    std::mt19937 generator(63);
    for (const Alphabet alphabet : kAlphabets) {
        UseAlphabet(alphabet);
        const char* characters = ActiveAlphabet(g_alphabet);
        for (int count = 1; count <= 63; ++count) {
            std::string line(1, characters[count]);
            for (int i = 0; i < 4 * ((count + 2) / 3); ++i) line += characters[generator() % 64];
            line += '\n';
            ExpectDecodesAsReference(line, "whole " + std::to_string(count));
            for (size_t at = 0; at + 1 < line.size(); ++at) {
                for (const char odd : {'\0', '\x1F', ' ', '`', 'a', '\x7F', '\x80', '\xFF'}) {
                    std::string damaged = line;
                    damaged[at] = odd;
                    ExpectDecodesAsReference(damaged, std::to_string(count) + ": " + std::to_string(odd) + " at " +
                                                          std::to_string(at));
                }
            }
        }
    }
}

// Runs of full lines go only as far as the line routines would take them whole: the first line
// that is not a full one in the active alphabet (a character without a value, another length, a
// short line, 0x1A, a CR whose next byte is not in view, a cut) or that begins with "end" (a full
// line of the table alphabet, where "e" is the length 45) ends the run before it, and every
// line taken gives the bytes that DecodeLine gives it. Encoding them back gives the same text.
// Each case with each kind of line end.
template <typename Case, size_t kCount>
std::vector<std::pair<Case, const char*>> CasesByLineEnd(const Case (&cases)[kCount]) {
    std::vector<std::pair<Case, const char*>> all;
    for (const Case& c : cases) {
        for (const char* end : {"\n", "\r\n", "\r"}) all.emplace_back(c, end);
    }
    return all;
}

TEST_P(Codec, RunsOfFullLinesMatchLineByLine) {
    std::mt19937 generator(45);
    const struct {
        const char* label;
        size_t line;       // the line changed (6: none)
        size_t at;         // where in it
        const char* value; // what goes there; "": the line ends there
        size_t cut;        // bytes left off the end of the text
        size_t expected;   // lines taken
    } cases[] = {
        {"six whole lines", 6, 0, "", 0, 6},
        {"a character without a value", 3, 17, "\x7F", 0, 3},
        {"a control character", 0, 60, "\t", 0, 0},
        {"the length of 44 bytes", 2, 0, "L", 0, 2},
        {"a short line (its blanks stripped)", 4, 50, "", 0, 4},
        {"0x1A where a line starts", 5, 0, "\x1A", 0, 5},
        {"a line end that is neither", 1, 61, "x", 0, 1},
        {"the text cut inside the last line", 6, 0, "", 30, 5},
        {"the last CR without its next byte in view", 6, 0, "", 1, 5},
        {"a line that begins with end", 2, 0, "end", 0, 2},
        {"a line end of another length", 3, 61, nullptr, 0, 3},
    };
    // A run keeps to the line end of its first line: every line ends alike, but where a case says.
    for (const Alphabet alphabet : kAlphabets) {
        UseAlphabet(alphabet);
        const char* characters = ActiveAlphabet(g_alphabet);
        for (const auto& [c, end] : CasesByLineEnd(cases)) {
            const char* other = std::strlen(end) == 1 ? "\r\n" : "\n";
            const char* ends[6] = {end, end, end, end, end, end};
            if (c.value == nullptr) ends[c.line] = other;
            std::vector<std::string> lines(6);
            std::string text;
            for (size_t i = 0; i < lines.size(); ++i) {
                lines[i] = std::string(1, characters[45]);
                for (int k = 0; k < 60; ++k) lines[i] += characters[generator() % 64];
                const bool changed = i == c.line && c.value != nullptr;
                if (changed && *c.value == '\0') {
                    lines[i].resize(c.at);
                } else if (changed && c.at == lines[i].size()) {
                    lines[i] += c.value;  // a character after the groups
                } else if (changed) {
                    lines[i].replace(c.at, std::strlen(c.value), c.value);
                }
                text += lines[i] + (i + 1 == lines.size() && c.cut == 1 ? "\r\n" : ends[i]);
            }
            // An end line after them, so that a CR at the end of the sixth has its next byte in view.
            if (c.cut == 0) text += std::string("end") + end;
            text.resize(text.size() - c.cut);
            const std::vector<uint8_t> exact(text.begin(), text.end());
            std::vector<uint8_t> out(6 * 45 + kFullLineSlack);
            size_t consumed = 0;
            const size_t taken = DecodeFullLines(g_alphabet, exact, out.data(), 6, &consumed);
            const std::string label = std::string(c.label) + ", alphabet " + characters[0] + ", line end " +
                                      (end[0] == '\n' ? "LF" : end[1] == '\n' ? "CR LF" : "CR");
            if (ActiveCodecPath() == CodecPath::Careful) {
                EXPECT_EQ(taken, 0u) << label;  // the careful path takes every line on its own
                continue;
            }
            ASSERT_EQ(taken, c.expected) << label;
            size_t length = 0;
            for (size_t i = 0; i < taken; ++i) {
                length += lines[i].size() + std::strlen(ends[i]);
                uint8_t one[kDecodeBufferSize];
                ASSERT_EQ(DecodeLine(g_alphabet, lines[i] + "\n", one, Padding::Refused), 45) << label << ", line " << i;
                EXPECT_TRUE(std::equal(one, one + 45, out.begin() + 45 * i)) << label << ", line " << i;
            }
            EXPECT_EQ(consumed, length) << label;
            std::string encoded(6 * 63, '\0');
            encoded.resize(EncodeFullLines(g_alphabet, out.data(), taken, encoded.data(), "\r\n"));
            std::string expected;
            for (size_t i = 0; i < taken; ++i) expected += lines[i] + "\r\n";
            EXPECT_EQ(encoded, expected) << label;
        }
    }
}

// Where a table gives "b" the length of a full line, a begin line of that length is no data line
// of a run: in a text of several files it starts the next one, which the line routines see.
TEST_P(Codec, RunsLeaveABeginLineToTheLineRoutines) {
    char* table = g_alphabet.table_alphabet;  // the XX characters as a table: digits, letters, the space as 0
    std::memcpy(table, kXxAlphabet, 64);
    std::swap(*std::find(table, table + 64, 'b'), table[45]);
    g_alphabet.active = AlphabetKind::Table;
    ASSERT_EQ(BuildDecodeTable(g_alphabet), 0);
    const std::string begin = "begin 644 " + std::string(51, 'x') + "\n";
    const std::vector<uint8_t> text(begin.begin(), begin.end());
    uint8_t out[45 + kFullLineSlack];
    size_t consumed = 0;
    EXPECT_EQ(DecodeFullLines(g_alphabet, text, out, 1, &consumed), 0u);
}

INSTANTIATE_TEST_SUITE_P(Paths, Codec, ::testing::ValuesIn(kEveryCodecPath), CodecPathTestName);

// ---- Base64 lines ----------------------------------------------------------------------------

class Base64Paths : public OnEveryCodecPath {};

// What decoding `line` from the state `before` gives on `path`, in one string: the answer, the
// bytes and the state after (the characters of the group begun, and the padding flag).
std::string DecodeBase64On(CodecPath path, Base64State state, std::string_view line) {
    const std::vector<char> exact(line.begin(), line.end());  // a read past it shows in a sanitizer build
    uint8_t out[kDecodeBufferSize];
    EXPECT_TRUE(SetCodecPath(path));
    const int result = DecodeBase64Line(state, std::string_view(exact.data(), exact.size()), out);
    if (result < 0) return "-1";
    return std::to_string(result) + std::string(reinterpret_cast<char*>(out), static_cast<size_t>(result)) +
           std::string(reinterpret_cast<char*>(state.group), static_cast<size_t>(state.count)) + "|" +
           std::to_string(state.padded);
}

// Lines of every length up to 100 characters and some up to the line buffer's 254, with and
// without padding and line ends, and with an odd character ("=" among them) at each place in
// turn, from a fresh, a carried and a padded state: the vectors take a line's whole groups up to
// its last, and must give every answer that the careful path gives a character at a time.
TEST_P(Base64Paths, EveryLineDecodesAsCarefully) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto expect_as_careful = [](const std::string& line) {
        for (const Base64State& before : {Base64State{}, Base64State{{1, 2}, 2, false}, Base64State{{}, 0, true}}) {
            ASSERT_EQ(DecodeBase64On(GetParam(), before, line), DecodeBase64On(CodecPath::Careful, before, line))
                << line << " after " << before.count << " characters";
        }
    };
    std::mt19937 generator(76);
    for (size_t length = 0; length <= 252; length += length < 100 ? 1 : 38) {
        std::string line;
        for (size_t i = 0; i < length; ++i) line += kAlphabet[generator() % 64];
        const std::string padded = line + (length % 4 == 2 ? "==" : length % 4 == 3 ? "=" : "");
        for (const char* end : {"", "\n", "\r\n"}) {
            expect_as_careful(line + end);
            expect_as_careful(padded + end);
        }
        for (size_t at = 0; at < padded.size(); ++at) {
            for (const char odd : {'=', '*', '\n', '\0', '\x80'}) {
                std::string damaged = padded + "\n";
                damaged[at] = odd;
                expect_as_careful(damaged);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, Base64Paths, ::testing::ValuesIn(kEveryCodecPath), CodecPathTestName);

// The processor is asked once, at load: SSSE3 exactly where cpuid reports it, the words
// otherwise; a path it lacks cannot be forced.
TEST(CodecPaths, BestPathIsTheWidestTheProcessorHas) {
    bool has_ssse3 = false;
#if defined(__i386__) || defined(__x86_64__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) has_ssse3 = (ecx & bit_SSSE3) != 0;
#endif
    EXPECT_EQ(BestCodecPath(), has_ssse3 ? CodecPath::Ssse3 : CodecPath::Words);
    EXPECT_EQ(ActiveCodecPath(), BestCodecPath()) << "unless forced, the best path is taken";
    EXPECT_EQ(CodecPathSupported(CodecPath::Ssse3), has_ssse3);
    const CodecPath before = ActiveCodecPath();
    EXPECT_EQ(SetCodecPath(CodecPath::Ssse3), has_ssse3);
    EXPECT_EQ(ActiveCodecPath(), has_ssse3 ? CodecPath::Ssse3 : before);
    SetCodecPath(before);
    ASSERT_TRUE(SetCodecPath(CodecPath::Careful));
    EXPECT_EQ(ActiveCodecPath(), CodecPath::Careful);
    SetCodecPath(before);
    std::printf("[          ] best codec path: %s\n", CodecPathName(BestCodecPath()));
}

}  // namespace
}  // namespace uuarc::test
