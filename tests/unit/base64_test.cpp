// base64_test.cpp - the base64 decode table, the line decoder of "begin-base64" files on every
// path of the codec, and the header scan's choice between the two begin lines.
#include <cstring>
#include <string>

#include "format/base64.h"
#include "format/header.h"
#include "test_support.h"
#include "tests/codec_paths.h"

namespace uuarc::test {
namespace {

TEST(Base64, TableGivesEveryByteItsValue) {
    for (int c = 0; c < 256; ++c) {
        uint8_t expected = kBase64NoValue;
        if (c >= 'A' && c <= 'Z') expected = static_cast<uint8_t>(c - 'A');
        if (c >= 'a' && c <= 'z') expected = static_cast<uint8_t>(c - 'a' + 26);
        if (c >= '0' && c <= '9') expected = static_cast<uint8_t>(c - '0' + 52);
        if (c == '+') expected = 62;
        if (c == '/') expected = 63;
        if (c == '=') expected = kBase64Pad;
        EXPECT_EQ(kBase64Decode[c], expected) << "byte " << c;
    }
}

// Decodes `line` with a fresh state; `*result` is the decoder's answer.
std::string DecodeOne(const std::string& line, int* result) {
    Base64State state;
    uint8_t out[kDecodeBufferSize];
    *result = DecodeBase64Line(state, line, out);
    return *result < 0 ? std::string() : std::string(reinterpret_cast<char*>(out), static_cast<size_t>(*result));
}

class Base64Lines : public OnEveryCodecPath {};

// Lines and what they decode to; a damaged line (a character outside the alphabet, padding
// where it cannot stand, a byte of 0x80 and up) gives -1, also where it lies among groups that
// the Ssse3 path takes 16 characters at a time.
TEST_P(Base64Lines, DecodeOrAreRefused) {
    const std::string long_line = "TWFu" + std::string(68, 'A');  // 54 bytes: "Man" and zeros
    const std::string long_bytes = "Man" + std::string(51, '\0');
    const struct {
        std::string line;
        std::string decoded;
        int result;
    } cases[] = {
        {"YWJj\n", "abc", 3},
        {"YWI=\n", "ab", 2},
        {"YQ==\n", "a", 1},
        {"\n", "", 0},
        {"YWJjZGVm\r\n", "abcdef", 6},
        {"YWJjZA==\r", "abcd", 4},
        {"TWFu", "Man", 3},
        {"AP8A/w==\n", std::string("\x00\xff\x00\xff", 4), 4},
        {"YW*j\n", "", -1}, {"YW Jj\n", "", -1}, {"Y===\n", "", -1}, {"=AAA\n", "", -1},
        {"YQ=j\n", "", -1}, {"YQ==YQ==\n", "", -1}, {"YWJ\xc3\n", "", -1},
        {long_line + "YQ==\r\n", long_bytes + "a", 55},
        {long_line + "YWI=\n", long_bytes + "ab", 56},
        {"*" + long_line + "\n", "", -1}, {long_line + "*\n", "", -1}, {long_line + "YQ==A\n", "", -1},
        {long_line.substr(0, 30) + "=" + long_line.substr(31) + "\n", "", -1},
    };
    for (const auto& c : cases) {
        int result = 0;
        EXPECT_EQ(DecodeOne(c.line, &result), c.decoded) << c.line;
        EXPECT_EQ(result, c.result) << c.line;
    }
    // The longest line that "uuencode -m" writes: 76 characters for 57 bytes.
    int result = 0;
    EXPECT_EQ(DecodeOne(std::string(76, 'A') + "\n", &result), std::string(57, '\0'));
}

// A line longer than the line buffer arrives in pieces that need not end at a group; a piece that
// goes on inside a group is decoded from there, however long.
TEST_P(Base64Lines, GroupCarriedToTheNextPiece) {
    Base64State state;
    uint8_t out[kDecodeBufferSize];
    EXPECT_EQ(DecodeBase64Line(state, "YWJjZG", out), 3);
    EXPECT_EQ(state.count, 2);
    ASSERT_EQ(DecodeBase64Line(state, "Vm\n", out), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "def");
    EXPECT_EQ(state.count, 0);
    EXPECT_EQ(DecodeBase64Line(state, "YW", out), 0);
    ASSERT_EQ(DecodeBase64Line(state, "JjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJjYWJj\n", out), 30);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 30), "abcabcabcabcabcabcabcabcabcabc");
}

INSTANTIATE_TEST_SUITE_P(Paths, Base64Lines, ::testing::ValuesIn(kEveryCodecPath), CodecPathTestName);

// ---- The header scan -------------------------------------------------------------------------

class BeginForms : public ModuleTest {};

TEST_F(BeginForms, FirstBeginLineDecides) {
    const struct {
        const char* text;
        BeginForm form;
        const char* name;
    } cases[] = {
        {"begin-base64 644 b.bin\nYQ==\n====\n", BeginForm::Base64, "b.bin"},
        {"begin 644 u.bin\n`\nend\n", BeginForm::Uuencode, "u.bin"},
        {"begin-base64 644 b.bin\nbegin 644 u.bin\n", BeginForm::Base64, "b.bin"},
        {"begin 644 u.bin\nbegin-base64 644 b.bin\n", BeginForm::Uuencode, "u.bin"},
        {"begin-base64 x b.bin\nbegin-base64\nbegin-base64 644 \nbegin 600 u.bin\n", BeginForm::Uuencode, "u.bin"},
        {"begin-base64  0644   a name  \n", BeginForm::Base64, "a name"},
    };
    for (const auto& c : cases) {
        Write("a.uue", c.text);
        AlphabetState alphabet;
        static Stream input;  // a mebibyte: kept off the test's stack
        ASSERT_TRUE(StreamOpen(input, Win("a.uue").c_str(), "rt"));
        BeginLine begin;
        begin.form = c.form == BeginForm::Base64 ? BeginForm::Uuencode : BeginForm::Base64;
        EXPECT_EQ(FindBeginLine(alphabet, input, begin), 0) << c.text;
        EXPECT_EQ(begin.form, c.form) << c.text;
        EXPECT_STREQ(begin.name, c.name) << c.text;
        StreamClose(input);
    }
}

}  // namespace
}  // namespace uuarc::test
