// codepage_test.cpp - the POSIX back end's code-page tables against the real OemToCharA and
// CharToOemA, all 256 bytes each way, under OEM code page 437 and ANSI code page 1252.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <gtest/gtest.h>

#include "platform/codepage_tables.cpp"

namespace {

// The tables hold for 437 / 1252 only; another locale would make every comparison meaningless.
class CodePageTables : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetOEMCP(), 437u) << "run under a locale with OEM code page 437 (LANG=en_US.UTF-8)";
        ASSERT_EQ(GetACP(), 1252u) << "run under a locale with ANSI code page 1252 (LANG=en_US.UTF-8)";
    }
};

// One byte a call, so that every value, 0 included, is converted on its own.
TEST_F(CodePageTables, OemToAnsiEqualsOemToCharA) {
    for (int byte = 0; byte < 256; ++byte) {
        char text[2] = {static_cast<char>(byte), 0};
        OemToCharA(text, text);
        EXPECT_EQ(static_cast<uint8_t>(text[0]), uuarc::kOemToAnsi[byte]) << "OEM byte " << byte;
    }
}

TEST_F(CodePageTables, AnsiToOemEqualsCharToOemA) {
    for (int byte = 0; byte < 256; ++byte) {
        char text[2] = {static_cast<char>(byte), 0};
        CharToOemA(text, text);
        EXPECT_EQ(static_cast<uint8_t>(text[0]), uuarc::kAnsiToOem[byte]) << "ANSI byte " << byte;
    }
}

// A whole string in one call gives what the tables give byte by byte: no context between bytes.
TEST_F(CodePageTables, WholeStringMatchesBytewiseTable) {
    char text[256];
    char expected[256];
    for (int byte = 1; byte < 256; ++byte) {
        text[byte - 1] = static_cast<char>(byte);
        expected[byte - 1] = static_cast<char>(uuarc::kOemToAnsi[byte]);
    }
    text[255] = expected[255] = 0;
    OemToCharA(text, text);
    EXPECT_EQ(std::string(text), std::string(expected));
}

}  // namespace
