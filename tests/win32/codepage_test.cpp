// codepage_test.cpp - the POSIX back end's OEM 437 table against Wine, under OEM code page 437
// and ANSI code page 1252: the code point of every byte, the ANSI byte that OemToCharA makes of
// it, and the exact reverse that WideCharToMultiByte allows without best fit, for every character
// of the Basic Multilingual Plane.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/codepage_tables.cpp"

namespace {

// The table holds for 437 only, and the OemToCharA check needs 1252; another locale would make
// every comparison meaningless.
class CodePageTables : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(GetOEMCP(), 437u) << "run under a locale with OEM code page 437 (LANG=en_US.UTF-8)";
        ASSERT_EQ(GetACP(), 1252u) << "run under a locale with ANSI code page 1252 (LANG=en_US.UTF-8)";
    }
};

// One byte a call, so that every value, 0 included, is converted on its own.
TEST_F(CodePageTables, TableIsOemToCharAOnItsWayToAnsi) {
    for (int byte = 0; byte < 256; ++byte) {
        const char oem[2] = {static_cast<char>(byte), 0};
        WCHAR wide = 0xFFFF;
        ASSERT_EQ(MultiByteToWideChar(CP_OEMCP, 0, oem, 1, &wide, 1), 1) << byte;
        EXPECT_EQ(wide, uuarc::kOemToUnicode[byte]) << "OEM byte " << byte;
        // OemToCharA is that code point taken on to the ANSI code page, best fit and all.
        char ansi[2] = {};
        OemToCharA(oem, ansi);
        const WCHAR listed = static_cast<WCHAR>(uuarc::kOemToUnicode[byte]);
        char expected[2] = {};
        WideCharToMultiByte(CP_ACP, 0, &listed, 1, expected, 1, nullptr, nullptr);
        EXPECT_EQ(ansi[0], expected[0]) << "OEM byte " << byte;
    }
}

// A character has an exact OEM form exactly when the table holds it, and that form is its byte.
TEST_F(CodePageTables, ReverseIsExactlyWhatNoBestFitAllows) {
    std::vector<int> byte_of(0x10000, -1);
    for (int byte = 0; byte < 256; ++byte) {
        ASSERT_EQ(byte_of[uuarc::kOemToUnicode[byte]], -1) << "two bytes for one character";
        byte_of[uuarc::kOemToUnicode[byte]] = byte;
    }
    for (int code_point = 1; code_point < 0x10000; ++code_point) {
        if (code_point >= 0xD800 && code_point <= 0xDFFF) continue;
        const WCHAR wide = static_cast<WCHAR>(code_point);
        char oem[4] = {};
        BOOL used_default = FALSE;
        const int count = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, &wide, 1, oem, sizeof oem, nullptr, &used_default);
        const bool exact = count == 1 && !used_default;
        ASSERT_EQ(exact, byte_of[code_point] >= 0) << "U+" << std::hex << code_point;
        if (exact) {
            ASSERT_EQ(static_cast<uint8_t>(oem[0]), byte_of[code_point]) << "U+" << std::hex << code_point;
        }
    }
}

}  // namespace
