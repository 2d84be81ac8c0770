// base64_test.cpp - the base64 decode table, the line decoder of "begin-base64" files, and the
// header scan's choice between the two begin lines.
#include <cstring>
#include <string>

#include "format/base64.h"
#include "format/header.h"
#include "test_support.h"

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

TEST(Base64, LinesDecode) {
    const struct {
        const char* line;
        std::string decoded;
    } cases[] = {
        {"YWJj\n", "abc"},
        {"YWI=\n", "ab"},
        {"YQ==\n", "a"},
        {"\n", ""},
        {"YWJjZGVm\r\n", "abcdef"},
        {"YWJjZA==\r", "abcd"},
        {"TWFu", "Man"},
        {"AP8A/w==\n", std::string("\x00\xff\x00\xff", 4)},
    };
    for (const auto& c : cases) {
        int result = 0;
        EXPECT_EQ(DecodeOne(c.line, &result), c.decoded) << c.line;
    }
    // The longest line that "uuencode -m" writes: 76 characters for 57 bytes.
    int result = 0;
    EXPECT_EQ(DecodeOne(std::string(76, 'A') + "\n", &result), std::string(57, '\0'));
}

TEST(Base64, DamagedLinesRefused) {
    for (const char* line : {"YW*j\n", "YW Jj\n", "Y===\n", "=AAA\n", "YQ=j\n", "YQ==YQ==\n", "YWJ\xc3\n"}) {
        int result = 0;
        DecodeOne(line, &result);
        EXPECT_EQ(result, -1) << line;
    }
}

// A line longer than the line buffer arrives in pieces that need not end at a group.
TEST(Base64, GroupCarriedToTheNextPiece) {
    Base64State state;
    uint8_t out[kDecodeBufferSize];
    EXPECT_EQ(DecodeBase64Line(state, "YWJjZG", out), 3);
    EXPECT_EQ(state.count, 2);
    ASSERT_EQ(DecodeBase64Line(state, "Vm\n", out), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "def");
    EXPECT_EQ(state.count, 0);
}

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
        Stream input;
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
