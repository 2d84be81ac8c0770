// strings_test.cpp - the byte-string and path primitives: their edge cases, and that no routine
// writes past the buffer sizes that names/strings.h promises, whatever the length of its input.
#include "names/strings.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace uuarc {
namespace {

constexpr char kGuard = '#';

// A buffer of `size` bytes followed by guard bytes, to see whether a routine wrote past it.
struct GuardedBuffer {
    explicit GuardedBuffer(size_t size, const std::string& initial = "") : bytes(size + 64, kGuard), size(size) {
        std::memcpy(bytes.data(), initial.c_str(), initial.size() + 1);
    }
    char* data() { return bytes.data(); }
    bool GuardIntact() const {
        for (size_t index = size; index < bytes.size(); ++index) {
            if (bytes[index] != kGuard) return false;
        }
        return true;
    }
    std::vector<char> bytes;
    size_t size;
};

// ---- UpCaseChar and StrUpper -----------------------------------------------------------------

TEST(UpCase, LettersAndTwoUmlautsOnlyEveryOtherByteUnchanged) {
    struct Case {
        uint8_t in, out;
    };
    const Case cases[] = {{0x61, 0x41}, {0x7A, 0x5A}, {0x6D, 0x4D}, {0xE4, 0xC4}, {0xF6, 0xD6},
                          {0x7B, 0x7B}, {0x60, 0x60}, {0x41, 0x41}, {0xFC, 0xFC}, {0xE9, 0xE9},
                          {0xDC, 0xDC}, {0x00, 0x00}, {0xFF, 0xFF}};
    for (const Case& c : cases) EXPECT_EQ(UpCaseChar(c.in), c.out) << "byte " << int(c.in);
    for (int byte = 0; byte < 256; ++byte) {
        if ((byte >= 'a' && byte <= 'z') || byte == 0xE4 || byte == 0xF6) continue;
        EXPECT_EQ(UpCaseChar(static_cast<uint8_t>(byte)), byte) << "byte " << byte;
    }
}

TEST(StrUpper, IntoOtherBufferAndInPlace) {
    char out[32];
    EXPECT_STREQ(StrUpper("c:\\data\\x.txt", out), "C:\\DATA\\X.TXT");
    char text[] = "c:\\data\\x.txt";
    EXPECT_EQ(StrUpper(text, text), text);
    EXPECT_STREQ(text, "C:\\DATA\\X.TXT");
}

// ---- MoveBytes -------------------------------------------------------------------------------

TEST(MoveBytes, OverlapEitherWayAsThroughTemporary) {
    char right[] = "ABCDEF";
    MoveBytes(right, right + 2, 4);
    EXPECT_STREQ(right, "ABABCD");
    char left[] = "ABCDEF";
    MoveBytes(left + 2, left, 4);
    EXPECT_STREQ(left, "CDEFEF");
}

// ---- StrInsert -------------------------------------------------------------------------------

TEST(StrInsert, Cases) {
    struct Case {
        const char* source;
        const char* destination;
        uint8_t position;
        const char* result;
    };
    const Case cases[] = {
        {"C:", "\\DOCS\\", 0, "C:\\DOCS\\"},
        {"", "ABC", 0, "ABC"},
        {"XY", "AB", 5, "ABXY"},
        {"XY", "AB", 2, "ABXY"},
        {"XY", "AB", 1, "AXYB"},
        {"C:", "", 0, "C:"},
    };
    for (const Case& c : cases) {
        char buffer[257];   // room for the cut that a longer destination gets
        std::strcpy(buffer, c.destination);
        EXPECT_EQ(StrInsert(c.source, buffer, c.position), buffer);
        EXPECT_STREQ(buffer, c.result) << c.source << " into " << c.destination;
    }
}

TEST(StrInsert, LongDestinationCutTo256First) {
    GuardedBuffer buffer(300, std::string(299, 'D'));
    StrInsert("S", buffer.data(), 0);
    EXPECT_EQ(std::string(buffer.data()), "S" + std::string(256, 'D'));
    // Appending goes after the cut, not after the original end.
    GuardedBuffer appended(300, std::string(299, 'D'));
    StrInsert("S", appended.data(), 255);
    EXPECT_EQ(std::string(appended.data()), std::string(255, 'D') + "S" + "D");
}

// ---- StrCopy ---------------------------------------------------------------------------------

TEST(StrCopy, Cases) {
    struct Case {
        uint8_t start, count;
        const char* result;
    };
    const Case cases[] = {{2, 3, "CDE"}, {4, 10, "EF"}, {6, 1, ""}, {0, 0, ""}, {3, 0, ""},
                          {200, 5, ""},  {0, 6, "ABCDEF"}, {5, 255, "F"}};
    for (const Case& c : cases) {
        char out[8] = "garbage";
        EXPECT_STREQ(StrCopy("ABCDEF", c.start, c.count, out), c.result)
            << "start " << int(c.start) << " count " << int(c.count);
    }
}

TEST(StrCopy, SumComparedInFullWidth) {
    // 100 + 200 wraps to 44 in 8 bits, which would give 200 bytes instead of the last 100.
    std::string source(100, 'a');
    source += std::string(100, 'b');
    char out[256];
    StrCopy(source.c_str(), 100, 200, out);
    EXPECT_EQ(std::string(out), std::string(100, 'b'));
}

TEST(StrCopy, WritesAtMost256Bytes) {
    std::string source(400, 'x');
    GuardedBuffer out(256);
    StrCopy(source.c_str(), 255, 255, out.data());
    EXPECT_EQ(std::strlen(out.data()), 145u);
    StrCopy(source.c_str(), 0, 255, out.data());
    EXPECT_EQ(std::strlen(out.data()), 255u);
    EXPECT_TRUE(out.GuardIntact());
}

TEST(StrCopy, ReadsNoFurtherThanStartPlusCount) {
    // An unterminated source of exactly start + count bytes: reading beyond it is an overflow
    // that the address sanitizer reports.
    std::vector<char> source(12, 'z');
    char out[16];
    StrCopy(source.data(), 2, 10, out);
    EXPECT_EQ(std::string(out), std::string(10, 'z'));
}

// ---- StrDelete -------------------------------------------------------------------------------

TEST(StrDelete, Cases) {
    struct Case {
        const char* text;
        uint8_t position, count;
        const char* result;
    };
    const Case cases[] = {{"ABCDEF", 1, 2, "ADEF"}, {".TXT", 0, 1, "TXT"}, {"", 0, 1, ""},
                          {"ABC", 1, 5, "A"},       {"ABC", 1, 0, "ABC"},  {"ABC", 3, 1, "ABC"},
                          {"ABC", 1, 2, "A"},       {"ABC", 0, 3, ""},     {"ABC", 2, 255, "AB"}};
    for (const Case& c : cases) {
        char buffer[16];
        std::strcpy(buffer, c.text);
        EXPECT_EQ(StrDelete(buffer, c.position, c.count), buffer);
        EXPECT_STREQ(buffer, c.result) << c.text << " at " << int(c.position) << " for " << int(c.count);
    }
}

// ---- StrPos ----------------------------------------------------------------------------------

TEST(StrPos, FirstOccurrenceWithinFirst255BytesElse255) {
    EXPECT_EQ(StrPos('\\', "A\\B\\C"), 1);
    EXPECT_EQ(StrPos('\\', "ABC"), 255);
    EXPECT_EQ(StrPos('\\', ""), 255);
    EXPECT_EQ(StrPos('A', "A"), 0);
    std::string text(254, 'a');
    EXPECT_EQ(StrPos('X', (text + "X").c_str()), 254);
    EXPECT_EQ(StrPos('X', (text + "aX").c_str()), 255);
    EXPECT_EQ(StrPos('X', (std::string(300, 'a') + "X").c_str()), 255);
}

// ---- AddTrailingBackslash --------------------------------------------------------------------

TEST(AddTrailingBackslash, Cases) {
    struct Case {
        const char* path;
        const char* result;
    };
    // A ':' ends a drive on Windows only; elsewhere "notes:" is a folder like any other.
    const char* const drive = kDrivesAndStreams ? "C:" : "C:\\";
    const Case cases[] = {{"C:\\DATA", "C:\\DATA\\"}, {"C:", drive}, {"C:\\DATA\\", "C:\\DATA\\"},
                          {"", ""}, {"DATA/", "DATA/\\"}, {"X", "X\\"},
                          {"notes:", kDrivesAndStreams ? "notes:" : "notes:\\"}};
    for (const Case& c : cases) {
        char out[257];
        EXPECT_STREQ(AddTrailingBackslash(c.path, out), c.result) << c.path;
    }
}

TEST(AddTrailingBackslash, InPlace) {
    char path[257] = "C:\\DATA";
    EXPECT_EQ(AddTrailingBackslash(path, path), path);
    EXPECT_STREQ(path, "C:\\DATA\\");
}

TEST(AddTrailingBackslash, TakesAtMost255BytesAndWrites257) {
    std::string source(300, 'p');
    GuardedBuffer out(257);
    AddTrailingBackslash(source.c_str(), out.data());
    EXPECT_EQ(std::string(out.data()), std::string(255, 'p') + "\\");
    EXPECT_TRUE(out.GuardIntact());
}

// ---- SplitPathParts --------------------------------------------------------------------------

TEST(SplitPathParts, Cases) {
    struct Case {
        const char* path;
        const char* drive;
        const char* directory;
        const char* name;
        const char* extension;
    };
    const Case cases[] = {
        {"C:\\DOCS\\README.TXT", "C:", "\\DOCS\\", "README", ".TXT"},
        {"*.*", "", "", "*", ".*"},
        {"ARCHIVE.TAR.GZ", "", "", "ARCHIVE.TAR", ".GZ"},
        {"DIR.D\\FILE", "", "DIR.D\\", "FILE", ""},
        {".PROFILE", "", "", "", ".PROFILE"},
        {"A/B/C.X", "", "A/B/", "C", ".X"},
        {"C:FILE.TXT", "C:", "", "FILE", ".TXT"},
        {"FILE.", "", "", "FILE", "."},
        {"", "", "", "", ""},
        {"C", "", "", "C", ""},
        {"C:", "C:", "", "", ""},
        {"\\", "", "\\", "", ""},
        {"A\\B/C", "", "A\\B/", "C", ""},
        {"D:\\", "D:", "\\", "", ""},
        {"X:Y:Z", "X:", "", "Y:Z", ""},
    };
    for (const Case& c : cases) {
        // Where a ':' ends no drive, its two bytes stay with the part that follows them.
        std::string want_drive = c.drive, want_directory = c.directory, want_name = c.name;
        if (!kDrivesAndStreams) {
            (want_directory.empty() ? want_name : want_directory).insert(0, want_drive);
            want_drive.clear();
        }
        char drive[3] = "?", directory[256] = "?", name[256] = "?", extension[256] = "?";
        SplitPathParts(c.path, drive, directory, name, extension);
        EXPECT_EQ(drive, want_drive) << c.path;
        EXPECT_EQ(directory, want_directory) << c.path;
        EXPECT_EQ(name, want_name) << c.path;
        EXPECT_STREQ(extension, c.extension) << c.path;
    }
}

TEST(SplitPathParts, NullOutputsAreSkipped) {
    char name[256];
    SplitPathParts("C:\\DOCS\\README.TXT", nullptr, nullptr, name, nullptr);
    EXPECT_STREQ(name, "README");
    char extension[256];
    SplitPathParts("C:\\DOCS\\README.TXT", nullptr, nullptr, nullptr, extension);
    EXPECT_STREQ(extension, ".TXT");
}

TEST(SplitPathParts, EachPartCutTo255Bytes) {
    const std::string directory = std::string(300, 'd') + "\\";
    const std::string name(300, 'n');
    const std::string extension = "." + std::string(300, 'e');
    const std::string path = "C:" + directory + name + extension;
    GuardedBuffer drive_out(3), directory_out(256), name_out(256), extension_out(256);
    SplitPathParts(path.c_str(), drive_out.data(), directory_out.data(), name_out.data(),
                   extension_out.data());
    EXPECT_STREQ(drive_out.data(), kDrivesAndStreams ? "C:" : "");
    EXPECT_EQ(std::string(directory_out.data()), ((kDrivesAndStreams ? "" : "C:") + directory).substr(0, 255));
    EXPECT_EQ(std::string(name_out.data()), name.substr(0, 255));
    EXPECT_EQ(std::string(extension_out.data()), extension.substr(0, 255));
    EXPECT_TRUE(drive_out.GuardIntact());
    EXPECT_TRUE(directory_out.GuardIntact());
    EXPECT_TRUE(name_out.GuardIntact());
    EXPECT_TRUE(extension_out.GuardIntact());
}

// ---- Allocation ------------------------------------------------------------------------------

TEST(Allocation, FreeBlockReleasesAndClearsSlot) {
    void* slot = nullptr;
    ASSERT_TRUE(AllocBlock(&slot, 520));
    ASSERT_NE(slot, nullptr);
    std::memset(slot, 0, 520);
    FreeBlock(&slot);
    EXPECT_EQ(slot, nullptr);
    FreeBlock(&slot);  // an empty slot is left alone
    EXPECT_EQ(slot, nullptr);
}

TEST(Allocation, StrDupOfEmptyIsOneTerminatorByte) {
    char* copy = StrDup("");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy[0], '\0');
    void* slot = copy;
    FreeBlock(&slot);
}

TEST(Allocation, StrDupRefusesWhatA16BitSizeCannotHold) {
    std::string longest(65534, 's');
    char* copy = StrDup(longest.c_str());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::strlen(copy), 65534u);
    void* slot = copy;
    FreeBlock(&slot);
    EXPECT_EQ(StrDup(std::string(65535, 's').c_str()), nullptr);
}

// ---- FileExists ------------------------------------------------------------------------------

TEST(FileExists, EmptyPathIsFalse) { EXPECT_FALSE(FileExists("")); }

TEST(FileExists, DirectoryAndFileExistMissingDoesNot) {
    EXPECT_TRUE(FileExists("."));
    const char* file_name = "strings_test_exists.tmp";
    std::FILE* file = std::fopen(file_name, "wb");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_TRUE(FileExists(file_name));
    std::remove(file_name);
    EXPECT_FALSE(FileExists(file_name));
}

}  // namespace
}  // namespace uuarc
